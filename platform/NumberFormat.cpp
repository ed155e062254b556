#include "NumberFormat.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

static std::optional<QChar> separatorOverride;

QChar DecimalSeparator()
{
    if (!separatorOverride) {
        const QString point = QLocale::system().decimalPoint();
        separatorOverride = point.isEmpty() ? QChar('.') : point.front();
    }
    return *separatorOverride;
}

void SetDecimalSeparator(QChar separator) { separatorOverride = separator; }

namespace {

// Significant digits of |value| rounded to `precision` digits, and the decimal exponent of the
// first digit: value = 0.d1d2d3... x 10^(exponent + 1).
struct Decimal {
    std::string digits; // no leading zeros; empty for zero
    int exponent = 0;
};

Decimal toDecimal(double value, int precision)
{
    Decimal d;
    if (value == 0)
        return d;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, precision - 1);
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    d.exponent = std::stoi(s.substr(e + 1));
    for (char c : s.substr(0, e))
        if (c >= '0' && c <= '9')
            d.digits += c;
    return d;
}

void stripTrailingZeros(std::string& digits)
{
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
}

} // namespace

QString FloatToStr(double value, QChar separator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    Decimal d = toDecimal(value, 15);
    stripTrailingZeros(d.digits);
    if (d.digits.empty())
        return "0";
    QString out = value < 0 ? "-" : "";
    if (d.exponent >= -4 && d.exponent < 15) {
        if (d.exponent < 0) {
            out += '0';
            out += separator;
            out += QString(-d.exponent - 1, '0');
            out += QString::fromLatin1(d.digits.c_str());
        } else {
            const size_t intDigits = static_cast<size_t>(d.exponent) + 1;
            std::string padded = d.digits;
            if (padded.size() < intDigits)
                padded.append(intDigits - padded.size(), '0');
            out += QString::fromLatin1(padded.substr(0, intDigits).c_str());
            if (padded.size() > intDigits) {
                out += separator;
                out += QString::fromLatin1(padded.substr(intDigits).c_str());
            }
        }
    } else {
        out += QChar(d.digits[0]);
        if (d.digits.size() > 1) {
            out += separator;
            out += QString::fromLatin1(d.digits.substr(1).c_str());
        }
        out += 'E';
        out += QString::number(d.exponent);
    }
    return out;
}

