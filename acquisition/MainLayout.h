#pragma once
// The main window as data: every control with its place, caption, hint, first state, picture
// and click handler. BuildLayout creates the window from these tables; the tests read them.
#include "Main.h"
#include "views/LayoutTable.h"

#include <QFont>
#include <QIcon>
#include <QKeySequence>
#include <QRect>
#include <QString>
#include <vector>

namespace Acquisition::Layout {

enum class Kind {
    GroupBox,     // QGroupBox
    Panel,        // QFrame without bevel unless Lowered
    ScrollBox,    // QScrollArea without border; children go into its content widget
    Label,        // QLabel
    StaticText,   // TStaticText
    ValueDisplay, // TStaticText: sunken, centred, bold lime on black
    Warning,      // TStaticText: sunken, bold white on red
    SpeedButton,  // QToolButton
    BitBtn,       // QPushButton with a picture
    Edit,         // QLineEdit
    CheckBox,     // QCheckBox
    RadioButton,  // QRadioButton
    Image,        // TImage
    Animation,    // TAnimate
    TrackBar,     // QSlider
    Graph,        // PESGraph
    StatusLine,   // TStatusLine: a QLabel that shortens what it cannot hold
};

enum Flag : unsigned {
    NoFlags = 0,
    Hidden = 1u << 0,
    Disabled = 1u << 1,
    Checked = 1u << 2,     // check box or radio button checked, speed button down
    TextLeft = 1u << 3,    // the text stands left of the box
    Flat = 1u << 4,
    Latching = 1u << 5,    // stays down until clicked again
    Sunken = 1u << 6,
    Centred = 1u << 7,
    NavyText = 1u << 8,
    WhiteGround = 1u << 9,
    HandCursor = 1u << 10,
    Stretch = 1u << 11,
    Transparent = 1u << 12,
    WordWrap = 1u << 13,
    Lowered = 1u << 14,    // panel with a lowered bevel
    PictureOnly = 1u << 15,
};

using Click = void (TMainFrm::*)(QObject*);
using LayoutTable::Picture;

// Caption null: none of its own (an action's caption, or no text); hint null: none (or the
// action's).
struct Control : LayoutTable::Row<Control, Kind, Click> {
    using Row::Row;
    QString Action;  // linked action: its caption and hint unless the control has its own
    QString Over;    // the control at whose place this one stands (they are shown in turn)

    Control action(const QString& name) const { Control c = *this; c.Action = name; return c; }
    Control over(const QString& name) const { Control c = *this; c.Over = name; return c; }
};

struct Action {
    QString Name;
    QString Caption;
    QString Hint; // empty: none
    QKeySequence Shortcut;
    Click Handler;
};

// Every control of the window, parents before their children, in tab order.
const std::vector<Control>& Controls();
const Control* Find(const QString& name);
// The action list, in its order.
const std::vector<Action>& Actions();

// Row pitch of the electrode and dipole rows in the two scroll boxes.
inline constexpr int RowPitch = 24;

// Form font and the fonts of value displays and warnings, in pixels (the design's points
// at 96 pixels per inch, so the window does not follow the screen's font size).
using LayoutTable::FormFont;
QFont ValueFont();
QFont WarningFont();

} // namespace Acquisition::Layout
