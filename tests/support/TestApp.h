#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QApplication;
class QLineEdit;
class QTemporaryDir;
class QWidget;

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

// The names of the controls the focus goes to when the user presses Tab `presses` times,
// starting in `from`. Those of them that stood, once focused, outside the visible part of a
// scroll box they lie in are added to `outOfView`, if given.
QStringList TabStops(QWidget* from, int presses, QStringList* outOfView = nullptr);

// Whether an edit box, painted as it stands, shows the first character of its text where the
// text starts: its picture from the left edge to the end of that character is the picture of
// the same box holding that character alone (which fits, so nothing is scrolled away). What
// a box shows follows from where its last painting left the text, so it is painted here.
bool ShowsTextStart(QLineEdit* box);

// Minimises a window that is open, makes its owner the active window and runs `showAgain`,
// which must bring it back: on the screen, not minimised, and the active window.
void ExpectBackInFront(QWidget* window, QWidget* owner, const std::function<void()>& showAgain);
