#include "CommandLine.h"

#include <QCoreApplication>
#include <optional>

static std::optional<QStringList> overrideArgs;

static QStringList args()
{
    if (overrideArgs)
        return *overrideArgs;
    return QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
}

QString ParamStr(int index)
{
    const QStringList a = args();
    return index >= 0 && index < a.size() ? a[index] : QString();
}

int ParamCount() { return static_cast<int>(args().size()) - 1; }

void SetCommandLine(const QStringList& arguments) { overrideArgs = arguments; }
