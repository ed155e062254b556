// Builds QuorelIni's window from the table below: 551 x 594 pixels, the file strip across the
// top, the instrument's parameters and the electrode table on the left, GPS / sounder,
// communication and the buttons on the right, the switch unit across the bottom.
#include "MainLayout.h"

#include "platform/Application.h"
#include "views/Glyphs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <map>
#include <stdexcept>

namespace Editor::Layout {

namespace {

using LayoutTable::icon;
template <QStyle::StandardPixmap Which>
QIcon standard(int) { return QApplication::style()->standardIcon(Which); }

using C = Control;
using K = Kind;
using M = TMainFrm;

// One row of the electrode table: its name, the x edit and the y edit.
void electrodeRow(std::vector<Control>& t, int i, const QString& parent, int row)
{
    const QString n = QString::number(i + 1);
    const QString label = i < 11 ? "P" + n + "Lbl" : "Label" + QString::number(30 + i - 11);
    const int y = row * RowPitch;
    t.push_back(C(label, parent, K::Label, {6, y + 4, 34, 14}, "P" + n + " :"));
    t.push_back(C("P" + n + "Edt", parent, K::Edit, {44, y, 90, 22}));
    t.push_back(C("YP" + n + "Edt", parent, K::Edit, {140, y, 90, 22}));
}

std::vector<Control> buildTable()
{
    std::vector<Control> t = {
        // File strip.
        C("ConnectGb", "MainFrm", K::GroupBox, {4, 0, 543, 44}),
        C("Label1", "ConnectGb", K::Label, {8, 18, 52, 14}, "Set up  :"),
        C("ConfigurationFileTxt", "ConnectGb", K::StaticText, {62, 13, 432, 22}).flags(InfoGround),
        C("OpenConfigurationFileBtn", "ConnectGb", K::SpeedButton, {502, 9, 32, 30})
            .hint("Open file", false).glyph(icon<Glyphs::OpenFolder>, 22).click(&M::OpenConfigurationFileBtnClick),

        // Left: the instrument's parameters and the electrode table.
        C("VarnokParametersGB", "MainFrm", K::GroupBox, {4, 46, 296, 430}, "Varnok parameters :"),
        C("ChannelLbl", "VarnokParametersGB", K::Label, {8, 24, 90, 14}, "Channel :"),
        C("ChannelEdt", "VarnokParametersGB", K::Edit, {100, 20, 50, 22}),
        C("RangePanel", "VarnokParametersGB", K::Panel, {158, 19, 132, 24}),
        C("Label17", "RangePanel", K::Label, {2, 5, 36, 14}, "Range").hint("Max input range", false),
        C("Range15Rb", "RangePanel", K::RadioButton, {40, 3, 46, 18}, "15 V").flags(Checked | Exclusive),
        C("Range5Rb", "RangePanel", K::RadioButton, {88, 3, 42, 18}, "5 V").flags(Exclusive),
        C("TimeLbl", "VarnokParametersGB", K::Label, {8, 50, 90, 14}, "Time (ms) :"),
        C("TimeEdt", "VarnokParametersGB", K::Edit, {100, 46, 50, 22}),
        C("IpDataChk", "VarnokParametersGB", K::CheckBox, {160, 48, 90, 18}, "IP Data"),
        C("TxVoltage", "VarnokParametersGB", K::Label, {8, 76, 90, 14}, "Tx voltage  (V) :"),
        C("TxVoltageEdt", "VarnokParametersGB", K::Edit, {100, 72, 50, 22}),
        C("Label4", "VarnokParametersGB", K::Label, {8, 102, 200, 14}, "Off time  (s)  (between acquisition)"),
        C("DelayTimeEdt", "VarnokParametersGB", K::Edit, {214, 98, 50, 22}),
        C("ViewCableBtn", "VarnokParametersGB", K::SpeedButton, {8, 124, 280, 26}, "View cable connections")
            .hint("View cable connections", true).glyph(icon<Glyphs::EyeRuler>, 16).click(&M::ViewCableBtnClick),
        C("Label23", "VarnokParametersGB", K::Label, {48, 158, 90, 14}, "X Spac. (m)"),
        C("Label25", "VarnokParametersGB", K::Label, {144, 158, 90, 14}, "Y (m)"),
        C("CaLbl", "VarnokParametersGB", K::Label, {8, 180, 34, 14}, "Ca :"),
        C("CaEdt", "VarnokParametersGB", K::Edit, {46, 176, 90, 22}),
        C("YCaEdt", "VarnokParametersGB", K::Edit, {142, 176, 90, 22}),
        C("CbLbl", "VarnokParametersGB", K::Label, {8, 204, 34, 14}, "Cb :"),
        C("CbEdt", "VarnokParametersGB", K::Edit, {46, 200, 90, 22}),
        C("YCbEdt", "VarnokParametersGB", K::Edit, {142, 200, 90, 22}),
        C("ScrollBox2", "VarnokParametersGB", K::ScrollBox, {2, 226, 290, 200}),
    };
    for (int i = 0; i < 11; ++i)
        electrodeRow(t, i, "ScrollBox2", i);
    t.push_back(C("PanelP11_22", "ScrollBox2", K::Panel, {0, 11 * RowPitch, 240, 10 * RowPitch}));
    for (int i = 11; i < 21; ++i)
        electrodeRow(t, i, "PanelP11_22", i - 11);

    const std::vector<Control> right = {
        // Right: GPS and sounder, communication, the picture and the buttons.
        C("GroupBox2", "MainFrm", K::GroupBox, {304, 46, 243, 158}, "GPS / Sounder :"),
        C("GpsConnectedCB", "GroupBox2", K::CheckBox, {8, 20, 226, 20}, "GPS connected :").flags(Checked | TextLeft),
        C("SounderCB", "GroupBox2", K::CheckBox, {8, 44, 226, 20}, "Sounder connected :").flags(Checked | TextLeft),
        C("Label3", "GroupBox2", K::Label, {8, 72, 130, 14}, "Depth Offset (m) :"),
        C("DepthOffEdt", "GroupBox2", K::Edit, {160, 68, 74, 22}),
        C("AddDistanceChk", "GroupBox2", K::CheckBox, {8, 96, 226, 20}, "Add distance to spacing :")
            .flags(Checked | TextLeft),
        C("Label5", "GroupBox2", K::Label, {8, 122, 140, 14}, "Distance min. (m)"),
        C("Label7", "GroupBox2", K::Label, {8, 136, 140, 14}, "between storage"),
        C("MinDistanceEdt", "GroupBox2", K::Edit, {160, 124, 74, 22}),

        C("CommunicationGb", "MainFrm", K::GroupBox, {304, 208, 243, 84}, "Communication :"),
        C("Label6", "CommunicationGb", K::Label, {8, 26, 46, 14}, "Port :"),
        C("NodePortCB", "CommunicationGb", K::ComboBox, {58, 22, 90, 22})
            .items({"Com 1", "Com 2", "Com 3", "Com 4", "USB", "BT"}),
        C("PortNodeLbl", "CommunicationGb", K::Label, {156, 26, 78, 14}),
        C("Label2", "CommunicationGb", K::Label, {8, 54, 46, 14}, "Speed :"),
        C("SpeedCb", "CommunicationGb", K::ComboBox, {58, 50, 90, 22})
            .items({"9600", "19200", "38400", "115200", "273000"}),

        C("ProgramIcon", "MainFrm", K::Image, {438, 296, 64, 64}).flags(Stretch).glyph(icon<Glyphs::Emblem>, 64),
        C("BitBtn1", "MainFrm", K::BitBtn, {400, 366, 140, 32}, "Save as...").click(&M::BitBtn1Click),
        C("SaveBtn", "MainFrm", K::BitBtn, {400, 402, 140, 32}, "Save")
            .flags(Disabled).glyph(standard<QStyle::SP_DialogApplyButton>, 16).click(&M::SaveBtnClick),
        C("BitBtn3", "MainFrm", K::BitBtn, {400, 438, 140, 32}, "Quit")
            .glyph(standard<QStyle::SP_DialogCloseButton>, 16).click(&M::BitBtn3Click),

        // Bottom: the switch unit, its indicator in the caption line and its two tables.
        C("GroupBox1", "MainFrm", K::GroupBox, {4, 480, 543, 108}),
        C("Panel1", "GroupBox1", K::Panel, {10, 0, 190, 18}),
        C("RelayboxUsedCB", "Panel1", K::RadioButton, {2, 0, 186, 18}, "20 channels switch used").flags(Indicator),
        C("StringGrid1", "GroupBox1", K::Grid, {8, 26, 527, 74}).flags(Hidden),
    };
    t.insert(t.end(), right.begin(), right.end());
    return t;
}

QWidget* makeControl(Kind kind, QWidget* parent)
{
    switch (kind) {
    case Kind::GroupBox: return new QGroupBox(parent);
    case Kind::Panel: return new QFrame(parent);
    case Kind::ScrollBox: return new QScrollArea(parent);
    case Kind::Label: return new QLabel(parent);
    case Kind::StaticText: return new TStaticText(parent);
    case Kind::SpeedButton: return new QToolButton(parent);
    case Kind::BitBtn: return new QPushButton(parent);
    case Kind::Edit: return new QLineEdit(parent);
    case Kind::CheckBox: return new QCheckBox(parent);
    case Kind::RadioButton: return new QRadioButton(parent);
    case Kind::Image: return new TImage(parent);
    case Kind::ComboBox: return new QComboBox(parent);
    case Kind::Grid: return new QTableWidget(parent);
    }
    return nullptr;
}

void applyLook(QWidget* w, const Control& c)
{
    if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setTextFormat(Qt::PlainText); // paths are shown as they are, never as markup
        l->setText(c.Caption);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(c.Caption);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(c.Caption);
    }
    switch (c.Type) {
    case Kind::StaticText:
        static_cast<QFrame*>(w)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        static_cast<QLabel*>(w)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        break;
    case Kind::Panel:
        static_cast<QFrame*>(w)->setFrameStyle(QFrame::NoFrame);
        break;
    case Kind::ScrollBox: {
        auto* box = static_cast<QScrollArea*>(w);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        LayoutTable::SetUpScrollBox(box, c.Name)->resize(c.Bounds.width() - 20, 21 * RowPitch);
        break;
    }
    case Kind::SpeedButton: {
        auto* b = static_cast<QToolButton*>(w);
        b->setToolButtonStyle(c.Caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
        break;
    }
    case Kind::ComboBox: {
        auto* combo = static_cast<QComboBox*>(w);
        combo->addItems(c.Items);
        combo->setEditable(false);
        break;
    }
    case Kind::Grid: {
        auto* grid = static_cast<QTableWidget*>(w);
        grid->setColumnCount(13);
        grid->setRowCount(3);
        grid->horizontalHeader()->hide();
        grid->verticalHeader()->hide();
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionMode(QAbstractItemView::NoSelection);
        grid->setFocusPolicy(Qt::NoFocus);
        grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        for (int col = 0; col < 13; ++col)
            grid->setColumnWidth(col, (c.Bounds.width() - 4) / 13);
        for (int row = 0; row < 3; ++row) {
            grid->setRowHeight(row, (c.Bounds.height() - 4) / 3);
            for (int col = 0; col < 13; ++col) {
                auto* item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                if (row == 0) // the fixed top row
                    item->setBackground(QApplication::palette().button());
                grid->setItem(row, col, item);
            }
        }
        break;
    }
    default:
        break;
    }
    if (c.Flags & InfoGround)
        LayoutTable::SetColours(w, Qt::black, QColor(255, 255, 225));
    if (c.Flags & TextLeft)
        w->setLayoutDirection(Qt::RightToLeft);
    if (auto* image = qobject_cast<TImage*>(w))
        image->setScaledContents(c.Flags & Stretch);
    LayoutTable::ShowGlyph(w, c.Glyph, c.GlyphSize);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (auto* radio = qobject_cast<QRadioButton*>(w))
            // The switch-unit indicator is set by the program alone and must be able to go off.
            radio->setAutoExclusive(c.Flags & Exclusive);
        if (c.Flags & Checked)
            button->setChecked(true);
    }
    if (!c.Hint.isEmpty()) {
        w->setProperty("Hint", c.Hint);
        if (c.ShowHint)
            w->setToolTip(c.Hint);
    }
    if (c.Flags & Indicator) {
        // Not disabled, which would grey it: the mouse passes through it and Tab passes it by.
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
        w->setFocusPolicy(Qt::NoFocus);
    }
    if (c.Flags & Disabled)
        w->setEnabled(false);
    if (c.Flags & Hidden)
        w->hide();
}

} // namespace

