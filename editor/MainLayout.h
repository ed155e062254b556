#pragma once
// The editor's window as data: every control with its place, caption, hint, first state,
// items, picture and click handler. BuildLayout creates the window from this table; the tests
// read it.
#include "Main.h"
#include "platform/Dispatch.h"
#include "views/LayoutTable.h"

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace Editor::Layout {

enum class Kind {
    GroupBox,    // QGroupBox
    Panel,       // QFrame without bevel
    ScrollBox,   // QScrollArea without border; children go into its content widget
    Label,       // QLabel
    StaticText,  // TStaticText, sunken
    SpeedButton, // QToolButton
    BitBtn,      // QPushButton, with a picture when it has one
    Edit,        // QLineEdit
    CheckBox,    // QCheckBox
    RadioButton, // QRadioButton
    Image,       // TImage
    ComboBox,    // QComboBox, a drop-down list
    Grid,        // QTableWidget, not editable, top row fixed
};

enum Flag : unsigned {
    NoFlags = 0,
    Hidden = 1u << 0,
    Disabled = 1u << 1,
    Checked = 1u << 2,
    TextLeft = 1u << 3,   // the text stands left of the box
    InfoGround = 1u << 4, // the info-tip colour
    Exclusive = 1u << 5,  // a radio button that turns its siblings off
    Stretch = 1u << 6,
    Indicator = 1u << 7,  // set by the program alone: drawn like any control, takes no input
};

using Click = void (TMainFrm::*)(QObject*);
using LayoutTable::Picture;

struct Control : LayoutTable::Row<Control, Kind, Click> {
    using Row::Row;
    QStringList Items; // drop-down lists

    Control items(const QStringList& list) const { Control c = *this; c.Items = list; return c; }
};

// Every control of the window, parents before their children, in tab order.
const std::vector<Control>& Controls();
const Control* Find(const QString& name);

inline constexpr int Width = 551;
inline constexpr int Height = 594;
inline constexpr int RowPitch = 24;

using LayoutTable::FormFont;

} // namespace Editor::Layout
