#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Version.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include "views/About.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(VersionText, FirstThreePartsWithTwoDigitsAtLeast)
{
    const struct {
        uint16_t major, minor, release, build;
        const char* text;
    } cases[] = {
        {6, 4, 0, 0, "V06.04.00"},
        {10, 2, 3, 4, "V10.02.03"},
        {0, 0, 0, 0, "V00.00.00"},
        {1, 0, 0, 0, "V01.00.00"},
        {100, 5, 99, 0, "V100.05.99"},
        {65535, 65535, 65535, 65535, "V65535.65535.65535"},
    };
    for (const auto& c : cases) {
        TVersionRecord v;
        v.Major = c.major;
        v.Minor = c.minor;
        v.Release = c.release;
        v.Build = c.build;
        EXPECT_EQ(VersionText(v), c.text);
    }
}

TEST(VersionRecord, CompiledIntoTheProgram)
{
    const TVersionRecord v = ProgramVersion();
    EXPECT_TRUE(QRegularExpression("^V\\d\\d+\\.\\d\\d+\\.\\d\\d+$").match(VersionText(v)).hasMatch());
    EXPECT_EQ(v.Comments.size(), 1);
    EXPECT_FALSE(v.Comments.value(0).isEmpty());
    EXPECT_FALSE(v.SupportMail.isEmpty());
    EXPECT_TRUE(v.WebPage.startsWith("http"));
    EXPECT_FALSE(OperatingSystemName().isEmpty());
    EXPECT_FALSE(OperatingSystemName().contains("Windows"));
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        Application->Title = "Quorel";
    }
    void TearDown() override { Application->Title.clear(); }
    static TVersionRecord record(QStringList comments)
    {
        TVersionRecord v;
        v.Major = 6;
        v.Minor = 4;
        v.Comments = std::move(comments);
        v.Company = "Maker";
        v.SupportMail = "help@maker.example";
        v.WebPage = "https://maker.example/quorel";
        return v;
    }
    static void click(QWidget* w)
    {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
    RecordingShell shell;
};

TEST_F(AboutTest, FilledFromTheVersionRecord)
{
    TAboutBoxFrm box(nullptr, record({"Acquisition on water"}));
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.size(), QSize(506, 295));
    EXPECT_EQ(box.ProductName->text(), "Quorel");
    EXPECT_EQ(box.Version->text(), "V06.04.00");
    EXPECT_EQ(box.Copyright->text(), "Maker");
    EXPECT_EQ(box.WindowsLbl->text(), OperatingSystemName());
    EXPECT_EQ(box.Memo1->toPlainText(), "Acquisition on water");
    EXPECT_TRUE(box.Memo1->isReadOnly());
    EXPECT_EQ(box.Label1->text(), "E-mail : ");
    EXPECT_EQ(box.Label2->text(), "Web :");
    EXPECT_EQ(box.Label3->text(), "help@maker.example");
    EXPECT_EQ(box.Label4->text(), "https://maker.example/quorel");
    EXPECT_EQ(box.ProgramIcon->Picture().size(), QSize(140, 188));
    EXPECT_EQ(box.Image1->Picture().size(), QSize(32, 32));
}

TEST_F(AboutTest, OneMemoLinePerComment)
{
    TAboutBoxFrm two(nullptr, record({"first", "second"}));
    EXPECT_EQ(two.Memo1->blockCount(), 2);
    EXPECT_EQ(two.Memo1->toPlainText(), "first\nsecond");
    TAboutBoxFrm one(nullptr, record({"only"}));
    EXPECT_EQ(one.Memo1->blockCount(), 1);
}

TEST_F(AboutTest, LinksOpenThroughTheDesktop)
{
    TAboutBoxFrm box(nullptr, record({"x"}));
    box.show();
    click(box.Label3);
    click(box.Label4);
    click(box.Label1); // not a link
    ASSERT_EQ(shell.Calls.size(), 2u);
    EXPECT_EQ(shell.Calls[0].What, "OpenUrl");
    EXPECT_EQ(shell.Calls[0].Program, "mailto:help@maker.example");
    EXPECT_EQ(shell.Calls[1].Program, "https://maker.example/quorel");
    // A desktop that cannot open them leaves the box as it is.
    EXPECT_TRUE(box.isVisible());
    box.BitBtn1->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

} // namespace
