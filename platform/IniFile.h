#pragma once
#include "Exception.h"

#include <QString>
#include <cstdint>

// A setup file read and written key by key with the private-profile rules: every call opens
// the file by its path, does its work and closes it; nothing is cached between calls.
// The file is 8-bit text: lines are handled as bytes, and a write changes only the bytes of
// the line it writes (or adds), so lines in any code page survive it. Names match on their
// ASCII letters without regard to case; of two sections of one name only the first is read
// and written. Values are trimmed and lose one pair of enclosing quotes; texts are cut at
// 2047 characters; values are read in the user's code page, or as Latin-1 where they are not
// valid in it. A line ends at CR LF, LF or a CR alone; new lines end in CR LF, and so does a
// line that had no end or a CR alone once another line follows it. A write replaces a key in
// place, adds a new key at the end of its section and a new section at the end of the file;
// the rewrite goes through a temporary file and a rename, or, when none can be made beside
// the file, in place. A UTF-8 byte-order mark before the first line is not part of that line
// and stays before it.
class TIniFile {
public:
    explicit TIniFile(const QString& fileName) : FileName(fileName) {}

    const QString FileName;

    // Raw value of a key, trimmed and unquoted; false when the key is missing.
    bool ReadValue(const QString& section, const QString& ident, QString& value) const;

    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    int32_t ReadInteger(const QString& section, const QString& ident, int32_t def) const;
    // Fractional values in the user's locale form; a text that does not convert gives def.
    double ReadFloat(const QString& section, const QString& ident, double def) const;
    bool SectionExists(const QString& section) const;

    // Raise EIniFileException "Impossible d'écrire dans <path>" when the file cannot be written.
    void WriteString(const QString& section, const QString& ident, const QString& value);
    void WriteInteger(const QString& section, const QString& ident, int32_t value);
    void WriteFloat(const QString& section, const QString& ident, double value);
};

class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

constexpr int IniMaxValueLength = 2047;
