#include "Main.h"

#include "GraphDesign.h"
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "link/Portvirt.h"
#include "platform/Application.h"
#include "platform/CommandLine.h"
#include "platform/DeviceMonitor.h"
#include "platform/Dialogs.h"
#include "platform/Dispatch.h"
#include "platform/MinimizeName.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <QAction>
#include <QScopeGuard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

Acquisition::TMainFrm* MainFrm = nullptr;

namespace Acquisition {

namespace {
QString registryPath() { return QString(RegistryKey) + RegistrySubKey; }
} // namespace

TMainFrm::TMainFrm(QWidget* owner) : QWidget(owner)
{
    MainFrm = this;
    BuildLayout();
    LoadPseudoSectionDesign(*PESGraph1);
    LoadProfileDesign(*PESGraph2);
    // DipoleRecords are zero from their construction.
    AcquisitionFileName = TApplication::ExeDir() + "Quorel.txt";
    HelpFile = TApplication::ExeDir() + "Quorel.chm";
    StopRequested = 0;
    RaiseProcessPriority();
    SetupFileName = TApplication::ExeDir() + "Setup.ini";
    try {
        TRegistry registry;
        QString remembered;
        if (registry.ReadString(registryPath(), RegistryValue, remembered))
            SetupFileName = remembered;
    } catch (const ERegistryException& e) {
        Dialogs().ShowMessage(e.Message);
    }
    CommPort = 1;
    AutoScale = 1;
    ModelTagFound = 0;
    std::fill(Workspace.begin() + 124, Workspace.begin() + 190, 0.0f);

    // The picture follows USB devices being plugged in or removed.
    auto* devices = new TDeviceMonitor(UsbDeviceCount, this);
    devices->setObjectName("DeviceMonitor");
    connect(devices, &TDeviceMonitor::Changed, this, [this] { MainWindowProc(WM_DEVICECHANGE); });
    // A serial adapter's removal is no USB notice everywhere: the link's device is also looked at
    // every second.
    auto* linkWatch = new QTimer(this);
    linkWatch->setObjectName("LinkDeviceWatch");
    connect(linkWatch, &QTimer::timeout, this, [this] { WatchLinkDevice(); });
    linkWatch->start(1000);
}

TMainFrm::~TMainFrm()
{
    if (MainFrm == this)
        MainFrm = nullptr;
}

void TMainFrm::FormCreate(QObject*)
{
    SetupIni.reset();
    OpenSetupFile(SetupFileName);
    RsOffImg->show();
    RsOnImg->hide();
    Image2->setEnabled(true);
    MainGB->setText("");
    NewGpsBtn->setEnabled(false);
    PauseBtn->setEnabled(false);
    StopBtn->setEnabled(false);
    StartConfigGB->hide();
    PSeudoGB->hide();
    NewSurveyBtn->hide();
    // Simulation when the first argument holds "DEBUG" (1-based position, as the user counts).
    SimulationMode = static_cast<int32_t>(ParamStr(1).indexOf("DEBUG", 0, Qt::CaseSensitive) + 1);
    SimulationLbl->setVisible(SimulationMode != 0);
    OpenSetupFile(SetupFileName);
}

bool TMainFrm::ChooseSetupFile()
{
    TFileDialogRequest request;
    request.DefaultExt = "ini";
    request.Filter = "Setup file (*.ini)|*.ini";
    request.FileName = SetupFileName;
    request.InitialDir = QFileInfo(SetupFileName).absolutePath();
    if (!Dialogs().OpenFile(request))
        return false;
    OpenSetupFile(request.FileName);
    return true;
}

void TMainFrm::OpenConfigurationFileBtnClick(QObject*)
{
    ChooseSetupFile();
}

void TMainFrm::OpenSetupFile(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        // Power stays usable when the dialog went on to open a valid file; a cancelled dialog
        // or a file refused by the port lock leaves it disabled.
        const int before = openings_;
        ChooseSetupFile();
        if (openings_ == before) {
            PowerAction->setEnabled(false);
            PowerOnOffBtn->setEnabled(false);
        }
        return;
    }
    auto previous = std::move(SetupIni);
    SetupIni = std::make_unique<TIniFile>(path);
    if (ActivePort && ActivePort->Configured && SetupIni->ReadInteger("Communication", "Port", 1) != CommPort) {
        Dialogs().MessageBox("Communication port locked, please quit program before changing it", "Warning",
                             MB_OK | MB_ICONINFORMATION);
        SetupIni = std::make_unique<TIniFile>(SetupFileName);
        return;
    }
    previous.reset();
    ++openings_;
    SetupFileName = path;
    ConfigurationFileTxt->setText(MinimizeName(path, fontMetrics(), ConfigurationFileTxt->width() - 4));
    CommPort = SetupIni->ReadInteger("Communication", "Port", 1);
    ShowPortImage(true);
    MainGB->setEnabled(true);
    PowerOnOffBtn->setEnabled(true);
    PowerAction->setEnabled(true);
    ShowValue();
}

