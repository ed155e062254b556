#include "LayoutTable.h"

#include "platform/Controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QScrollArea>

namespace LayoutTable {

void ShowGlyph(QWidget* w, Picture glyph, int size)
{
    if (!glyph)
        return;
    if (auto* image = qobject_cast<TImage*>(w)) {
        image->SetPicture(glyph(size).pixmap(size, size));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
            return;
        button->setIcon(glyph(size));
        button->setIconSize(QSize(size, size));
    }
}

void SetColours(QWidget* w, const QColor& text, const QColor& ground)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    if (ground.isValid()) {
        p.setColor(QPalette::Window, ground);
        w->setAutoFillBackground(true);
    }
    w->setPalette(p);
}

QWidget* SetUpScrollBox(QScrollArea* box, const QString& name)
{
    box->setFrameShape(QFrame::NoFrame);
    // The box only scrolls its rows: Tab passes through it to the first row's boxes.
    box->setFocusPolicy(Qt::NoFocus);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(name + "Content");
    box->setWidget(content);
    // The scroll area fills its content's ground; the rows stand on the parent's.
    box->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    // The row that takes the focus, from Tab or otherwise, is scrolled whole into view (the
    // scroll area's own care shows only a text box's cursor).
    QObject::connect(qApp, &QApplication::focusChanged, box, [box](QWidget*, QWidget* now) {
        if (!now || !box->widget() || !box->widget()->isAncestorOf(now))
            return;
        const QRect r(now->mapTo(box->widget(), QPoint(0, 0)), now->size());
        box->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 1, r.height() / 2 + 1);
    });
    return content;
}

QFont FormFont()
{
    QFont f;
    f.setFamilies({"DejaVu Sans", "Liberation Sans"});
    f.setPixelSize(11);
    return f;
}

} // namespace LayoutTable
