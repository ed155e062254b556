#include "Registry.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

static QString storeOverride;

void TRegistry::SetStoreFile(const QString& path) { storeOverride = path; }

QString TRegistry::StoreFile()
{
    if (!storeOverride.isEmpty())
        return storeOverride;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Quorel/registry.ini";
}

static QString settingsKey(const QString& key, const QString& name)
{
    QString k = key;
    k.replace('\\', '/');
    while (k.startsWith('/'))
        k.remove(0, 1);
    return k + "/" + name;
}

bool TRegistry::ReadString(const QString& key, const QString& name, QString& value)
{
    QSettings s(StoreFile(), QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        throw ERegistryException(QString("Failed to get data for '%1'").arg(name));
    const QVariant v = s.value(settingsKey(key, name));
    if (!v.isValid())
        return false;
    value = v.toString();
    return true;
}

void TRegistry::WriteString(const QString& key, const QString& name, const QString& value)
{
    QSettings s(StoreFile(), QSettings::IniFormat);
    s.setValue(settingsKey(key, name), value);
    s.sync();
    if (s.status() != QSettings::NoError)
        throw ERegistryException(QString("Failed to set data for '%1'").arg(name));
}
