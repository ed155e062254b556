// Builds the controls of the main window. Geometry and pictures are placeholders for now.
#include "Main.h"

#include "graph/Pesgvcl.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>

namespace Acquisition {

namespace {
template <class T>
T* make(QWidget* parent, const char* name, const QString& caption = QString())
{
    T* w = new T(parent);
    w->setObjectName(name);
    if constexpr (requires { w->setText(caption); })
        if (!caption.isNull())
            w->setText(caption);
    return w;
}
QGroupBox* group(QWidget* parent, const char* name, const QString& title)
{
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}
} // namespace

void TMainFrm::BuildLayout()
{
    setObjectName("MainFrm");
    setWindowTitle("Quorel");
    resize(1019, 699);

    SelectGB = group(this, "SelectGB", "");
    StartConfigGB = group(this, "StartConfigGB", "Start config :");
    PSeudoGB = group(this, "PSeudoGB", "");
    SelectGB->setGeometry(0, 0, 1019, 57);
    StartConfigGB->setGeometry(0, 57, 361, 642);
    PSeudoGB->setGeometry(361, 57, 658, 642);

    PowerOnOffBtn = make<QToolButton>(SelectGB, "PowerOnOffBtn");
    PowerOnOffBtn->setCheckable(true);
    ConnectGb = group(SelectGB, "ConnectGb", "");
    Label1 = make<QLabel>(ConnectGb, "Label1", "Setup :");
    ConfigurationFileTxt = make<TStaticText>(ConnectGb, "ConfigurationFileTxt", "");
    ConfigurationFileTxt->setGeometry(50, 15, 250, 20);
    OpenConfigurationFileBtn = make<QToolButton>(ConnectGb, "OpenConfigurationFileBtn");
    SpeedButton1 = make<QToolButton>(ConnectGb, "SpeedButton1");
    NewSurveyBtn = make<QPushButton>(SelectGB, "NewSurveyBtn", "New survey");
    Image2 = make<TImage>(SelectGB, "Image2");
    RsOffImg = make<TImage>(SelectGB, "RsOffImg");
    RsOnImg = make<TImage>(SelectGB, "RsOnImg");
    Animate1 = make<TAnimate>(SelectGB, "Animate1");
    MainGB = make<QLabel>(SelectGB, "MainGB", "MainGB");
    FilenameLbl = make<QLabel>(SelectGB, "FilenameLbl", "Filename :");
    FilenameEdt = make<QLabel>(SelectGB, "FilenameEdt", "");
    SimulationBtn = make<QPushButton>(SelectGB, "SimulationBtn", "Simulation On/Off");
    SimulationLbl = make<TStaticText>(SelectGB, "SimulationLbl", "Simulation ON");
    SimulationLbl->hide();
    BitBtn4 = make<QPushButton>(SelectGB, "BitBtn4", "");
    BitBtn3 = make<QPushButton>(SelectGB, "BitBtn3", "");

    VarnokParametersGB = group(StartConfigGB, "VarnokParametersGB", "Varnok parameters :");
    TimeLbl = make<QLabel>(VarnokParametersGB, "TimeLbl", "Time (ms) :");
    TimeEdt = make<QLineEdit>(VarnokParametersGB, "TimeEdt", "TimeEdt");
    TxVoltage = make<QLabel>(VarnokParametersGB, "TxVoltage", "Tx voltage  (V) :");
    TxVoltageEdt = make<QLineEdit>(VarnokParametersGB, "TxVoltageEdt", "TxVoltageEdt");
    AddDistanceChk = make<QCheckBox>(VarnokParametersGB, "AddDistanceChk", "Add dist. to spacing :");
    TxVoltageCheckBtn = make<QPushButton>(VarnokParametersGB, "TxVoltageCheckBtn", "Tx Voltage Check");
    RangePanel = make<QFrame>(VarnokParametersGB, "RangePanel");
    Range15Rb = make<QRadioButton>(RangePanel, "Range15Rb", "15 V");
    RangeLbl = make<QLabel>(RangePanel, "RangeLbl", "Range");
    Range5Rb = make<QRadioButton>(RangePanel, "Range5Rb", "5 V");
    IpDataChk = make<QCheckBox>(VarnokParametersGB, "IpDataChk", "IP Data");
    ChannelLbl = make<QLabel>(VarnokParametersGB, "ChannelLbl", "Chan :");
    ChannelEdt = make<QLineEdit>(VarnokParametersGB, "ChannelEdt", "ChannelEdt");
    SwitchRB = make<QRadioButton>(VarnokParametersGB, "SwitchRB", "Switch");
    ViewCableBtn = make<QToolButton>(VarnokParametersGB, "ViewCableBtn");
    Label19 = make<QLabel>(VarnokParametersGB, "Label19", "X Spac. (m)");
    Label18 = make<QLabel>(VarnokParametersGB, "Label18", "Y (m)");
    CaLbl = make<QLabel>(VarnokParametersGB, "CaLbl", "Ca :");
    CaEdt = make<QLineEdit>(VarnokParametersGB, "CaEdt", "");
    YCaEdt = make<QLineEdit>(VarnokParametersGB, "YCaEdt", "");
    CbLbl = make<QLabel>(VarnokParametersGB, "CbLbl", "Cb :");
    CbEdt = make<QLineEdit>(VarnokParametersGB, "CbEdt", "CbEdt");
    YCbEdt = make<QLineEdit>(VarnokParametersGB, "YCbEdt", "CbEdt");
    ScrollBox2 = make<QScrollArea>(VarnokParametersGB, "ScrollBox2");
    auto* rows2 = new QWidget;
    ScrollBox2->setWidget(rows2);
    PanelP11_22 = make<QFrame>(rows2, "PanelP11_22");
    for (int i = 0; i < 21; ++i) {
        QWidget* parent = i < 11 ? rows2 : PanelP11_22;
        const QString n = QString::number(i + 1);
        const QByteArray lblName = (i < 11 ? "P" + n + "Lbl" : "Label" + QString::number(30 + i - 11)).toLatin1();
        PLbl[i] = make<QLabel>(parent, lblName.constData(), "P" + n + " :");
        PEdt[i] = make<QLineEdit>(parent, ("P" + n + "Edt").toLatin1().constData(),
                                  "P" + QString::number(i < 11 ? i + 1 : i - 10) + "Edt");
        YPEdt[i] = make<QLineEdit>(parent, ("YP" + n + "Edt").toLatin1().constData(),
                                   "P" + QString::number(i < 11 ? i + 1 : i - 10) + "Edt");
    }

    GroupBox2 = group(StartConfigGB, "GroupBox2", "GPS / Sounder :");
    GpsConnectedCB = make<QCheckBox>(GroupBox2, "GpsConnectedCB", "GPS connected :");
    GpsDisconnectLbl = make<TStaticText>(GroupBox2, "GpsDisconnectLbl", "GPS timeout");
    SounderCB = make<QCheckBox>(GroupBox2, "SounderCB", "Sounder connected :");
    SounderLblx = make<TStaticText>(GroupBox2, "SounderLblx", "0");
    SounderDisconnectLbl = make<TStaticText>(GroupBox2, "SounderDisconnectLbl", "Sounder timeout");
    AltitudeLblx = make<TStaticText>(GroupBox2, "AltitudeLblx", "0");
    Label17 = make<QLabel>(GroupBox2, "Label17", "Speed (km/h):");
    Speedtxt = make<TStaticText>(GroupBox2, "Speedtxt", "0");
    Label4 = make<QLabel>(GroupBox2, "Label4", "Trip (m) :");
    BitBtn5 = make<QPushButton>(GroupBox2, "BitBtn5", "&New ref.");
    DistanceLblx = make<TStaticText>(GroupBox2, "DistanceLblx", "0");
    Label16 = make<QLabel>(GroupBox2, "Label16", "Total distance (m) :");
    MinDistanceLbl = make<QLabel>(GroupBox2, "MinDistanceLbl", "Min :");
    NewRefLblx = make<TStaticText>(GroupBox2, "NewRefLblx", "0");

    GroupBox3 = group(StartConfigGB, "GroupBox3", "Data :");
    Label5 = make<QLabel>(GroupBox3, "Label5", "In : (mA)");
    InLblx = make<TStaticText>(GroupBox3, "InLblx", "0");
    ScrollBox1 = make<QScrollArea>(GroupBox3, "ScrollBox1");
    auto* rows1 = new QWidget;
    ScrollBox1->setWidget(rows1);
    PanelV11_20 = make<QFrame>(rows1, "PanelV11_20");
    for (int i = 0; i < 20; ++i) {
        QWidget* parent = i < 10 ? rows1 : PanelV11_20;
        const QByteArray lblName = ("Label" + QString::number(i < 10 ? 6 + i : 20 + i - 10)).toLatin1();
        VLbl[i] = make<QLabel>(parent, lblName.constData(), QString("P %1-%2 :").arg(i + 1).arg(i + 2));
        VLblx[i] = make<TStaticText>(parent, ("V" + QString::number(i + 1) + "Lblx").toLatin1().constData(), "0");
    }
    ShowVp = make<QToolButton>(GroupBox3, "ShowVp", "Vp (mV)");
    ShowRho = make<QToolButton>(GroupBox3, "ShowRho", "Rho (Ohm.m)");

    NewGpsBtn = make<QPushButton>(StartConfigGB, "NewGpsBtn", "Start <F3>");
    PauseBtn = make<QToolButton>(StartConfigGB, "PauseBtn", "Pause");
    PauseBtn->setCheckable(true);
    StopBtn = make<QPushButton>(StartConfigGB, "StopBtn", "Stop <F4>");
    Panel2 = make<QFrame>(StartConfigGB, "Panel2");
    MarkImg = make<TImage>(Panel2, "MarkImg");
    MarkImg->hide();

    Panel1 = make<QFrame>(PSeudoGB, "Panel1");
    VisibleRB = make<QCheckBox>(Panel1, "VisibleRB", "Graph enable");
    Label2 = make<QLabel>(Panel1, "Label2", "Max :");
    SMax = make<QSlider>(Panel1, "SMax");
    Label3 = make<QLabel>(Panel1, "Label3", "Min :");
    SMin = make<QSlider>(Panel1, "SMin");
    BitBtn7 = make<QPushButton>(Panel1, "BitBtn7", "Apply");
    FilterBtn = make<QPushButton>(Panel1, "FilterBtn", "Scale");
    PESGraph1 = make<PESGraph>(PSeudoGB, "PESGraph1");
    PESGraph2 = make<PESGraph>(PSeudoGB, "PESGraph2");

    auto action = [this](const char* name, const QString& caption, const QString& hint, Qt::Key key,
                         void (TMainFrm::*handler)(QObject*)) {
        auto* a = new QAction(caption, this);
        a->setObjectName(name);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        a->setShortcut(QKeySequence(key));
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        connect(a, &QAction::triggered, this, [this, a, handler] { (this->*handler)(a); });
        return a;
    };
    PowerAction = action("PowerAction", "Power On", "Power On/Off", Qt::Key_F2, &TMainFrm::ConnectBtnClick);
    Action2 = action("Action2", "Start", "Start acquisition", Qt::Key_F3, &TMainFrm::NewGpsBtnClick);
    Action4 = action("Action4", "Stop", "Stop acquisition", Qt::Key_F4, &TMainFrm::StopBtnClick);
    Mark5 = action("Mark5", "Mark5", "Insert Mark", Qt::Key_F5, &TMainFrm::Mark5Execute);
    Mark6 = action("Mark6", "Mark6", "Insert Mark", Qt::Key_F6, &TMainFrm::Mark6Execute);
    Mark7 = action("Mark7", "Mark7", "Insert Mark", Qt::Key_F7, &TMainFrm::Mark7Execute);
    Mark8 = action("Mark8", "Mark8", "Insert Mark", Qt::Key_F8, &TMainFrm::Mark8Execute);
    Mark9 = action("Mark9", "Mark9", "Insert incremented Mark", Qt::Key_F9, &TMainFrm::Mark9Execute);
    VpAction = action("VpAction", "Vp (mV)", "", Qt::Key_F10, &TMainFrm::ShowVpClick);
    RhoAction = action("RhoAction", "Rho (Ohm.m)", "", Qt::Key_F11, &TMainFrm::ShowRhoClick);

    connect(PowerOnOffBtn, &QToolButton::clicked, PowerAction, &QAction::trigger);
    connect(OpenConfigurationFileBtn, &QToolButton::clicked, this, [this] { OpenConfigurationFileBtnClick(OpenConfigurationFileBtn); });
    connect(Image2, &TImage::clicked, this, [this] { Image2Click(Image2); });

    for (int i = 0; i < 7; ++i) {
        QPixmap p(47, 15);
        p.fill(QColor::fromRgb(0xC0, 0xC0, 0xC0 + i * 8 % 64));
        ImageList3.Images.push_back(p);
    }
}

} // namespace Acquisition
