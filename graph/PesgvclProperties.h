#pragma once
#include "graph/GraphTypes.h"
#include "graph/engine/GraphEngine.h"
#include <cstdint>

// Engine codes of the three enumeration types that do not pass their ordinals.
template <class T>
struct TEngineCodes {
    static constexpr bool Remapped = false;
};
template <>
struct TEngineCodes<ePlottingMethod> {
    static constexpr bool Remapped = true;
    static constexpr std::int32_t Codes[] = {0, 2, 4, 8, 13, 15, 16, 12, 17, 3, 1, 11, 21, 22, 23, 24};
};
template <>
struct TEngineCodes<ePlottingMethodII> {
    static constexpr bool Remapped = true;
    static constexpr std::int32_t Codes[] = {0, 2, 8, 13, 15, 16, 17, 21, 22};
};
template <>
struct TEngineCodes<eTALocation> {
    static constexpr bool Remapped = true;
    // The inside-overlap values have no code: they send 0 and are never read back.
    static constexpr std::int32_t Codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                             100, 101, 102, 103, 104, 105, 200, 201, 202, 203, 204, 205};
};

// The accessors of every graph property (GetX/SetX), written from the property catalogue, and
// the buffers through which their values pass to and from the engine. None of them keeps a
// value: the engine object does.
class TPESGraphProperties {
public:
    virtual ~TPESGraphProperties() = default;

#define PE_DECL_S(name, type) type Get##name(); void Set##name(type value);
#define PE_DECL_I1(name, type) type Get##name(std::int32_t i); void Set##name(std::int32_t i, type value);
#define PE_DECL_I2(name, type) \
    type Get##name(std::int32_t i, std::int32_t j); void Set##name(std::int32_t i, std::int32_t j, type value);
#define PE_DECL_I2RAW PE_DECL_I2
#define PE_DECL_RO(name, type) type Get##name();
#define PE_DECL_RO2(name, type) type Get##name(std::int32_t i, std::int32_t j);
#define PE_PROP(name, type, id, shape, redraw, access) PE_DECL_##shape(name, type)
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
#undef PE_DECL_S
#undef PE_DECL_I1
#undef PE_DECL_I2
#undef PE_DECL_I2RAW
#undef PE_DECL_RO
#undef PE_DECL_RO2

    // The redraw step of the setters marked to redraw.
    virtual void ResetandInvalidate() = 0;

protected:
    virtual TEngineHandle EngineHandle() const = 0;

    // Copies a text into StringBuffer: at most 255 bytes, never a broken character, then the zero.
    // Returns false when the text had to be cut.
    bool ToStringBuffer(const QString& text);
    QString FromStringBuffer();

    std::uint32_t ColourBuffer = 0;
    char StringBuffer[256] = {};
    QString TextResult;
    float FloatBuffer = 0;
    double DoubleBuffer = 0;
    std::uint32_t IntBuffer = 0;

private:
    template <class T> T GetScalar(std::int32_t id);
    template <class T> void SetScalar(std::int32_t id, T value);
    template <class T> T GetElement(std::int32_t id, std::int32_t i);
    template <class T> void SetElement(std::int32_t id, std::int32_t i, T value);
    template <class T> T GetCell(std::int32_t id, std::int32_t i, std::int32_t j);
    template <class T> void SetCell(std::int32_t id, std::int32_t i, std::int32_t j, T value, bool convertColour);
    template <class T> void* PutValue(T& value, bool convertColour);
    template <class T> void* BufferFor();
    template <class T> T TakeValue();
};
