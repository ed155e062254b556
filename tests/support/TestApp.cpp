#include "TestApp.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "quorel-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals (the input devices of a shown window) are gone
    // before a static application object would be, and its destructor would crash on them.
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

TempDir::TempDir() : dir_(std::make_unique<QTemporaryDir>()) {}
TempDir::~TempDir() = default;
QString TempDir::Path() const { return dir_->path(); }
QString TempDir::File(const QString& name) const { return dir_->filePath(name); }

namespace {
// Whether the whole of `w` lies in the visible part of every scroll box around it.
bool InViewOfItsScrollBoxes(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (const auto* box = qobject_cast<const QScrollArea*>(p)) {
            const QWidget* viewport = box->viewport();
            const QRect r(w->mapTo(viewport, QPoint(0, 0)), w->size());
            if (!viewport->rect().contains(r))
                return false;
        }
    return true;
}
} // namespace

QStringList TabStops(QWidget* from, int presses, QStringList* outOfView)
{
    QWidget* window = from->window();
    from->setFocus(Qt::TabFocusReason);
    QStringList stops;
    for (int i = 0; i < presses && window->focusWidget(); ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(window->focusWidget(), &tab);
        QWidget* focused = window->focusWidget();
        stops << (focused ? focused->objectName() : QString());
        if (outOfView && focused && !InViewOfItsScrollBoxes(focused))
            *outOfView << focused->objectName();
    }
    return stops;
}

bool ShowsTextStart(QLineEdit* box)
{
    if (box->text().isEmpty())
        return true;
    QLineEdit alone(box->text().left(1), box->parentWidget());
    alone.setGeometry(box->geometry());
    alone.setAlignment(box->alignment());
    alone.setFont(box->font());
    alone.setPalette(box->palette());
    alone.setEnabled(box->isEnabled());
    const QImage shown = box->grab().toImage();
    const QImage reference = alone.grab().toImage();
    // Where the cursor after that character stands: the end of the strip to compare.
    const int end = alone.inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    return end > 0 && shown.size() == reference.size()
           && shown.copy(0, 0, end, shown.height()) == reference.copy(0, 0, end, reference.height());
}

void ExpectBackInFront(QWidget* window, QWidget* owner, const std::function<void()>& showAgain)
{
    ASSERT_TRUE(window->isVisible());
    window->showMinimized();
    owner->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(window->isMinimized());
    showAgain();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(QApplication::activeWindow(), window);
}
