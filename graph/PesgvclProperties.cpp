#include "PesgvclProperties.h"
#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

template <class T>
constexpr bool IsSmallInt = std::is_same_v<T, bool> || std::is_enum_v<T> && !std::is_same_v<T, TColor>;

template <class T>
std::int32_t ToEngine(T value)
{
    if constexpr (std::is_same_v<T, bool>) {
        return value ? 1 : 0;
    } else if constexpr (TEngineCodes<T>::Remapped) {
        const auto& codes = TEngineCodes<T>::Codes;
        const std::size_t n = std::size(codes);
        return std::size_t(value) < n ? codes[std::size_t(value)] : 0;
    } else {
        return std::int32_t(std::uint8_t(value)); // zero extension of the 8-bit value
    }
}

template <class T>
T FromEngine(std::int32_t code)
{
    if constexpr (std::is_same_v<T, bool>) {
        return (code & 0xFF) != 0;
    } else if constexpr (TEngineCodes<T>::Remapped) {
        const auto& codes = TEngineCodes<T>::Codes;
        const auto* it = std::find(std::begin(codes), std::end(codes), code);
        return it == std::end(codes) ? T(0) : T(it - std::begin(codes));
    } else {
        return T(code & 0xFF);
    }
}

} // namespace

bool TPESGraphProperties::ToStringBuffer(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const std::size_t n = Utf8FitLength(bytes.constData(), std::size_t(bytes.size()), 255);
    std::memcpy(StringBuffer, bytes.constData(), std::size_t(n));
    StringBuffer[n] = '\0';
    return n == std::size_t(bytes.size());
}

QString TPESGraphProperties::FromStringBuffer()
{
    StringBuffer[255] = '\0';
    return QString::fromUtf8(StringBuffer, qsizetype(std::strlen(StringBuffer)));
}

template <class T>
T TPESGraphProperties::GetScalar(std::int32_t id)
{
    IGraphEngine& e = GraphEngine();
    const TEngineHandle h = EngineHandle();
    if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, TColor>) {
        return T(e.GetInt(h, id));
    } else if constexpr (IsSmallInt<T>) {
        return FromEngine<T>(e.GetInt(h, id));
    } else if constexpr (std::is_same_v<T, double>) {
        e.GetV(h, id, &DoubleBuffer);
        return DoubleBuffer;
    } else if constexpr (std::is_same_v<T, float>) {
        e.GetV(h, id, &FloatBuffer);
        return FloatBuffer;
    } else {
        e.GetSz(h, id, StringBuffer);
        TextResult = FromStringBuffer();
        return TextResult;
    }
}

template <class T>
void TPESGraphProperties::SetScalar(std::int32_t id, T value)
{
    IGraphEngine& e = GraphEngine();
    const TEngineHandle h = EngineHandle();
    if constexpr (std::is_same_v<T, std::int32_t>) {
        e.SetInt(h, id, value);
    } else if constexpr (std::is_same_v<T, TColor>) {
        e.SetInt(h, id, std::int32_t(ColorToRGB(value)));
    } else if constexpr (IsSmallInt<T>) {
        e.SetInt(h, id, ToEngine(value));
    } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) {
        e.SetV(h, id, &value, 0);
    } else {
        ToStringBuffer(value);
        e.SetSz(h, id, StringBuffer);
    }
}

// Where an indexed setter puts its value for the engine to read.
template <class T>
void* TPESGraphProperties::PutValue(T& value, bool convertColour)
{
    if constexpr (std::is_same_v<T, TColor>) {
        ColourBuffer = convertColour ? ColorToRGB(value) : std::uint32_t(value);
        return &ColourBuffer;
    } else if constexpr (IsSmallInt<T>) {
        IntBuffer = std::uint32_t(ToEngine(value));
        return &IntBuffer;
    } else if constexpr (std::is_same_v<T, QString>) {
        ToStringBuffer(value);
        return StringBuffer;
    } else {
        return &value; // Integer, Double and Single values pass by their own address
    }
}

