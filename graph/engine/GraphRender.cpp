#include "GraphRender.h"
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <new>

namespace {

constexpr int kMinPlot = 8;        // smallest plotting area, in pixels
constexpr double kDataMargin = 4;  // pixels between lines or points at an automatic end and the frame

QColor Colour(const TGraphObject& o, std::int32_t id) { return EngineColor(std::uint32_t(o.Int(id))); }

float Factor(const TGraphObject& o, std::int32_t id)
{
    const float f = o.Single(id);
    return f > 0.05f && f < 20.0f ? f : 1.0f;
}

bool Blank(const QString& s) { return s.trimmed().isEmpty(); }

// An axis: the values at its two ends and its grid numbers.
struct TAxis {
    double Min = 0, Max = 1;
    double Step = 1;      // between grid lines and numbers
    double TickStep = 0;  // between tick marks, 0 for the grid step
    bool Negated = false; // an inverted axis reads each value v as -v (see RenderGraph)
    std::vector<double> Grid() const;
    std::vector<double> Ticks() const;
    QString Label(double v, int decimals) const;
    int Decimals() const;
};

std::vector<double> Multiples(double min, double max, double step)
{
    std::vector<double> out;
    if (!(step > 0) || !std::isfinite(min) || !std::isfinite(max) || (max - min) / step > 500)
        return out;
    // So far from 0 that adding one no longer changes a multiple, the axis has no numbers to tell
    // apart; counting on would never end.
    constexpr double kExact = 4503599627370496.0; // 2^52
    if (!(std::abs(min / step) < kExact) || !(std::abs(max / step) < kExact))
        return out;
    for (double k = std::ceil(min / step - 1e-9); k * step <= max + step * 1e-9; k += 1)
        out.push_back(std::abs(k * step) < step * 1e-9 ? 0.0 : k * step);
    return out;
}

std::vector<double> TAxis::Grid() const { return Multiples(Min, Max, Step); }
std::vector<double> TAxis::Ticks() const { return Multiples(Min, Max, TickStep > 0 ? TickStep : Step); }

// Decimals that tell the multiples of a step apart, at most 6.
int DecimalsOf(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    return int(std::clamp(std::ceil(-std::log10(step) - 1e-9), 0.0, 6.0));
}

int TAxis::Decimals() const { return DecimalsOf(Step); }

QString TAxis::Label(double v, int decimals) const
{
    const double shown = Negated && v != 0 ? -v : v;
    // Written out in full, numbers this large would take the whole image's width.
    if (std::abs(shown) >= 1e15)
        return QString::number(shown, 'g', 6);
    return QString::number(shown, 'f', decimals);
}

// A step of 1, 2 or 5 times a power of ten that gives about the wanted count of intervals.
double NiceStep(double span, double count)
{
    if (!(span > 0) || !(count > 0))
        return 1;
    const double raw = span / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / mag;
    return (r < 1.5 ? 1 : r < 3.5 ? 2 : r < 7.5 ? 5 : 10) * mag;
}

// Which points are data: those whose values equal none of the null-data values.
struct TNulls {
    double X, Y;
    bool Missing(double x, double y) const { return x == X || y == Y || !std::isfinite(x) || !std::isfinite(y); }
};

// The bounds of a manual scale control (0 auto, 1 manual minimum, 2 manual maximum, 3 both) in
// force over the data's range. A bound that is not a finite number is no bound: that end follows
// the data. Tells which ends follow the data.
std::pair<bool, bool> ApplyManualBounds(double& lo, double& hi, int control, double manualMin, double manualMax)
{
    const bool autoLo = (control != 1 && control != 3) || !std::isfinite(manualMin);
    const bool autoHi = (control != 2 && control != 3) || !std::isfinite(manualMax);
    if (!autoLo)
        lo = manualMin;
    if (!autoHi)
        hi = manualMax;
    if (hi < lo)
        std::swap(lo, hi);
    return {autoLo, autoHi};
}

// Holds a window's ends within half the largest double, so that its width, and the distance of
// any value in it from either end, stays a finite number.
void KeepWidthFinite(double& lo, double& hi)
{
    constexpr double widest = std::numeric_limits<double>::max() / 2;
    lo = std::clamp(lo, -widest, widest);
    hi = std::clamp(hi, -widest, widest);
}

// An axis window that the pixels can be placed in: finite, and wider than nothing.
void UsableWindow(double& lo, double& hi)
{
    KeepWidthFinite(lo, hi);
    if (!(hi > lo))
        hi = lo + std::max(1.0, std::abs(lo) * 1e-9);
}

bool IsContour(const TGraphObject& o)
{
    const int m = o.Int(PEP::PlottingMethod);
    return m == 23 || m == 24; // engine codes of contour lines and contour colours
}

// Range of an axis from the data and the manual scale control (0 auto, 1 manual minimum,
// 2 manual maximum, 3 both), padded by the padding percentage on the automatic ends.
void ScaleAxis(TAxis& axis, bool any, double dmin, double dmax, int control, double manualMin,
               double manualMax, double padPercent, int pixels, double pixelsPerStep, double marginPixels)
{
    double lo = any ? dmin : 0, hi = any ? dmax : 1;
    const auto [autoLo, autoHi] = ApplyManualBounds(lo, hi, control, manualMin, manualMax);
    if (hi - lo <= std::abs(hi) * 1e-9) {
        const double d = hi == 0 ? 1 : std::abs(hi) * 0.1;
        if (autoLo) lo -= d;
        if (autoHi) hi += d;
        if (hi <= lo) hi = lo + 1;
    }
    const double pad = (hi - lo) * std::clamp(padPercent, 0.0, 100.0) / 100.0;
    if (autoLo) lo -= pad;
    if (autoHi) hi += pad;
    // However small the padding, data at an automatic end lie a few pixels inside the frame, off
    // the frame's line. The margin grows the window, which asks a little more margin: three
    // rounds come within a hair of it.
    if (any && marginPixels > 0 && pixels > 4 * marginPixels)
        for (int round = 0; round < 3; ++round) {
            const double need = (hi - lo) * marginPixels / pixels;
            if (autoLo && dmin - lo < need)
                lo = dmin - need;
            if (autoHi && hi - dmax < need)
                hi = dmax + need;
        }
    UsableWindow(lo, hi);
    axis.Min = lo;
    axis.Max = hi;
    axis.Step = NiceStep(hi - lo, std::max(1.0, pixels / pixelsPerStep));
}

QPen GridPen(const TGraphObject& o, const QColor& colour)
{
    QPen pen(colour, 1);
    switch (o.Int(PEP::GridStyle)) {
    case sgThick: pen.setWidth(2); break;
    case sgDot: pen.setStyle(Qt::DotLine); break;
    case sgDash: pen.setStyle(Qt::DashLine); break;
    case sgPixel: pen.setStyle(Qt::CustomDashLine); pen.setDashPattern({1, 3}); break;
    default: break;
    }
    return pen;
}

QFont MakeFont(const QString& family, int pixels, bool bold, bool italic, bool underline)
{
    QFont f;
    if (!Blank(family))
        f.setFamily(family);
    f.setPixelSize(std::max(6, pixels));
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

// The third of a Catmull-Rom tangent at a point of one coordinate, from the steps before and
// after it, held so that the curve stays between the point and each neighbour: flat at a peak, a
// trough or the end of a flat stretch, and never more than a step's length.
double SplineReach(double before, double after)
{
    if (!(before * after > 0))
        return 0;
    const double t = (before + after) / 6;
    const double most = std::min(std::abs(before), std::abs(after));
    return t > 0 ? std::min(t, most) : std::max(t, -most);
}

// Smooth curve through the points: Catmull-Rom segments as cubic Beziers, their control points
// held within the box of each segment's two points, so the curve never leaves the range of its
// points (no swing past a step, no dip under a flat stretch).
void AddSpline(QPainterPath& path, const std::vector<QPointF>& pts)
{
    path.moveTo(pts[0]);
    if (pts.size() == 2) {
        path.lineTo(pts[1]);
        return;
    }
    const std::size_t n = pts.size();
    std::vector<QPointF> reach(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || i + 1 == n) { // an end: half its one step, as the curve always had
            reach[i] = (pts[i == 0 ? 1 : i] - pts[i == 0 ? 0 : i - 1]) / 6.0;
            continue;
        }
        const QPointF before = pts[i] - pts[i - 1], after = pts[i + 1] - pts[i];
        reach[i] = QPointF(SplineReach(before.x(), after.x()), SplineReach(before.y(), after.y()));
    }
    for (std::size_t i = 0; i + 1 < n; ++i)
        path.cubicTo(pts[i] + reach[i], pts[i + 1] - reach[i + 1], pts[i + 1]);
}

// Floor and ceiling without a library call per pixel. Pixel places of data far outside the image
// (a deep zoom) are held well inside the int range first, and one that is not a number at its
// edge; the callers clip them to the image.
constexpr double kFarPixel = 1e9;
double NearPixel(double x) { return x < kFarPixel ? (x > -kFarPixel ? x : -kFarPixel) : kFarPixel; }
int IFloor(double x)
{
    x = NearPixel(x);
    const int i = int(x);
    return i - (x < i);
}
int ICeil(double x)
{
    x = NearPixel(x);
    const int i = int(x);
    return i + (x > i);
}

// Keeps of each pixel column the first, lowest, highest and last point, in their order.
std::vector<QPointF> Decimate(const std::vector<QPointF>& pts)
{
    std::vector<QPointF> out;
    out.reserve(pts.size() / 2);
    std::size_t i = 0;
    while (i < pts.size()) {
        const double column = std::floor(pts[i].x());
        std::size_t j = i, lo = i, hi = i;
        while (j < pts.size() && std::floor(pts[j].x()) == column) {
            if (pts[j].y() < pts[lo].y()) lo = j;
            if (pts[j].y() > pts[hi].y()) hi = j;
            ++j;
        }
        out.push_back(pts[i]);
        for (std::size_t k : {std::min(lo, hi), std::max(lo, hi)})
            if (k != i && k != j - 1 && (out.empty() || out.back() != pts[k]))
                out.push_back(pts[k]);
        if (j - 1 != i)
            out.push_back(pts[j - 1]);
        i = j;
    }
    return out;
}

// Where values lie in the image: the pixels of the plotting area against the axes' windows.
struct TPlotMap {
    double Left, Top, Width, Height, XMin, XSpan, YMin, YSpan;
    QPointF operator()(double x, double y) const
    {
        return QPointF(Left + (x - XMin) / XSpan * Width, Top + Height - (y - YMin) / YSpan * Height);
    }
};

// A data point of a contour plot in image pixels, with its value and whether it is data at all.
struct TBandPoint {
    double x, y, z;
    bool ok;
};

// The band of a value, for one pixel.
struct TBandIndex {
    double Base, InvWidth, Last;
    std::int16_t operator()(double z) const
    {
        const double k = (z - Base) * InvWidth;
        return std::int16_t(!(k > 0) ? 0 : k >= Last ? Last : int(k)); // k > 0: int() is the floor
    }
};

// An edge of a strip, from a point of one subset to the same point of the other, as a line across
// the pixel rows: the rows it spans (none when Lo > Hi), and its place and value at the row Y0 and
// their change per row.
struct TCellEdge {
    double Lo, Hi, Y0, X0, Z0, Mx, Mz;
    bool Valid() const { return Lo <= Hi; }
    // Its place and value d below the row Y0.
    double XAt(double d) const { return X0 + d * Mx; }
    double ZAt(double d) const { return Z0 + d * Mz; }
};

// A run of a strip's edges whose cells go one way along the rows (Dir 1 or -1; 0 while they have
// no width, and for a cell whose edges cross), and the pixel columns it may cover.
struct TStripRun {
    int P, Q, Dir, C0, C1;
};

// Where a later run that overlaps the run being drawn lies along the rows: the places of its first
// and last edges at the strip's top row, and their change per row.
struct TLaterSpan {
    double Xa, Ma, Xb, Mb;
};

// The buffers of the contour drawing. They are kept from one image to the next: fresh buffers of
// this size come from the system page by page on every redraw.
struct TBandScratch {
    std::vector<std::int16_t> Bands; // per pixel of the plotting area, -1 where no data
    std::vector<TBandPoint> Upper, Lower;
    std::vector<TCellEdge> Edges;
    int RunsByPixelColumns = 0; // in the last image
    long long PixelsReckoned = 0; // values reckoned for pixels, in the last image
    std::vector<TStripRun> Runs; // of the strip being drawn
    std::vector<TLaterSpan> Later; // of the run being drawn
    std::vector<int> ColumnAt;
    std::vector<double> Cx, Cz;
    std::vector<char> Cok;
    QImage Image;
};

// Where a cell crosses a pixel row, from its two edges' places and values on the row: its ends in
// order, its first pixel (from 0 on), the value at that pixel's centre and its change per pixel.
// Both drawings of the cells reckon by it, so that they agree to the pixel.
struct TCellCrossing {
    double X0, X1, Z, Dz;
    int First;
    TCellCrossing(double x0, double x1, double z0, double z1)
    {
        if (x1 < x0) {
            std::swap(x0, x1);
            std::swap(z0, z1);
        }
        X0 = x0;
        X1 = x1;
        Dz = x1 > x0 ? (z1 - z0) / (x1 - x0) : 0;
        First = std::max(0, ICeil(x0 - 0.5));
        Z = z0 + (First + 0.5 - x0) * Dz;
    }
};

// Draws the cells between the edges q0 and q1 of a strip one by one, a pixel row at a time: a
// pixel takes the value where its centre lies in a cell, a later cell over an earlier one.
void FillCells(const TCellEdge* edges, int q0, int q1, int w, int h, const TBandIndex& band, TBandScratch& scratch)
{
    double yMin = std::numeric_limits<double>::infinity(), yMax = -yMin;
    for (int p = q0; p <= q1; ++p)
        if (edges[p].Valid()) {
            yMin = std::min(yMin, edges[p].Lo);
            yMax = std::max(yMax, edges[p].Hi);
        }
    if (yMin > yMax)
        return;
    double* cx = scratch.Cx.data();
    double* cz = scratch.Cz.data();
    char* cok = scratch.Cok.data();
    const int y0 = std::max(0, IFloor(yMin)), y1 = std::min(h - 1, ICeil(yMax));
    for (int py = y0; py <= y1; ++py) {
        const double cy = py + 0.5;
        for (int p = q0; p <= q1; ++p) {
            const TCellEdge& e = edges[p];
            cok[p] = cy >= e.Lo && cy <= e.Hi;
            cx[p] = e.X0 + (cy - e.Y0) * e.Mx;
            cz[p] = e.Z0 + (cy - e.Y0) * e.Mz;
        }
        std::int16_t* row = scratch.Bands.data() + std::size_t(py) * w;
        for (int p = q0; p < q1; ++p) {
            if (!cok[p] || !cok[p + 1])
                continue;
            const TCellCrossing cell(cx[p], cx[p + 1], cz[p], cz[p + 1]);
            if (cell.X1 < 0 || cell.X0 > w)
                continue;
            const int last = std::min(w - 1, IFloor(cell.X1 - 0.5));
            double z = cell.Z;
            scratch.PixelsReckoned += std::max(0, last - cell.First + 1);
            for (int px = cell.First; px <= last; ++px, z += cell.Dz)
                row[px] = band(z);
        }
    }
}

// Draws the same cells as FillCells, for a run of cells in order over the pixel columns c0 to
// c1, a pixel column at a time, so that the work grows with the pixels rather than with the data,
// and no pixel of the run is reckoned twice. The run's edges all run between the same two pixel rows and lie in order along
// every row, to the right (dir 1) or to the left (dir -1): a pixel centre lies in one of its cells,
// or on an edge shared by two, where it takes the later one, as the cell drawing leaves it. Each
// value is reckoned as that drawing reckons it, from the cell's first pixel on, so that the
// picture is the same to the pixel. Each pixel column keeps the edge it found on the row above,
// which moves little from row to row. The pixels within one of the later spans are left to the
// later run that draws over them.
template <int dir>
void FillRunByPixelColumns(TCellEdge* e, int q0, int q1, int c0, int c1, const std::vector<TLaterSpan>& later,
                           int w, int h, const TBandIndex& band, TBandScratch& scratch)
{
    ++scratch.RunsByPixelColumns;
    long long reckoned = 0;
    const double lo = e[q0].Lo, hi = e[q0].Hi, rowY0 = e[q0].Y0;
    const int y0 = std::max(0, IFloor(lo)), y1 = std::min(h - 1, ICeil(hi));
    // The run's edges from 1 on: the slots either side of it (a neighbouring run's edges, or the
    // spare slots at the ends) are borrowed for an edge behind every centre and one ahead of
    // every one, so that the search along a row needs no bounds. They are given back at the end.
    const int n = q1 - q0 + 1;
    TCellEdge* X = e + q0 - 1;
    const TCellEdge* Z = X;
    const TCellEdge before = X[0], after = X[n + 1];
    constexpr double ahead = dir * std::numeric_limits<double>::infinity();
    X[0].X0 = -ahead;
    X[n + 1].X0 = ahead;
    X[0].Mx = X[n + 1].Mx = X[0].Z0 = X[n + 1].Z0 = X[0].Mz = X[n + 1].Mz = 0;
    // Edge i lies on the side where the run starts of the centre xc, or on it.
    auto behind = [](double x, double xc) { return dir > 0 ? x <= xc : x >= xc; };
    std::vector<int>& at = scratch.ColumnAt;
    at.resize(std::size_t(c1 - c0 + 1));
    int* atC = at.data() - c0;
    bool first = true;
    for (int py = y0; py <= y1; ++py) {
        const double cy = py + 0.5;
        if (cy < lo || cy > hi)
            continue;
        const double d = cy - rowY0;
        if (first) { // the columns' edges on the first row, in one sweep along it the run's way
            for (int k = 0, i = 0; k <= c1 - c0; ++k) {
                const int c = dir > 0 ? c0 + k : c1 - k;
                while (behind(X[i + 1].XAt(d), c + 0.5))
                    ++i;
                atC[c] = i;
            }
            first = false;
        }
        // The columns a later run covers on this row are left to it: the end columns of each
        // later span are kept, so that no rounding of its ends can leave a pixel to nobody.
        int skipFrom = c1 + 1, skipTo = c1;
        for (const TLaterSpan& s : later) {
            const double xa = s.Xa + d * s.Ma, xb = s.Xb + d * s.Mb;
            const int from = std::max(c0, ICeil(std::min(xa, xb) - 0.5) + 1);
            const int to = std::min(c1, IFloor(std::max(xa, xb) - 0.5) - 1);
            if (from > to)
                continue;
            if (skipFrom > skipTo || (from <= skipTo + 1 && skipFrom <= to + 1)) {
                skipFrom = skipFrom > skipTo ? from : std::min(skipFrom, from);
                skipTo = std::max(skipTo, to);
            } else if (to - from > skipTo - skipFrom) { // apart: the wider is left out
                skipFrom = from;
                skipTo = to;
            }
        }
        if (skipFrom > skipTo)
            skipFrom = c1 + 1;
        std::int16_t* row = scratch.Bands.data() + std::size_t(py) * w;
        int cell = -1, previous = -1;
        double z = 0, dz = 0;
        for (int c = c0; c <= c1; ++c) {
            if (c == skipFrom) {
                c = skipTo;
                continue;
            }
            const double xc = c + 0.5;
            // The last edge behind the centre, and the one after it.
            int i = atC[c];
            double xa = X[i].XAt(d), xb = X[i + 1].XAt(d);
            if (!behind(xa, xc) || behind(xb, xc)) {
                while (behind(xb, xc)) {
                    xa = xb;
                    xb = X[++i + 1].XAt(d);
                }
                while (!behind(xa, xc)) {
                    xb = xa;
                    xa = X[--i].XAt(d);
                }
                atC[c] = i;
            }
            if (i == 0)
                continue; // before the run's first edge
            if (i == n) {
                if (xa != xc)
                    continue; // past the run's last edge
                xb = xa;      // on it: the end of the run's last cell
                xa = X[--i].XAt(d);
            }
            if (i != cell || c != previous + 1) {
                // The cell's near end within this pixel: this is its first pixel, and the value
                // reckoned as the crossing does, without its search for the first pixel.
                const double x0 = dir > 0 ? xa : xb, x1 = dir > 0 ? xb : xa;
                if (x1 > x0 && x0 > c - 0.5) {
                    const double z0 = Z[dir > 0 ? i : i + 1].ZAt(d), z1 = Z[dir > 0 ? i + 1 : i].ZAt(d);
                    dz = (z1 - z0) / (x1 - x0);
                    z = z0 + (xc - x0) * dz;
                    cell = i;
                    previous = c;
                    row[c] = band(z);
                    ++reckoned;
                    continue;
                }
                const TCellCrossing crossing(xa, xb, Z[i].ZAt(d), Z[i + 1].ZAt(d));
                dz = crossing.Dz;
                z = crossing.Z;
                for (int px = crossing.First; px < c; ++px) // a first pixel on an edge went to the later cell
                    z += dz;
                cell = i;
            } else {
                z += dz;
            }
            previous = c;
            row[c] = band(z);
            ++reckoned;
        }
    }
    X[0] = before;
    X[n + 1] = after;
    scratch.PixelsReckoned += reckoned;
}

// Draws one strip. Where its edges all run between the same two pixel rows (the survey's rows of
// channels), its cells are taken in runs of edges in order along the rows, one way or the other
// (the boat going on, or coming back): such a run is drawn by pixel columns, cells without width
// and cells whose edges cross by cells. Runs are drawn in the order of their cells, so that
// later cells lie over earlier ones in every case.
void FillStrip(const TBandPoint* A, const TBandPoint* B, int P, int w, int h, const TBandIndex& band,
               TBandScratch& scratch)
{
    // Edge p in slot p + 1: the drawing by pixel columns borrows the slots either side of a run.
    std::vector<TCellEdge>& edges = scratch.Edges;
    edges.resize(std::size_t(P) + 2);
    scratch.Cx.resize(std::size_t(P));
    scratch.Cz.resize(std::size_t(P));
    scratch.Cok.resize(std::size_t(P));
    bool sameRows = true;
    int firstEdge = -1;
    for (int p = 0; p < P; ++p) {
        const TBandPoint& a = A[p];
        const TBandPoint& b = B[p];
        const double dy = b.y - a.y;
        TCellEdge& e = edges[std::size_t(p) + 1];
        e.Lo = 1;
        e.Hi = 0; // empty unless a proper edge
        if (!a.ok || !b.ok || dy == 0)
            continue;
        e.Lo = std::min(a.y, b.y);
        e.Hi = std::max(a.y, b.y);
        e.Y0 = a.y;
        e.X0 = a.x;
        e.Z0 = a.z;
        e.Mx = (b.x - a.x) / dy;
        e.Mz = (b.z - a.z) / dy;
        if (firstEdge < 0)
            firstEdge = p;
        else if (a.y != A[firstEdge].y || b.y != B[firstEdge].y)
            sameRows = false;
    }
    TCellEdge* e = edges.data() + 1;
    if (firstEdge < 0)
        return;
    if (!sameRows) {
        FillCells(e, 0, P - 1, w, h, band, scratch);
        return;
    }
    std::vector<TStripRun>& runs = scratch.Runs;
    runs.clear();
    for (int p = firstEdge; p < P;) {
        if (!e[p].Valid()) {
            ++p;
            continue;
        }
        // The run from edge p: the way its cells go (0 while they have no width), and its extent.
        int q = p, dir = 0;
        while (q + 1 < P && e[q + 1].Valid()) {
            const double da = A[q + 1].x - A[q].x, db = B[q + 1].x - B[q].x;
            const bool right = da > 0 || db > 0, left = da < 0 || db < 0;
            if (right && left)
                break; // a cell whose edges cross
            const int way = right ? 1 : left ? -1 : 0;
            if (way != 0 && dir != 0 && way != dir)
                break;
            if (way != 0)
                dir = way;
            ++q;
        }
        if (q == p) { // a lone edge, or a cell whose edges cross
            if (p + 1 < P && e[p + 1].Valid())
                runs.push_back({p, p + 1, 0, 0, w - 1});
            ++p;
            continue;
        }
        // Along a run both ends of the edges go one way, so that its extent is that of its ends:
        // the pixel columns whose centres the run may cover, a column wider either side.
        const double xMin = std::min({A[p].x, B[p].x, A[q].x, B[q].x});
        const double xMax = std::max({A[p].x, B[p].x, A[q].x, B[q].x});
        const int c0 = std::max(0, IFloor(xMin - 0.5)), c1 = std::min(w - 1, ICeil(xMax - 0.5));
        if (c0 <= c1)
            runs.push_back({p, q, dir, c0, c1});
        p = q; // the next run starts at this one's last edge
    }
    // Runs are drawn in order, later over earlier; a run drawn by pixel columns leaves alone the
    // pixels that one of the next few such runs covers (the boat back over the same ground), so
    // that each is reckoned once.
    constexpr std::size_t kLookAhead = 16, kMostSpans = 4;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const TStripRun& run = runs[r];
        if (run.Dir == 0) {
            FillCells(e, run.P, run.Q, w, h, band, scratch);
            continue;
        }
        std::vector<TLaterSpan>& later = scratch.Later;
        later.clear();
        for (std::size_t k = r + 1; k < runs.size() && k <= r + kLookAhead && later.size() < kMostSpans; ++k) {
            const TStripRun& next = runs[k];
            if (next.Dir != 0 && next.C0 <= run.C1 && run.C0 <= next.C1)
                later.push_back({e[next.P].X0, e[next.P].Mx, e[next.Q].X0, e[next.Q].Mx});
        }
        if (run.Dir < 0)
            FillRunByPixelColumns<-1>(e, run.P, run.Q, run.C0, run.C1, later, w, h, band, scratch);
        else
            FillRunByPixelColumns<1>(e, run.P, run.Q, run.C0, run.C1, later, w, h, band, scratch);
    }
}

