#include "GraphObject.h"
#include <algorithm>
#include <cstring>

namespace {

// Largest element index of a one-index property, and cells of the data grid: writes beyond them
// are ignored rather than allocated.
constexpr std::int32_t kMaxIndex = 1 << 20;
constexpr std::int32_t kMaxSubsets = 1024;
constexpr std::int64_t kMaxCells = GraphEngineMaxDataCells;
// Two-index properties that neither the data nor the table bounds.
constexpr std::int32_t kMaxFreeIndex = 1024;

// The colours that subsets take until the program sets its own.
constexpr std::uint32_t kDefaultSubsetColors[] = {
    0xFF0000, 0x0000FF, 0x008000, 0x800080, 0x008080, 0x808000, 0xFF00FF, 0x000080,
    0x00FFFF, 0x808080, 0x00FF00, 0xFFFF00, 0x800000, 0x0080FF, 0x404040, 0x000000,
};

// Starting values that are not zero or empty.
TGraphObject::TCell StartValue(std::int32_t id)
{
    switch (id) {
    case PEP::Subsets: case PEP::Points: return std::int32_t(1);
    case PEP::DeskColor: return std::int32_t(0xE0E0E0);
    case PEP::GraphBackColor: return std::int32_t(0xFFFFFF);
    case PEP::GraphForeColor: return std::int32_t(0xC0C0C0);
    case PEP::ShadowColor: return std::int32_t(0x808080);
    case PEP::FontSize: return std::int32_t(sgMedium);
    case PEP::ShowLegend: return std::int32_t(1);
    case PEP::AutoMinMaxPadding: return std::int32_t(5);
    case PEP::AllowUserInterface: return std::int32_t(sgAllInterface);
    case PEP::XAxisScaleControl: case PEP::YAxisScaleControl:
    case PEP::RYAxisScaleControl: case PEP::TXAxisScaleControl: return std::int32_t(sgLinear);
    case PEP::NullDataValueX: return -999999.0; // no distance or position takes it
    case PEP::NullDataValueY: return 0.0;       // a reading of exactly 0 is no reading
    case PEP::LineGapThreshold: return 1e37;
    case PEP::FontSizeGlobalCntl: case PEP::FontSizeTitleCntl: case PEP::FontSizeLegendCntl:
    case PEP::FontSizeMSCntl: case PEP::FontSizeMBCntl: case PEP::FontSizeGNCntl:
    case PEP::FontSizeCPCntl: case PEP::FontSizeALCntl: case PEP::GridAspect: return 1.0f;
    default: break;
    }
    const TEngineProperty* p = FindEngineProperty(id);
    if (p) {
        switch (p->Kind) {
        case TValueKind::Double: return 0.0;
        case TValueKind::Single: return 0.0f;
        case TValueKind::Text: return std::string();
        default: break;
        }
    }
    return std::int32_t(0);
}

TGraphObject::TCell ElementStart(const TEngineProperty& p, std::int32_t i)
{
    if (p.Id == PEP::SubsetColors)
        return std::int32_t(kDefaultSubsetColors[i % std::size(kDefaultSubsetColors)]);
    switch (p.Kind) {
    case TValueKind::Double: return 0.0;
    case TValueKind::Single: return 0.0f;
    case TValueKind::Text: return std::string();
    default: return std::int32_t(0);
    }
}

// A zero-terminated text of at most 256 bytes with its zero: never read past that, keep 255.
std::string TakeText(const void* value)
{
    const char* s = static_cast<const char*>(value);
    return std::string(s, strnlen(s, PE_MAXTEXT));
}

void GiveText(const std::string& text, void* buffer)
{
    const std::size_t n = std::min<std::size_t>(text.size(), PE_MAXTEXT);
    std::memcpy(buffer, text.data(), n);
    static_cast<char*>(buffer)[n] = '\0';
}

TGraphObject::TCell Take(TValueKind kind, const void* value)
{
    switch (kind) {
    case TValueKind::Double: { double d; std::memcpy(&d, value, 8); return d; }
    case TValueKind::Single: { float f; std::memcpy(&f, value, 4); return f; }
    case TValueKind::Text: return TakeText(value);
    default: { std::int32_t v; std::memcpy(&v, value, 4); return v; }
    }
}

void Give(const TGraphObject::TCell& cell, void* buffer)
{
    std::visit([buffer](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>)
            GiveText(v, buffer);
        else
            std::memcpy(buffer, &v, sizeof v);
    }, cell);
}

} // namespace

