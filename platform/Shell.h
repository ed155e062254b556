#pragma once
#include <QString>
#include <QStringList>

// Help viewer, child processes and opened addresses behind one interface, so tests can
// record the calls instead of starting programs.
enum HtmlHelpCommand { HH_DISPLAY_TOPIC = 0x0000, HH_HELP_CONTEXT = 0x000F, HH_CLOSE_ALL = 0x0012 };

class IShell {
public:
    virtual ~IShell() = default;
    virtual void HtmlHelp(const QString& file, int command, long data) = 0;
    virtual bool OpenUrl(const QString& url) = 0;
    // Starts a program and waits for it; false when it could not be started.
    virtual bool RunAndWait(const QString& program, const QStringList& arguments) = 0;
    virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
};

IShell& Shell();
IShell* SetShell(IShell* shell);

class TDesktopShell : public IShell {
public:
    void HtmlHelp(const QString& file, int command, long data) override;
    bool OpenUrl(const QString& url) override;
    bool RunAndWait(const QString& program, const QStringList& arguments) override;
    bool StartDetached(const QString& program, const QStringList& arguments) override;
};

// Raises the process priority where allowed; a failure is ignored.
void RaiseProcessPriority();