QString FormatFloat(const QString& picture, double value, QChar separator)
{
    // Split the picture into literal prefix, number part and literal suffix.
    auto isPlaceholder = [](QChar c) { return c == '0' || c == '#' || c == '.'; };
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < picture.size(); ++i)
        if (isPlaceholder(picture[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    if (first < 0)
        return picture;
    const QString prefix = picture.left(first);
    const QString number = picture.mid(first, last - first + 1);
    const QString suffix = picture.mid(last + 1);

    const qsizetype point = number.indexOf('.');
    const QString intPart = point < 0 ? number : number.left(point);
    const QString fracPart = point < 0 ? QString() : number.mid(point + 1);
    const int minInt = static_cast<int>(intPart.size() - intPart.indexOf('0') ) * (intPart.contains('0') ? 1 : 0);
    int minFrac = 0, maxFrac = 0;
    for (qsizetype i = 0; i < fracPart.size(); ++i) {
        if (fracPart[i] == '0')
            minFrac = static_cast<int>(i) + 1;
        if (fracPart[i] == '0' || fracPart[i] == '#')
            maxFrac = static_cast<int>(i) + 1;
    }

    if (!std::isfinite(value))
        return FloatToStr(value, separator);

    // Round half away from zero on 18 significant digits, as a user reads the value.
    Decimal d = toDecimal(value, 18);
    std::string intDigits, fracDigits;
    if (!d.digits.empty()) {
        // Place the digits: integer digits are those with position <= exponent.
        const int keep = d.exponent + 1 + maxFrac; // digits kept from the start
        std::string digits = d.digits;
        int exponent = d.exponent;
        if (keep < 0) {
            digits.clear();
        } else if (static_cast<size_t>(keep) < digits.size()) {
            const bool up = digits[keep] >= '5';
            digits.resize(keep);
            if (up) {
                int i = keep - 1;
                while (i >= 0 && digits[i] == '9') {
                    digits[i] = '0';
                    --i;
                }
                if (i >= 0)
                    ++digits[i];
                else {
                    digits.insert(digits.begin(), '1');
                    ++exponent;
                }
            }
        }
        stripTrailingZeros(digits);
        if (!digits.empty()) {
            if (exponent >= 0) {
                std::string padded = digits;
                if (padded.size() < static_cast<size_t>(exponent) + 1)
                    padded.append(exponent + 1 - padded.size(), '0');
                intDigits = padded.substr(0, exponent + 1);
                fracDigits = padded.substr(exponent + 1);
            } else {
                fracDigits = std::string(-exponent - 1, '0') + digits;
            }
        }
    }
    const bool zero = intDigits.empty() && fracDigits.empty();
    if (fracDigits.size() < static_cast<size_t>(maxFrac))
        fracDigits.append(maxFrac - fracDigits.size(), '0');
    // Optional decimals ("#") that are zero are dropped.
    while (fracDigits.size() > static_cast<size_t>(minFrac) && fracDigits.back() == '0')
        fracDigits.pop_back();
    if (intDigits.size() < static_cast<size_t>(minInt))
        intDigits.insert(0, minInt - intDigits.size(), '0');

    QString out;
    if (value < 0 && !zero)
        out += '-';
    out += prefix;
    out += QString::fromLatin1(intDigits.c_str());
    if (!fracDigits.empty()) {
        out += separator;
        out += QString::fromLatin1(fracDigits.c_str());
    }
    out += suffix;
    return out;
}

bool TryTextToFloat(const QString& text, double& value, QChar separator)
{
    const QString t = text.trimmed();
    std::string ascii;
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    int mantissaDigits = 0;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        ascii += static_cast<char>(t[i++].unicode());
        ++mantissaDigits;
    }
    if (i < t.size() && t[i] == separator) {
        ascii += '.';
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
            ascii += static_cast<char>(t[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ascii += static_cast<char>(t[i++].unicode());
        int expDigits = 0;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
            ascii += static_cast<char>(t[i++].unicode());
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != t.size())
        return false;
    double parsed = 0;
    auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size() || !std::isfinite(parsed))
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

bool TryToFloat32(double source, float& value)
{
    if (!std::isfinite(source) || std::fabs(source) > double(std::numeric_limits<float>::max()))
        return false;
    value = static_cast<float>(source);
    return true;
}

float RoundToFloat32(double source)
{
    constexpr double largest = std::numeric_limits<float>::max();
    // Halfway between the largest float and the next power of two: a tie goes to the even
    // neighbour, the infinity.
    constexpr double roundsToLargest = 0x1.ffffffp127;
    if (std::isnan(source))
        return std::numeric_limits<float>::quiet_NaN();
    const double magnitude = std::fabs(source);
    if (magnitude <= largest)
        return static_cast<float>(source);
    const float edge = magnitude < roundsToLargest ? std::numeric_limits<float>::max() : std::numeric_limits<float>::infinity();
    return source < 0 ? -edge : edge;
}

bool TryTextToFloat32(const QString& text, float& value)
{
    double v = 0;
    return TryTextToFloat(text, v) && TryToFloat32(v, value);
}

bool TryStrToInt(const QString& text, int32_t& value)
{
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return false;
    size_t hexStart = 0;
    if (s[0] == '$' || s[0] == 'x' || s[0] == 'X')
        hexStart = 1;
    else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        hexStart = 2;
    if (hexStart) {
        std::string digits = s.substr(hexStart);
        if (digits.empty())
            return false;
        uint64_t v = 0;
        int significant = 0;
        for (char c : digits) {
            int n;
            if (c >= '0' && c <= '9') n = c - '0';
            else if (c >= 'a' && c <= 'f') n = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') n = c - 'A' + 10;
            else return false;
            if (v != 0 || n != 0)
                ++significant;
            if (significant > 8)
                return false;
            v = v * 16 + static_cast<uint64_t>(n);
        }
        value = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size())
        return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToIntDef(const QString& text, int32_t def)
{
    int32_t v;
    return TryStrToInt(text, v) ? v : def;
}