TGraphObject::TGraphObject(std::int32_t kind, const TRect& rect) : Kind(kind), Rect(rect)
{
    ResizeData();
}

bool TGraphObject::ValidIndex(std::int32_t i) { return i >= 0 && i < kMaxIndex; }

bool TGraphObject::WriteScalar(const TEngineProperty& p, const void* value)
{
    if (p.Shape != TShape::Scalar)
        return false;
    if (p.Kind == TValueKind::Record) {
        const auto* b = static_cast<const std::uint8_t*>(value);
        records_[p.Id].assign(b, b + p.RecordSize);
        return true;
    }
    if (p.Id == PEP_APPENDY) {
        float y;
        std::memcpy(&y, value, 4);
        AppendPoint(pendingX_, y);
    } else if (p.Id == PEP_APPENDX) {
        std::memcpy(&pendingX_, value, 4);
    }
    scalars_[p.Id] = Take(p.Kind, value);
    if (p.Id == PEP::Subsets || p.Id == PEP::Points)
        ResizeData();
    return true;
}

bool TGraphObject::ReadScalar(const TEngineProperty& p, void* buffer) const
{
    if (p.Shape != TShape::Scalar)
        return false;
    if (p.Kind == TValueKind::Record) {
        const auto it = records_.find(p.Id);
        if (it == records_.end())
            std::memset(buffer, 0, p.RecordSize);
        else
            std::memcpy(buffer, it->second.data(), p.RecordSize);
        return true;
    }
    const auto it = scalars_.find(p.Id);
    Give(it == scalars_.end() ? StartValue(p.Id) : it->second, buffer);
    return true;
}

bool TGraphObject::WriteElement(const TEngineProperty& p, std::int32_t i, const void* value)
{
    if (p.Shape != TShape::Array || !ValidIndex(i))
        return false;
    elements_[{p.Id, i}] = Take(p.Kind, value);
    return true;
}

bool TGraphObject::ReadElement(const TEngineProperty& p, std::int32_t i, void* buffer) const
{
    if (p.Shape != TShape::Array || !ValidIndex(i))
        return false;
    const auto it = elements_.find({p.Id, i});
    Give(it == elements_.end() ? ElementStart(p, i) : it->second, buffer);
    return true;
}

bool TGraphObject::InGrid(const TEngineProperty& p, std::int32_t i, std::int32_t j) const
{
    if (i < 0 || j < 0)
        return false;
    switch (p.Grid) {
    case TGridClass::Data: return i < subsets_ && j < points_;
    case TGridClass::Table: return i < Int(PEP::TARows) && j < Int(PEP::TAColumns);
    default: return i < kMaxFreeIndex && j < kMaxFreeIndex;
    }
}

std::vector<float>* TGraphObject::DenseGrid(std::int32_t id)
{
    return id == PEP::XData ? &xData_ : id == PEP::YData ? &yData_ : id == PEP::ZData ? &zData_ : nullptr;
}

const std::vector<float>* TGraphObject::DenseGrid(std::int32_t id) const
{
    return const_cast<TGraphObject*>(this)->DenseGrid(id);
}

// The data grids come first: a survey reads and writes each of their points one by one at every
// stored cycle.
bool TGraphObject::WriteCell(const TEngineProperty& p, std::int32_t i, std::int32_t j, const void* value)
{
    if (auto* g = DenseGrid(p.Id)) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_)
            return false;
        std::memcpy(&(*g)[std::size_t(i) * points_ + j], value, 4);
        return true;
    }
    if (p.Shape != TShape::Grid || !InGrid(p, i, j))
        return false;
    cells_[{p.Id, i, j}] = Take(p.Kind, value);
    return true;
}