const std::vector<Control>& Controls()
{
    static const std::vector<Control> table = buildTable();
    return table;
}

const Control* Find(const QString& name) { return LayoutTable::Find(Controls(), name); }

// Leaving the channel box runs its handler; a move of the focus to another window does not.
class ChannelExit : public QObject {
public:
    explicit ChannelExit(TMainFrm* form) : QObject(form), f(form) { f->ChannelEdt->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut && watched == f->ChannelEdt && qobject_cast<TMainFrm*>(parent())) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Dispatch([this] { f->ChannelEdtExit(f->ChannelEdt); });
        }
        return false;
    }

private:
    TMainFrm* f;
};

} // namespace Editor::Layout

namespace Editor {

#define BIND(m) bind(m, #m)

void TMainFrm::BuildLayout()
{
    using namespace Layout;
    setObjectName("MainFrm");
    setFont(FormFont());
    setFixedSize(Layout::Width, Layout::Height);
    setWindowIcon(Glyphs::ProgramIcon());

    std::map<QString, QWidget*> containers{{"MainFrm", this}};
    for (const Control& c : Controls()) {
        QWidget* w = makeControl(c.Type, containers.at(c.Parent));
        w->setObjectName(c.Name);
        w->setGeometry(c.Bounds);
        containers[c.Name] = w;
        applyLook(w, c);
        if (auto* box = qobject_cast<QScrollArea*>(w))
            containers[c.Name] = box->widget();
        if (c.OnClick) {
            const Click handler = c.OnClick;
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                connect(button, &QAbstractButton::clicked, this, [this, w, handler] { Dispatch([&] { (this->*handler)(w); }); });
        }
    }

    const auto bind = [this](auto*& member, const QString& name) { LayoutTable::Bind(this, member, name, "editor window"); };
    BIND(ConnectGb); BIND(Label1); BIND(ConfigurationFileTxt); BIND(OpenConfigurationFileBtn);
    BIND(VarnokParametersGB); BIND(ChannelLbl); BIND(ChannelEdt); BIND(TimeLbl); BIND(TimeEdt); BIND(Label4);
    BIND(DelayTimeEdt); BIND(TxVoltage); BIND(TxVoltageEdt); BIND(RangePanel); BIND(Label17); BIND(Range15Rb);
    BIND(Range5Rb); BIND(IpDataChk); BIND(ViewCableBtn); BIND(Label23); BIND(Label25); BIND(CaLbl); BIND(CaEdt);
    BIND(YCaEdt); BIND(CbLbl); BIND(CbEdt); BIND(YCbEdt); BIND(ScrollBox2); BIND(PanelP11_22);
    BIND(GroupBox2); BIND(GpsConnectedCB); BIND(SounderCB); BIND(Label3); BIND(DepthOffEdt); BIND(AddDistanceChk);
    BIND(Label5); BIND(Label7); BIND(MinDistanceEdt);
    BIND(CommunicationGb); BIND(Label6); BIND(NodePortCB); BIND(PortNodeLbl); BIND(Label2); BIND(SpeedCb);
    BIND(BitBtn1); BIND(SaveBtn); BIND(BitBtn3); BIND(ProgramIcon);
    BIND(GroupBox1); BIND(Panel1); BIND(RelayboxUsedCB); BIND(StringGrid1);
    for (int i = 0; i < 21; ++i) {
        const QString n = QString::number(i + 1);
        bind(PLbl[i], i < 11 ? "P" + n + "Lbl" : "Label" + QString::number(30 + i - 11));
        bind(PEdt[i], "P" + n + "Edt");
        bind(YPEdt[i], "YP" + n + "Edt");
    }

    // Only a choice of the user runs the port list's handler; a load's selection does not.
    connect(NodePortCB, &QComboBox::activated, this, [this] { Dispatch([this] { NodePortCBChange(NodePortCB); }); });
    // Every change of the indicator runs its refresh.
    connect(RelayboxUsedCB, &QRadioButton::toggled, this,
            [this] { Dispatch([this] { RelayboxUsedCClick(RelayboxUsedCB); }); });
    new ChannelExit(this);
}

#undef BIND

} // namespace Editor
