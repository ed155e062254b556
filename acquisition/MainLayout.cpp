// Builds Quorel's main window from the tables below: the window is 1019 x 699 pixels with a
// top bar 57 pixels high, the survey parameters in a 361-pixel column on the left and the two
// graphs on the right.
#include "MainLayout.h"

#include "graph/Pesgvcl.h"
#include "platform/Application.h"
#include "platform/Dispatch.h"
#include "views/Glyphs.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <map>
#include <stdexcept>

namespace Acquisition::Layout {

namespace {

using LayoutTable::icon;
QIcon redLamp(int size) { return QIcon(Glyphs::Lamp(false, size)); }
QIcon greenLamp(int size) { return QIcon(Glyphs::Lamp(true, size)); }

using C = Control;
using K = Kind;
using M = TMainFrm;

// One row of the electrode box (x and y edit boxes) and of the dipole box (a value display).
// The dipole rows stand half a row lower, between the two electrodes of their dipole.
void electrodeRow(std::vector<Control>& t, int i, const QString& parent, int row)
{
    const QString n = QString::number(i + 1);
    const QString label = i < 11 ? "P" + n + "Lbl" : "Label" + QString::number(30 + i - 11);
    const QString text = "P" + QString::number(i < 11 ? i + 1 : i - 10) + "Edt";
    const int y = row * RowPitch;
    t.push_back(C(label, parent, K::Label, {4, y + 4, 30, 14}, "P" + n + " :"));
    t.push_back(C("P" + n + "Edt", parent, K::Edit, {36, y, 50, 22}, text));
    t.push_back(C("YP" + n + "Edt", parent, K::Edit, {88, y, 50, 22}, text));
}

void dipoleRow(std::vector<Control>& t, int i, const QString& parent, int row, int top)
{
    const QString label = "Label" + QString::number(i < 10 ? 6 + i : 20 + i - 10);
    const int y = top + row * RowPitch;
    t.push_back(C(label, parent, K::Label, {4, y + 4, 52, 14}, QString("P %1-%2 :").arg(i + 1).arg(i + 2)));
    t.push_back(C("V" + QString::number(i + 1) + "Lblx", parent, K::ValueDisplay, {58, y, 110, 22}, "0"));
}

std::vector<Control> buildTable()
{
    std::vector<Control> t = {
        // The window's three groups.
        C("SelectGB", "MainFrm", K::GroupBox, {0, 0, 1019, 57}, ""),
        C("StartConfigGB", "MainFrm", K::GroupBox, {0, 57, 361, 642}, "Start config :"),
        C("PSeudoGB", "MainFrm", K::GroupBox, {361, 57, 658, 642}, ""),

        // Top bar, from left to right.
        C("PowerOnOffBtn", "SelectGB", K::SpeedButton, {4, 8, 42, 42})
            .action("PowerAction").flags(Flat | Latching | PictureOnly).glyph(Glyphs::PowerButton, 32),
        C("ConnectGb", "SelectGB", K::GroupBox, {50, 2, 264, 52}, ""),
        C("Label1", "ConnectGb", K::Label, {6, 20, 40, 14}, "Setup :"),
        C("ConfigurationFileTxt", "ConnectGb", K::StaticText, {48, 16, 150, 22}, "").flags(Sunken | WhiteGround),
        C("OpenConfigurationFileBtn", "ConnectGb", K::SpeedButton, {202, 12, 28, 30})
            .hint("Open file", false).flags(Flat).glyph(icon<Glyphs::OpenFolder>, 22)
            .click(&M::OpenConfigurationFileBtnClick),
        C("SpeedButton1", "ConnectGb", K::SpeedButton, {232, 12, 28, 30})
            .hint("Modify value", true).glyph(icon<Glyphs::ModifyDocument>, 22).click(&M::SpeedButton1Click),
        C("NewSurveyBtn", "SelectGB", K::BitBtn, {62, 10, 124, 36}, "New survey")
            .over("ConnectGb").glyph(icon<Glyphs::GlobeSection>, 24).click(&M::BitBtn1Click),
        C("Image2", "SelectGB", K::Image, {320, 8, 47, 15})
            .hint("Check USB", true).flags(HandCursor | Transparent | Centred).click(&M::Image2Click),
        C("RsOffImg", "SelectGB", K::Image, {335, 31, 16, 16}).flags(Transparent).glyph(redLamp, 16),
        C("RsOnImg", "SelectGB", K::Image, {335, 31, 16, 16})
            .over("RsOffImg").flags(Hidden | Transparent).glyph(greenLamp, 16),
        C("Animate1", "SelectGB", K::Animation, {372, 4, 44, 24}).flags(Hidden),
        // Two lines high, so that a failure with its device or file and its reason reads whole.
        C("MainGB", "SelectGB", K::StatusLine, {420, 4, 420, 28}, "MainGB").flags(NavyText | Centred),
        C("FilenameLbl", "SelectGB", K::Label, {372, 35, 58, 14}, "Filename :"),
        C("FilenameEdt", "SelectGB", K::Label, {432, 33, 409, 18}, "").flags(NavyText | Centred),
        C("SimulationBtn", "SelectGB", K::BitBtn, {846, 4, 140, 26}, "Simulation On/Off")
            .hint("Simulation mode", false).glyph(icon<Glyphs::Gear>, 16).click(&M::SimulationBtnClick),
        C("SimulationLbl", "SelectGB", K::Warning, {846, 32, 140, 21}, "Simulation ON").flags(Hidden | Centred),
        C("BitBtn4", "SelectGB", K::BitBtn, {990, 4, 26, 24}, "")
            .hint("Help", false).glyph(icon<Glyphs::HelpMark>, 16).click(&M::BitBtn4Click),
        C("BitBtn3", "SelectGB", K::BitBtn, {990, 30, 26, 24}, "")
            .hint("About", false).glyph(icon<Glyphs::Emblem>, 16).click(&M::BitBtn3Click),

        // Left column: the instrument's parameters and the electrode positions.
        C("VarnokParametersGB", "StartConfigGB", K::GroupBox, {4, 18, 158, 582}, "Varnok parameters :"),
        C("TimeLbl", "VarnokParametersGB", K::Label, {6, 22, 88, 14}, "Time (ms) :"),
        C("TimeEdt", "VarnokParametersGB", K::Edit, {96, 18, 54, 22}, "TimeEdt"),
        C("TxVoltage", "VarnokParametersGB", K::Label, {6, 46, 88, 14}, "Tx voltage  (V) :"),
        C("TxVoltageEdt", "VarnokParametersGB", K::Edit, {96, 42, 54, 22}, "TxVoltageEdt"),
        C("AddDistanceChk", "VarnokParametersGB", K::CheckBox, {6, 68, 146, 26}, "Add dist. to spacing :")
            .flags(Checked | Disabled | Hidden | TextLeft),
        C("TxVoltageCheckBtn", "VarnokParametersGB", K::BitBtn, {6, 68, 146, 26}, "Tx Voltage Check")
            .over("AddDistanceChk").glyph(icon<Glyphs::WrenchGear>, 16).click(&M::TxVoltageCheckBtnClick),
        C("RangePanel", "VarnokParametersGB", K::Panel, {4, 97, 150, 20}),
        C("Range15Rb", "RangePanel", K::RadioButton, {2, 1, 50, 18}, "15 V").flags(Checked),
        C("RangeLbl", "RangePanel", K::Label, {56, 3, 38, 14}, "Range").hint("Max input range", false),
        C("Range5Rb", "RangePanel", K::RadioButton, {96, 1, 52, 18}, "5 V").flags(TextLeft),
        C("IpDataChk", "VarnokParametersGB", K::CheckBox, {6, 119, 80, 19}, "IP Data").flags(TextLeft),
        C("ChannelLbl", "VarnokParametersGB", K::Label, {6, 146, 36, 14}, "Chan :"),
        C("ChannelEdt", "VarnokParametersGB", K::Edit, {42, 142, 24, 22}, "ChannelEdt"),
        C("SwitchRB", "VarnokParametersGB", K::RadioButton, {67, 143, 63, 20}, "Switch").flags(TextLeft),
        C("ViewCableBtn", "VarnokParametersGB", K::SpeedButton, {131, 141, 24, 24})
            .hint("View cable connections", true).glyph(icon<Glyphs::EyeRuler>, 16).click(&M::ViewCableBtnClick),
        C("Label19", "VarnokParametersGB", K::Label, {30, 168, 66, 14}, "X Spac. (m)"),
        C("Label18", "VarnokParametersGB", K::Label, {100, 168, 40, 14}, "Y (m)"),
        C("CaLbl", "VarnokParametersGB", K::Label, {6, 186, 30, 14}, "Ca :"),
        C("CaEdt", "VarnokParametersGB", K::Edit, {38, 182, 50, 22}, ""),
        C("YCaEdt", "VarnokParametersGB", K::Edit, {90, 182, 50, 22}, ""),
        C("CbLbl", "VarnokParametersGB", K::Label, {6, 210, 30, 14}, "Cb :"),
        C("CbEdt", "VarnokParametersGB", K::Edit, {38, 206, 50, 22}, "CbEdt"),
        C("YCbEdt", "VarnokParametersGB", K::Edit, {90, 206, 50, 22}, "CbEdt"),
        C("ScrollBox2", "VarnokParametersGB", K::ScrollBox, {2, 230, 154, 348}),
    };
    for (int i = 0; i < 11; ++i)
        electrodeRow(t, i, "ScrollBox2", i);
    t.push_back(C("PanelP11_22", "ScrollBox2", K::Panel, {0, 11 * RowPitch, 138, 10 * RowPitch}));
    for (int i = 11; i < 21; ++i)
        electrodeRow(t, i, "PanelP11_22", i - 11);

    const std::vector<Control> gps = {
        // Right column, top: position, speed and distances.
        C("GroupBox2", "StartConfigGB", K::GroupBox, {166, 18, 191, 184}, "GPS / Sounder :"),
        C("GpsConnectedCB", "GroupBox2", K::CheckBox, {6, 16, 178, 22}, "GPS connected :").flags(Checked | TextLeft),
        C("GpsDisconnectLbl", "GroupBox2", K::Warning, {6, 16, 178, 22}, "GPS timeout")
            .over("GpsConnectedCB").flags(Hidden | Centred),
        C("SounderCB", "GroupBox2", K::CheckBox, {6, 40, 178, 22}, "Sounder connected :").flags(Checked | TextLeft),
        C("SounderLblx", "GroupBox2", K::ValueDisplay, {100, 40, 84, 22}, "0").over("SounderCB").flags(Hidden),
        C("SounderDisconnectLbl", "GroupBox2", K::Warning, {6, 40, 178, 22}, "Sounder timeout")
            .over("SounderCB").flags(Hidden),
        C("AltitudeLblx", "GroupBox2", K::ValueDisplay, {6, 40, 178, 22}, "0").over("SounderCB").flags(Hidden),
        C("Label17", "GroupBox2", K::Label, {6, 68, 86, 14}, "Speed (km/h):"),
        C("Speedtxt", "GroupBox2", K::ValueDisplay, {96, 64, 88, 22}, "0"),
        C("Label4", "GroupBox2", K::Label, {6, 94, 86, 14}, "Trip (m) :"),
        C("BitBtn5", "GroupBox2", K::BitBtn, {96, 88, 88, 26}, "&New ref.")
            .glyph(icon<Glyphs::SteppedArrow>, 16).click(&M::BitBtn5Click),
        C("DistanceLblx", "GroupBox2", K::ValueDisplay, {6, 116, 178, 22}, "0"),
        C("Label16", "GroupBox2", K::Label, {5, 142, 107, 14}, "Total distance (m) :"),
        C("MinDistanceLbl", "GroupBox2", K::Label, {113, 142, 74, 14}, "Min :")
            .hint("Minimun distance between storage", true),
        C("NewRefLblx", "GroupBox2", K::ValueDisplay, {6, 158, 178, 22}, "0"),

        // Right column, below: the measured values, level with the electrode rows.
        C("GroupBox3", "StartConfigGB", K::GroupBox, {166, 204, 191, 396}, "Data :"),
        C("Label5", "GroupBox3", K::Label, {6, 14, 34, 28}, "In : (mA)").flags(WordWrap),
        C("InLblx", "GroupBox3", K::ValueDisplay, {44, 16, 140, 24}, "0"),
        C("ScrollBox1", "GroupBox3", K::ScrollBox, {2, 44, 187, 318}),
    };
    t.insert(t.end(), gps.begin(), gps.end());
    const int dipoleTop = RowPitch / 2;
    for (int i = 0; i < 10; ++i)
        dipoleRow(t, i, "ScrollBox1", i, dipoleTop);
    t.push_back(C("PanelV11_20", "ScrollBox1", K::Panel, {0, dipoleTop + 10 * RowPitch, 170, 10 * RowPitch}));
    for (int i = 10; i < 20; ++i)
        dipoleRow(t, i, "PanelV11_20", i - 10, 0);

    const std::vector<Control> rest = {
        C("ShowVp", "GroupBox3", K::SpeedButton, {6, 366, 72, 24}).action("VpAction"),
        C("ShowRho", "GroupBox3", K::SpeedButton, {82, 366, 96, 24}).action("RhoAction").flags(Checked),

        // Bottom row of the left column.
        C("NewGpsBtn", "StartConfigGB", K::BitBtn, {6, 604, 100, 32}, "Start <F3>")
            .action("Action2").glyph(icon<Glyphs::Play>, 16),
        C("PauseBtn", "StartConfigGB", K::SpeedButton, {110, 604, 80, 32}, "Pause")
            .flags(Latching).glyph(icon<Glyphs::Pause>, 16),
        C("StopBtn", "StartConfigGB", K::BitBtn, {194, 604, 100, 32}, "Stop <F4>")
            .action("Action4").glyph(icon<Glyphs::Stop>, 16),
        C("Panel2", "StartConfigGB", K::Panel, {320, 604, 32, 32})
            .hint("Press <F5...F9> to insert mark", true).flags(Lowered),
        C("MarkImg", "Panel2", K::Image, {2, 2, 28, 28})
            .hint("Mark pending <F5...F9>", true).flags(Hidden | Stretch | Transparent)
            .glyph(icon<Glyphs::MarkButton>, 24),

        // Right part: colour-scale controls over the two graphs.
        C("Panel1", "PSeudoGB", K::Panel, {2, 2, 654, 50}),
        C("VisibleRB", "Panel1", K::CheckBox, {8, 16, 100, 18}, "Graph enable").flags(Checked),
        C("Label2", "Panel1", K::Label, {114, 7, 34, 14}, "Max :"),
        C("SMax", "Panel1", K::TrackBar, {150, 1, 300, 24}),
        C("Label3", "Panel1", K::Label, {114, 31, 34, 14}, "Min :"),
        C("SMin", "Panel1", K::TrackBar, {150, 25, 300, 24}),
        C("BitBtn7", "Panel1", K::BitBtn, {462, 11, 88, 28}, "Apply").glyph(Glyphs::Tick, 16).click(&M::BitBtn7Click),
        C("FilterBtn", "Panel1", K::BitBtn, {560, 11, 88, 28}, "Scale")
            .glyph(icon<Glyphs::WrenchGear>, 16).click(&M::FilterBtnClick),
        C("PESGraph1", "PSeudoGB", K::Graph, {2, 52, 654, 442}),
        C("PESGraph2", "PSeudoGB", K::Graph, {2, 494, 654, 146}),
    };
    t.insert(t.end(), rest.begin(), rest.end());
    return t;
}

} // namespace

const std::vector<Control>& Controls()
{
    static const std::vector<Control> table = buildTable();
    return table;
}

const Control* Find(const QString& name) { return LayoutTable::Find(Controls(), name); }

const std::vector<Action>& Actions()
{
    static const std::vector<Action> actions = {
        {"PowerAction", "Power On", "Power On/Off", QKeySequence(Qt::Key_F2), &M::ConnectBtnClick},
        {"Action2", "Start", "Start acquisition", QKeySequence(Qt::Key_F3), &M::NewGpsBtnClick},
        {"Action4", "Stop", "Stop acquisition", QKeySequence(Qt::Key_F4), &M::StopBtnClick},
        {"Mark5", "Mark5", "Insert Mark", QKeySequence(Qt::Key_F5), &M::Mark5Execute},
        {"Mark6", "Mark6", "Insert Mark", QKeySequence(Qt::Key_F6), &M::Mark6Execute},
        {"Mark7", "Mark7", "Insert Mark", QKeySequence(Qt::Key_F7), &M::Mark7Execute},
        {"Mark8", "Mark8", "Insert Mark", QKeySequence(Qt::Key_F8), &M::Mark8Execute},
        {"Mark9", "Mark9", "Insert incremented Mark", QKeySequence(Qt::Key_F9), &M::Mark9Execute},
        {"VpAction", "Vp (mV)", "", QKeySequence(Qt::Key_F10), &M::ShowVpClick},
        {"RhoAction", "Rho (Ohm.m)", "", QKeySequence(Qt::Key_F11), &M::ShowRhoClick},
    };
    return actions;
}

QFont ValueFont()
{
    QFont f;
    f.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    f.setPixelSize(19); // 14 points
    f.setBold(true);
    return f;
}

QFont WarningFont()
{
    QFont f = FormFont();
    f.setPixelSize(16); // 12 points
    f.setBold(true);
    return f;
}

namespace {

using LayoutTable::SetColours;

QWidget* makeControl(Kind kind, QWidget* parent)
{
    switch (kind) {
    case Kind::GroupBox: return new QGroupBox(parent);
    case Kind::Panel: return new QFrame(parent);
    case Kind::ScrollBox: return new QScrollArea(parent);
    case Kind::Label: return new QLabel(parent);
    case Kind::StaticText:
    case Kind::ValueDisplay:
    case Kind::Warning: return new TStaticText(parent);
    case Kind::SpeedButton: return new QToolButton(parent);
    case Kind::BitBtn: return new QPushButton(parent);
    case Kind::Edit: return new QLineEdit(parent);
    case Kind::CheckBox: return new QCheckBox(parent);
    case Kind::RadioButton: return new QRadioButton(parent);
    case Kind::Image: return new TImage(parent);
    case Kind::Animation: return new TAnimate(parent);
    case Kind::TrackBar: return new QSlider(Qt::Horizontal, parent);
    case Kind::Graph: return new PESGraph(parent);
    case Kind::StatusLine: return new TStatusLine(parent);
    }
    return nullptr;
}

void setCaption(QWidget* w, const QString& text)
{
    if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
}

// Styles that follow from the kind and the flags of a control.
void applyLook(QWidget* w, const Control& c)
{
    auto* frame = qobject_cast<QFrame*>(w);
    auto* label = qobject_cast<QLabel*>(w);
    // Captions show paths and the instrument's own lines exactly as they are, never as markup.
    if (label)
        label->setTextFormat(Qt::PlainText);
    switch (c.Type) {
    case Kind::ValueDisplay:
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(ValueFont());
        SetColours(w, QColor(0, 255, 0), Qt::black);
        break;
    case Kind::Warning:
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFont(WarningFont());
        SetColours(w, Qt::white, QColor(255, 0, 0));
        break;
    case Kind::Panel:
        frame->setFrameStyle(c.Flags & Lowered ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
        break;
    case Kind::ScrollBox:
        LayoutTable::SetUpScrollBox(static_cast<QScrollArea*>(w), c.Name);
        break;
    case Kind::SpeedButton: {
        auto* b = static_cast<QToolButton*>(w);
        const bool hasText = !(c.Flags & PictureOnly) && (!c.Caption.isEmpty() || !c.Action.isEmpty());
        b->setToolButtonStyle(!c.Glyph ? Qt::ToolButtonTextOnly
                              : hasText ? Qt::ToolButtonTextBesideIcon
                                        : Qt::ToolButtonIconOnly);
        break;
    }
    case Kind::TrackBar:
        break;
    default:
        break;
    }
    if (c.Flags & Sunken)
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (c.Flags & Centred)
        label->setAlignment(Qt::AlignCenter);
    if (c.Flags & NavyText)
        SetColours(w, QColor(0, 0, 128));
    if (c.Flags & WhiteGround)
        SetColours(w, w->palette().color(QPalette::WindowText), Qt::white);
    if (c.Flags & WordWrap)
        label->setWordWrap(true);
    if (c.Flags & TextLeft)
        w->setLayoutDirection(Qt::RightToLeft);
    if (c.Flags & HandCursor)
        w->setCursor(Qt::PointingHandCursor);
    if (auto* image = qobject_cast<TImage*>(w)) {
        image->setScaledContents(c.Flags & Stretch);
        image->SetTransparent(c.Flags & Transparent);
    }
    LayoutTable::ShowGlyph(w, c.Glyph, c.GlyphSize);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (c.Flags & Latching)
            button->setCheckable(true);
        if (c.Flags & Flat) {
            if (auto* tool = qobject_cast<QToolButton*>(w))
                tool->setAutoRaise(true);
            else if (auto* push = qobject_cast<QPushButton*>(w))
                push->setFlat(true);
        }
        if (auto* radio = qobject_cast<QRadioButton*>(w))
            // Radio buttons set one by one by the program (SwitchRB) must be able to go off.
            radio->setAutoExclusive(c.Parent == "RangePanel");
        if (c.Flags & Checked) {
            button->setCheckable(true);
            button->setChecked(true);
        }
    }
    if (c.Flags & Disabled)
        w->setEnabled(false);
    if (c.Flags & Hidden)
        w->hide();
}

// What the window does beyond its controls' own behaviour: Enter clicks "Apply", leaving the
// channel box runs its handler, the two scroll boxes stay level and size their content to the
// rows that are shown.
class WindowBehaviour : public QObject {
public:
    explicit WindowBehaviour(TMainFrm* form) : QObject(form), f(form)
    {
        f->installEventFilter(this);
        f->ChannelEdt->installEventFilter(this);
        f->ScrollBox1->installEventFilter(this);
        f->ScrollBox2->installEventFilter(this);
        f->PanelP11_22->installEventFilter(this);
        f->PanelV11_20->installEventFilter(this);
        QScrollBar* bar1 = f->ScrollBox1->verticalScrollBar();
        QScrollBar* bar2 = f->ScrollBox2->verticalScrollBar();
        connect(bar1, &QScrollBar::valueChanged, bar2, &QScrollBar::setValue);
        connect(bar2, &QScrollBar::valueChanged, bar1, &QScrollBar::setValue);
        FitScrollContents();
    }

