#include "MinimizeName.h"

namespace {

// Drops the first folder of dir ("/a/b/" -> "/.../b/", "/.../b/" -> "/.../", "a/b/" -> ".../b/").
void cutFirstDirectory(QString& dir)
{
    const bool root = dir.startsWith('/');
    if (root)
        dir.remove(0, 1);
    if (dir == ".../") {
        dir.clear();
        return;
    }
    qsizetype p = dir.indexOf('/');
    if (p < 0) {
        dir.clear();
        return;
    }
    if (dir.startsWith(".../")) {
        dir.remove(0, 4);
        p = dir.indexOf('/');
        if (p < 0) {
            dir.clear();
            return;
        }
    }
    dir = ".../" + dir.mid(p + 1);
    if (root)
        dir.prepend('/');
}

} // namespace

QString MinimizeName(const QString& path, const QFontMetrics& metrics, int maxWidth)
{
    const qsizetype slash = path.lastIndexOf('/');
    QString dir = slash >= 0 ? path.left(slash + 1) : QString();
    const QString name = slash >= 0 ? path.mid(slash + 1) : path;
    // A Windows-style drive stays as the first thing kept; on POSIX the root plays its part.
    QString drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.left(2);
        dir.remove(0, 2);
    }
    QString result = path;
    while ((!dir.isEmpty() || !drive.isEmpty()) && metrics.horizontalAdvance(result) > maxWidth) {
        if (dir == "/.../") {
            drive.clear();
            dir = ".../";
        } else if (dir.isEmpty()) {
            drive.clear();
        } else {
            cutFirstDirectory(dir);
        }
        result = drive + dir + name;
    }
    return result;
}
