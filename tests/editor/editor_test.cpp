// QuorelIni's window: loading and saving setup files, its start states, the port list, the
// switch-unit indicator and the cable views it opens.
#include "editor/Main.h"
#include "editor/MainLayout.h"
#include "platform/Application.h"
#include "platform/CommandLine.h"
#include "platform/NumberFormat.h"
#include "platform/VersionInfo.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The port question is asked until it gets a valid answer: a script that runs out must end
// the test, not loop for ever. Records the text each box opened with.
class PortDialogs : public ScriptedDialogs {
public:
    QStringList Opened;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        Opened << value;
        if (Script.empty())
            throw std::runtime_error("the port question came back once more than scripted");
        return ScriptedDialogs::InputQuery(caption, prompt, value);
    }
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        SetDecimalSeparator('.');
        SetCommandLine({"QuorelIni"});
        Application->Title = Editor::Title; // as the program sets it at start
    }
    void TearDown() override
    {
        frm.reset();
        SetCommandLine({"QuorelIni"});
    }
    // A new window with its two cable views, as the program creates them at start.
    Editor::TMainFrm& NewWindow(const QStringList& args = {"QuorelIni"})
    {
        frm.reset();
        SetCommandLine(args);
        frm = std::make_unique<Editor::TMainFrm>();
        new TSchemaFrm(frm.get());
        new TSchema20Frm(frm.get());
        return *frm;
    }
    void Show()
    {
        frm->show();
        QApplication::processEvents();
    }
    QString Copy(const QString& dataName, const QString& as = {})
    {
        const QString path = dir.File(as.isEmpty() ? dataName : as);
        QFile::remove(path);
        QFile::copy(QString(QUOREL_TEST_DATA) + "/" + dataName, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    QString Write(const QString& name, const QByteArray& lines)
    {
        QByteArray bytes = lines;
        bytes.replace("\n", "\r\n");
        const QString path = dir.File(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QString Key(const QString& path, const QString& section, const QString& key)
    {
        return TIniFile(path).ReadString(section, key, "<missing>");
    }

    TempDir dir;
    PortDialogs dialogs;
    std::unique_ptr<Editor::TMainFrm> frm;
};

TEST_F(EditorTest, SaveAsBeforeAnyLoadWritesTheConstructionValuesInTheWriteOrder)
{
    auto& f = NewWindow();
    EXPECT_FALSE(f.SaveBtn->isEnabled());
    dialogs.AnswerSave(dir.File("new")); // typed without extension
    f.BitBtn1->click();
    ASSERT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("; ").toStdString();
    const auto& request = dialogs.Calls.at(0).Request;
    EXPECT_EQ(request.Filter, "Setup file (*.ini)|*.ini");
    EXPECT_EQ(request.DefaultExt, "ini");
    EXPECT_FALSE(request.InitialDir.isEmpty());

    const QString path = dir.File("new.ini");
    EXPECT_EQ(readAll(path), readAll(QString(QUOREL_TEST_DATA) + "/new_default.ini"));
    // The new file is the current one.
    EXPECT_EQ(f.SetupFileName, path);
    EXPECT_TRUE(f.SaveBtn->isEnabled());
    EXPECT_TRUE(f.ConfigurationFileTxt->text().endsWith("new.ini"));
    EXPECT_EQ(f.MinDistanceEdt->text(), "1.00");
    EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"new.ini"}) << "no working copy left";
}

TEST_F(EditorTest, SaveUpdatesInPlaceAndKeepsEveryLineItDoesNotWrite)
{
    // Foreign sections, comments, blank lines, the switch tables, "RemoteDelay" and the keys
    // only the acquisition program writes stay as they are.
    const QString path = Copy("update_in.ini");
    auto& f = NewWindow();
    f.LoadSetupFile(path);
    EXPECT_EQ(f.TimeEdt->text(), "300");
    f.TimeEdt->setText("255");
    f.SaveBtn->click();
    ASSERT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("; ").toStdString();
    EXPECT_EQ(readAll(path), readAll(QString(QUOREL_TEST_DATA) + "/update_out.ini"));
    EXPECT_EQ(f.TimeEdt->text(), "250");
    EXPECT_TRUE(f.isVisible() || !f.CommandLineMode());
}

struct LoadSaveCase {
    const char* Name;
    QByteArray File;                             // the setup file before loading
    std::function<void(Editor::TMainFrm&)> Loaded; // checks after the load
    std::function<void(Editor::TMainFrm&)> Edit;   // what the user types before "Save"
    std::vector<std::array<const char*, 3>> Keys;  // section, key, text after the save
    std::function<void(Editor::TMainFrm&)> Reloaded;
};

TEST_F(EditorTest, LoadAndSaveEdgeCases)
{
    using F = Editor::TMainFrm;
    const LoadSaveCase cases[] = {
        {"Bluetooth port 7", "[Communication]\nPort=7\n",
         [](F& f) { EXPECT_EQ(f.NodePortCB->currentText(), "BT"); EXPECT_EQ(f.PortNodeLbl->text(), "7"); },
         {}, {{"Communication", "Port", "7"}}, {}},
        {"USB port", "[Communication]\nPort=99\nSpeed=115200\n",
         [](F& f) { EXPECT_EQ(f.NodePortCB->currentText(), "USB"); EXPECT_EQ(f.SpeedCb->currentText(), "115200"); },
         {}, {{"Communication", "Port", "99"}, {"Communication", "Speed", "115200"}}, {}},
        {"unknown speed", "[Communication]\nSpeed=4800\n",
         [](F& f) { EXPECT_EQ(f.SpeedCb->currentIndex(), -1); }, {}, {{"Communication", "Speed", "9600"}}, {}},
        {"time in tens of milliseconds", "[Parameters]\nRemoteTime=25\n",
         [](F& f) { EXPECT_EQ(f.TimeEdt->text(), "250"); }, [](F& f) { f.TimeEdt->setText("255"); },
         {{"Parameters", "RemoteTime", "25"}}, [](F& f) { EXPECT_EQ(f.TimeEdt->text(), "250"); }},
        {"time that is no integer", "[Parameters]\nRemoteTime=40\n", {}, [](F& f) { f.TimeEdt->setText("2.5e2"); },
         {{"Parameters", "RemoteTime", "25"}}, {}},
        {"negative time kept in 16 bits", "", {}, [](F& f) { f.TimeEdt->setText("-100"); },
         {{"Parameters", "RemoteTime", "65526"}}, {}},
        {"voltage shown in whole volts", "[Parameters]\nRemoteTxVoltage=12.6\n",
         [](F& f) { EXPECT_EQ(f.TxVoltageEdt->text(), "13"); }, [](F& f) { f.TxVoltageEdt->setText("12.6"); },
         {{"Parameters", "RemoteTxVoltage", "12.6000003814697"}}, [](F& f) { EXPECT_EQ(f.TxVoltageEdt->text(), "13"); }},
        {"coordinate shown with two decimals", "[Parameters]\nComSpacing3=2.347\n",
         [](F& f) { EXPECT_EQ(f.PEdt[2]->text(), "2.35"); }, {}, {{"Parameters", "ComSpacing3", "2.34999990463257"}}, {}},
        {"twelve channels turn the switch unit on at the save", "[Parameters]\nChannel=12\n[Relaybox]\nRelyaboxEnabled=0\n",
         [](F& f) { EXPECT_FALSE(f.RelayboxUsedCB->isChecked()); EXPECT_TRUE(f.StringGrid1->isHidden()); },
         {}, {{"Relaybox", "RelyaboxEnabled", "1"}},
         [](F& f) { EXPECT_TRUE(f.RelayboxUsedCB->isChecked()); EXPECT_FALSE(f.StringGrid1->isHidden()); }},
        {"the flag is not read for eight channels", "[Parameters]\nChannel=8\n[Relaybox]\nRelyaboxEnabled=1\n",
         [](F& f) { EXPECT_FALSE(f.RelayboxUsedCB->isChecked()); EXPECT_EQ(f.SwitchEnabled, 0); },
         {}, {{"Relaybox", "RelyaboxEnabled", "0"}}, {}},
        {"switch tables shown, never written", "[Parameters]\nChannel=14\n[Relaybox]\nRelyaboxEnabled=1\n1CA=3\n2P11=40\n",
         [](F& f) {
             EXPECT_TRUE(f.RelayboxUsedCB->isChecked());
             EXPECT_EQ(f.Cell(0, 1), "3");
             EXPECT_EQ(f.Cell(12, 2), "40");
             EXPECT_EQ(f.Cell(2, 1), "1");
             EXPECT_EQ(f.Cell(2, 2), "11");
         },
         {}, {{"Relaybox", "1CA", "3"}, {"Relaybox", "1CB", "<missing>"}, {"Relaybox", "2P11", "40"}}, {}},
        {"range other than 1 is 5 V", "[Parameters]\nRange15=2\n",
         [](F& f) { EXPECT_TRUE(f.Range5Rb->isChecked()); }, {}, {{"Parameters", "Range15", "0"}}, {}},
        {"second set copies A, B and P11", "[Parameters]\nComSpacingB=2\nComSpacing2B=5\nComSpacing11=30\nComSpacing11Y=1.5\n",
         {}, [](F& f) { f.CbEdt->setText("3.5"); },
         {{"Parameters", "ComSpacingB", "3.5"}, {"Parameters", "ComSpacing2B", "3.5"}, {"Parameters", "ComSpacing21", "30"},
          {"Parameters", "ComSpacing21Y", "1.5"}},
         {}},
        {"minimum distance", "[Parameters]\nMinDistance=0.5\n",
         [](F& f) { EXPECT_EQ(f.MinDistanceEdt->text(), "0.50"); }, {}, {{"Parameters", "MinDistance", "0.5"}}, {}},
        {"channel count without range check", "", {}, [](F& f) { f.ChannelEdt->setText("25"); },
         {{"Parameters", "Channel", "25"}, {"Relaybox", "RelyaboxEnabled", "1"}}, {}},
        {"channel count that is no integer", "", {}, [](F& f) { f.ChannelEdt->setText("ten"); },
         {{"Parameters", "Channel", "10"}}, {}},
        {"flags other than 0 are on", "[Parameters]\nIpData=2\nAddDistance=0\nGpsConnected=0\n",
         [](F& f) { EXPECT_TRUE(f.IpDataChk->isChecked()); EXPECT_FALSE(f.AddDistanceChk->isChecked()); },
         {}, {{"Parameters", "IpData", "1"}, {"Parameters", "AddDistance", "0"}, {"Parameters", "GpsConnected", "0"},
              {"Parameters", "SounderConnected", "1"}}, {}},
        {"byte-order mark of a Windows editor before the first section",
         "\xEF\xBB\xBF[Parameters]\nComSpacingA=-3\nChannel=12\n",
         [](F& f) { EXPECT_EQ(f.CaEdt->text(), "-3.00"); EXPECT_EQ(f.ChannelEdt->text(), "12"); },
         [](F& f) { f.CaEdt->setText("-4"); }, {{"Parameters", "ComSpacingA", "-4"}, {"Parameters", "Channel", "12"}},
         [](F& f) {
             const QByteArray saved = readAll(f.SetupFileName);
             EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[Parameters]\r\nComSpacingA=-4\r\n"));
             EXPECT_EQ(saved.count("[Parameters]"), 1) << "no second copy of the section";
             EXPECT_EQ(f.CaEdt->text(), "-4.00");
         }},
        {"P12 to P21 from the second set", "[Parameters]\nComSpacing22=30\nComSpacing211Y=-2\n",
         [](F& f) { EXPECT_EQ(f.PEdt[11]->text(), "30.00"); EXPECT_EQ(f.YPEdt[20]->text(), "-2.00"); },
         {}, {{"Parameters", "ComSpacing22", "30"}, {"Parameters", "ComSpacing211Y", "-2"}}, {}},
    };
    int n = 0;
    for (const LoadSaveCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Write(QString("case%1.ini").arg(++n), c.File);
        auto& f = NewWindow();
        f.LoadSetupFile(path);
        EXPECT_EQ(f.SetupFileName, path);
        if (c.Loaded)
            c.Loaded(f);
        if (c.Edit)
            c.Edit(f);
        f.SaveBtn->click();
        EXPECT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("; ").toStdString();
        for (const auto& [section, key, text] : c.Keys)
            EXPECT_EQ(Key(path, section, key), text) << section << "/" << key;
        if (c.Reloaded)
            c.Reloaded(f);
    }
}

TEST_F(EditorTest, LoadingAfterAnotherFileReplacesEveryControl)
{
    auto& f = NewWindow();
    f.LoadSetupFile(Write("bt.ini", "[Communication]\nPort=7\n"));
    f.LoadSetupFile(Write("com2.ini", "[Communication]\nPort=2\n"));
    EXPECT_EQ(f.NodePortCB->currentText(), "Com 2");
    EXPECT_EQ(f.PortNodeLbl->text(), "");
    EXPECT_EQ(f.CommPort, 2);

    // A long path is shortened to the box, folder by folder.
    const QString deep = dir.File("a-rather-long-folder-name/another-long-folder-name/yet-another-folder/and-one-more");
    QDir().mkpath(deep);
    QFile::copy(dir.File("com2.ini"), deep + "/survey.ini");
    f.LoadSetupFile(deep + "/survey.ini");
    EXPECT_EQ(f.SetupFileName, deep + "/survey.ini");
    EXPECT_TRUE(f.ConfigurationFileTxt->text().contains("...")) << f.ConfigurationFileTxt->text().toStdString();
    EXPECT_TRUE(f.ConfigurationFileTxt->text().endsWith("/survey.ini"));
    EXPECT_LE(f.ConfigurationFileTxt->fontMetrics().horizontalAdvance(f.ConfigurationFileTxt->text()),
              f.ConfigurationFileTxt->width() - 4);
    f.LoadSetupFile(dir.File("com2.ini"));

    // A missing file changes nothing and says nothing.
    f.LoadSetupFile(dir.File("missing.ini"));
    f.LoadSetupFile(dir.Path()); // a folder is no setup file
    EXPECT_EQ(f.SetupFileName, dir.File("com2.ini"));
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(EditorTest, FailedSaveKeepsTheCurrentFileAndWritesNothing)
{
    const QString current = Write("current.ini", "[Parameters]\nChannel=4\n");
    const QByteArray before = readAll(current);
    auto& f = NewWindow();
    f.LoadSetupFile(current);
    const QString shown = f.ConfigurationFileTxt->text();

    struct Failure {
        const char* Name;
        std::function<void()> Prepare;
        QString Target;
        QString Message;
    };
    const QString folderAsFile = dir.File("folder.ini");
    QDir().mkpath(folderAsFile);
    const Failure failures[] = {
        {"empty coordinate", [&] { f.PEdt[4]->setText(""); }, dir.File("other.ini"),
         "'' n'est pas une valeur en virgule flottante correcte."},
        {"not a number", [&] { f.PEdt[2]->setText("nan"); }, dir.File("other.ini"),
         "'nan' n'est pas une valeur en virgule flottante correcte."},
        {"beyond the float range", [&] { f.DepthOffEdt->setText("1e39"); }, dir.File("other.ini"),
         "'1e39' n'est pas une valeur en virgule flottante correcte."},
        {"folder that does not exist", {}, dir.File("no/such/folder/x.ini"),
         "Impossible d'écrire dans " + dir.File("no/such/folder/x.ini") + "."},
        {"target that exists but cannot be read", {}, folderAsFile, "Impossible d'écrire dans " + folderAsFile + "."},
    };
    for (const Failure& c : failures) {
        SCOPED_TRACE(c.Name);
        f.LoadSetupFile(current); // every edit box back to the file
        dialogs.Calls.clear();
        if (c.Prepare)
            c.Prepare();
        dialogs.AnswerSave(c.Target);
        f.BitBtn1->click();
        ASSERT_EQ(dialogs.Messages(), QStringList{c.Message});
        EXPECT_EQ(dialogs.Calls.back().Caption, "Create Quorel setup file");
        EXPECT_FALSE(QFileInfo(c.Target).isFile());
        EXPECT_EQ(f.SetupFileName, current);
        EXPECT_EQ(f.ConfigurationFileTxt->text(), shown);
    }
    // "Save" on the current file with a bad box writes nothing either.
    dialogs.Calls.clear();
    f.PEdt[4]->setText("x");
    f.SaveBtn->click();
    EXPECT_EQ(dialogs.Messages().size(), 1);
    EXPECT_EQ(readAll(current), before);
    EXPECT_TRUE(QFileInfo(folderAsFile).isDir());
}

TEST_F(EditorTest, SaveWritesAWritableFileInAFolderWhereNoFileCanBeMade)
{
    // A setup file the user may change in a folder the user may not add to: the save writes
    // the file in place, as it cannot put a new file beside it.
    const QString folder = dir.File("locked");
    QDir().mkpath(folder);
    const QString path = folder + "/setup.ini";
    QFile::copy(Write("seed.ini", "[Parameters]\nChannel=4\n"), path);
    auto& f = NewWindow();
    f.LoadSetupFile(path);
    f.ChannelEdt->setText("6");

    struct Lock {
        QString Folder;
        bool Locked = QProcess::execute("chattr", {"+i", Folder}) == 0;
        ~Lock() { if (Locked) QProcess::execute("chattr", {"-i", Folder}); }
    } lock{folder};
    if (!lock.Locked || QFile(folder + "/probe").open(QIODevice::WriteOnly))
        GTEST_SKIP() << "a folder cannot be locked against new files here";

    f.SaveBtn->click();
    EXPECT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("; ").toStdString();
    EXPECT_EQ(Key(path, "Parameters", "Channel"), "6");
    EXPECT_EQ(f.ChannelEdt->text(), "6");
}

TEST_F(EditorTest, StartedWithoutArguments)
{
    EXPECT_EQ(Editor::VersionText(2, 7), "V02.07");
    auto& f = NewWindow();
    Show();
    EXPECT_EQ(f.windowTitle(), QString("Create Quorel setup file  ") + Editor::VersionText(QUOREL_VERSION_MAJOR, QUOREL_VERSION_MINOR));
    EXPECT_FALSE(f.SaveBtn->isEnabled());
    EXPECT_FALSE(f.BitBtn1->isHidden());
    EXPECT_FALSE(f.CommandLineMode());
    EXPECT_EQ(f.TimeEdt->text(), "250");
    EXPECT_EQ(f.ChannelEdt->text(), "10");
    EXPECT_EQ(f.MinDistanceEdt->text(), "1");
    EXPECT_EQ(f.NodePortCB->currentText(), "Com 1");
    EXPECT_EQ(f.SpeedCb->currentText(), "9600");
    EXPECT_EQ(f.CommPort, 1);
    EXPECT_TRUE(f.StringGrid1->isHidden());
    EXPECT_EQ(f.Cell(0, 0), "A");
    EXPECT_EQ(f.Cell(12, 0), "11");
    EXPECT_EQ(f.SwitchTable2[12], 21);
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(EditorTest, StartedOnAFileSaveWritesItAndEndsTheProgram)
{
    const QString path = Write("setup file.ini", "[Parameters]\nChannel=4\n");
    auto& f = NewWindow({"QuorelIni", path});
    Show();
    EXPECT_TRUE(f.CommandLineMode());
    EXPECT_EQ(f.SetupFileName, path);
    EXPECT_TRUE(f.BitBtn1->isHidden());
    EXPECT_TRUE(f.SaveBtn->isEnabled());
    f.ChannelEdt->setText("6");
    f.SaveBtn->click();
    EXPECT_EQ(Key(path, "Parameters", "Channel"), "6");
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.SetupIni, nullptr) << "closing releases the setup file";

    // A save stopped by an error leaves the editor open.
    auto& g = NewWindow({"QuorelIni", path});
    Show();
    g.CaEdt->setText("abc");
    g.SaveBtn->click();
    EXPECT_EQ(dialogs.Messages().size(), 1);
    EXPECT_TRUE(g.isVisible());
}

TEST_F(EditorTest, StartedOnAFileQuitWritesNothing)
{
    const QString path = Write("setup.ini", "[Parameters]\nChannel=4\n");
    const QByteArray before = readAll(path);
    auto& f = NewWindow({"QuorelIni", path});
    Show();
    f.ChannelEdt->setText("6");
    f.BitBtn3->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(readAll(path), before);
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(EditorTest, StartedOnAMissingFile)
{
    auto& f = NewWindow({"QuorelIni", dir.File("missing.ini")});
    Show();
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_FALSE(f.SaveBtn->isEnabled());
    EXPECT_TRUE(f.BitBtn1->isHidden());
    EXPECT_TRUE(f.SetupFileName.isEmpty());
    dialogs.AnswerOpen("");
    f.OpenConfigurationFileBtn->click();
    EXPECT_FALSE(f.BitBtn1->isHidden()) << "\"Open file\" shows \"Save as...\" even when cancelled";

    // An empty argument keeps "Save as..." visible.
    auto& g = NewWindow({"QuorelIni", ""});
    Show();
    EXPECT_FALSE(g.BitBtn1->isHidden());
    EXPECT_FALSE(g.SaveBtn->isEnabled());
}

TEST_F(EditorTest, OpenFileLoadsTheChosenFile)
{
    const QString path = Write("chosen.ini", "[Parameters]\nChannel=7\n");
    auto& f = NewWindow();
    dialogs.AnswerOpen(dir.File("chosen")); // typed without extension
    f.OpenConfigurationFileBtn->click();
    EXPECT_EQ(f.SetupFileName, path);
    EXPECT_EQ(f.ChannelEdt->text(), "7");
    EXPECT_EQ(dialogs.Calls.at(0).Request.Filter, "Setup file (*.ini)|*.ini");
}

TEST_F(EditorTest, BluetoothPortQuestion)
{
    auto& f = NewWindow();
    auto choose = [&](const QString& item) {
        f.NodePortCB->setCurrentIndex(f.NodePortCB->findText(item));
        f.NodePortCB->activated(f.NodePortCB->currentIndex());
    };
    choose("USB");
    EXPECT_EQ(f.CommPort, 99);

    // After USB the box opens with 99 and comes back until a number from 1 to 98 is entered.
    dialogs.AnswerInput("100");
    dialogs.AnswerInput("", false); // Cancel keeps the text the box opened with
    dialogs.AnswerInput("0");
    dialogs.AnswerInput("5");
    choose("BT");
    EXPECT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("; ").toStdString();
    EXPECT_EQ(dialogs.Opened, QStringList({"99", "100", "100", "0"}));
    EXPECT_EQ(dialogs.Calls.at(0).Caption, "Enter bluetooth outgoing port number");
    EXPECT_EQ(dialogs.Calls.at(0).Text, "value (1..98) :");
    EXPECT_EQ(f.CommPort, 5);
    EXPECT_EQ(f.PortNodeLbl->text(), "5");

    // USB after a Bluetooth port: the number goes.
    choose("USB");
    EXPECT_EQ(f.PortNodeLbl->text(), "");
    EXPECT_EQ(f.CommPort, 99);

    // After Com 3, Cancel takes 3.
    choose("Com 3");
    dialogs.Opened.clear();
    dialogs.AnswerInput("", false);
    choose("BT");
    EXPECT_EQ(dialogs.Opened, QStringList{"3"});
    EXPECT_EQ(f.CommPort, 3);
    EXPECT_EQ(f.PortNodeLbl->text(), "3");

    // A selection made by a load asks nothing.
    f.LoadSetupFile(Write("bt.ini", "[Communication]\nPort=42\n"));
    EXPECT_EQ(f.NodePortCB->currentText(), "BT");
    EXPECT_TRUE(dialogs.Script.empty());
}

TEST_F(EditorTest, ChannelBoxSetsTheSwitchUnitIndicator)
{
    auto& f = NewWindow();
    f.LoadSetupFile(Write("tables.ini", "[Relaybox]\n1P1=9\n"));
    Show();
    // Leaving the box by moving the focus runs the rule.
    f.ChannelEdt->setFocus();
    f.ChannelEdt->setText("12");
    f.TimeEdt->setFocus();
    QApplication::processEvents();
    if (!f.RelayboxUsedCB->isChecked()) // the offscreen platform may give no window focus
        f.ChannelEdtExit(f.ChannelEdt);
    EXPECT_TRUE(f.RelayboxUsedCB->isChecked());
    EXPECT_EQ(f.SwitchEnabled, 1);
    EXPECT_FALSE(f.StringGrid1->isHidden());
    EXPECT_EQ(f.Cell(2, 1), "9");

    f.ChannelEdt->setText("8");
    f.ChannelEdtExit(f.ChannelEdt);
    EXPECT_FALSE(f.RelayboxUsedCB->isChecked());
    EXPECT_EQ(f.SwitchEnabled, 0);
    EXPECT_TRUE(f.StringGrid1->isHidden());

    f.ChannelEdt->setText("eleven"); // no integer: 10
    f.ChannelEdtExit(f.ChannelEdt);
    EXPECT_FALSE(f.RelayboxUsedCB->isChecked());
}

// The boxes are wide enough for ordinary coordinates; a value wider still shows its start,
// sign first, as in the acquisition window.
TEST_F(EditorTest, ALoadedValueWiderThanItsBoxShowsItsStart)
{
    auto& f = NewWindow();
    Show();
    f.LoadSetupFile(Write("wide.ini", "[Parameters]\nComSpacingA=-1000\nComSpacing5Y=-123456789012\n"
                                      "MinDistance=10000000000\n"));
    const struct {
        QLineEdit* box;
        const char* text;
    } cases[] = {{f.CaEdt, "-1000.00"}, {f.YPEdt[4], "-123456790528.00"}, {f.MinDistanceEdt, "10000000000.00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.box->text(), c.text);
        EXPECT_TRUE(ShowsTextStart(c.box));
    }
}

TEST_F(EditorTest, ViewCableConnectionsShowsTheViewForTheChannelCount)
{
    auto& f = NewWindow();
    Show();
    f.ChannelEdt->setText("12");
    f.CbEdt->setText("2");
    for (int i = 0; i < 21; ++i)
        f.PEdt[i]->setText(QString::number(2 * i + 4));
    f.ViewCableBtn->click();
    ASSERT_TRUE(Schema20Frm->isVisible());
    EXPECT_FALSE(SchemaFrm->isVisible());
    EXPECT_EQ(Schema20Frm->CA->text(), "23");
    EXPECT_EQ(Schema20Frm->pp[0]->text(), "21"); // P21 is the farthest
    EXPECT_EQ(Schema20Frm->L[0]->text(), "44");
    Schema20Frm->hide();

    f.ChannelEdt->setText("10");
    f.ViewCableBtn->click();
    ASSERT_TRUE(SchemaFrm->isVisible());
    EXPECT_EQ(SchemaFrm->CA->text(), "13");
    EXPECT_EQ(SchemaFrm->L[0]->text(), "24");
    EXPECT_EQ(SchemaFrm->SetupSTxt->text(), f.ConfigurationFileTxt->text());
    SchemaFrm->BitBtn1->click();
    EXPECT_FALSE(SchemaFrm->isVisible());

    f.PEdt[2]->setText("");
    f.ViewCableBtn->click();
    EXPECT_EQ(dialogs.Messages(), QStringList{"'' n'est pas une valeur en virgule flottante correcte."});
    EXPECT_FALSE(SchemaFrm->isVisible());
}

// Showing a view that is open but minimised brings it back to the screen, in front, with the
// content of this press.
TEST_F(EditorTest, AMinimisedCableViewComesBackInFront)
{
    auto& f = NewWindow();
    Show();
    for (int i = 0; i < 21; ++i)
        f.PEdt[i]->setText(QString::number(2 * i + 4));
    const struct {
        const char* channels;
        Schema::TCableForm* view;
        int lastOutput; // the output that carries the smallest position
    } cases[] = {{"10", SchemaFrm, 13}, {"20", Schema20Frm, 23}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        f.ChannelEdt->setText(c.channels);
        f.CaEdt->setText("0");
        f.ViewCableBtn->click();
        ExpectBackInFront(c.view, &f, [&] {
            f.CaEdt->setText("-5");
            f.ViewCableBtn->click();
        });
        EXPECT_EQ(c.view->L[c.lastOutput - 1]->text(), "-5");
        c.view->hide();
    }
}

TEST_F(EditorTest, TabGoesFromRowToRowOfTheElectrodeTableAndNeverToTheScrollBox)
{
    auto& f = NewWindow();
    Show();
    QStringList rows;
    for (int i = 1; i <= 21; ++i)
        rows << "P" + QString::number(i) + "Edt" << "YP" + QString::number(i) + "Edt";
    QStringList outOfView;
    const QStringList stops = TabStops(f.YCbEdt, 200, &outOfView);
    EXPECT_EQ(stops.mid(0, rows.size()).join(" ").toStdString(), rows.join(" ").toStdString());
    EXPECT_TRUE(outOfView.isEmpty()) << "the box scrolls the focused row into view: " << outOfView.join(" ").toStdString();
    EXPECT_TRUE(stops.contains("YCbEdt")) << "once round the window and back";
    EXPECT_FALSE(stops.contains("ScrollBox2"));
}

TEST_F(EditorTest, SwitchUnitIndicatorReadsLikeAnyControlButTheUserCannotChangeIt)
{
    auto& f = NewWindow();
    Show();
    // A disabled control is drawn greyed.
    EXPECT_TRUE(f.RelayboxUsedCB->isEnabled());
    const QPoint centre = f.RelayboxUsedCB->mapTo(&f, f.RelayboxUsedCB->rect().center());
    for (bool state : {false, true}) {
        f.RelayboxUsedCB->setChecked(state);
        // A click where it stands, as the window system delivers it.
        QTest::mouseClick(f.windowHandle(), Qt::LeftButton, Qt::NoModifier, centre);
        QApplication::processEvents();
        EXPECT_EQ(f.RelayboxUsedCB->isChecked(), state);
    }
    EXPECT_FALSE(TabStops(f.ChannelEdt, 200).contains("RelayboxUsedCB")) << "the keyboard never reaches it";
}

TEST_F(EditorTest, WindowIsBuiltFromItsTable)
{
    auto& f = NewWindow();
    EXPECT_EQ(f.size(), QSize(551, 594));
    for (const auto& c : Editor::Layout::Controls()) {
        QWidget* w = f.findChild<QWidget*>(c.Name);
        ASSERT_NE(w, nullptr) << c.Name.toStdString();
        EXPECT_EQ(w->geometry(), c.Bounds) << c.Name.toStdString();
        EXPECT_EQ(w->isHidden(), bool(c.Flags & Editor::Layout::Hidden)) << c.Name.toStdString();
    }
    EXPECT_EQ(f.NodePortCB->count(), 6);
    EXPECT_EQ(f.SpeedCb->itemText(4), "273000");
    EXPECT_EQ(f.Label1->text(), "Set up  :");
    EXPECT_EQ(f.StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);

    // On the right, from top to bottom: GPS / sounder, communication, the picture, "Save as...",
    // "Save", "Quit"; all of them above the switch unit.
    const QWidget* right[] = {f.GroupBox2, f.CommunicationGb, f.ProgramIcon, f.BitBtn1, f.SaveBtn, f.BitBtn3, f.GroupBox1};
    for (size_t i = 0; i + 1 < std::size(right); ++i)
        EXPECT_LE(right[i]->geometry().bottom(), right[i + 1]->geometry().top())
            << right[i]->objectName().toStdString() << " above " << right[i + 1]->objectName().toStdString();
    for (size_t i = 0; i + 1 < std::size(right); ++i)
        EXPECT_GE(right[i]->x(), f.VarnokParametersGB->geometry().right()) << right[i]->objectName().toStdString();

    // "Open file", "View cable connections", "Save" and "Quit" carry pictures; "Save as..." none.
    const std::pair<QAbstractButton*, bool> glyphs[] = {
        {f.OpenConfigurationFileBtn, true}, {f.ViewCableBtn, true}, {f.BitBtn1, false},
        {f.SaveBtn, true}, {f.BitBtn3, true}};
    for (const auto& [button, hasGlyph] : glyphs)
        EXPECT_EQ(!button->icon().isNull(), hasGlyph) << button->objectName().toStdString();
}

} // namespace
