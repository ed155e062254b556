#include "Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <sys/resource.h>

static TDesktopShell desktopShell;
static IShell* currentShell = &desktopShell;

IShell& Shell() { return *currentShell; }

IShell* SetShell(IShell* shell)
{
    IShell* previous = currentShell;
    currentShell = shell ? shell : &desktopShell;
    return previous;
}

void TDesktopShell::HtmlHelp(const QString& file, int command, long)
{
    // The viewer shows the file's main page for both a topic and a context; closing is the viewer's.
    if (command == HH_CLOSE_ALL || file.isEmpty() || !QFileInfo::exists(file))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool TDesktopShell::OpenUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool TDesktopShell::RunAndWait(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted())
        return false;
    p.waitForFinished(-1);
    return true;
}

bool TDesktopShell::StartDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void RaiseProcessPriority()
{
    (void)setpriority(PRIO_PROCESS, 0, -5);
}
