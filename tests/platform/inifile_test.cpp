#include "platform/IniFile.h"
#include "platform/NumberFormat.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString data(const char* name) { return QString(QUOREL_TEST_DATA) + "/" + name; }

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator('.'); }
    QString copy(const char* name)
    {
        const QString target = dir.File(name);
        QFile::copy(data(name), target);
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }
    TempDir dir;
};

TEST_F(IniFileTest, ReadsByThePrivateProfileRules)
{
    const TIniFile ini(data("read.ini"));
    struct Case {
        const char* section;
        const char* key;
        const char* expected; // nullptr: missing
    } cases[] = {
        {"Parameters", "RemoteTime", "0x1E"},      // names without regard to case, value trimmed
        {"PARAMETERS", "REMOTETIME", "0x1E"},
        {"Parameters", "Channel", ""},             // present and empty
        {"Parameters", "Quoted", "  spaced  "},    // one pair of quotes goes, inner blanks stay
        {"Parameters", "Single", "x"},
        {"Parameters", "Half", "\"open"},          // an unpaired quote stays
        {"Parameters", "not a key line", nullptr},
        {"Parameters", "Port", nullptr},           // keys of other sections do not leak
        {"Communication", "Speed", "9600"},        // bare LF lines written by hand
        {"Other", "Port", "7"},
        {"Missing", "Port", nullptr},
    };
    for (const auto& c : cases) {
        QString value;
        const bool found = ini.ReadValue(c.section, c.key, value);
        EXPECT_EQ(found, c.expected != nullptr) << c.section << "/" << c.key;
        if (c.expected)
            EXPECT_EQ(value, QString::fromUtf8(c.expected)) << c.section << "/" << c.key;
    }
    EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteTime", 25), 30);
    EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 10), 10);
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", "default.txt"), "");
    EXPECT_EQ(ini.ReadString("Parameters", "Nothing", "default.txt"), "default.txt");
    EXPECT_EQ(ini.ReadInteger("Communication", "Port", 1), 3);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "RemoteTxVoltage", 12), 12.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "ComSpacing1", 4), 4); // "4,5" under "."
    SetDecimalSeparator(',');
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "ComSpacing1", 4), 4.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "RemoteTxVoltage", 12), 12);
}

TEST_F(IniFileTest, MissingFileGivesDefaults)
{
    const TIniFile ini(dir.File("none.ini"));
    EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 10), 10);
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", "x"), "x");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "MinDistance", 1), 1);
}

TEST_F(IniFileTest, LongTextsAreCutAt2047Characters)
{
    const QString path = dir.File("long.ini");
    TIniFile ini(path);
    ini.WriteString("Parameters", "AcquisitionFile", QString(3000, 'a'));
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", "").size(), 2047);
    ini.WriteString("Parameters", "AcquisitionFile", QString(2047, 'b'));
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", ""), QString(2047, 'b'));
}

TEST_F(IniFileTest, NewFileTakesSectionsAndKeysInWriteOrder)
{
    const QString path = dir.File("new.ini");
    TIniFile ini(path);
    ini.WriteInteger("Relaybox", "RelyaboxEnabled", 0);
    ini.WriteFloat("Parameters", "DepthOffset", 0.0f);
    ini.WriteFloat("Parameters", "MinDistance", 1.0f);
    ini.WriteFloat("Parameters", "RemoteTxVoltage", 12.0f);
    ini.WriteInteger("Parameters", "RemoteTime", 25);
    ini.WriteFloat("Parameters", "ComSpacing1", 1.2f);
    ini.WriteFloat("Parameters", "ComSpacing2", 0.00005f);
    ini.WriteInteger("Communication", "Speed", 9600);
    ini.WriteInteger("Communication", "Port", 99);
    EXPECT_EQ(readAll(path), readAll(data("new_out.ini")));
}

TEST_F(IniFileTest, RewriteReplacesInPlaceAndAppendsAtTheEnds)
{
    const QString path = copy("edit_in.ini");
    TIniFile ini(path);
    ini.WriteInteger("parameters", "REMOTETIME", 30);         // in place, the file's spelling kept
    ini.WriteInteger("Parameters", "Channel", 12);
    ini.WriteFloat("Parameters", "MinDistance", 0.3f);        // end of its section, before the blank line
    ini.WriteInteger("Communication", "Speed", 115200);       // end of the last section
    ini.WriteInteger("Relaybox", "RelyaboxEnabled", 1);       // new section at the end of the file
    EXPECT_EQ(readAll(path), readAll(data("edit_out.ini")));
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";
}

TEST_F(IniFileTest, LineBreaksInAValueAreRefusedAndChangeNothing)
{
    const QString path = copy("edit_in.ini");
    const QByteArray before = readAll(path);
    TIniFile ini(path);
    for (const QString& bad : {QString("a\r\n[Communication]\r\nPort=4"), QString("x\ny"), QString("x\ry")}) {
        try {
            ini.WriteString("Parameters", "AcquisitionFile", bad);
            ADD_FAILURE() << "a value with a line break was written";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message, "Impossible d'écrire dans " + path);
        }
    }
    EXPECT_EQ(readAll(path), before);
}

