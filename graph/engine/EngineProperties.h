#pragma once
#include "graph/GraphTypes.h"
#include <cstdint>

// How the engine holds each property id.
enum class TValueKind : std::uint8_t { Int, Double, Single, Text, Record };
enum class TShape : std::uint8_t { Scalar, Array, Grid };
// What bounds a two-index property: the data (Subsets x Points), the table annotation
// (TARows x TAColumns), or a fixed small range.
enum class TGridClass : std::uint8_t { None, Data, Table, Free };

struct TEngineProperty {
    std::int32_t Id;
    TValueKind Kind;
    TShape Shape;
    TGridClass Grid;
    std::int32_t RecordSize; // bytes of a record property
};

// The property with that id, or null for an id the engine does not have.
const TEngineProperty* FindEngineProperty(std::int32_t id);

// Longest text the engine keeps, without its terminating zero.
constexpr int PE_MAXTEXT = 255;

// Property ids by name, from the catalogue.
namespace PEP {
enum : std::int32_t {
#define PE_PROP(name, type, id, shape, redraw, access) name = id,
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
};
} // namespace PEP

// Ids the engine has beyond the control's properties.
enum : std::int32_t {
    PEP_CACHEBMP = 2575,      // handle of the cached bitmap
    PEP_CACHEDC = 2580,       // handle of the cached bitmap's drawing surface
    PEP_IMAGECHANGED = 2905,  // non-zero once the image was rebuilt after the last bitmap paint
    PEP_NOTIFYWINDOW = 2915,  // window that receives the notifications
    PEP_HOTSPOT = 2610,       // 28-byte record of the hot spot under the last press
    PEP_GRAPHPOINT = 3023,    // 24-byte record: axis, graph x and y of a graph hot spot
    PEP_GRIDNUMBER = 3162,    // 64-byte record of a custom grid number
    PEP_HOTSPOTPIXEL = 2637,  // pixel x and y of the last press
    PEP_MENUINDEX = 2675,
    PEP_SUBMENUINDEX = 2676,
    PEP_APPENDX = 3658,       // x of the next point appended to subset 0
    PEP_APPENDY = 3276,       // y of that point: writing it appends the point
};
