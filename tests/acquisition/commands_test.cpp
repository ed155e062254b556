#include "WindowFixture.h"
#include "acquisition/Main.h"
#include "acquisition/MainCommands.h"
#include "platform/Application.h"
#include "support/InsideWait.h"
#include "views/About.h"
#include "views/Filter.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <gtest/gtest.h>

using Acquisition::TMainFrm;

namespace {

// A main window on a setup file, with the program's folder in the test's own folder so that
// the programs it starts beside itself can be put there or left out.
class CommandsTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        QDir().mkpath(dir.File("bin"));
        programDir = dir.File("bin/");
        TApplication::SetExeDir(programDir);
    }
    void TearDown() override
    {
        TApplication::SetExeDir(QString());
        WindowTest::TearDown();
    }
    static QByteArray setupText(int port, int channels)
    {
        return QString("[Parameters]\r\nChannel=%1\r\n[Communication]\r\nPort=%2\r\n").arg(channels).arg(port).toLatin1();
    }
    // Starts the window on a setup file at the given place under the test's folder.
    TMainFrm& start(const QString& relativePath, int port = 1, int channels = 8)
    {
        setupPath = dir.File(relativePath);
        QDir().mkpath(QFileInfo(setupPath).absolutePath());
        write(setupPath, setupText(port, channels));
        Remember(setupPath);
        NewWindow().FormCreate(frm.get());
        return *frm;
    }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::vector<RecordingShell::Call> runs() const
    {
        std::vector<RecordingShell::Call> r;
        for (const auto& c : shell.Calls)
            if (c.What == "RunAndWait")
                r.push_back(c);
        return r;
    }
    int folderQuestions() const
    {
        int n = 0;
        for (const auto& c : dialogs.Calls)
            n += c.Kind == "SelectFolder";
        return n;
    }
    QString programDir;
    QString setupPath;
};

TEST_F(CommandsTest, EditorBesideTheProgramGetsThePathWholeAndTheSavedValuesAreShown)
{
    write(programDir + "QuorelIni", "");
    TMainFrm& w = start("lake survey/it's \"north\" run.ini");
    EXPECT_EQ(w.ChannelEdt->text(), "8");
    // The editor saves 12 channels and ends.
    shell.OnRun = [this](const QString&, const QStringList&) { write(setupPath, setupText(1, 12)); };
    w.SpeedButton1->click();
    const auto r = runs();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].Program, programDir + "QuorelIni");
    EXPECT_EQ(r[0].Arguments, QStringList{setupPath});
    EXPECT_EQ(folderQuestions(), 0);
    EXPECT_EQ(w.ChannelEdt->text(), "12");
    EXPECT_EQ(w.SetupFileName, setupPath);
}

TEST_F(CommandsTest, FolderAskedOncePerRunAndAgainAfterAFailedStart)
{
    TMainFrm& w = start("setup.ini");
    const QString chosen = dir.File("tools");
    const QString elsewhere = dir.File("other tools");

    dialogs.AnswerFolder(chosen);
    w.SpeedButton1->click();
    ASSERT_EQ(folderQuestions(), 1);
    EXPECT_EQ(QDir::cleanPath(dialogs.Calls.back().Text), QDir::cleanPath(programDir)); // starts in the program's folder
    w.SpeedButton1->click();
    EXPECT_EQ(folderQuestions(), 1); // kept for the run
    ASSERT_EQ(runs().size(), 2u);
    for (const auto& r : runs()) {
        EXPECT_EQ(r.Program, chosen + "/QuorelIni");
        EXPECT_EQ(r.Arguments, QStringList{setupPath});
    }

    // The editor no longer starts from there: the folder is forgotten and asked for again.
    shell.StartResult = false;
    w.SpeedButton1->click();
    EXPECT_EQ(w.SetupEditorDir, "");
    shell.StartResult = true;
    dialogs.AnswerFolder(elsewhere);
    w.SpeedButton1->click();
    EXPECT_EQ(folderQuestions(), 2);
    ASSERT_EQ(runs().size(), 4u);
    EXPECT_EQ(runs().back().Program, elsewhere + "/QuorelIni");
    EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join(", ").toStdString();
}

TEST_F(CommandsTest, CancelledFolderQuestionStartsNothingAndStillReopensTheSetupFile)
{
    TMainFrm& w = start("setup.ini");
    write(setupPath, setupText(1, 12)); // changed by someone else meanwhile
    dialogs.AnswerFolder(QString());
    w.SpeedButton1->click();
    EXPECT_TRUE(runs().empty());
    EXPECT_EQ(w.SetupEditorDir, "");
    EXPECT_EQ(w.ChannelEdt->text(), "12");
    // Asked again at the next use.
    dialogs.AnswerFolder(QString());
    w.SpeedButton1->click();
    EXPECT_EQ(folderQuestions(), 2);
    EXPECT_TRUE(runs().empty());
}

