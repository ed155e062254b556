#include "IniFile.h"

#include "NumberFormat.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

// The file's lines without their ends (CR LF, or a bare LF written by hand).
QStringList readLines(const QString& path, bool* exists = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (exists)
            *exists = false;
        return {};
    }
    if (exists)
        *exists = true;
    const QString text = QString::fromLocal8Bit(f.readAll());
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// "[Name]" with blanks around: the section's name, else a null string.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.front() == '[') {
        const qsizetype close = t.indexOf(']');
        if (close > 0)
            return t.mid(1, close - 1).trimmed();
    }
    return QString();
}

// "key = value": the key (trimmed), else a null string.
QString keyName(const QString& line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return QString();
    const QString key = line.left(eq).trimmed();
    return key.isEmpty() ? QString() : key;
}

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString unquote(QString v)
{
    v = v.trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

[[noreturn]] void writeError(const QString& path)
{
    throw EIniFileException(QString("Impossible d'écrire dans %1").arg(path));
}

} // namespace

bool TIniFile::ReadValue(const QString& section, const QString& ident, QString& value) const
{
    bool inSection = false;
    for (const QString& line : readLines(FileName)) {
        const QString sec = sectionName(line);
        if (!sec.isNull()) {
            inSection = same(sec, section);
            continue;
        }
        if (!inSection)
            continue;
        const QString key = keyName(line);
        if (!key.isNull() && same(key, ident)) {
            value = unquote(line.mid(line.indexOf('=') + 1)).left(IniMaxValueLength);
            return true;
        }
    }
    return false;
}

bool TIniFile::SectionExists(const QString& section) const
{
    for (const QString& line : readLines(FileName)) {
        const QString sec = sectionName(line);
        if (!sec.isNull() && same(sec, section))
            return true;
    }
    return false;
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
    QStringList lines = readLines(FileName, &exists);
    if (!exists && QFile::exists(FileName))
        writeError(FileName); // present but unreadable: never replace it blindly

    qsizetype sectionLine = -1, lastInSection = -1, keyLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString sec = sectionName(lines[i]);
        if (!sec.isNull()) {
            if (sectionLine >= 0)
                break;
            if (same(sec, section)) {
                sectionLine = i;
                lastInSection = i;
            }
            continue;
        }
        if (sectionLine < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            lastInSection = i;
        const QString key = keyName(lines[i]);
        if (!key.isNull() && same(key, ident)) {
            keyLine = i;
            break;
        }
    }

    if (keyLine >= 0)
        lines[keyLine] = keyName(lines[keyLine]) + "=" + value;
    else if (sectionLine >= 0)
        lines.insert(lastInSection + 1, ident + "=" + value);
    else {
        lines << "[" + section + "]" << ident + "=" + value;
    }

    QByteArray data;
    for (const QString& line : lines) {
        data += line.toLocal8Bit();
        data += "\r\n";
    }
    QSaveFile out(FileName);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
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
