#include "MinimizeName.h"

#include <algorithm>
#include <vector>

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

namespace {

const QString Ellipsis = QStringLiteral("\u2026");
const QString PartSeparator = QStringLiteral("  -  ");

// Greedy word wrap; a word wider than a line is broken where the line ends.
QStringList wrapLines(const QString& text, const QFontMetrics& metrics, int maxWidth)
{
    QStringList lines;
    QString current;
    auto push = [&] {
        while (current.endsWith(' '))
            current.chop(1);
        lines << current;
        current.clear();
    };
    for (QString word : text.split(' ')) {
        const QString candidate = current.isEmpty() ? word : current + ' ' + word;
        if (metrics.horizontalAdvance(candidate) <= maxWidth) {
            current = candidate;
            continue;
        }
        if (!current.trimmed().isEmpty())
            push();
        else
            current.clear();
        while (word.size() > 1 && metrics.horizontalAdvance(word) > maxWidth) {
            qsizetype fit = 1;
            while (fit + 1 < word.size() && metrics.horizontalAdvance(word.left(fit + 1)) <= maxWidth)
                ++fit;
            current = word.left(fit);
            push();
            word.remove(0, fit);
        }
        current = word;
    }
    if (!current.isEmpty() || lines.isEmpty())
        push();
    return lines;
}

struct Piece {
    QString Original;
    QString Shown;
    bool Path = false;
};

// Cuts the message into plain text and the paths in it. A path starts with "/" at the start
// of a word or after "(" and runs, spaces and all, up to ": ", ")", the next part of the
// message or its end: the messages put the reason after a colon and a device in brackets.
std::vector<Piece> splitPaths(const QString& text)
{
    std::vector<Piece> pieces;
    qsizetype plainStart = 0, i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const bool starts = text[i] == '/' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '(')
                            && i + 1 < n && text[i + 1] != ' ';
        if (!starts) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && text[end] != ')' && !(text[end] == ':' && (end + 1 == n || text[end + 1] == ' '))
               && !QStringView(text).mid(end).startsWith(PartSeparator))
            ++end;
        if (i > plainStart)
            pieces.push_back({text.mid(plainStart, i - plainStart), text.mid(plainStart, i - plainStart)});
        pieces.push_back({text.mid(i, end - i), text.mid(i, end - i), true});
        plainStart = i = end;
    }
    if (plainStart < n)
        pieces.push_back({text.mid(plainStart), text.mid(plainStart)});
    return pieces;
}

QString joined(const std::vector<Piece>& pieces)
{
    QString text;
    for (const Piece& p : pieces)
        text += p.Shown;
    return text;
}

} // namespace

QStringList MinimizeMessage(const QString& text, const QFontMetrics& metrics, int maxWidth, int maxLines)
{
    maxLines = std::max(1, maxLines);
    auto fits = [&](const QString& t) { return wrapLines(t, metrics, maxWidth).size() <= maxLines; };
    if (maxWidth <= 0 || fits(text))
        return wrapLines(text, metrics, std::max(1, maxWidth));

    // The folders of each path, one at a time, as far as the bare name.
    std::vector<Piece> pieces = splitPaths(text);
    QString shown = joined(pieces);
    for (Piece& p : pieces) {
        if (!p.Path)
            continue;
        while (!fits(shown)) {
            const QString shorter = MinimizeName(p.Original, metrics, metrics.horizontalAdvance(p.Shown) - 1);
            if (shorter == p.Shown)
                break;
            p.Shown = shorter;
            shown = joined(pieces);
        }
    }

    // The leading parts, each cut from its end down to the ellipsis alone; the last part,
    // the newest news, is never given up this way.
    QStringList parts = shown.split(PartSeparator);
    for (qsizetype k = 0; k + 1 < parts.size() && !fits(shown); ++k) {
        const QString part = parts[k];
        auto cutTo = [&](qsizetype keep) {
            QString cut = part.left(keep);
            while (cut.endsWith(' '))
                cut.chop(1);
            parts[k] = cut + Ellipsis;
            return parts.join(PartSeparator);
        };
        // The longest start that fits, found by halving: the line is laid out for each try.
        qsizetype low = 0, high = part.size() - 1;
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (fits(cutTo(mid)))
                low = mid;
            else
                high = mid - 1;
        }
        shown = cutTo(low);
    }
    if (fits(shown))
        return wrapLines(shown, metrics, maxWidth);

    // Still too long: the last line holds the rest with its middle left out.
    QStringList lines = wrapLines(shown, metrics, maxWidth);
    const QString rest = lines.mid(maxLines - 1).join(' ');
    lines = lines.mid(0, maxLines - 1);
    lines << metrics.elidedText(rest, Qt::ElideMiddle, maxWidth);
    return lines;
}
