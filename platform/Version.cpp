#include "Version.h"

#include "platform/VersionInfo.h"

#include <QSysInfo>

TVersionRecord ProgramVersion()
{
    TVersionRecord v;
    v.Major = QUOREL_VERSION_MAJOR;
    v.Minor = QUOREL_VERSION_MINOR;
    v.Release = QUOREL_VERSION_PATCH;
    v.Build = QUOREL_VERSION_BUILD;
    v.Comments = QStringList{QStringLiteral(QUOREL_VERSION_COMMENTS)};
    v.Company = QStringLiteral(QUOREL_COMPANY);
    v.SupportMail = QStringLiteral(QUOREL_SUPPORT_MAIL);
    v.WebPage = QStringLiteral(QUOREL_WEB_PAGE);
    return v;
}

QString VersionText(const TVersionRecord& version)
{
    return QString("V%1.%2.%3")
        .arg(version.Major, 2, 10, QChar('0'))
        .arg(version.Minor, 2, 10, QChar('0'))
        .arg(version.Release, 2, 10, QChar('0'));
}

QString OperatingSystemName()
{
    QString name = QSysInfo::prettyProductName();
    if (name.isEmpty() || name.startsWith("Unknown", Qt::CaseInsensitive))
        name = QSysInfo::kernelType() + ' ' + QSysInfo::kernelVersion();
    return name.trimmed();
}
