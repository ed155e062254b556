#pragma once
#include <QFontMetrics>
#include <QString>

// Shortens a path to fit maxWidth pixels in the given font: the folders after the root are
// replaced by ".../" one at a time, then the root goes, last the bare file name is left.
QString MinimizeName(const QString& path, const QFontMetrics& metrics, int maxWidth);
