#pragma once
#include <QString>
#include <cstddef>
#include <cstdint>

// Colour values keep the Windows form 0x00BBGGRR (red in the low byte); a negative value names a
// system colour whose index is the low byte.
enum TColor : std::int32_t {
    clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
    clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
    clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
    clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
    clBtnFace = static_cast<std::int32_t>(0x8000000F),
};

// The current RGB value (0x00BBGGRR) of a system colour index, taken from the application palette.
std::uint32_t GetSysColor(int index);
// A colour as the engine receives it: system colours resolved to their current RGB value.
std::uint32_t ColorToRGB(TColor color);

// A rectangle as left, top, right, bottom (right and bottom just outside).
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
};

struct TPoint {
    std::int32_t X = 0, Y = 0;
};

// How many of the first bytes of a UTF-8 text fit in at most max bytes without cutting a character.
inline std::size_t Utf8FitLength(const char* bytes, std::size_t size, std::size_t max)
{
    if (size <= max)
        return size;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// The enumeration types of the properties; each value passes to the engine as its ordinal, except
// for the three remapped types (see EngineCodes in graph/PropertyAccess.h).
#define PE_ENUM(name, ...) enum name : std::uint8_t { __VA_ARGS__ };
#include "graph/GraphEnums.def"
#undef PE_ENUM
