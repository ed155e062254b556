#include "IniFile.h"

#include "FileReplace.h"
#include "NumberFormat.h"

#include <QFile>
#include <QStringDecoder>
#include <vector>

namespace {

// One line of the file: its bytes without the line end, and the end it had (CR LF, a bare LF
// or a bare CR written by hand, or nothing on a last line). Lines are kept as bytes so that a
// rewrite gives back every line it does not change exactly as it was, whatever code page
// wrote it.
struct Line {
    QByteArray Text;
    QByteArray End;
    bool Last = false; // the file's last line
};

// A line ends at CR LF, LF or a CR alone, so a file from an editor that ends its lines with CR
// alone is read line by line too. A CR followed by another CR is no end of its own: "x\r\r\n"
// stays one line, so that a rewrite gives it back as it was.
std::vector<Line> splitLines(const QByteArray& bytes)
{
    std::vector<Line> lines;
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    while (pos < size) {
        qsizetype stop = pos;
        while (stop < size && bytes[stop] != '\n' && !(bytes[stop] == '\r' && (stop + 1 == size || bytes[stop + 1] != '\r')))
            ++stop;
        qsizetype endSize = stop < size ? 1 : 0;
        if (stop + 1 < size && bytes[stop] == '\r' && bytes[stop + 1] == '\n')
            endSize = 2;
        lines.push_back(Line{bytes.mid(pos, stop - pos), bytes.mid(stop, endSize)});
        pos = stop + endSize;
    }
    if (!lines.empty())
        lines.back().Last = true;
    return lines;
}

// The byte-order mark that a Windows editor writes before the first line of a file it saves
// as UTF-8. It is no part of that line (else the first section's name would not match), and a
// rewrite gives it back where it was.
constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

// The file's lines; exists tells whether it could be read, mark receives the byte-order mark
// before its first line (empty when there is none).
std::vector<Line> readLines(const QString& path, bool* exists = nullptr, QByteArray* mark = nullptr)
{
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (exists)
        *exists = opened;
    QByteArray bytes = opened ? f.readAll() : QByteArray();
    QByteArray head;
    if (bytes.startsWith(Utf8Mark)) {
        head = bytes.left(qsizetype(sizeof Utf8Mark - 1));
        bytes.remove(0, head.size());
    }
    if (mark)
        *mark = head;
    return splitLines(bytes);
}

// Names are compared on their ASCII letters only, as the private-profile functions do in the
// code pages they serve; any other byte must be the same byte.
bool same(const QByteArray& a, const QByteArray& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QByteArray encode(const QString& text) { return text.toLocal8Bit(); }

// A value in the user's code page; bytes that are not valid there (a file from a Windows
// editor) are read as Latin-1 rather than replaced.
QString decode(const QByteArray& bytes)
{
    QStringDecoder local(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    const QString text = local(bytes);
    return local.hasError() ? QString::fromLatin1(bytes) : text;
}

// "[Name]" with blanks around: the section's name, else a null array.
QByteArray sectionName(const QByteArray& line)
{
    const QByteArray t = line.trimmed();
    if (t.size() >= 2 && t.front() == '[') {
        const qsizetype close = t.indexOf(']');
        if (close > 0)
            return t.mid(1, close - 1).trimmed();
    }
    return QByteArray();
}

// "key = value": the key (trimmed), else a null array.
QByteArray keyName(const QByteArray& line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return QByteArray();
    const QByteArray key = line.left(eq).trimmed();
    return key.isEmpty() ? QByteArray() : key;
}

QByteArray unquote(QByteArray v)
{
    v = v.trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// Where a section and a key lie. Only the first section of a name counts: a later one of the
// same name is neither read nor written, so what is written is what is read back.
struct Place {
    qsizetype Section = -1;      // line of "[Section]"
    qsizetype LastInSection = -1; // last line of the section that is not blank
    qsizetype Key = -1;
};

Place find(const std::vector<Line>& lines, const QByteArray& section, const QByteArray& ident)
{
    Place at;
    for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
        const QByteArray& text = lines[i].Text;
        const QByteArray sec = sectionName(text);
        if (!sec.isNull()) {
            if (at.Section >= 0)
                break;
            if (same(sec, section))
                at.Section = at.LastInSection = i;
            continue;
        }
        if (at.Section < 0)
            continue;
        if (!text.trimmed().isEmpty())
            at.LastInSection = i;
        const QByteArray key = keyName(text);
        if (!ident.isNull() && !key.isNull() && same(key, ident)) {
            at.Key = i;
            break;
        }
    }
    return at;
}

[[noreturn]] void writeError(const QString& path)
{
    throw EIniFileException(QString("Impossible d'écrire dans %1").arg(path));
}

} // namespace

bool TIniFile::ReadValue(const QString& section, const QString& ident, QString& value) const
{
    const std::vector<Line> lines = readLines(FileName);
    const Place at = find(lines, encode(section), encode(ident));
    if (at.Key < 0)
        return false;
    const QByteArray& text = lines[at.Key].Text;
    value = decode(unquote(text.mid(text.indexOf('=') + 1))).left(IniMaxValueLength);
    return true;
}

bool TIniFile::SectionExists(const QString& section) const
{
    return find(readLines(FileName), encode(section), QByteArray()).Section >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& ident, const QString& def) const
{
    QString value;
    return ReadValue(section, ident, value) ? value : def;
}

int32_t TIniFile::ReadInteger(const QString& section, const QString& ident, int32_t def) const
{
    QString value;
    if (!ReadValue(section, ident, value))
        return def;
    return StrToIntDef(value, def);
}

double TIniFile::ReadFloat(const QString& section, const QString& ident, double def) const
{
    QString value;
    double result = def;
    if (ReadValue(section, ident, value) && TryTextToFloat(value, result))
        return result;
    return def;
}

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value)
{
    // A line break in a value would inject lines into the file.
    if (value.contains('\r') || value.contains('\n') || section.contains('\n') || section.contains('\r')
        || ident.contains('\n') || ident.contains('\r') || ident.contains('=') || ident.trimmed().isEmpty())
        writeError(FileName);

    bool exists = false;
    QByteArray mark;
    std::vector<Line> lines = readLines(FileName, &exists, &mark);
    if (!exists && QFile::exists(FileName))
        writeError(FileName); // present but unreadable: never replace it blindly

    const QByteArray sectionBytes = encode(section), identBytes = encode(ident), valueBytes = encode(value);
    const Place at = find(lines, sectionBytes, identBytes);
    const QByteArray crlf("\r\n");
    if (at.Key >= 0) {
        Line& line = lines[at.Key];
        line.Text = keyName(line.Text) + "=" + valueBytes;
    } else if (at.Section >= 0) {
        lines.insert(lines.begin() + at.LastInSection + 1, Line{identBytes + "=" + valueBytes, crlf});
    } else {
        lines.push_back(Line{"[" + sectionBytes + "]", crlf});
        lines.push_back(Line{identBytes + "=" + valueBytes, crlf});
    }

    QByteArray data = mark;
    for (size_t i = 0; i < lines.size(); ++i) {
        data += lines[i].Text;
        // The file's last line gets a whole end once another line follows it: without an end,
        // or with a CR alone, it would run into that line for readers that only end lines at
        // LF. Every other line keeps the end it had.
        const bool whole = lines[i].End == crlf || lines[i].End == "\n" || (lines[i].End == "\r" && !lines[i].Last);
        data += !whole && i + 1 < lines.size() ? crlf : lines[i].End;
    }
    if (!ReplaceFileContent(FileName, data))
        writeError(FileName);
}

void TIniFile::WriteInteger(const QString& section, const QString& ident, int32_t value)
{
    WriteString(section, ident, QString::number(value));
}

void TIniFile::WriteFloat(const QString& section, const QString& ident, double value)
{
    WriteString(section, ident, FloatToStr(value));
}
