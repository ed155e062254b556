#pragma once
#include <QString>
#include <memory>

class QApplication;
class QTemporaryDir;

// The one QApplication of a test program (offscreen unless the environment says otherwise).
QApplication& TestApp();

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    QString Path() const;
    QString File(const QString& name) const;
private:
    std::unique_ptr<QTemporaryDir> dir_;
};