template <class T>
void* TPESGraphProperties::BufferFor()
{
    if constexpr (std::is_same_v<T, TColor>) return &ColourBuffer;
    else if constexpr (std::is_same_v<T, double>) return &DoubleBuffer;
    else if constexpr (std::is_same_v<T, float>) return &FloatBuffer;
    else if constexpr (std::is_same_v<T, QString>) return StringBuffer;
    else return &IntBuffer;
}

template <class T>
T TPESGraphProperties::TakeValue()
{
    if constexpr (std::is_same_v<T, TColor>) return TColor(std::int32_t(ColourBuffer));
    else if constexpr (std::is_same_v<T, double>) return DoubleBuffer;
    else if constexpr (std::is_same_v<T, float>) return FloatBuffer;
    else if constexpr (std::is_same_v<T, std::int32_t>) return std::int32_t(IntBuffer);
    else if constexpr (std::is_same_v<T, QString>) { TextResult = FromStringBuffer(); return TextResult; }
    else return FromEngine<T>(std::int32_t(IntBuffer));
}

template <class T>
T TPESGraphProperties::GetElement(std::int32_t id, std::int32_t i)
{
    GraphEngine().GetVCell(EngineHandle(), id, i, BufferFor<T>());
    return TakeValue<T>();
}

template <class T>
void TPESGraphProperties::SetElement(std::int32_t id, std::int32_t i, T value)
{
    GraphEngine().SetVCell(EngineHandle(), id, i, PutValue(value, true));
}

template <class T>
T TPESGraphProperties::GetCell(std::int32_t id, std::int32_t i, std::int32_t j)
{
    GraphEngine().GetVCellEx(EngineHandle(), id, i, j, BufferFor<T>());
    return TakeValue<T>();
}

template <class T>
void TPESGraphProperties::SetCell(std::int32_t id, std::int32_t i, std::int32_t j, T value, bool convertColour)
{
    GraphEngine().SetVCellEx(EngineHandle(), id, i, j, PutValue(value, convertColour));
}

#define PE_DEF_S(name, type, id, redraw) \
    type TPESGraphProperties::Get##name() { return GetScalar<type>(id); } \
    void TPESGraphProperties::Set##name(type value) \
    { \
        SetScalar<type>(id, value); \
        if (redraw) \
            ResetandInvalidate(); \
    }
#define PE_DEF_I1(name, type, id, redraw) \
    type TPESGraphProperties::Get##name(std::int32_t i) { return GetElement<type>(id, i); } \
    void TPESGraphProperties::Set##name(std::int32_t i, type value) { SetElement<type>(id, i, value); }
#define PE_DEF_I2(name, type, id, redraw) \
    type TPESGraphProperties::Get##name(std::int32_t i, std::int32_t j) { return GetCell<type>(id, i, j); } \
    void TPESGraphProperties::Set##name(std::int32_t i, std::int32_t j, type value) \
    { \
        SetCell<type>(id, i, j, value, true); \
    }
// The one colour setter that passes its value as it comes, system colours included.
#define PE_DEF_I2RAW(name, type, id, redraw) \
    type TPESGraphProperties::Get##name(std::int32_t i, std::int32_t j) { return GetCell<type>(id, i, j); } \
    void TPESGraphProperties::Set##name(std::int32_t i, std::int32_t j, type value) \
    { \
        SetCell<type>(id, i, j, value, false); \
    }
#define PE_DEF_RO(name, type, id, redraw) \
    type TPESGraphProperties::Get##name() { return GetScalar<type>(id); }
// Two indices folded into one element index of ten per row.
#define PE_DEF_RO2(name, type, id, redraw) \
    type TPESGraphProperties::Get##name(std::int32_t i, std::int32_t j) { return GetElement<type>(id, std::int32_t(std::uint32_t(i) * 10u + std::uint32_t(j))); }
#define PE_PROP(name, type, id, shape, redraw, access) PE_DEF_##shape(name, type, id, redraw)
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