bool TGraphObject::ReadCell(const TEngineProperty& p, std::int32_t i, std::int32_t j, void* buffer) const
{
    if (const auto* g = DenseGrid(p.Id)) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_)
            return false;
        std::memcpy(buffer, &(*g)[std::size_t(i) * points_ + j], 4);
        return true;
    }
    if (p.Shape != TShape::Grid || !InGrid(p, i, j))
        return false;
    const auto it = cells_.find({p.Id, i, j});
    Give(it == cells_.end() ? ElementStart(p, 0) : it->second, buffer);
    return true;
}

void TGraphObject::ResizeData()
{
    const int subsets = std::clamp<std::int32_t>(Int(PEP::Subsets), 0, kMaxSubsets);
    const int points = subsets == 0 ? 0
        : int(std::clamp<std::int64_t>(Int(PEP::Points), 0, kMaxCells / subsets));
    if (subsets == subsets_ && points == points_)
        return;
    for (auto* g : {&xData_, &yData_, &zData_}) {
        std::vector<float> n(std::size_t(subsets) * points, 0.0f);
        for (int s = 0; s < std::min(subsets, subsets_); ++s)
            for (int q = 0; q < std::min(points, points_); ++q)
                n[std::size_t(s) * points + q] = (*g)[std::size_t(s) * points_ + q];
        g->swap(n);
    }
    subsets_ = subsets;
    points_ = points;
    std::erase_if(cells_, [this](const auto& kv) {
        const TEngineProperty* p = FindEngineProperty(std::get<0>(kv.first));
        return p && p->Grid == TGridClass::Data
            && (std::get<1>(kv.first) >= subsets_ || std::get<2>(kv.first) >= points_);
    });
}

void TGraphObject::AppendPoint(float x, float y)
{
    if (subsets_ < 1 || points_ < 1)
        return;
    std::move(xData_.begin() + 1, xData_.begin() + points_, xData_.begin());
    std::move(yData_.begin() + 1, yData_.begin() + points_, yData_.begin());
    xData_[points_ - 1] = x;
    yData_[points_ - 1] = y;
}

std::int32_t TGraphObject::Int(std::int32_t id) const
{
    const auto it = scalars_.find(id);
    const TCell c = it == scalars_.end() ? StartValue(id) : it->second;
    const auto* v = std::get_if<std::int32_t>(&c);
    return v ? *v : 0;
}

double TGraphObject::Double(std::int32_t id) const
{
    const auto it = scalars_.find(id);
    const TCell c = it == scalars_.end() ? StartValue(id) : it->second;
    const auto* v = std::get_if<double>(&c);
    return v ? *v : 0.0;
}

float TGraphObject::Single(std::int32_t id) const
{
    const auto it = scalars_.find(id);
    const TCell c = it == scalars_.end() ? StartValue(id) : it->second;
    const auto* v = std::get_if<float>(&c);
    return v ? *v : 0.0f;
}

QString TGraphObject::Text(std::int32_t id) const
{
    const auto it = scalars_.find(id);
    if (it == scalars_.end())
        return {};
    const auto* v = std::get_if<std::string>(&it->second);
    return v ? QString::fromUtf8(v->data(), qsizetype(v->size())) : QString();
}

std::int32_t TGraphObject::ElementInt(std::int32_t id, std::int32_t i) const
{
    const TEngineProperty* p = FindEngineProperty(id);
    std::int32_t v = 0;
    if (p && p->Kind == TValueKind::Int)
        ReadElement(*p, i, &v);
    return v;
}

QString TGraphObject::ElementText(std::int32_t id, std::int32_t i) const
{
    const auto it = elements_.find({id, i});
    if (it == elements_.end())
        return {};
    const auto* v = std::get_if<std::string>(&it->second);
    return v ? QString::fromUtf8(v->data(), qsizetype(v->size())) : QString();
}

std::int32_t TGraphObject::ElementCount(std::int32_t id) const
{
    const auto it = elements_.lower_bound({id + 1, 0});
    if (it == elements_.begin())
        return 0;
    const auto last = std::prev(it);
    return last->first.first == id ? last->first.second + 1 : 0;
}