TEST_F(IniFileTest, UnwritableFileRaisesTheWriteError)
{
    const QString path = dir.File("no/such/folder/setup.ini");
    TIniFile ini(path);
    try {
        ini.WriteInteger("Parameters", "Channel", 10);
        FAIL() << "write into a missing folder succeeded";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message, "Impossible d'écrire dans " + path);
    }
}

TEST_F(IniFileTest, AWriteLeavesEveryOtherLineByteForByte)
{
    // Written by the Windows editor: Latin-1 bytes in a path and a comment, a line ended by a
    // bare LF, blanks around "=", and a last line without an end.
    const QByteArray latin = "; donn\xE9" "es du bateau\r\n"
                             "[Parameters]\r\n"
                             "AcquisitionFile=C:\\Relev\xE9s\\lac.txt\r\n"
                             "Channel = 8\n"
                             "RemoteTime=25\r\n"
                             "[Communication]\r\n"
                             "Port=1";
    const QString path = dir.File("latin.ini");
    writeBytes(path, latin);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", ""), QString::fromLatin1("C:\\Relev\xE9s\\lac.txt"));
    ini.WriteInteger("Parameters", "RemoteTime", 30);
    QByteArray expected = latin;
    expected.replace("RemoteTime=25", "RemoteTime=30");
    EXPECT_EQ(readAll(path), expected);
    ini.WriteInteger("Communication", "Speed", 9600); // after a last line without an end
    EXPECT_EQ(readAll(path), expected + "\r\nSpeed=9600\r\n");
    // A value written in the user's code page reads back as written.
    ini.WriteString("Parameters", "AcquisitionFile", QString::fromUtf8("/home/r\u00E9a/lac.txt"));
    EXPECT_EQ(ini.ReadString("Parameters", "AcquisitionFile", ""), QString::fromUtf8("/home/r\u00E9a/lac.txt"));
    EXPECT_TRUE(readAll(path).startsWith("; donn\xE9" "es du bateau\r\n"));
}

// Whatever ends the lines, every key reads, a key added after the last line reads back, and
// the key that was on the last line keeps its value.
TEST_F(IniFileTest, EveryLineEndReadsAndTakesANewKeyAfterTheLastLine)
{
    const struct {
        const char* name;
        QByteArray before, after; // after: the file once GraphPoints is added, then Port set
    } cases[] = {
        {"CR LF", "[Communication]\r\nPort=3\r\n[Parameters]\r\nRemoteDelay=12\r\n",
         "[Communication]\r\nPort=4\r\n[Parameters]\r\nRemoteDelay=12\r\nGraphPoints=20000\r\n"},
        {"LF", "[Communication]\nPort=3\n[Parameters]\nRemoteDelay=12\n",
         "[Communication]\nPort=4\n[Parameters]\nRemoteDelay=12\nGraphPoints=20000\r\n"},
        {"bare CR last", "[Communication]\r\nPort=3\r\n[Parameters]\r\nRemoteDelay=12\r",
         "[Communication]\r\nPort=4\r\n[Parameters]\r\nRemoteDelay=12\r\nGraphPoints=20000\r\n"},
        {"none", "[Communication]\r\nPort=3\r\n[Parameters]\r\nRemoteDelay=12",
         "[Communication]\r\nPort=4\r\n[Parameters]\r\nRemoteDelay=12\r\nGraphPoints=20000\r\n"},
        {"CR only", "[Communication]\rPort=3\r[Parameters]\rRemoteDelay=12\r",
         "[Communication]\rPort=4\r[Parameters]\rRemoteDelay=12\r\nGraphPoints=20000\r\n"},
        {"CR CR LF", "[Communication]\r\nPort=3\r\r\n[Parameters]\r\nRemoteDelay=12\r\r\n",
         "[Communication]\r\nPort=4\r\n[Parameters]\r\nRemoteDelay=12\r\r\nGraphPoints=20000\r\n"},
        // A byte-order mark before the first line opens no line of its own and stays first.
        {"mark, CR LF", "\xEF\xBB\xBF[Communication]\r\nPort=3\r\n[Parameters]\r\nRemoteDelay=12\r\n",
         "\xEF\xBB\xBF[Communication]\r\nPort=4\r\n[Parameters]\r\nRemoteDelay=12\r\nGraphPoints=20000\r\n"},
        {"mark, LF", "\xEF\xBB\xBF[Communication]\nPort=3\n[Parameters]\nRemoteDelay=12\n",
         "\xEF\xBB\xBF[Communication]\nPort=4\n[Parameters]\nRemoteDelay=12\nGraphPoints=20000\r\n"},
        // A CR alone ends the line there, and "b" is a line of its own without a key.
        {"CR inside a value", "[Communication]\r\nPort=3\r\n[Parameters]\r\nNote=a\rb\r\nRemoteDelay=12\r\n",
         "[Communication]\r\nPort=4\r\n[Parameters]\r\nNote=a\rb\r\nRemoteDelay=12\r\nGraphPoints=20000\r\n"},
    };
    for (const auto& c : cases) {
        const QString path = dir.File("ends.ini");
        writeBytes(path, c.before);
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadInteger("Communication", "Port", 1), 3) << c.name;
        EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteDelay", 0), 12) << c.name;
        ini.WriteInteger("Parameters", "GraphPoints", 20000);
        ini.WriteInteger("Communication", "Port", 4);
        EXPECT_EQ(ini.ReadInteger("Parameters", "GraphPoints", 100), 20000) << c.name;
        EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteDelay", 0), 12) << c.name;
        EXPECT_EQ(ini.ReadInteger("Communication", "Port", 1), 4) << c.name;
        EXPECT_EQ(readAll(path), c.after) << c.name;
        EXPECT_EQ(ini.ReadString("Parameters", "Note", "a"), "a") << c.name;
    }
}