// The real launcher: a program beside Quorel that records its arguments and rewrites the file,
// started without a shell on a path with blanks, quotes and a shell's special characters.
TEST_F(CommandsTest, RealEditorReceivesThePathAsOneArgument)
{
    const QString editor = programDir + "QuorelIni";
    write(editor, "#!/bin/sh\n"
                  "printf '%s\\n%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/args.txt\"\n"
                  "printf '[Parameters]\\r\\nChannel=15\\r\\n' > \"$1\"\n");
    QFile::setPermissions(editor, QFile::permissions(editor) | QFileDevice::ExeOwner);
    TMainFrm& w = start("my \"survey\" $HOME; 'x'/setup one.ini");
    IShell* recording = SetShell(nullptr);
    w.SpeedButton1Click(w.SpeedButton1);
    SetShell(recording);
    QFile args(programDir + "args.txt");
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()), "1\n" + setupPath);
    EXPECT_EQ(w.ChannelEdt->text(), "15");
}

TEST_F(CommandsTest, PortPictureStartsTheUsbCheckOnlyForTheUsbPort)
{
    const struct {
        int port;
        bool starts;
    } cases[] = {{3, false}, {99, true}, {1, false}, {7, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        shell.Calls.clear();
        DropWindow();
        TMainFrm& w = start(QString("port%1.ini").arg(c.port), c.port);
        emit w.Image2->clicked();
        if (!c.starts) {
            EXPECT_TRUE(shell.Calls.empty());
            continue;
        }
        ASSERT_EQ(shell.Calls.size(), 1u);
        EXPECT_EQ(shell.Calls[0].What, "StartDetached"); // never waited for
        EXPECT_EQ(shell.Calls[0].Program, programDir + "LinkTest");
    }
}

TEST_F(CommandsTest, PortPictureFollowsTheFileNotTheWindow)
{
    TMainFrm& w = start("setup.ini", 1);
    write(setupPath, setupText(99, 8)); // the port as the file now says, not yet reopened
    w.Image2Click(w.Image2);
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0].Program, programDir + "LinkTest");
}

TEST_F(CommandsTest, PortPictureBeforeAnySetupFileDoesNothing)
{
    dialogs.AnswerOpen(QString());
    dialogs.AnswerOpen(QString());
    NewWindow().FormCreate(frm.get()); // no setup file: both open dialogs cancelled
    ASSERT_FALSE(frm->SetupIni);
    frm->Image2Click(frm->Image2);
    EXPECT_TRUE(shell.Calls.empty());
}

