#include "platform/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(FileReplaceTest, WritesANewFileAndReplacesAWholeOldOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("setup.ini");
    ASSERT_TRUE(ReplaceFileContent(path, "[A]\r\nx=1\r\n"));
    EXPECT_EQ(contentOf(path), "[A]\r\nx=1\r\n");
    ASSERT_TRUE(ReplaceFileContent(path, "y"));
    EXPECT_EQ(contentOf(path), "y");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.ini"});
}

TEST(FileReplaceTest, FailsWhereNoFileCanBeStored)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ReplaceFileContent(dir.filePath("missing/setup.ini"), "x"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(ReplaceFileContent(dir.filePath("folder"), "x"));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
}

} // namespace