// Fills the band index of every pixel of the plotting area covered by the data. Subsets are
// taken in the order of their height, and each pair of neighbours makes a strip. A pixel row
// crosses the strip's edges (from a point of one subset to the same point of the other) where the
// values are interpolated; between two crossings the value runs linearly along the row. A point
// that is missing leaves its neighbouring cells empty.
void RasterBands(const TGraphObject& o, const TContourBands& bands, const TNulls& nulls,
                 const TPlotMap& toPixel, double yLo, double yHi,
                 int w, int h, TBandScratch& scratch)
{
    std::vector<std::int16_t>& out = scratch.Bands;
    // The buffer of one large export is not kept for the images at the window's size after it.
    if (out.capacity() > 2 * std::size_t(w) * h)
        std::vector<std::int16_t>().swap(out);
    out.assign(std::size_t(w) * h, -1);
    scratch.RunsByPixelColumns = 0;
    scratch.PixelsReckoned = 0;
    const int S = o.Subsets(), P = o.Points();
    if (P < 2 || S < 1)
        return;
    using V = TBandPoint;
    // Subsets in the order of their mean height in the image.
    std::vector<std::pair<double, int>> order;
    for (int s = 0; s < S; ++s) {
        double sumY = 0;
        for (int p = 0; p < P; ++p)
            sumY += o.Y(s, p);
        order.emplace_back(toPixel(0, sumY / P).y(), s);
    }
    std::stable_sort(order.begin(), order.end());
    // One subset's points in pixels: the lower row of one strip is the upper row of the next.
    const double xScale = toPixel.Width / toPixel.XSpan, yScale = toPixel.Height / toPixel.YSpan;
    auto pixelRow = [&](int s, std::vector<V>& row) {
        row.resize(std::size_t(P));
        for (int p = 0; p < P; ++p) {
            const double x = o.X(s, p), y = o.Y(s, p), z = o.Z(s, p);
            const double px = toPixel.Left + (x - toPixel.XMin) * xScale;
            const double py = toPixel.Top + toPixel.Height - (y - toPixel.YMin) * yScale;
            // A point whose place overflows (a window narrower than a step of the doubles) is
            // not drawn.
            row[std::size_t(p)] = {px, py, z, !nulls.Missing(x, y) && z != nulls.Y && std::isfinite(z + px + py)};
        }
    };
    std::vector<V>& upper = scratch.Upper;
    std::vector<V>& lower = scratch.Lower;
    pixelRow(order[0].second, upper);
    // One subset spans the whole height.
    if (S == 1) {
        lower = upper;
        const double yTop = toPixel(0, yHi).y(), yBottom = toPixel(0, yLo).y();
        for (auto& t : upper) t.y = yTop;
        for (auto& b : lower) b.y = yBottom;
    }
    const TBandIndex band{bands.Base, 1.0 / bands.Width, double(bands.Count - 1)};
    const int strips = S == 1 ? 1 : S - 1;
    for (int k = 0; k < strips; ++k) {
        if (S > 1) {
            if (k > 0)
                std::swap(upper, lower);
            pixelRow(order[std::size_t(k) + 1].second, lower);
        }
        FillStrip(upper.data(), lower.data(), P, w, h, band, scratch);
    }
}

} // namespace

