#pragma once
#include <QChar>
#include <QString>
#include <cstdint>

// The user's locale decimal separator (from the system locale at first use); tests set it.
QChar DecimalSeparator();
void SetDecimalSeparator(QChar separator);

// General number format with 15 significant digits: shortest text, trailing zeros dropped,
// plain notation for 1E-4 <= |v| < 1E15, else d.dddE[-]x. 1.2f widened gives 1.20000004768372.
QString FloatToStr(double value, QChar separator);
inline QString FloatToStr(double value) { return FloatToStr(value, DecimalSeparator()); }

// Picture formats: "0" digit always shown, "#" digit shown when significant, "." the
// separator, any other character copied ("#0.00", "#.00", "##0", "Min : #0.00 m"...).
QString FormatFloat(const QString& picture, double value, QChar separator);
inline QString FormatFloat(const QString& picture, double value) { return FormatFloat(picture, value, DecimalSeparator()); }

// A number in locale form: blanks, optional sign, digits, separator, optional exponent.
// Refuses everything else (also "inf", "nan", hexadecimal floats) and results that overflow.
bool TryTextToFloat(const QString& text, double& value, QChar separator);
inline bool TryTextToFloat(const QString& text, double& value) { return TryTextToFloat(text, value, DecimalSeparator()); }

// A value as a 32-bit float: refused (and `value` left as it is) when it is not finite or lies
// beyond the float's range, where a cast has no defined result. The range is checked before
// the cast, never after it.
bool TryToFloat32(double source, float& value);
// A computed value rounded to the nearest 32-bit float where it is stored, as the floating-point
// unit rounds it, with the range checked before the cast: beyond the largest float by less than
// half its last step gives the largest float, further out an infinity of the value's sign, and
// not a number stays so.
float RoundToFloat32(double source);
// A number in locale form, as TryTextToFloat reads it, that a 32-bit float holds.
bool TryTextToFloat32(const QString& text, float& value);

// A whole 32-bit integer: decimal with optional sign, or hexadecimal after $, x, X, 0x or 0X
// (at most 8 significant digits, no sign).
bool TryStrToInt(const QString& text, int32_t& value);
int32_t StrToIntDef(const QString& text, int32_t def);
