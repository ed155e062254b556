#pragma once
// The editor's window as data: every control with its place, caption, hint, first state,
// items, picture and click handler. BuildLayout creates the window from this table; the tests
// read it.
#include "Main.h"
#include "platform/Dispatch.h"

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
};

using Click = void (TMainFrm::*)(QObject*);
using Picture = QIcon (*)(int size);

struct Control {
    QString Name;
    QString Parent;  // "MainFrm" for the window itself
    Kind Type;
    QRect Bounds;    // in the parent (rows of a scroll box: in its content)
    QString Caption;
    QString Hint;    // empty: none
    bool ShowHint = false;
    unsigned Flags = NoFlags;
    QStringList Items; // drop-down lists
    Picture Glyph = nullptr;
    int GlyphSize = 0;
    Click OnClick = nullptr;

    Control hint(const QString& text, bool shown) const { Control c = *this; c.Hint = text; c.ShowHint = shown; return c; }
    Control flags(unsigned f) const { Control c = *this; c.Flags = f; return c; }
    Control items(const QStringList& list) const { Control c = *this; c.Items = list; return c; }
    Control glyph(Picture p, int size) const { Control c = *this; c.Glyph = p; c.GlyphSize = size; return c; }
    Control click(Click handler) const { Control c = *this; c.OnClick = handler; return c; }
};

// Every control of the window, parents before their children, in tab order.
const std::vector<Control>& Controls();
const Control* Find(const QString& name);

inline constexpr int Width = 551;
inline constexpr int Height = 594;
inline constexpr int RowPitch = 24;

// "MS Sans Serif", 11 pixels high: the nearest font of the system at the same pixel size.
QFont FormFont();

} // namespace Editor::Layout
