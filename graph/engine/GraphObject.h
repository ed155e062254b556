#pragma once
#include "EngineProperties.h"
#include "GraphEngine.h"
#include <QImage>
#include <QPoint>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <variant>
#include <vector>

// Where the last image put its plotting area and what its axes span, for the pixel conversion.
struct TGraphLayout {
    bool Valid = false;
    double Left = 0, Top = 0, Right = 0, Bottom = 0; // plotting area in image pixels
    double XMin = 0, XMax = 1, YMin = 0, YMax = 1;    // values at the left/right and bottom/top edges
    int RunsByPixelColumns = 0; // runs of contour cells drawn a pixel column at a time
    long long PixelsReckoned = 0; // contour pixels whose value was reckoned, once or more each
    long long PixelsCovered = 0;  // contour pixels that show a band
};

// One engine object: every property by id, the data of its graph, its window's place and its image.
class TGraphObject {
public:
    using TCell = std::variant<std::int32_t, double, float, std::string>;

    TGraphObject(std::int32_t kind, const TRect& rect);

    // Raw access by the engine calls; the property says how many bytes pass. Return false when the
    // value was not taken or not given (wrong shape, index outside the data).
    bool WriteScalar(const TEngineProperty& p, const void* value);
    bool ReadScalar(const TEngineProperty& p, void* buffer) const;
    bool WriteElement(const TEngineProperty& p, std::int32_t i, const void* value);
    bool ReadElement(const TEngineProperty& p, std::int32_t i, void* buffer) const;
    bool WriteCell(const TEngineProperty& p, std::int32_t i, std::int32_t j, const void* value);
    bool ReadCell(const TEngineProperty& p, std::int32_t i, std::int32_t j, void* buffer) const;

    // Typed reads for drawing (starting values where nothing was written).
    std::int32_t Int(std::int32_t id) const;
    double Double(std::int32_t id) const;
    float Single(std::int32_t id) const;
    QString Text(std::int32_t id) const;
    std::int32_t ElementInt(std::int32_t id, std::int32_t i) const;
    QString ElementText(std::int32_t id, std::int32_t i) const;
    // One more than the highest element index written to a one-index property (0 when none).
    std::int32_t ElementCount(std::int32_t id) const;

    // The data grid: subsets by points, as far as it was allocated.
    int Subsets() const { return subsets_; }
    int Points() const { return points_; }
    float X(int s, int p) const { return xData_[std::size_t(s) * points_ + p]; }
    float Y(int s, int p) const { return yData_[std::size_t(s) * points_ + p]; }
    float Z(int s, int p) const { return zData_[std::size_t(s) * points_ + p]; }
    // Adds a point at the end of subset 0; the oldest point drops out.
    void AppendPoint(float x, float y);

    std::int32_t Kind;
    TEngineHandle Handle = 0;
    TRect Rect;
    bool Visible = true;
    QImage Image; // null until first built
    QImage Spare; // the image shown before, drawn over by the next build
    TGraphLayout Layout;
    QImage Cache;
    std::int32_t CacheHandle = 0;

    // What the user is doing with the graph: a zoom frame being drawn, the zoom and its scroll bars.
    struct TInteraction {
        bool Dragging = false;
        QPoint DragStart, DragNow;
        TGraphLayout Full;               // the axes before the first zoom
        bool HorzBar = false, VertBar = false;
        std::int32_t HorzPos = 1, VertPos = 1;
        std::int32_t WheelRest = 0;      // wheel distance short of a line
    } Ui;

private:
    static bool ValidIndex(std::int32_t i);
    bool InGrid(const TEngineProperty& p, std::int32_t i, std::int32_t j) const;
    void ResizeData();
    std::vector<float>* DenseGrid(std::int32_t id);
    const std::vector<float>* DenseGrid(std::int32_t id) const;

    std::unordered_map<std::int32_t, TCell> scalars_;
    std::unordered_map<std::int32_t, std::vector<std::uint8_t>> records_;
    std::map<std::pair<std::int32_t, std::int32_t>, TCell> elements_;
    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, TCell> cells_;
    int subsets_ = 0, points_ = 0;
    std::vector<float> xData_, yData_, zData_;
    float pendingX_ = 0;
};