void TMainFrm::ShowPortImage(bool recreate)
{
    if (recreate) {
        try {
            if (ActivePort && !ActivePort->Configured) {
                delete ActivePort;
                ActivePort = nullptr;
            }
            if (!ActivePort) {
                if (CommPort == 99)
                    ActivePort = new TPortUSB();
                else
                    ActivePort = new TPortCOM(MainFrm);
            }
        } catch (const std::exception& e) {
            Application->ShowException(e);
        }
    }
    int index = 6;
    if (CommPort == 99)
        index = UsbDeviceCount() != 0 ? 1 : 0;
    else if (CommPort >= 1 && CommPort <= 4)
        index = CommPort + 1;
    Image2->SetPicture(QPixmap());
    Image2->SetPicture(ImageList3.GetBitmap(index));
    Image2->setProperty("pictureIndex", index);
    Image2->repaint();
}

void TMainFrm::MainWindowProc(unsigned message)
{
    if (message == WM_DEVICECHANGE) {
        ShowPortImage(false);
        WatchLinkDevice();
    }
}

void TMainFrm::FormCloseQuery(QObject*, bool& canClose)
{
    StopRequested = 1;
    closing_ = true;
    const auto closed = qScopeGuard([this] { closing_ = false; });
    try {
        if (takingDown_) {
            // The link is being taken down (Power off's Escape under way): the close joins
            // that, which closes the link when its Escape ends.
        } else if (ActivePort && ActivePort->GetState() > 0) {
            takingDown_ = true;
            const auto takenDown = qScopeGuard([this] { takingDown_ = false; });
            if (PowerOnOffBtn->isChecked())
                PowerOnOffBtn->setChecked(false);
            TApplication::ProcessMessages();
            Disconnect();
            TApplication::ProcessMessages();
            ActivePort->Close();
        } else if (ActivePort && connecting_) {
            // The port is being opened: the opening is given up, so that the program ends
            // with its window instead of connecting without one.
            ActivePort->SetState(0);
        }
    } catch (...) {
        // Nothing may keep the window from closing.
    }
    try {
        TRegistry registry;
        registry.WriteString(registryPath(), RegistryValue, SetupFileName);
    } catch (const ERegistryException& e) {
        Dialogs().ShowMessage(e.Message);
    }
    Shell().HtmlHelp(QString(), HH_CLOSE_ALL, 0);
    canClose = true;
}

void TMainFrm::closeEvent(QCloseEvent* event) { DispatchCloseQuery(this, event); }

bool TMainFrm::eventFilter(QObject* watched, QEvent* event)
{
    return QWidget::eventFilter(watched, event);
}

void TMainFrm::EnableControls(QWidget* container, bool enabled)
{
    if (!container)
        return;
    QWidget* parent = container;
    if (auto* scroll = qobject_cast<QScrollArea*>(container))
        parent = scroll->widget();
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

void TMainFrm::ShowHelp(int context)
{
    if (context < 0)
        Shell().HtmlHelp(TApplication::ExeDir() + "Quorel.chm", HH_DISPLAY_TOPIC, 0);
    else
        Shell().HtmlHelp(TApplication::ExeDir() + "Quorel.chm", HH_HELP_CONTEXT, context);
}


} // namespace Acquisition
