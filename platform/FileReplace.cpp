#include "FileReplace.h"

#include <QFile>
#include <QSaveFile>

bool ReplaceFileContent(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.exists()) {
        // Whatever cannot be read cannot have been merged into data: leave it alone.
        if (!file.open(QIODevice::ReadOnly))
            return false;
        file.close();
    }
    {
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly)) {
            if (out.write(data) != data.size() || !out.flush())
                return false;
            if (out.commit())
                return true;
        }
    }
    if (!file.exists() || !file.open(QIODevice::ReadWrite))
        return false;
    return file.resize(0) && file.write(data) == data.size() && file.flush();
}
