#include "SetupFile.h"

#include "platform/NumberFormat.h"

namespace Setup {

const std::array<PositionKey, 52>& PositionKeys()
{
    static const std::array<PositionKey, 52> keys = [] {
        std::array<PositionKey, 52> k{};
        const QString electrodes[13] = {"A", "B", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
        int n = 0;
        for (int e = 0; e < 13; ++e) // x of set 1: 0, 2, then 2k + 2 for P k
            k[n++] = {"ComSpacing" + electrodes[e], 124 + e, e == 0 ? 0.0f : float(2 * e)};
        for (int e = 0; e < 13; ++e)
            k[n++] = {"ComSpacing" + electrodes[e] + "Y", 144 + e, 0.0f};
        for (int e = 0; e < 13; ++e) // set 2: A, B, then 21..211
            k[n++] = {"ComSpacing2" + electrodes[e], 157 + e, e == 1 ? 2.0f : 0.0f};
        for (int e = 0; e < 13; ++e)
            k[n++] = {"ComSpacing2" + electrodes[e] + "Y", 177 + e, 0.0f};
        return k;
    }();
    return keys;
}

float ReadFloat32(const TIniFile& ini, const QString& section, const QString& key, float def)
{
    float v = def;
    return TryToFloat32(ini.ReadFloat(section, key, def), v) ? v : def;
}

float StrToFloat32(const QString& text)
{
    float v = 0;
    if (!TryTextToFloat32(text, v))
        throw EConvertError(QString("'%1' n'est pas une valeur en virgule flottante correcte").arg(text));
    return v;
}

} // namespace Setup