    // Both boxes scroll over the same height: the taller box gets the difference of the two
    // heights as room below its rows, so that the two reach their ends together.
    void FitScrollContents()
    {
        const int rows2 = (11 + (f->PanelP11_22->isHidden() ? 0 : 10)) * RowPitch;
        const int rows1 = (11 + (f->PanelV11_20->isHidden() ? 0 : 10)) * RowPitch;
        const int h1 = f->ScrollBox1->height(), h2 = f->ScrollBox2->height();
        f->ScrollBox2->widget()->resize(138, rows2 + std::max(0, h2 - h1));
        f->ScrollBox1->widget()->resize(170, rows1 + std::max(0, h1 - h2));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // While the window is destroyed its controls still send events (hiding, focus): the
        // window's own parts are gone by then.
        if (!qobject_cast<TMainFrm*>(parent()))
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            if (watched == f && enterClicksApply(static_cast<QKeyEvent*>(event)))
                return true;
            break;
        case QEvent::FocusOut: {
            // Only a move of the focus inside the window leaves the box; switching windows does not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (watched == f->ChannelEdt && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Dispatch([this] { f->ChannelEdtExit(f->ChannelEdt); });
            break;
        }
        case QEvent::Resize: {
            auto* box = watched == f->ScrollBox1 ? f->ScrollBox1 : watched == f->ScrollBox2 ? f->ScrollBox2 : nullptr;
            if (box) {
                QSize size = static_cast<QResizeEvent*>(event)->size();
                int width = size.width(), height = size.height();
                bool resize = true;
                Dispatch([&] {
                    if (box == f->ScrollBox1)
                        f->ScrollBox1CanResize(box, width, height, resize);
                    else
                        f->ScrollBox2CanResize(box, width, height, resize);
                });
                FitScrollContents();
            }
            break;
        }
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            if (watched == f->PanelP11_22 || watched == f->PanelV11_20)
                FitScrollContents();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Enter on a control that is not a push or speed button clicks the default button while it
    // can be seen (check boxes and radio buttons included).
    bool enterClicksApply(QKeyEvent* key)
    {
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        QWidget* focus = QApplication::focusWidget();
        if (qobject_cast<QPushButton*>(focus) || qobject_cast<QToolButton*>(focus))
            return false;
        if (!f->PSeudoGB->isVisible() || !f->BitBtn7->isEnabled())
            return false;
        f->BitBtn7->click();
        return true;
    }

    TMainFrm* f;
};

} // namespace

} // namespace Acquisition::Layout

namespace Acquisition {

#define BIND(m) bind(m, #m)

void TMainFrm::BuildLayout()
{
    using namespace Layout;
    setObjectName("MainFrm");
    setWindowTitle("Quorel");
    setWindowIcon(Glyphs::ProgramIcon());
    setFont(FormFont());
    resize(1019, 699);

    // Actions first: linked controls take their caption and hint from them.
    std::map<QString, QAction*> actions;
    for (const Layout::Action& row : Layout::Actions()) {
        auto* a = new QAction(row.Caption, this);
        a->setObjectName(row.Name);
        a->setProperty("Hint", row.Hint);
        a->setToolTip(row.Hint);
        a->setShortcut(row.Shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        const Click handler = row.Handler;
        connect(a, &QAction::triggered, this, [this, a, handler] {
            if (!closing_)
                Dispatch([&] { (this->*handler)(a); });
        });
        actions[row.Name] = a;
    }

    std::map<QString, QWidget*> containers{{"MainFrm", this}};
    for (const Control& c : Controls()) {
        QWidget* w = makeControl(c.Type, containers.at(c.Parent));
        w->setObjectName(c.Name);
        w->setGeometry(c.Bounds);
        containers[c.Name] = w;
        QAction* action = c.Action.isEmpty() ? nullptr : actions.at(c.Action);
        setCaption(w, !c.Caption.isNull() ? c.Caption : action ? action->text() : QString());
        const QString hint = !c.Hint.isNull() ? c.Hint : action ? action->property("Hint").toString() : QString();
        w->setProperty("Hint", hint);
        if (c.ShowHint || (action && !hint.isEmpty()))
            w->setToolTip(hint);
        applyLook(w, c);
        if (auto* box = qobject_cast<QScrollArea*>(w))
            containers[c.Name] = box->widget();
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (action && button)
            connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
        if (c.OnClick) {
            const Click handler = c.OnClick;
            const auto run = [this, w, handler] {
                if (!closing_)
                    Dispatch([&] { (this->*handler)(w); });
            };
            if (button)
                connect(button, &QAbstractButton::clicked, this, run);
            else if (auto* image = qobject_cast<TImage*>(w))
                connect(image, &TImage::clicked, this, run);
        }
    }

    const auto bind = [this](auto*& member, const QString& name) { LayoutTable::Bind(this, member, name, "main window"); };
    BIND(SelectGB); BIND(StartConfigGB); BIND(PSeudoGB);
    BIND(PowerOnOffBtn); BIND(ConnectGb); BIND(Label1); BIND(ConfigurationFileTxt);
    BIND(OpenConfigurationFileBtn); BIND(SpeedButton1); BIND(NewSurveyBtn); BIND(Image2);
    BIND(RsOffImg); BIND(RsOnImg); BIND(Animate1); BIND(MainGB); BIND(FilenameLbl); BIND(FilenameEdt);
    BIND(SimulationBtn); BIND(SimulationLbl); BIND(BitBtn4); BIND(BitBtn3);
    BIND(VarnokParametersGB); BIND(TimeLbl); BIND(TimeEdt); BIND(TxVoltage); BIND(TxVoltageEdt);
    BIND(AddDistanceChk); BIND(TxVoltageCheckBtn); BIND(RangePanel); BIND(Range15Rb); BIND(RangeLbl);
    BIND(Range5Rb); BIND(IpDataChk); BIND(ChannelLbl); BIND(ChannelEdt); BIND(SwitchRB); BIND(ViewCableBtn);
    BIND(Label19); BIND(Label18); BIND(CaLbl); BIND(CaEdt); BIND(YCaEdt); BIND(CbLbl); BIND(CbEdt);
    BIND(YCbEdt); BIND(ScrollBox2); BIND(PanelP11_22);
    BIND(GroupBox2); BIND(GpsConnectedCB); BIND(GpsDisconnectLbl); BIND(SounderCB); BIND(SounderLblx);
    BIND(SounderDisconnectLbl); BIND(AltitudeLblx); BIND(Label17); BIND(Speedtxt); BIND(Label4);
    BIND(BitBtn5); BIND(DistanceLblx); BIND(Label16); BIND(MinDistanceLbl); BIND(NewRefLblx);
    BIND(GroupBox3); BIND(Label5); BIND(InLblx); BIND(ScrollBox1); BIND(PanelV11_20); BIND(ShowVp); BIND(ShowRho);
    BIND(NewGpsBtn); BIND(PauseBtn); BIND(StopBtn); BIND(Panel2); BIND(MarkImg);
    BIND(Panel1); BIND(VisibleRB); BIND(Label2); BIND(SMax); BIND(Label3); BIND(SMin); BIND(BitBtn7);
    BIND(FilterBtn); BIND(PESGraph1); BIND(PESGraph2);
    for (int i = 0; i < 21; ++i) {
        const QString n = QString::number(i + 1);
        bind(PLbl[i], i < 11 ? "P" + n + "Lbl" : "Label" + QString::number(30 + i - 11));
        bind(PEdt[i], "P" + n + "Edt");
        bind(YPEdt[i], "YP" + n + "Edt");
    }
    for (int i = 0; i < 20; ++i) {
        bind(VLbl[i], "Label" + QString::number(i < 10 ? 6 + i : 20 + i - 10));
        bind(VLblx[i], "V" + QString::number(i + 1) + "Lblx");
    }
    BIND(PowerAction); BIND(Action2); BIND(Action4); BIND(Mark5); BIND(Mark6); BIND(Mark7); BIND(Mark8);
    BIND(Mark9); BIND(VpAction); BIND(RhoAction);

    // Exactly one of the two display buttons is down.
    auto* display = new QButtonGroup(this);
    display->setObjectName("DisplayGroup");
    display->setExclusive(true);
    ShowVp->setCheckable(true);
    ShowRho->setCheckable(true);
    display->addButton(ShowVp);
    display->addButton(ShowRho);

    // "Apply" answers Enter, drawn as the window's default button.
    BitBtn7->setDefault(true);
    BitBtn7->setAutoDefault(false);

    // Colour-scale breakpoints.
    SMax->setRange(2, 50);
    SMax->setValue(50);
    SMax->setTickInterval(1);
    SMax->setTickPosition(QSlider::TicksAbove);
    SMin->setRange(0, 48);
    SMin->setValue(0);
    SMin->setTickInterval(1);
    SMin->setTickPosition(QSlider::TicksBelow);

    // The search animation, played up to its frame 8 while connecting.
    Animate1->Frames = Glyphs::ConnectingFrames(Animate1->width(), Animate1->height());
    Animate1->StopFrame = 8;

    for (int i = 0; i < Glyphs::PortPictureCount; ++i)
        ImageList3.Images.push_back(Glyphs::PortPicture(i));

    new WindowBehaviour(this);
}

#undef BIND

} // namespace Acquisition
