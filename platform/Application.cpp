#include "Application.h"

#include "Dialogs.h"
#include "Exception.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QThread>
#include <QTimer>

static TApplication theApplication;
TApplication* Application = &theApplication;

static QString exeDirOverride;

void TApplication::SetExeDir(const QString& dir) { exeDirOverride = dir; }

QString TApplication::ExeDir()
{
    QString dir = !exeDirOverride.isEmpty() ? exeDirOverride
                  : QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                 : QDir::currentPath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

void TApplication::ProcessMessages(int waitMs)
{
    if (!QCoreApplication::instance())
        return;
    // processEvents with a time limit never waits for an event, so a polling loop would spin a
    // core: block on the dispatcher instead, woken at the latest by a timer of waitMs.
    if (waitMs > 0) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
            QTimer wake;
            wake.setSingleShot(true);
            wake.start(waitMs);
            dispatcher->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
        }
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString ErrorText(const QString& message)
{
    QString text = message;
    if (!text.isEmpty() && text.back() > QChar('.'))
        text += '.';
    return text;
}

void TApplication::ShowMessageError(const QString& message) const
{
    Dialogs().MessageBox(ErrorText(message), Title, MB_OK | MB_ICONERROR);
}

void TApplication::ShowException(const std::exception& e) const
{
    if (auto* ex = dynamic_cast<const Exception*>(&e))
        ShowMessageError(ex->Message);
    else
        ShowMessageError(QString::fromLocal8Bit(e.what()));
}

void Sleep(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void MessageBeep()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

static TCursor currentCursor = TCursor::crDefault;

void SetScreenCursor(TCursor c)
{
    if (c == currentCursor)
        return;
    currentCursor = c;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (c == TCursor::crHourGlass)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

TCursor ScreenCursor() { return currentCursor; }
