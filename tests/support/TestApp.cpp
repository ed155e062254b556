#include "TestApp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QTemporaryDir>
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

QStringList TabStops(QWidget* from, int presses)
{
    QWidget* window = from->window();
    from->setFocus(Qt::TabFocusReason);
    QStringList stops;
    for (int i = 0; i < presses && window->focusWidget(); ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(window->focusWidget(), &tab);
        stops << (window->focusWidget() ? window->focusWidget()->objectName() : QString());
    }
    return stops;
}
