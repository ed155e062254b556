// The main window's small commands: about box, help, the setup editor on the current setup
// file, the cable views, leaving the channel box, the USB check program, and the graph-scale dialog.
#include "Main.h"
#include "MainCommands.h"

#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/NumberFormat.h"
#include "platform/Shell.h"
#include "views/About.h"
#include "views/Filter.h"
#include "views/Schema.h"
#include "views/Schema20.h"
#include "acquisition/setup/SetupFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QRadioButton>

namespace Acquisition {

namespace {

constexpr const char* SetupEditorProgram = "QuorelIni";
constexpr const char* UsbCheckProgram = "LinkTest";
constexpr int UsbPort = 99;

void setBackground(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Button, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

TScaleFields MainFrmScale()
{
    TScaleFields f;
    if (TMainFrm* w = ::MainFrm) {
        f.AutoScale = &w->AutoScale;
        f.ScaleMin = &w->ScaleMin;
        f.ScaleMax = &w->ScaleMax;
        f.EnableControls = [w](QWidget* container, bool enabled) { w->EnableControls(container, enabled); };
    }
    return f;
}

void TMainFrm::BitBtn3Click(QObject*)
{
    TAboutBoxFrm box(this);
    box.exec();
}

void TMainFrm::BitBtn4Click(QObject*) { ShowHelp(-1); }

// The editor gets the setup file's path as its one argument, whole whatever blanks or quotes it
// holds (the child is started without a shell), and the window waits for it without handling
// its messages. The editor is looked for beside the program, else in a folder the user names
// once per run; a folder whose editor does not start is asked for again next time.
void TMainFrm::SpeedButton1Click(QObject*)
{
    const QStringList arguments{SetupFileName};
    const QString beside = TApplication::ExeDir() + SetupEditorProgram;
    if (QFileInfo(beside).isFile()) {
        Shell().RunAndWait(beside, arguments);
    } else {
        if (SetupEditorDir.isEmpty()) {
            QString folder = QDir::cleanPath(TApplication::ExeDir());
            if (Dialogs().SelectFolder("Select Directory", folder))
                SetupEditorDir = folder;
        }
        // A cancelled question starts nothing (there is no folder to start from).
        if (!SetupEditorDir.isEmpty() && !Shell().RunAndWait(QDir(SetupEditorDir).filePath(SetupEditorProgram), arguments))
            SetupEditorDir.clear();
    }
    OpenSetupFile(SetupFileName);
}

// A box that holds no number raises the conversion error before any view is touched.
void TMainFrm::ViewCableBtnClick(QObject*)
{
    std::array<float, TSchema20Frm::Electrodes> positions{};
    positions[0] = Setup::StrToFloat32(CaEdt->text());
    positions[1] = Setup::StrToFloat32(CbEdt->text());
    for (int i = 0; i < 11; ++i)
        positions[2 + i] = Setup::StrToFloat32(PEdt[i]->text());
    const int32_t count = StrToIntDef(ChannelEdt->text(), 10);
    const QString setupName = ConfigurationFileTxt->text();
    if (count <= 10) {
        if (!SchemaFrm)
            return;
        std::array<float, TSchemaFrm::Electrodes> first{};
        std::copy_n(positions.begin(), first.size(), first.begin());
        SchemaFrm->ShowConnections(this, first, setupName, count);
        SchemaFrm->ShowInFront();
        return;
    }
    for (int i = 11; i < 21; ++i)
        positions[2 + i] = Setup::StrToFloat32(PEdt[i]->text());
    if (!Schema20Frm)
        return;
    Schema20Frm->ShowConnections(this, positions, setupName);
    Schema20Frm->ShowInFront();
}

void TMainFrm::ChannelEdtExit(QObject*) { ShowSwitchUnit(StrToIntDef(ChannelEdt->text(), 10)); }

void TMainFrm::ShowSwitchUnit(int32_t channels)
{
    setBackground(SwitchRB, palette().color(QPalette::Button));
    if (channels > 10) {
        PanelP11_22->show();
        PanelV11_20->show();
    } else {
        // Red: the switch unit is set although 10 channels or fewer are used.
        if (SwitchEnabled != 0)
            setBackground(SwitchRB, QColor(255, 0, 0));
        PanelP11_22->hide();
        PanelV11_20->hide();
    }
}

// The USB check program is started only for the USB port and never waited for; whether it
// started is not looked at. Before any setup file is open there is no port to check.
void TMainFrm::Image2Click(QObject*)
{
    if (!SetupIni)
        return;
    if (SetupIni->ReadInteger("Communication", "Port", 1) == UsbPort)
        Shell().StartDetached(TApplication::ExeDir() + UsbCheckProgram, {});
}

void TMainFrm::FilterBtnClick(QObject*)
{
    if (FilterFrm)
        FilterFrm->exec();
}

} // namespace Acquisition
