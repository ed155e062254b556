#pragma once
#include "platform/IniFile.h"

#include <QString>
#include <array>
#include <cstdint>

// Sections and keys of the setup file that both programs share.
namespace Setup {

inline constexpr const char* Parameters = "Parameters";
inline constexpr const char* Relaybox = "Relaybox";
inline constexpr const char* Communication = "Communication";

// One electrode position key: its name, the Workspace element that holds it, its default.
struct PositionKey {
    QString Name;
    int WorkspaceIndex;
    float Default;
};

// The 52 positions in the order both programs write them: x of set 1 (A, B, P1..P11),
// y of set 1, x of set 2 (A, B, P11, P12..P21), y of set 2.
const std::array<PositionKey, 52>& PositionKeys();

// A fractional key held as a 32-bit float: a value that does not convert, is not finite or
// lies beyond the float range gives the default.
float ReadFloat32(const TIniFile& ini, const QString& section, const QString& key, float def);

// An integer key held in 16 bits keeps the low 16 bits of the integer read.
inline uint16_t ReadUInt16(const TIniFile& ini, const QString& section, const QString& key, int32_t def)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(ini.ReadInteger(section, key, def)) & 0xFFFFu);
}
inline int16_t ReadInt16(const TIniFile& ini, const QString& section, const QString& key, int32_t def)
{
    return static_cast<int16_t>(ReadUInt16(ini, section, key, def));
}

// The number-conversion error of a window's edit box.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An edit box's text as a fractional value held in 32 bits: the user's locale form (no
// "nan", "inf" or hexadecimal) within the float range; anything else raises EConvertError
// "'<text>' n'est pas une valeur en virgule flottante correcte".
float StrToFloat32(const QString& text);

} // namespace Setup
