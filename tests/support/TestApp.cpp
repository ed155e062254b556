#include "TestApp.h"

#include <QApplication>
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
