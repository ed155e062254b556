#pragma once
// What the windows built from a table of controls share: the row of one control with its
// builders, the look-up by name, the binding of a form's members to the built controls, the
// pictures of the rows and the form font.
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

class QScrollArea;
#include <stdexcept>
#include <vector>

namespace LayoutTable {

using Picture = QIcon (*)(int size);

// A drawn picture as the icon a row names.
template <QPixmap (*Draw)(int)>
QIcon icon(int size) { return QIcon(Draw(size)); }

// One control of a window's table. Self is the window's own row type (which may add fields),
// KindT its kinds of control and ClickT its click handlers.
template <class Self, class KindT, class ClickT>
struct Row {
    QString Name;
    QString Parent;  // "MainFrm" for the window itself
    KindT Type{};
    QRect Bounds;    // in the parent (for rows of a scroll box: in its content)
    QString Caption;
    QString Hint;
    bool ShowHint = false;
    unsigned Flags = 0;
    Picture Glyph = nullptr;
    int GlyphSize = 0;
    ClickT OnClick = nullptr;

    Row() = default;
    Row(const QString& name, const QString& parent, KindT kind, QRect bounds, const QString& caption = {})
        : Name(name), Parent(parent), Type(kind), Bounds(bounds), Caption(caption) {}

    // Builders for the table rows.
    Self hint(const QString& text, bool shown) const { Self c = self(); c.Hint = text; c.ShowHint = shown; return c; }
    Self flags(unsigned f) const { Self c = self(); c.Flags = f; return c; }
    Self glyph(Picture p, int size) const { Self c = self(); c.Glyph = p; c.GlyphSize = size; return c; }
    Self click(ClickT handler) const { Self c = self(); c.OnClick = handler; return c; }

protected:
    const Self& self() const { return static_cast<const Self&>(*this); }
};

template <class Control>
const Control* Find(const std::vector<Control>& table, const QString& name)
{
    for (const Control& c : table)
        if (c.Name == name)
            return &c;
    return nullptr;
}

// Points a form's member at its built control; a control missing from the table is a fault
// of the program, named with the window it belongs to.
template <class T>
void Bind(QWidget* root, T*& member, const QString& name, const char* window)
{
    member = root->findChild<T*>(name);
    if (!member)
        throw std::logic_error((QString(window) + " control missing: " + name).toStdString());
}

// A row's picture on its control: the picture of an image, the icon of a button (check boxes
// and radio buttons show none).
void ShowGlyph(QWidget* w, Picture glyph, int size);

// A scroll box without border or horizontal bar whose rows stand on the ground of its parent;
// gives the content widget ("<name>Content") that holds the rows.
QWidget* SetUpScrollBox(QScrollArea* box, const QString& name);

// A control's text colour and, when one is given, the ground it fills.
void SetColours(QWidget* w, const QColor& text, const QColor& ground = QColor());

// "MS Sans Serif" 8 points, 11 pixels high: the nearest font of the system at the same pixel
// size (so the windows do not follow the screen's font size).
QFont FormFont();

} // namespace LayoutTable