TEST_F(CommandsTest, LeavingTheChannelBoxShowsTheSecondCableSet)
{
    TMainFrm& w = start("setup.ini");
    const QColor face = w.palette().color(QPalette::Button);
    const struct {
        const char* text;
        int16_t switchEnabled;
        bool rows;
        bool red;
    } cases[] = {
        {"12", 0, true, false}, {"8", 1, false, true}, {"8", 0, false, false},
        {"", 1, false, true},   {"abc", 0, false, false}, {"20", 1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        w.SwitchEnabled = c.switchEnabled;
        w.ChannelEdt->setText(c.text);
        w.ChannelEdtExit(w.ChannelEdt);
        EXPECT_EQ(w.PanelP11_22->isVisibleTo(&w), c.rows);
        EXPECT_EQ(w.PanelV11_20->isVisibleTo(&w), c.rows);
        EXPECT_EQ(w.SwitchRB->palette().color(QPalette::Button), c.red ? QColor(255, 0, 0) : face);
        EXPECT_EQ(w.SwitchEnabled, c.switchEnabled); // not changed here
    }
}

// The channel box picks the view; the positions come from the coordinate boxes in the window's
// own decimal separator, and a box without a number shows nothing.
TEST_F(CommandsTest, CableViewFollowsTheChannelBox)
{
    TMainFrm& w = start("setup.ini");
    auto* ten = new TSchemaFrm(&w);
    auto* twenty = new TSchema20Frm(&w);
    w.CaEdt->setText("-5");
    w.CbEdt->setText("0");
    for (int i = 0; i < 21; ++i)
        w.PEdt[i]->setText(QString::number(5 * (i + 1)));
    const struct {
        const char* channels;
        bool twentyShown;
    } cases[] = {{"10", false}, {"", false}, {"abc", false}, {"12", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        ten->hide();
        twenty->hide();
        w.ChannelEdt->setText(c.channels);
        w.ViewCableBtnClick(w.ViewCableBtn);
        EXPECT_EQ(twenty->isVisible(), c.twentyShown);
        EXPECT_EQ(ten->isVisible(), !c.twentyShown);
        Schema::TCableForm* shown = c.twentyShown ? static_cast<Schema::TCableForm*>(twenty) : ten;
        EXPECT_EQ(shown->SetupSTxt->text().contains(w.ConfigurationFileTxt->text()), true)
            << shown->SetupSTxt->text().toStdString();
    }
    ten->hide();
    twenty->hide();
    w.PEdt[20]->setText("x");
    w.ChannelEdt->setText("20");
    EXPECT_THROW(w.ViewCableBtnClick(w.ViewCableBtn), std::exception);
    EXPECT_FALSE(twenty->isVisible());
    delete ten;
    delete twenty;
}

// Showing a view that is open but minimised brings it back to the screen, in front, with the
// content of this press.
TEST_F(CommandsTest, AMinimisedCableViewComesBackInFront)
{
    TMainFrm& w = start("setup.ini");
    auto* ten = new TSchemaFrm(&w);
    auto* twenty = new TSchema20Frm(&w);
    w.show();
    const struct {
        const char* channels;
        Schema::TCableForm* view;
        int lastOutput; // the output that carries the smallest position
    } cases[] = {{"10", ten, 13}, {"20", twenty, 23}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        w.ChannelEdt->setText(c.channels);
        w.CaEdt->setText("0");
        w.ViewCableBtn->click();
        ExpectBackInFront(c.view, &w, [&] {
            w.CaEdt->setText("-5");
            w.ViewCableBtn->click();
        });
        EXPECT_EQ(c.view->L[c.lastOutput - 1]->text(), "-5");
        c.view->hide();
    }
    delete ten;
    delete twenty;
}

TEST_F(CommandsTest, HelpShowsTheHelpFileBesideTheProgram)
{
    TMainFrm& w = start("setup.ini");
    w.BitBtn4->click();
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0].What, "HtmlHelp");
    EXPECT_EQ(shell.Calls[0].Program, programDir + "Quorel.chm");
    EXPECT_EQ(shell.Calls[0].Command, HH_DISPLAY_TOPIC);
    EXPECT_EQ(shell.Calls[0].Data, 0);
}

TEST_F(CommandsTest, AboutBoxIsModalAndGoneAfterwards)
{
    Application->Title = "Quorel";
    TMainFrm& w = start("setup.ini");
    QString title, version, name;
    auto inside = WhenInsideWait([] { return qobject_cast<TAboutBoxFrm*>(QApplication::activeModalWidget()) != nullptr; },
                                 [&] {
                                     auto* box = qobject_cast<TAboutBoxFrm*>(QApplication::activeModalWidget());
                                     title = box->windowTitle();
                                     name = box->ProductName->text();
                                     version = box->Version->text();
                                     EXPECT_EQ(box->parentWidget(), &w);
                                     box->BitBtn1->click();
                                 });
    w.BitBtn3->click();
    Application->Title.clear();
    EXPECT_EQ(title, "About");
    EXPECT_EQ(name, "Quorel");
    EXPECT_EQ(version, VersionText(ProgramVersion()));
    EXPECT_TRUE(w.findChildren<TAboutBoxFrm*>().isEmpty());
}

// "Scale" shows the dialog created at start; the dialog reaches the window through MainFrm.
TEST_F(CommandsTest, ScaleDialogWritesTheWindowsColourScale)
{
    TMainFrm& w = start("setup.ini");
    FilterFrm = new TFilterFrm(&w, Acquisition::MainFrmScale);
    bool enabledInside = false;
    auto inside = WhenInsideWait([] { return QApplication::activeModalWidget() == FilterFrm; }, [&] {
        EXPECT_FALSE(FilterFrm->MinEdt->isEnabled()); // auto scale: the bounds are off
        FilterFrm->AutoScaleRb->click();
        enabledInside = FilterFrm->MinEdt->isEnabled() && FilterFrm->MaxEdt->isEnabled();
        FilterFrm->MinEdt->setText("0");
        FilterFrm->MaxEdt->setText("1000");
        FilterFrm->BitBtn1->click();
    });
    w.FilterBtn->click();
    EXPECT_TRUE(enabledInside);
    EXPECT_EQ(w.AutoScale, 0);
    EXPECT_EQ(w.ScaleMin, 0);
    EXPECT_EQ(w.ScaleMax, 1000);
    DropWindow(); // the dialog goes with its window
    EXPECT_EQ(FilterFrm, nullptr);
}

} // namespace