// A Windows text editor saving as UTF-8 puts a byte-order mark before the first line. The
// first section is read and written where it stands (no second copy appended after it), and
// every byte a write does not change stays, the mark included.
TEST_F(IniFileTest, AByteOrderMarkBeforeTheFirstSectionKeepsThatSection)
{
    const QByteArray mark = "\xEF\xBB\xBF";
    const QByteArray body = "[Parameters]\r\nComSpacingA=-1000\r\nChannel=12\r\n\r\n[Communication]\r\nPort=99\r\n";
    const QString path = dir.File("marked.ini");
    writeBytes(path, mark + body);
    TIniFile ini(path);
    EXPECT_TRUE(ini.SectionExists("Parameters"));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "ComSpacingA", 0), -1000);
    EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 10), 12);
    EXPECT_EQ(ini.ReadInteger("Communication", "Port", 1), 99);

    ini.WriteFloat("Parameters", "ComSpacingA", 2.5f);      // the section's first key, in place
    ini.WriteInteger("Parameters", "GraphPoints", 100);      // at the end of the first section
    QByteArray expected = mark + body;
    expected.replace("ComSpacingA=-1000", "ComSpacingA=2.5");
    expected.replace("Channel=12\r\n", "Channel=12\r\nGraphPoints=100\r\n");
    EXPECT_EQ(readAll(path), expected);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Parameters", "ComSpacingA", 0), 2.5);

    // A file that holds the mark alone takes its first section after it.
    writeBytes(path, mark);
    ini.WriteInteger("Parameters", "Channel", 8);
    EXPECT_EQ(readAll(path), mark + "[Parameters]\r\nChannel=8\r\n");
    EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 10), 8);
}

TEST_F(IniFileTest, NamesMatchOnTheirAsciiLetters)
{
    const QString path = dir.File("names.ini");
    writeBytes(path, "[Caf\xE9]\r\nK\xE9y=1\r\n[PARAMETERS]\r\nremotetime=25\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteTime", 0), 25);
    EXPECT_EQ(ini.ReadInteger("parameters", "REMOTETIME", 0), 25);
    ini.WriteInteger("Parameters", "REMOTETIME", 30);
    EXPECT_EQ(readAll(path), QByteArray("[Caf\xE9]\r\nK\xE9y=1\r\n[PARAMETERS]\r\nremotetime=30\r\n"));
}

TEST_F(IniFileTest, ASectionNamedTwiceIsReadAndWrittenInItsFirstPlace)
{
    const QString path = dir.File("twice.ini");
    writeBytes(path, "[Parameters]\r\nChannel=8\r\n[Other]\r\nX=1\r\n[parameters]\r\nRemoteTime=40\r\nChannel=12\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 10), 8);
    EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteTime", 25), 25) << "the second copy is not read";
    ini.WriteInteger("Parameters", "RemoteTime", 30);
    EXPECT_EQ(ini.ReadInteger("Parameters", "RemoteTime", 25), 30);
    EXPECT_EQ(readAll(path), QByteArray("[Parameters]\r\nChannel=8\r\nRemoteTime=30\r\n[Other]\r\nX=1\r\n"
                                        "[parameters]\r\nRemoteTime=40\r\nChannel=12\r\n"));
}

TEST_F(IniFileTest, AWritableFileInALockedFolderIsWrittenInPlace)
{
    // No temporary file can be made beside it: the folder is read-only (which root ignores),
    // and the name is so long that the temporary file's name would be too long.
    const QString folder = dir.File("locked");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + "/" + QString(248, 's') + ".ini";
    writeBytes(path, "[Parameters]\r\nChannel=8\r\n");
    ASSERT_TRUE(QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    TIniFile ini(path);
    EXPECT_NO_THROW(ini.WriteInteger("Parameters", "Channel", 12));
    EXPECT_NO_THROW(ini.WriteInteger("Communication", "Port", 99));
    QFile(folder).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(path), QByteArray("[Parameters]\r\nChannel=12\r\n[Communication]\r\nPort=99\r\n"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";

    // A file that cannot be written at all still raises the error and is left as it was.
    if (geteuid() != 0) {
        QFile(path).setPermissions(QFile::ReadOwner);
        EXPECT_THROW(ini.WriteInteger("Parameters", "Channel", 4), EIniFileException);
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(ini.ReadInteger("Parameters", "Channel", 0), 12);
    }
}

} // namespace
