#include "EngineProperties.h"
#include <algorithm>
#include <array>
#include <type_traits>
#include <vector>

namespace {

template <class T>
constexpr TValueKind KindOf()
{
    if constexpr (std::is_same_v<T, double>)
        return TValueKind::Double;
    else if constexpr (std::is_same_v<T, float>)
        return TValueKind::Single;
    else if constexpr (std::is_same_v<T, QString>)
        return TValueKind::Text;
    else
        return TValueKind::Int; // Boolean, Integer, colour and enumeration values
}

enum TShapeTag { S, I1, I2, I2RAW, RO, RO2 };
constexpr TShape ShapeOf(TShapeTag tag)
{
    switch (tag) {
    case I1: case RO2: return TShape::Array; // the folded two-index read is one element index
    case I2: case I2RAW: return TShape::Grid;
    default: return TShape::Scalar;
    }
}

TGridClass GridOf(std::int32_t id)
{
    switch (id) {
    case PEP::XData: case PEP::YData: case PEP::ZData: case PEP::XDataII: case PEP::YDataII:
    case PEP::PointColors: case PEP::PointTypes: case PEP::DataPointLabels: case PEP::PointHatch:
        return TGridClass::Data;
    case PEP::TAType: case PEP::TAText: case PEP::TAFonts: case PEP::TAColor: case PEP::TAHotSpot:
    case PEP::TAJustification:
        return TGridClass::Table;
    default:
        return TGridClass::Free;
    }
}

std::vector<TEngineProperty> BuildTable()
{
    std::vector<TEngineProperty> t = {
#define PE_PROP(name, type, id, shape, redraw, access) \
        {id, KindOf<type>(), ShapeOf(shape), TGridClass::None, 0},
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
        {PEP_CACHEBMP, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_CACHEDC, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_IMAGECHANGED, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_NOTIFYWINDOW, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_HOTSPOT, TValueKind::Record, TShape::Scalar, TGridClass::None, 28},
        {PEP_GRAPHPOINT, TValueKind::Record, TShape::Scalar, TGridClass::None, 24},
        {PEP_GRIDNUMBER, TValueKind::Record, TShape::Scalar, TGridClass::None, 64},
        {PEP_HOTSPOTPIXEL, TValueKind::Record, TShape::Scalar, TGridClass::None, 8},
        {PEP_MENUINDEX, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_SUBMENUINDEX, TValueKind::Int, TShape::Scalar, TGridClass::None, 0},
        {PEP_APPENDX, TValueKind::Single, TShape::Scalar, TGridClass::None, 0},
        {PEP_APPENDY, TValueKind::Single, TShape::Scalar, TGridClass::None, 0},
    };
    for (auto& p : t)
        if (p.Shape == TShape::Grid)
            p.Grid = GridOf(p.Id);
    std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.Id < b.Id; });
    return t;
}

} // namespace

const TEngineProperty* FindEngineProperty(std::int32_t id)
{
    static const std::vector<TEngineProperty> table = BuildTable();
    // Every data point that the survey shifts passes here several times: looked up by id at once.
    static const std::vector<const TEngineProperty*> byId = [] {
        std::vector<const TEngineProperty*> index(table.empty() ? 0 : std::size_t(table.back().Id) + 1, nullptr);
        for (const TEngineProperty& p : table)
            if (p.Id >= 0 && !index[std::size_t(p.Id)])
                index[std::size_t(p.Id)] = &p;
        return index;
    }();
    return id >= 0 && std::size_t(id) < byId.size() ? byId[std::size_t(id)] : nullptr;
}
