#pragma once
#include <QFontMetrics>
#include <QString>
#include <QStringList>

// Shortens a path to fit maxWidth pixels in the given font: the folders after the root are
// replaced by ".../" one at a time, then the root goes, last the bare file name is left.
QString MinimizeName(const QString& path, const QFontMetrics& metrics, int maxWidth);

// Lays a message out on at most maxLines lines of maxWidth pixels, broken between words.
// A message too long for that gives up first the folders of the paths in it (as MinimizeName
// does: the file or device name stays whole), then, in a message made of parts joined by
// "  -  ", the start of its leading parts (the lasting state before the news that follows it),
// and last the middle of what the final line cannot hold, so that its end, the reason, stays.
QStringList MinimizeMessage(const QString& text, const QFontMetrics& metrics, int maxWidth, int maxLines);
