#include "WindowFixture.h"
#include "acquisition/Main.h"
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "platform/Application.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QFile>
#include <QLabel>
#include <QToolButton>
#include <gtest/gtest.h>

using Acquisition::TMainFrm;

namespace {

class StartupTest : public WindowTest {
protected:
    QString setup(const char* name, int port)
    {
        return WriteFile(name, QString("[Communication]\r\nPort=%1\r\n").arg(port).toLatin1());
    }
    void remember(const QString& path) { Remember(path); }
    QString remembered() { return Remembered(); }
    TMainFrm& start()
    {
        NewWindow().FormCreate(frm.get());
        return *frm;
    }
    int picture() const { return frm->Image2->property("pictureIndex").toInt(); }
};

TEST_F(StartupTest, SimulationFollowsDebugInTheFirstArgument)
{
    remember(setup("a.ini", 1));
    const struct {
        QStringList args;
        int mode;
    } cases[] = {
        {{"Quorel"}, 0},
        {{"Quorel", "DEBUG"}, 1},
        {{"Quorel", "xxDEBUGyy"}, 3},
        {{"Quorel", "debug"}, 0},
        {{"Quorel", "x", "DEBUG"}, 0},
    };
    for (const auto& c : cases) {
        SetCommandLine(c.args);
        start();
        EXPECT_EQ(frm->SimulationMode, c.mode) << c.args.join(' ').toStdString();
        EXPECT_EQ(frm->SimulationLbl->isVisibleTo(frm.get()), c.mode != 0);
    }
}

TEST_F(StartupTest, RememberedFileIsOpenedWithItsPort)
{
    const QString path = setup("lake.ini", 3);
    remember(path);
    TMainFrm& w = start();
    EXPECT_EQ(w.SetupFileName, path);
    ASSERT_TRUE(w.SetupIni);
    EXPECT_EQ(w.CommPort, 3);
    EXPECT_NE(dynamic_cast<TPortCOM*>(ActivePort), nullptr);
    EXPECT_TRUE(w.PowerAction->isEnabled());
    EXPECT_TRUE(w.PowerOnOffBtn->isEnabled());
    EXPECT_TRUE(w.ConfigurationFileTxt->text().endsWith("lake.ini"));
    EXPECT_EQ(picture(), 4);
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_EQ(w.MainGB->text(), "");
    EXPECT_FALSE(w.NewSurveyBtn->isVisibleTo(&w));
}

TEST_F(StartupTest, WithoutRegistryValueTheSetupNextToTheProgramIsAskedForAndTwoCancelsLeaveNothing)
{
    dialogs.AnswerOpen("");
    dialogs.AnswerOpen("");
    TMainFrm& w = start();
    EXPECT_EQ(w.SetupFileName, TApplication::ExeDir() + "Setup.ini");
    ASSERT_EQ(dialogs.Calls.size(), 2u);
    EXPECT_EQ(dialogs.Calls[0].Kind, "OpenFile");
    EXPECT_EQ(dialogs.Calls[0].Request.Filter, "Setup file (*.ini)|*.ini");
    EXPECT_EQ(dialogs.Calls[0].Request.DefaultExt, "ini");
    EXPECT_FALSE(w.SetupIni);
    EXPECT_EQ(ActivePort, nullptr);
    EXPECT_FALSE(w.PowerAction->isEnabled());
    EXPECT_FALSE(w.PowerOnOffBtn->isEnabled());
    // Nothing may fail afterwards: the port picture, Power, the device poll, closing.
    w.Image2Click(w.Image2);
    w.ConnectBtnClick(w.PowerOnOffBtn);
    w.MainWindowProc(Acquisition::WM_DEVICECHANGE);
    w.OpenConfigurationFileBtnClick(nullptr); // a third, unscripted cancel
    bool canClose = false;
    w.FormCloseQuery(&w, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(remembered(), TApplication::ExeDir() + "Setup.ini");
}

TEST_F(StartupTest, MissingFileReplacedInItsDialogLeavesPowerEnabled)
{
    remember(dir.File("gone.ini"));
    const QString chosen = setup("chosen.ini", 2);
    dialogs.AnswerOpen(chosen);
    TMainFrm& w = start();
    EXPECT_EQ(w.SetupFileName, chosen);
    EXPECT_EQ(w.CommPort, 2);
    EXPECT_TRUE(w.PowerAction->isEnabled());
    EXPECT_TRUE(w.PowerOnOffBtn->isEnabled());
    EXPECT_EQ(dialogs.Calls.size(), 1u) << "the second opening finds the chosen file";
    EXPECT_EQ(dialogs.Calls[0].Request.InitialDir, dir.Path());
}

TEST_F(StartupTest, PortLockAfterALinkWasOpened)
{
    const QString port1 = setup("one.ini", 1);
    const QString port3 = setup("three.ini", 3);
    remember(port1);
    TMainFrm& w = start();
    // Before any link the other port is accepted and the port object follows it.
    w.OpenSetupFile(setup("usb.ini", 99));
    EXPECT_NE(dynamic_cast<TPortUSB*>(ActivePort), nullptr);
    w.OpenSetupFile(port1);
    TPortVirt* port = ActivePort;
    ASSERT_NE(dynamic_cast<TPortCOM*>(port), nullptr);
    // A link opened and closed again marks the port object as configured for good.
    port->SetState(1);
    port->SetState(0);
    EXPECT_EQ(port->Configured, 1);
    dialogs.AnswerMessage(IDOK);
    w.OpenSetupFile(port3);
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, "Communication port locked, please quit program before changing it");
    EXPECT_EQ(dialogs.Calls[0].Caption, "Warning");
    EXPECT_EQ(dialogs.Calls[0].Flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(w.CommPort, 1);
    EXPECT_EQ(w.SetupFileName, port1);
    ASSERT_TRUE(w.SetupIni);
    EXPECT_EQ(w.SetupIni->FileName, port1);
    EXPECT_EQ(ActivePort, port);
    EXPECT_TRUE(w.ConfigurationFileTxt->text().endsWith("one.ini"));
    // Another file on the same port is still accepted, and the object stays.
    const QString other1 = setup("other.ini", 1);
    w.OpenSetupFile(other1);
    EXPECT_EQ(w.SetupFileName, other1);
    EXPECT_EQ(ActivePort, port);
    // A missing file whose dialog picks a locked port opens nothing: Power goes off.
    dialogs.AnswerOpen(port3);
    dialogs.AnswerMessage(IDOK);
    w.OpenSetupFile(dir.File("gone.ini"));
    EXPECT_EQ(dialogs.Calls.back().Text, "Communication port locked, please quit program before changing it");
    EXPECT_EQ(w.SetupFileName, other1);
    EXPECT_EQ(w.CommPort, 1);
    EXPECT_FALSE(w.PowerAction->isEnabled());
    EXPECT_FALSE(w.PowerOnOffBtn->isEnabled());
    // The same dialog opening a file on the locked port brings Power back.
    dialogs.AnswerOpen(port1);
    w.OpenSetupFile(dir.File("gone.ini"));
    EXPECT_EQ(w.SetupFileName, port1);
    EXPECT_TRUE(w.PowerAction->isEnabled());
    EXPECT_TRUE(w.PowerOnOffBtn->isEnabled());
    EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join("; ").toStdString();
}

TEST_F(StartupTest, PortPictureFollowsThePortNumber)
{
    remember(setup("p.ini", 1));
    TMainFrm& w = start();
    const struct {
        int port;
        int index;
        bool usb;
    } cases[] = {{1, 2, false}, {2, 3, false}, {3, 4, false}, {4, 5, false}, {7, 6, false}, {0, 6, false}, {99, 0, true}};
    for (const auto& c : cases) {
        w.OpenSetupFile(setup("p.ini", c.port));
        EXPECT_EQ(picture(), c.index) << "port " << c.port;
        EXPECT_EQ(dynamic_cast<TPortUSB*>(ActivePort) != nullptr, c.usb) << "port " << c.port;
        EXPECT_FALSE(w.Image2->Picture().isNull());
        // A device-change message refreshes the picture without touching the port object.
        TPortVirt* before = ActivePort;
        w.MainWindowProc(Acquisition::WM_DEVICECHANGE);
        EXPECT_EQ(ActivePort, before);
        EXPECT_EQ(picture(), c.index);
    }
}

TEST_F(StartupTest, ClosingWithALinkStopsClosesAndRemembers)
{
    const QString path = setup("c.ini", 1);
    remember(path);
    TMainFrm& w = start();
    ActivePort->SetState(1);
    w.PowerOnOffBtn->setChecked(true);
    bool canClose = false;
    w.FormCloseQuery(&w, canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(w.StopRequested, 1);
    EXPECT_EQ(ActivePort->GetState(), 0);
    EXPECT_FALSE(w.PowerOnOffBtn->isChecked());
    EXPECT_EQ(remembered(), path);
    ASSERT_FALSE(shell.Calls.empty());
    EXPECT_EQ(shell.Calls.back().What, "HtmlHelp");
    EXPECT_EQ(shell.Calls.back().Command, HH_CLOSE_ALL);
}

TEST_F(StartupTest, ClosingWithoutALinkOnlyRemembersAndClosesHelp)
{
    const QString path = setup("c.ini", 1);
    remember(path);
    TMainFrm& w = start();
    w.OpenSetupFile(setup("d.ini", 1));
    w.close();
    EXPECT_EQ(remembered(), dir.File("d.ini"));
    EXPECT_EQ(ActivePort->GetState(), 0);
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0].Command, HH_CLOSE_ALL);
}

TEST_F(StartupTest, RegistryFailuresAreShownAndStartUpGoesOn)
{
    // A folder where the store's file should be: it can be neither read nor written.
    QDir().mkpath(dir.File("store.ini"));
    TRegistry::SetStoreFile(dir.File("store.ini"));
    dialogs.AnswerOpen(setup("f.ini", 1));
    TMainFrm& w = start();
    EXPECT_TRUE(w.SetupIni);
    bool canClose = false;
    w.FormCloseQuery(&w, canClose);
    EXPECT_TRUE(canClose);
    int shown = 0;
    for (const auto& c : dialogs.Calls)
        shown += c.Kind == "ShowMessage";
    EXPECT_EQ(shown, 2) << dialogs.Messages().join(" | ").toStdString();
}

TEST_F(StartupTest, HelpShowsTheMainTopicOrAContext)
{
    remember(setup("h.ini", 1));
    TMainFrm& w = start();
    w.ShowHelp(-1);
    w.ShowHelp(12);
    ASSERT_EQ(shell.Calls.size(), 2u);
    EXPECT_EQ(shell.Calls[0].Program, TApplication::ExeDir() + "Quorel.chm");
    EXPECT_EQ(shell.Calls[0].Command, HH_DISPLAY_TOPIC);
    EXPECT_EQ(shell.Calls[1].Command, HH_HELP_CONTEXT);
    EXPECT_EQ(shell.Calls[1].Data, 12);
}

TEST_F(StartupTest, EnableControlsTouchesOnlyDirectChildren)
{
    remember(setup("e.ini", 1));
    TMainFrm& w = start();
    w.EnableControls(w.VarnokParametersGB, false);
    EXPECT_FALSE(w.TimeEdt->isEnabled());
    EXPECT_FALSE(w.RangePanel->isEnabled());
    EXPECT_TRUE(w.Range15Rb->testAttribute(Qt::WA_ForceDisabled) == false) << "grandchildren keep their own state";
    w.EnableControls(w.VarnokParametersGB, true);
    EXPECT_TRUE(w.TimeEdt->isEnabled());
    EXPECT_TRUE(w.Range15Rb->isEnabled());
}

} // namespace