QColor EngineColor(std::uint32_t c) { return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

int TContourBands::Band(double z) const
{
    const double k = std::floor((z - Base) / Width);
    return k > 0 ? int(std::min(k, double(Count - 1))) : 0;
}

namespace {

// The bands of values from lo to hi (the data's range, or nothing when lo > hi) under the Z axis's
// manual bounds and band width.
TContourBands BandsOfRange(const TGraphObject& o, double lo, double hi)
{
    if (lo > hi)
        lo = hi = 0;
    ApplyManualBounds(lo, hi, o.Int(PEP::ManualScaleControlZ), o.Double(PEP::ManualMinZ), o.Double(PEP::ManualMaxZ));
    KeepWidthFinite(lo, hi);
    TContourBands b;
    // A band width that the bounds cannot be counted in is no band width.
    const double line = o.Double(PEP::ManualZAxisLine);
    const bool lineFits = line > 0 && std::isfinite(1 / line) && std::isfinite(lo / line) && std::isfinite(hi / line);
    b.Width = lineFits ? line : NiceStep(hi - lo > 0 ? hi - lo : 1, 10);
    b.Base = std::floor(lo / b.Width) * b.Width;
    // Counted band by band from the base, without the difference of two far values.
    const double count = std::floor(hi / b.Width - b.Base / b.Width) + 1;
    b.Count = count > 1 ? int(std::min(count, 1000.0)) : 1;
    return b;
}

} // namespace

// An inverted Y (or X) axis is a depth axis: its numbers grow downward (or leftward) and read a
// value v as the depth -v. The survey hands its depths as negative heights, so the water surface
// (0) stays at the top of the profile and deeper rows of the pseudo-section lie lower, while the
// axis shows the depths as positive numbers.
void RenderGraph(const TGraphObject& o, QPainter& p, int width, int height, TGraphLayout& layout,
                 const TGridLabelFn& customLabel)
{
    layout = TGraphLayout{};
    const QRect all(0, 0, width, height);
    p.save();
    p.setClipRect(all);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    const QColor desk = Colour(o, PEP::DeskColor), text = Colour(o, PEP::TextColor);
    p.fillRect(all, desk);

    // Border.
    int inset = 0;
    switch (o.Int(PEP::BorderTypes)) {
    case sgDropShadow:
        p.fillRect(QRect(3, height - 3, width - 3, 3), Colour(o, PEP::ShadowColor));
        p.fillRect(QRect(width - 3, 3, 3, height - 3), Colour(o, PEP::ShadowColor));
        p.setPen(text);
        p.drawRect(QRect(0, 0, width - 4, height - 4));
        inset = 4;
        break;
    case sgSingleLine:
        p.setPen(text);
        p.drawRect(QRect(0, 0, width - 1, height - 1));
        inset = 1;
        break;
    case sgInset:
        p.setPen(desk.darker(160));
        p.drawLine(0, 0, width - 1, 0);
        p.drawLine(0, 0, 0, height - 1);
        p.setPen(desk.lighter(130));
        p.drawLine(width - 1, 1, width - 1, height - 1);
        p.drawLine(1, height - 1, width - 1, height - 1);
        inset = 2;
        break;
    default: break;
    }

    // Fonts grow with the image unless fixed.
    const int sizeStep = o.Int(PEP::FontSize); // large, medium, small
    const double sizeScale = sizeStep == sgLarge ? 1.0 : sizeStep == sgSmall ? 0.75 : 0.88;
    const double base = (o.Int(PEP::FixedFonts) ? 13.0 : std::clamp(std::min(width, height) / 26.0, 9.0, 18.0))
                        * sizeScale * Factor(o, PEP::FontSizeGlobalCntl);
    const QFont titleFont = MakeFont(o.Text(PEP::MainTitleFont), int(base * 1.3 * Factor(o, PEP::FontSizeTitleCntl)),
                                     o.Int(PEP::MainTitleBold), o.Int(PEP::MainTitleItalic), o.Int(PEP::MainTitleUnderline));
    const QFont subFont = MakeFont(o.Text(PEP::SubTitleFont), int(base * 1.1 * Factor(o, PEP::FontSizeTitleCntl)),
                                   o.Int(PEP::SubTitleBold), o.Int(PEP::SubTitleItalic), o.Int(PEP::SubTitleUnderline));
    const QFont labelFont = MakeFont(o.Text(PEP::LabelFont), int(base * Factor(o, PEP::FontSizeALCntl)),
                                     o.Int(PEP::LabelBold), o.Int(PEP::LabelItalic), o.Int(PEP::LabelUnderline));
    const QFont numberFont = MakeFont(o.Text(PEP::LabelFont), int(base * 0.9 * Factor(o, PEP::FontSizeGNCntl)),
                                      false, false, false);
    const QFont legendFont = MakeFont(o.Text(PEP::LabelFont), int(base * 0.85 * Factor(o, PEP::FontSizeLegendCntl)),
                                      false, false, false);
    const QFontMetrics titleFm(titleFont), subFm(subFont), labelFm(labelFont), numberFm(numberFont), legendFm(legendFont);

    QRect area = all.adjusted(inset + 4, inset + 3, -inset - 4, -inset - 3);

    // Titles.
    p.setPen(text);
    const QString title = o.Text(PEP::MainTitle), sub = o.Text(PEP::SubTitle);
    if (!Blank(title)) {
        p.setFont(titleFont);
        p.drawText(QRect(area.left(), area.top(), area.width(), titleFm.height()), Qt::AlignCenter, title);
        area.setTop(area.top() + titleFm.height() + 2);
    }
    if (!Blank(sub)) {
        p.setFont(subFont);
        p.drawText(QRect(area.left(), area.top(), area.width(), subFm.height()), Qt::AlignCenter, sub);
        area.setTop(area.top() + subFm.height() + 2);
    }

    // Data ranges.
    const bool contour = IsContour(o);
    const TNulls nulls{o.Double(PEP::NullDataValueX), o.Double(PEP::NullDataValueY)};
    double xLo = std::numeric_limits<double>::infinity(), xHi = -xLo, yLo = xLo, yHi = -xLo, zLo = xLo, zHi = -xLo;
    for (int s = 0; s < o.Subsets(); ++s)
        for (int q = 0; q < o.Points(); ++q) {
            const double x = o.X(s, q), y = o.Y(s, q), z = contour ? o.Z(s, q) : 0;
            if (nulls.Missing(x, y) || (contour && z == nulls.Y))
                continue;
            xLo = std::min(xLo, x); xHi = std::max(xHi, x);
            yLo = std::min(yLo, y); yHi = std::max(yHi, y);
            if (std::isfinite(z)) {
                zLo = std::min(zLo, z);
                zHi = std::max(zHi, z);
            }
        }
    const bool any = xLo <= xHi;

    // Legend of the contour bands.
    const TContourBands bands = contour ? BandsOfRange(o, zLo, zHi) : TContourBands{};
    const int colourCount = std::max(1, o.ElementCount(PEP::SubsetColors) > 0 ? o.ElementCount(PEP::SubsetColors) : 16);
    std::vector<QRgb> bandColour(std::size_t(bands.Count));
    for (int k = 0; k < bands.Count; ++k)
        bandColour[k] = EngineColor(std::uint32_t(o.ElementInt(PEP::SubsetColors, std::min(k, colourCount - 1)))).rgb();
    const bool legend = contour && o.Int(PEP::ShowLegend);
    const int legendWhere = o.Int(PEP::LegendLocation);
    const int axisDecimals = DecimalsOf(bands.Width);
    auto bandText = [&](int k) { return QString::number(bands.Base + k * bands.Width, 'f', axisDecimals); };
    QRect legendRect;
    if (legend) {
        int textW = 0;
        for (int k : {0, bands.Count})
            textW = std::max(textW, legendFm.horizontalAdvance(bandText(k)));
        const int boxW = 14;
        if (legendWhere == sgLegendLeft || legendWhere == sgLegendRight) {
            const int lw = boxW + 4 + textW + 6;
            legendRect = legendWhere == sgLegendLeft ? QRect(area.left(), area.top(), lw, area.height())
                                                      : QRect(area.right() - lw + 1, area.top(), lw, area.height());
            if (legendWhere == sgLegendLeft) area.setLeft(area.left() + lw + 4);
            else area.setRight(area.right() - lw - 4);
        } else {
            const int lh = boxW + 2 + legendFm.height();
            legendRect = legendWhere == sgLegendTop ? QRect(area.left(), area.top(), area.width(), lh)
                                                     : QRect(area.left(), area.bottom() - lh + 1, area.width(), lh);
            if (legendWhere == sgLegendTop) area.setTop(area.top() + lh + 4);
            else area.setBottom(area.bottom() - lh - 4);
        }
    }

    // Axes: room for their numbers and titles, then the plotting area.
    const int showX = o.Int(PEP::ShowXAxis), showY = o.Int(PEP::ShowYAxis);
    const bool xNumbers = showX <= sgGridLabels, yNumbers = showY <= sgGridLabels;
    const bool xTitle = (showX == sgGridPlusAxisLabels || showX == sgAxisLabels || showX == sgAxisLabelsOnly)
                        && !Blank(o.Text(PEP::XAxisLabel));
    const bool yTitle = (showY == sgGridPlusAxisLabels || showY == sgAxisLabels || showY == sgAxisLabelsOnly)
                        && !Blank(o.Text(PEP::YAxisLabel));
    const bool xOnTop = o.Int(PEP::XAxisOnTop);
    TAxis xAxis, yAxis;
    xAxis.Negated = o.Int(PEP::InvertedXAxis);
    yAxis.Negated = o.Int(PEP::InvertedYAxis);
    // First estimate of the plotting area for the step choice, then the numbers' real width.
    QRect plot = area;
    const int xBand = (xNumbers ? numberFm.height() + 4 : 0) + (xTitle ? labelFm.height() + 2 : 0);
    if (xOnTop) plot.setTop(plot.top() + xBand);
    else plot.setBottom(plot.bottom() - xBand);
    ScaleAxis(yAxis, any, yLo, yHi, o.Int(PEP::ManualScaleControlY), o.Double(PEP::ManualMinY),
              o.Double(PEP::ManualMaxY), contour ? 0 : o.Int(PEP::AutoMinMaxPadding), plot.height(), 40,
              contour ? 0 : kDataMargin);
    if (o.Int(PEP::ManualYAxisTicknLine) && o.Double(PEP::ManualYAxisLine) > 0) {
        yAxis.Step = o.Double(PEP::ManualYAxisLine);
        yAxis.TickStep = o.Double(PEP::ManualYAxisTick);
    }
    int yNumW = 0;
    if (yNumbers)
        for (double v : yAxis.Grid())
            yNumW = std::max(yNumW, numberFm.horizontalAdvance(yAxis.Label(v, yAxis.Decimals())));
    plot.setLeft(plot.left() + (yNumbers ? yNumW + 6 : 0) + (yTitle ? labelFm.height() + 2 : 0));
    plot.setRight(plot.right() - std::max(4, numberFm.horizontalAdvance(QStringLiteral("00")) / 2));
    if (!xOnTop || !xNumbers)
        plot.setTop(plot.top() + (yNumbers ? numberFm.height() / 2 : 0));
    if (plot.width() < kMinPlot) plot.setWidth(kMinPlot);
    if (plot.height() < kMinPlot) plot.setHeight(kMinPlot);
    ScaleAxis(xAxis, any, xLo, xHi, o.Int(PEP::ManualScaleControlX), o.Double(PEP::ManualMinX),
              o.Double(PEP::ManualMaxX), contour ? 0 : o.Int(PEP::AutoMinMaxPadding), plot.width(), 70,
              contour ? 0 : kDataMargin);
    if (o.Int(PEP::ManualXAxisTicknLine) && o.Double(PEP::ManualXAxisLine) > 0) {
        xAxis.Step = o.Double(PEP::ManualXAxisLine);
        xAxis.TickStep = o.Double(PEP::ManualXAxisTick);
    }
    // A zoom shows its window of both axes.
    if (o.Int(PEP::ZoomMode)) {
        const double x0 = o.Double(PEP::ZoomMinX), x1 = o.Double(PEP::ZoomMaxX);
        const double y0 = o.Double(PEP::ZoomMinY), y1 = o.Double(PEP::ZoomMaxY);
        if (x1 > x0 && std::isfinite(x0) && std::isfinite(x1)) {
            xAxis.Min = x0;
            xAxis.Max = x1;
            UsableWindow(xAxis.Min, xAxis.Max);
            xAxis.Step = NiceStep(xAxis.Max - xAxis.Min, std::max(1.0, plot.width() / 70.0));
            xAxis.TickStep = 0;
        }
        if (y1 > y0 && std::isfinite(y0) && std::isfinite(y1)) {
            yAxis.Min = y0;
            yAxis.Max = y1;
            UsableWindow(yAxis.Min, yAxis.Max);
            yAxis.Step = NiceStep(yAxis.Max - yAxis.Min, std::max(1.0, plot.height() / 40.0));
            yAxis.TickStep = 0;
        }
    }

    const double L = plot.left(), T = plot.top(), W = plot.width(), H = plot.height();
    const double xSpan = xAxis.Max - xAxis.Min, ySpan = yAxis.Max - yAxis.Min;
    const TPlotMap toPixel{L, T, W, H, xAxis.Min, xSpan, yAxis.Min, ySpan};
    layout = TGraphLayout{true, L, T, L + W, T + H, xAxis.Min, xAxis.Max, yAxis.Min, yAxis.Max};

    // Plotting area, grid behind or in front of the data.
    p.fillRect(plot, Colour(o, PEP::GraphBackColor));
    const int gridControl = o.Int(PEP::GridLineControl);
    auto drawGrid = [&] {
        p.save();
        p.setClipRect(plot);
        p.setPen(GridPen(o, Colour(o, PEP::GraphForeColor)));
        const bool yGrid = (gridControl == sgYPlusXAxis || gridControl == sgYAxis)
                           && (showY == sgGridPlusAxisLabels || showY == sgGridLabels || showY == sgNoLabels);
        const bool xGrid = (gridControl == sgYPlusXAxis || gridControl == sgXAxis)
                           && (showX == sgGridPlusAxisLabels || showX == sgGridLabels || showX == sgNoLabels);
        if (yGrid)
            for (double v : yAxis.Grid()) {
                const int py = int(std::lround(toPixel(0, v).y()));
                p.drawLine(plot.left(), py, plot.right(), py);
            }
        if (xGrid)
            for (double v : xAxis.Grid()) {
                const int px = int(std::lround(toPixel(v, 0).x()));
                p.drawLine(px, plot.top(), px, plot.bottom());
            }
        p.restore();
    };
    // Lines and points lie over the grid and the frame, so that data along an edge or on a grid
    // line stay in sight; contour bands lie under a grid in front.
    const bool gridInFront = o.Int(PEP::GridInFront);
    if (!gridInFront || !contour)
        drawGrid();

    // Contour bands.
    if (contour) {
        p.save();
        p.setClipRect(plot);
        // Nothing in here calls out of the engine, so a redraw started from an event handler
        // never finds these buffers in use.
        static thread_local TBandScratch scratch;
        RasterBands(o, bands, nulls, TPlotMap{0, 0, W, H, xAxis.Min, xSpan, yAxis.Min, ySpan}, yAxis.Min, yAxis.Max,
                    plot.width(), plot.height(), scratch);
        layout.RunsByPixelColumns = scratch.RunsByPixelColumns;
        layout.PixelsReckoned = scratch.PixelsReckoned;
        const std::vector<std::int16_t>& band = scratch.Bands;
        QImage& img = scratch.Image;
        if (img.size() != plot.size())
            img = QImage(plot.size(), QImage::Format_ARGB32_Premultiplied);
        if (img.isNull())
            throw std::bad_alloc(); // the memory holds no band image of this size
        img.fill(Qt::transparent);
        const bool lines = o.Int(PEP::PlottingMethod) == 23;
        const int w = plot.width(), h = plot.height();
        long long covered = 0;
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            const std::int16_t* b = band.data() + std::size_t(y) * w;
            for (int x = 0; x < w; ++x) {
                const int k = b[x];
                if (k < 0)
                    continue;
                ++covered;
                if (lines) {
                    const bool edge = (x + 1 < w && b[x + 1] >= 0 && b[x + 1] != k)
                                      || (y + 1 < h && b[x + w] >= 0 && b[x + w] != k);
                    if (!edge)
                        continue;
                }
                line[x] = bandColour[std::size_t(k)];
            }
        }
        layout.PixelsCovered = covered;
        p.drawImage(plot.topLeft(), img);
        p.restore();
        if (gridInFront)
            drawGrid();
    }

    // Frame of the plotting area in the axis colours, tick marks, numbers and axis titles.
    const QColor xColour = Colour(o, PEP::XAxisColor), yColour = Colour(o, PEP::YAxisColor);
    const int xAxisY = xOnTop ? plot.top() : plot.bottom();
    p.setPen(yColour);
    p.drawLine(plot.left(), plot.top(), plot.left(), plot.bottom());
    p.drawLine(plot.right(), plot.top(), plot.right(), plot.bottom());
    p.setPen(xColour);
    p.drawLine(plot.left(), plot.top(), plot.right(), plot.top());
    p.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());
    p.setPen(Colour(o, PEP::TickColor));
    const int tickLen = 4;
    if (o.Int(PEP::ShowTickMarkY) != sgTicksHide && showY != sgEmpty) {
        const int dir = o.Int(PEP::ShowTickMarkY) == sgTicksInside ? 1 : -1;
        for (double v : yAxis.Ticks()) {
            const int py = int(std::lround(toPixel(0, v).y()));
            p.drawLine(plot.left(), py, plot.left() + dir * tickLen, py);
        }
    }
    if (o.Int(PEP::ShowTickMarkX) != sgTicksHide && showX != sgEmpty) {
        const int dir = (o.Int(PEP::ShowTickMarkX) == sgTicksInside) == xOnTop ? 1 : -1;
        for (double v : xAxis.Ticks()) {
            const int px = int(std::lround(toPixel(v, 0).x()));
            p.drawLine(px, xAxisY, px, xAxisY + dir * tickLen);
        }
    }

    // Lines and points.
    if (!contour) {
        p.save();
        p.setClipRect(plot);
        const int method = o.Int(PEP::PlottingMethod);
        const bool spline = method == 16 || method == 15;          // spline, points plus spline
        const bool points = method == 2 || method == 17 || method == 15; // point kinds
        const bool line = method != 2;
        const bool gaps = o.Int(PEP::NullDataGaps);
        for (int s = 0; s < o.Subsets(); ++s) {
            const QColor c = EngineColor(std::uint32_t(o.ElementInt(PEP::SubsetColors, s)));
            std::vector<std::vector<QPointF>> runs(1);
            for (int q = 0; q < o.Points(); ++q) {
                const double x = o.X(s, q), y = o.Y(s, q);
                if (nulls.Missing(x, y)) {
                    if (gaps && !runs.back().empty())
                        runs.emplace_back();
                    continue;
                }
                runs.back().push_back(toPixel(x, y));
            }
            // A one-pixel cosmetic pen keeps the rasteriser on its fast antialiased path.
            p.setRenderHint(QPainter::Antialiasing, true);
            QPen pen(c, 1);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            for (const auto& run : runs) {
                if (run.empty())
                    continue;
                if (line && run.size() > 1) {
                    // More points than pixels look the same as their extremes per pixel column,
                    // and a curve through them the same as straight lines.
                    const std::vector<QPointF> shown = run.size() > std::size_t(2 * plot.width()) ? Decimate(run) : run;
                    const bool dense = shown.size() > std::size_t(plot.width() / 3);
                    if (spline && !dense) {
                        QPainterPath path;
                        AddSpline(path, shown);
                        p.drawPath(path);
                    } else {
                        p.drawPolyline(shown.data(), int(shown.size()));
                    }
                }
                if (points || run.size() == 1) {
                    p.setBrush(c);
                    for (const QPointF& pt : run)
                        p.drawRect(QRectF(pt.x() - 2, pt.y() - 2, 4, 4));
                    p.setBrush(Qt::NoBrush);
                }
            }
            p.setRenderHint(QPainter::Antialiasing, false);
        }
        p.restore();
    }

    const bool customY = customLabel && o.Int(PEP::CustomGridNumbersY);
    const bool customX = customLabel && o.Int(PEP::CustomGridNumbersX);
    auto yLabel = [&](double v) {
        const QString s = yAxis.Label(v, yAxis.Decimals());
        return customY ? customLabel(0, v, s) : s;
    };
    auto xLabel = [&](double v) {
        const QString s = xAxis.Label(v, xAxis.Decimals());
        return customX ? customLabel(2, v, s) : s;
    };
    p.setPen(text);
    p.setFont(numberFont);
    if (yNumbers)
        for (double v : yAxis.Grid()) {
            const int py = int(std::lround(toPixel(0, v).y()));
            p.drawText(QRect(plot.left() - 4 - yNumW, py - numberFm.height() / 2, yNumW, numberFm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, yLabel(v));
        }
    if (xNumbers) {
        int lastRight = std::numeric_limits<int>::min();
        for (double v : xAxis.Grid()) {
            const QString s = xLabel(v);
            const int tw = numberFm.horizontalAdvance(s);
            const int px = int(std::lround(toPixel(v, 0).x())) - tw / 2;
            if (px < lastRight + 4)
                continue;
            const int py = xOnTop ? plot.top() - 2 - numberFm.height() : plot.bottom() + 3;
            p.drawText(QRect(px, py, tw, numberFm.height()), Qt::AlignCenter, s);
            lastRight = px + tw;
        }
    }
    p.setFont(labelFont);
    if (xTitle) {
        const int py = xOnTop ? plot.top() - (xNumbers ? numberFm.height() + 4 : 0) - labelFm.height() - 1
                              : plot.bottom() + (xNumbers ? numberFm.height() + 4 : 0) + 1;
        p.drawText(QRect(plot.left(), py, plot.width(), labelFm.height()), Qt::AlignCenter, o.Text(PEP::XAxisLabel));
    }
    if (yTitle) {
        p.save();
        const int px = plot.left() - (yNumbers ? yNumW + 6 : 0) - labelFm.height() - 1;
        p.translate(px, plot.bottom());
        p.rotate(-90);
        p.drawText(QRect(0, 0, plot.height(), labelFm.height()), Qt::AlignCenter, o.Text(PEP::YAxisLabel));
        p.restore();
    }

    // Contour legend: one box per band, the highest band first (or leftmost).
    if (legend) {
        p.setFont(legendFont);
        const int n = bands.Count;
        const bool vertical = legendWhere == sgLegendLeft || legendWhere == sgLegendRight;
        const int boxW = 14;
        if (vertical) {
            const double rowH = std::min<double>(legendFm.height() + 2, double(legendRect.height()) / n);
            const int every = std::max(1, int(std::ceil(legendFm.height() / std::max(1.0, rowH))));
            for (int k = n - 1, r = 0; k >= 0; --k, ++r) {
                const QRectF box(legendRect.left(), legendRect.top() + r * rowH, boxW, rowH);
                p.fillRect(box, QColor::fromRgb(bandColour[std::size_t(k)]));
                if (k % every == 0) {
                    p.setPen(text);
                    p.drawText(QRectF(box.right() + 4, box.bottom() - legendFm.height() / 2.0, legendRect.width() - boxW - 4,
                                      legendFm.height()), Qt::AlignLeft | Qt::AlignVCenter, bandText(k));
                }
            }
        } else {
            const double colW = double(legendRect.width()) / n;
            const int every = std::max(1, int(std::ceil((legendFm.horizontalAdvance(bandText(n)) + 4) / std::max(1.0, colW))));
            for (int k = 0; k < n; ++k) {
                const QRectF box(legendRect.left() + k * colW, legendRect.top(), colW, boxW);
                p.fillRect(box, QColor::fromRgb(bandColour[std::size_t(k)]));
                if (k % every == 0) {
                    p.setPen(text);
                    p.drawText(QRectF(box.left(), box.bottom() + 1, colW * every, legendFm.height()),
                               Qt::AlignLeft | Qt::AlignTop, bandText(k));
                }
            }
        }
    }
    p.restore();
}
