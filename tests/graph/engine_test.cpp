#include "RecordingEngine.h"
#include "graph/Pesgvcl.h"
#include "support/TestApp.h"
#include <QPainter>
#include <cmath>
#include <limits>
#include <memory>
#include <gtest/gtest.h>

namespace {

constexpr TColor kRed = TColor(0x0000FF), kGreen = TColor(0x00FF00), kBlue = TColor(0xFF0000);

// A graph drawn by our engine at a chosen size, looked at pixel by pixel through the picture that
// the control plays, at points placed by the axes the engine chose.
class EngineDrawingTest : public ::testing::Test {
protected:
    EngineDrawingTest()
    {
        g.SetBorderTypes(sgNoBorder);
        g.SetGridLineControl(sgNoGrid);
        g.SetNullDataValueX(-999999);
        g.SetNullDataValueY(-999999);
        g.SetShowLegend(false);
    }
    void Draw(int width = 300, int height = 200)
    {
        TPEEngine& e = OwnGraphEngine();
        const TEngineHandle h = g.GethObject();
        e.MoveWindow(h, 0, 0, width, height, false);
        g.SetPEactions(sgReinitAndReset);
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter p(&image);
        p.drawImage(0, 0, *e.GetMeta(h));
        layout = e.Object(h)->Layout;
        ASSERT_TRUE(layout.Valid);
    }
    QPoint At(double x, double y) const
    {
        const double px = layout.Left + (x - layout.XMin) / (layout.XMax - layout.XMin) * (layout.Right - layout.Left);
        const double py = layout.Top + (layout.YMax - y) / (layout.YMax - layout.YMin) * (layout.Bottom - layout.Top);
        return QPoint(int(std::floor(px)), int(std::floor(py)));
    }
    QRgb Pixel(double x, double y) const { return image.pixel(At(x, y)); }
    static bool Bluish(QRgb c) { return qBlue(c) > 150 && qRed(c) < 130 && qGreen(c) < 130; }
    // Whether a bluish pixel lies within 2 pixels of the point.
    bool LineNear(double x, double y) const
    {
        const QPoint c = At(x, y);
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (image.rect().contains(c + QPoint(dx, dy)) && Bluish(image.pixel(c + QPoint(dx, dy))))
                    return true;
        return false;
    }
    void Profile(std::initializer_list<std::pair<float, float>> points)
    {
        g.SetSubsets(1);
        g.SetPoints(std::int32_t(points.size()));
        g.SetSubsetColors(0, kBlue);
        int p = 0;
        for (const auto& [x, y] : points) {
            g.SetXData(0, p, x);
            g.SetYData(0, p++, y);
        }
    }

    TQtApp app;
    PESGraph g;
    QImage image;
    TGraphLayout layout;
};

// Two channels at depths 1 and 5 m (written as heights -1 and -5), two columns, values 5 and 15
// in bands 10 wide: the upper row is in the first band's colour, the lower row in the second's.
class ContourTest : public EngineDrawingTest {
protected:
    ContourTest()
    {
        g.SetSubsets(2);
        g.SetPoints(2);
        for (int s = 0; s < 2; ++s)
            for (int p = 0; p < 2; ++p) {
                g.SetXData(s, p, p * 10.0f);
                g.SetYData(s, p, s == 0 ? -1.0f : -5.0f);
                g.SetZData(s, p, s == 0 ? 5.0f : 15.0f);
            }
        g.SetPlottingMethod(sgContourColors);
        g.SetManualZAxisLine(10);
        g.SetInvertedYAxis(true);
        g.SetSubsetColors(0, kRed);
        g.SetSubsetColors(1, kGreen);
    }
};

TEST_F(ContourTest, BandsTakeTheirColoursAndDepthGrowsDownward)
{
    Draw();
    EXPECT_LT(At(5, -1).y(), At(5, -5).y());
    EXPECT_EQ(Pixel(5, -1.3), qRgb(255, 0, 0));
    EXPECT_EQ(Pixel(1, -2.5), qRgb(255, 0, 0));   // value 8.75
    EXPECT_EQ(Pixel(9, -3.5), qRgb(0, 255, 0));   // value 12.5
    EXPECT_EQ(Pixel(5, -4.7), qRgb(0, 255, 0));
}

TEST_F(ContourTest, ACellWithANullCornerStaysEmpty)
{
    g.SetZData(1, 1, -999999.0f);
    g.SetGraphBackColor(clWhite);
    Draw();
    EXPECT_EQ(Pixel(5, -4.7), qRgb(255, 255, 255));
}

TEST_F(ContourTest, LegendShowsTheBandsHighestFirst)
{
    g.SetShowLegend(true);
    g.SetLegendLocation(sgLegendLeft);
    Draw();
    int redRow = -1, greenRow = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < int(layout.Left) - 4; ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == qRgb(255, 0, 0) && redRow < 0) redRow = y;
            if (c == qRgb(0, 255, 0) && greenRow < 0) greenRow = y;
        }
    ASSERT_GE(redRow, 0);
    ASSERT_GE(greenRow, 0);
    EXPECT_LT(greenRow, redRow);
}

TEST_F(ContourTest, OneChannelFillsTheHeight)
{
    g.SetSubsets(1);
    Draw();
    EXPECT_EQ(image.pixel(At(5, -1).x(), int(layout.Top) + 2), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(At(5, -1).x(), int(layout.Bottom) - 2), qRgb(255, 0, 0));
}

// Zoomed so deep that the rows of data lie billions of pixels outside the image, the band between
// them still fills the plotting area.
TEST_F(ContourTest, ADeepZoomStillFillsTheBandBetweenRows)
{
    g.SetZoomMode(true);
    g.SetZoomMinX(0);
    g.SetZoomMaxX(10);
    g.SetZoomMinY(-1.5);
    g.SetZoomMaxY(-1.5 + 1e-9); // value 6.25 throughout: the first band
    Draw();
    EXPECT_EQ(image.pixel(At(5, -1.5).x(), int((layout.Top + layout.Bottom) / 2)), qRgb(255, 0, 0));
}

TEST_F(EngineDrawingTest, InvertedAxisKeepsTheSurfaceOnTopOfTheDepthProfile)
{
    // Depths 2, 8 and 2 m handed as heights, on an inverted axis.
    Profile({{0, -2}, {5, -8}, {10, -2}});
    g.SetPlottingMethod(sgLine);
    g.SetInvertedYAxis(true);
    Draw();
    EXPECT_GT(At(5, -8).y(), At(0, -2).y() + 50);
    EXPECT_TRUE(LineNear(5, -8));
    EXPECT_TRUE(LineNear(2.5, -5));
    EXPECT_FALSE(LineNear(5, -2));
}

TEST_F(EngineDrawingTest, SplineRunsThroughThePoints)
{
    Profile({{0, 3}, {4, 7}, {8, 1}, {12, 6}});
    g.SetPlottingMethod(sgSpline);
    Draw();
    for (auto [x, y] : {std::pair{0.0, 3.0}, {4, 7}, {8, 1}, {12, 6}})
        EXPECT_TRUE(LineNear(x, y)) << x;
}

// Points and the line through them lie over a grid in front and over the frame: a point on a
// grid line or on the frame's edge stays in sight.
TEST_F(EngineDrawingTest, DataLieOverTheGridAndTheFrame)
{
    Profile({{1, 10}, {4, 10}, {6, 5}, {9, 5}});
    g.SetPlottingMethod(sgPointsPlusLine);
    g.SetGridLineControl(sgYPlusXAxis);
    g.SetGridInFront(true);
    g.SetManualScaleControlY(sgManualMinAndMax);
    g.SetManualMinY(0);
    g.SetManualMaxY(10);
    g.SetManualYAxisTicknLine(true);
    g.SetManualYAxisLine(5);
    Draw();
    // The pixel rows of the top frame line and of the grid line at 5.
    auto row = [&](double y) {
        return int(std::lround(layout.Top + (layout.YMax - y) / (layout.YMax - layout.YMin) * (layout.Bottom - layout.Top)));
    };
    for (const auto& [x, y] : {std::pair{1.0, 10.0}, {4, 10}, {6, 5}, {9, 5}}) {
        SCOPED_TRACE(x);
        const QRgb c = image.pixel(At(x, y).x(), row(y));
        EXPECT_TRUE(qBlue(c) > qRed(c) + 60 && qBlue(c) > qGreen(c) + 60) << qRed(c) << " " << qGreen(c) << " " << qBlue(c);
    }
}

// Without padding, the data at each automatic end of both axes still lie a few pixels inside the
// frame, off its lines: neither a frame line nor the two pixel lines inside it take any of the
// line's colour, and the line comes near each of them.
TEST_F(EngineDrawingTest, DataKeepOffTheFrameAtEveryAutomaticEnd)
{
    // The first point is the lowest in x and the newest the highest; the values' ends lie between.
    Profile({{0, 4}, {3, 1}, {6, 9}, {10, 5}});
    g.SetPlottingMethod(sgLine);
    g.SetAutoMinMaxPadding(0);
    g.SetGraphBackColor(clWhite);
    Draw();
    const QRect plot(QPoint(int(layout.Left), int(layout.Top)), QPoint(int(layout.Right) - 1, int(layout.Bottom) - 1));
    // Pixels with any of the line's blue in them, however faint.
    auto tinted = [&](const QRect& strip) {
        int n = 0;
        const QRect r = strip.intersected(plot);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qBlue(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 16;
        return n;
    };
    const int W = plot.width(), H = plot.height();
    const struct {
        const char* end;
        QRect frameSide; // the frame line and the two pixel lines inside it
        QRect near;      // the eight pixel lines inside the frame
    } ends[] = {
        {"lowest x", QRect(plot.left(), plot.top(), 3, H), QRect(plot.left(), plot.top(), 8, H)},
        {"highest x", QRect(plot.right() - 2, plot.top(), 3, H), QRect(plot.right() - 7, plot.top(), 8, H)},
        {"lowest value", QRect(plot.left(), plot.bottom() - 2, W, 3), QRect(plot.left(), plot.bottom() - 7, W, 8)},
        {"highest value", QRect(plot.left(), plot.top(), W, 3), QRect(plot.left(), plot.top(), W, 8)},
    };
    for (const auto& e : ends) {
        SCOPED_TRACE(e.end);
        EXPECT_EQ(tinted(e.frameSide), 0);
        EXPECT_GT(tinted(e.near), 0);
    }
}

TEST_F(EngineDrawingTest, PointsEqualToTheNullValueAreSkipped)
{
    g.SetNullDataValueY(0);
    Profile({{0, -5}, {5, 0}, {10, -5}});
    g.SetPlottingMethod(sgLine);
    Draw();
    EXPECT_LT(layout.YMax, 0); // the null point does not stretch the axis
    EXPECT_TRUE(LineNear(5, -5));

    g.SetNullDataGaps(true);
    Draw();
    EXPECT_FALSE(LineNear(5, -5));
    EXPECT_TRUE(LineNear(0, -5));
}

// An axis window only a few representable values wide, far from 0 (a manual scale or a zoom taken
// deep enough), still draws: its grid numbers cannot be told apart and are left out.
TEST_F(EngineDrawingTest, AnAxisOnlyAFewValuesWideStillDraws)
{
    Profile({{0, 1}, {10, 2}});
    for (auto [low, high] : {std::pair{1e18, 1e18 + 256}, {-1e18 - 256, -1e18}, {1e300, 1e300 + 1e285}}) {
        SCOPED_TRACE(low);
        g.SetManualScaleControlX(sgManualMinAndMax);
        g.SetManualMinX(low);
        g.SetManualMaxX(high);
        Draw();
        EXPECT_EQ(layout.XMin, low);
        EXPECT_EQ(layout.XMax, high);
    }
}

// Bounds, zoom windows, band and grid widths and data values that are not numbers, infinite, or
// so far apart that their difference overflows: every image still builds, as contour bands and as
// lines, with finite and increasing axes (so pixels still convert back). A bound that is not a
// finite number is no bound: that end scales to the data, which are drawn.
TEST_F(EngineDrawingTest, AnyRangeOrValueGivesADrawableImage)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    constexpr double big = std::numeric_limits<double>::max();
    constexpr float fbig = std::numeric_limits<float>::max(), finf = std::numeric_limits<float>::infinity();
    enum What { Z, ZMin, ZMax, X, Y, Zoom, ZLine, XLine, Data };
    const struct Case {
        const char* what;
        What where;
        double a, b;
        bool drawn; // data in the plotting area, in both kinds of plot
    } cases[] = {
        {"Z minimum not a number", Z, nan, 20, true},
        {"Z maximum infinite", Z, 0, inf, true},
        {"Z both infinite", Z, -inf, inf, true},
        {"Z neither a number", Z, nan, nan, true},
        {"Z far apart", Z, -1e308, 1e308, true},
        {"Z far apart, crossed", Z, 1e308, -1e308, true},
        {"Z widest", Z, -big, big, true},
        {"Z minimum alone not a number", ZMin, nan, 0, true},
        {"Z maximum alone infinite", ZMax, 0, inf, true},
        {"X minimum not a number", X, nan, 10, true},
        {"X both infinite", X, -inf, inf, true},
        {"X far apart", X, -1e308, 1e308, false},
        {"X widest", X, -big, big, false},
        {"X window narrower than a step of the doubles", X, 0, 1e-310, false},
        {"Y maximum infinite", Y, -10, inf, true},
        {"Y far apart", Y, -1e308, 1e308, false},
        {"zoom far apart", Zoom, -1e308, 1e308, false},
        {"zoom not a number", Zoom, nan, nan, true},
        {"zoom deep", Zoom, 1, 1 + 1e-9, false},
        {"Z bounds equal and far", Z, 1e308, 1e308, true},
        {"X bounds equal and far", X, 1e308, 1e308, false},
        {"band width infinite", ZLine, inf, 0, true},
        {"band width not a number", ZLine, nan, 0, true},
        {"band width tiny", ZLine, 1e-300, 0, true},
        {"band width smallest", ZLine, 5e-324, 0, true},
        {"band width huge", ZLine, 1e300, 0, true},
        {"grid step infinite", XLine, inf, inf, true},
        {"grid step not a number", XLine, nan, nan, true},
        {"grid step tiny", XLine, 1e-300, 1e-300, true},
        {"value not a number", Data, nan, 0, true},
        {"value infinite", Data, finf, 0, true},
        {"values at the float limits", Data, fbig, -fbig, true},
    };
    for (const Case& c : cases)
        for (const ePlottingMethod method : {sgContourColors, sgContourLines, sgLine}) {
            SCOPED_TRACE(testing::Message() << c.what << ", plotting method " << int(method));
            PESGraph& s = *new PESGraph;
            std::unique_ptr<PESGraph> owner(&s);
            s.SetBorderTypes(sgNoBorder);
            s.SetGridLineControl(sgNoGrid);
            s.SetShowLegend(true);
            s.SetGraphBackColor(clWhite);
            s.SetSubsets(2);
            s.SetPoints(3);
            for (int i = 0; i < 2; ++i)
                for (int p = 0; p < 3; ++p) {
                    s.SetXData(i, p, p * 5.0f);
                    s.SetYData(i, p, i == 0 ? -1.0f : -5.0f);
                    s.SetZData(i, p, float(10 * i + p));
                }
            s.SetSubsetColors(0, kRed);
            s.SetSubsetColors(1, kGreen);
            s.SetPlottingMethod(method);
            switch (c.where) {
            case Z: case ZMin: case ZMax:
                s.SetManualScaleControlZ(c.where == Z ? sgManualMinAndMax : c.where == ZMin ? sgManualMin : sgManualMax);
                s.SetManualMinZ(c.a);
                s.SetManualMaxZ(c.b);
                break;
            case X:
                s.SetManualScaleControlX(sgManualMinAndMax);
                s.SetManualMinX(c.a);
                s.SetManualMaxX(c.b);
                break;
            case Y:
                s.SetManualScaleControlY(sgManualMinAndMax);
                s.SetManualMinY(c.a);
                s.SetManualMaxY(c.b);
                break;
            case Zoom:
                s.SetZoomMode(true);
                s.SetZoomMinX(c.a);
                s.SetZoomMaxX(c.b);
                s.SetZoomMinY(c.a);
                s.SetZoomMaxY(c.b);
                break;
            case ZLine: s.SetManualZAxisLine(c.a); break;
            case XLine:
                s.SetGridLineControl(sgYPlusXAxis);
                s.SetManualXAxisTicknLine(true);
                s.SetManualXAxisLine(c.a);
                s.SetManualXAxisTick(c.b);
                s.SetManualYAxisTicknLine(true);
                s.SetManualYAxisLine(c.a);
                s.SetManualYAxisTick(c.b);
                break;
            case Data:
                s.SetZData(0, 1, float(c.a));
                s.SetZData(1, 1, float(c.b));
                s.SetXData(1, 2, float(c.a));
                s.SetYData(0, 0, float(c.b));
                break;
            }
            TPEEngine& e = OwnGraphEngine();
            const TEngineHandle h = s.GethObject();
            e.MoveWindow(h, 0, 0, 300, 200, false);
            s.SetPEactions(sgReinitAndReset);
            const QImage* built = e.GetMeta(h);
            ASSERT_NE(built, nullptr);
            const TGraphLayout l = e.Object(h)->Layout;
            ASSERT_TRUE(l.Valid);
            for (const double v : {l.XMin, l.XMax, l.YMin, l.YMax})
                EXPECT_TRUE(std::isfinite(v)) << v;
            EXPECT_LT(l.XMin, l.XMax);
            EXPECT_LT(l.YMin, l.YMax);
            EXPECT_TRUE(std::isfinite(l.XMax - l.XMin) && std::isfinite(l.YMax - l.YMin));
            EXPECT_GT(l.Right - l.Left, 150); // grid numbers leave room for the data
            int marked = 0;
            const QRect inside = QRect(QPoint(int(l.Left) + 2, int(l.Top) + 2), QPoint(int(l.Right) - 2, int(l.Bottom) - 2))
                                     .intersected(built->rect());
            for (int y = inside.top(); y <= inside.bottom(); ++y)
                for (int x = inside.left(); x <= inside.right(); ++x)
                    marked += built->pixel(x, y) != qRgb(255, 255, 255);
            if (c.drawn) {
                EXPECT_GT(marked, 0);
            }
        }
}

TEST_F(EngineDrawingTest, PixelsConvertBackToGraphValues)
{
    Profile({{0, 10}, {100, 20}});
    Draw();
    const QPoint p = At(40, 12);
    std::int32_t axis = 0, x = p.x(), y = p.y();
    double gx = 0, gy = 0;
    OwnGraphEngine().ConvPixelToGraph(g.GethObject(), &axis, &x, &y, &gx, &gy, 0, 0, 0);
    EXPECT_NEAR(gx, 40, 1);
    EXPECT_NEAR(gy, 12, 0.2);
}

TEST_F(EngineDrawingTest, ProfileWritesAppendTheNewestPoint)
{
    Profile({{1, 10}, {2, 20}, {3, 30}});
    TPEEngine& e = OwnGraphEngine();
    const float x = 4, y = 40;
    e.SetV(g.GethObject(), 3658, &x, 1);
    EXPECT_EQ(g.GetXData(0, 2), 3.0f); // the distance alone adds nothing
    e.SetV(g.GethObject(), 3276, &y, 1);
    EXPECT_EQ(g.GetXData(0, 0), 2.0f);
    EXPECT_EQ(g.GetYData(0, 0), 20.0f);
    EXPECT_EQ(g.GetXData(0, 2), 4.0f);
    EXPECT_EQ(g.GetYData(0, 2), 40.0f);
    EXPECT_EQ(g.GetPoints(), 3);
}

// Where the boat was at each stored cycle, along its line (m).
enum class TTrack {
    Rising,
    OneColumnBack, // a GPS timeout stores its cycle at the trip offset, the start of the line
    TurningBack,   // out along the line and back over the same ground
};

double Position(TTrack track, int column, int columns)
{
    const int half = columns / 2;
    switch (track) {
    case TTrack::OneColumnBack: return column == half ? 0 : column;
    case TTrack::TurningBack: return column <= half ? column : 2 * half - column;
    default: return column;
    }
}

// A pseudo-section of 20 channels as the survey draws it, with more columns than the image has
// pixel columns: it looks to the pixel as the drawing of every cell one by one did, later cells
// over earlier ones where the boat went back (the reference pictures, 700 x 500, drawn cell by
// cell), its runs of cells in order, long or short, were drawn by pixel columns, and no pixel's
// value was reckoned for cells that later ones cover.
TEST(SectionDrawing, ManyColumnsLookAsWhenEveryCellWasDrawn)
{
    TestApp();
    const struct {
        TTrack track;
        int columns;
        const char* reference;
        int runsByColumns; // the runs of cells in order, in all the strips
    } cases[] = {
        {TTrack::Rising, 1000, "section1000.png", 21},
        {TTrack::Rising, 10000, "section10000.png", 21},
        {TTrack::OneColumnBack, 1000, "section-back1000.png", 59},
        {TTrack::OneColumnBack, 10000, "section-back10000.png", 59},
        {TTrack::TurningBack, 2000, "section-turning2000.png", 40},
        {TTrack::TurningBack, 10000, "section-turning10000.png", 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        const int columns = c.columns;
        PESGraph g;
        g.SetMainTitle("Rho pseudo section (Ohm.m)");
        g.SetXAxisLabel("mid point (m)");
        g.SetYAxisLabel("report point  (m)");
        g.SetSubsets(20);
        g.SetPoints(columns);
        g.SetPlottingMethod(sgContourColors);
        g.SetLegendLocation(sgLegendLeft);
        g.SetShowLegend(true);
        g.SetInvertedYAxis(true);
        g.SetGridInFront(true);
        g.SetGridLineControl(sgYPlusXAxis);
        g.SetGridStyle(sgDot);
        g.SetNullDataValueX(-999999);
        g.SetNullDataValueY(-999999);
        g.SetFontSize(sgSmall);
        g.SetFixedFonts(true);
        // Each row a little further along than the one above, as the channels' measurement
        // points lie; a slow swell with a ripple from column to column, and a gap.
        for (int s = 0; s < 20; ++s)
            for (int p = 0; p < columns; ++p) {
                g.SetXData(s, p, float(Position(c.track, p, columns) + 1.5 * s));
                g.SetYData(s, p, float(-0.8 * (s + 1)));
                const double z = 60 + 40 * std::sin(p * 25.0 / columns) * std::cos(s / 5.0) + s + 3 * std::sin(p * 1.7 + s);
                g.SetZData(s, p, p / (columns / 10) == 3 && s == 7 ? -999999.0f : float(z));
            }
        g.SetManualZAxisLine(4);
        for (int k = 0; k < 20; ++k)
            g.SetSubsetColors(k, TColor((k * 12) | (255 - k * 12) << 8 | (k * 37 % 256) << 16));
        TPEEngine& e = OwnGraphEngine();
        const TEngineHandle h = g.GethObject();
        e.MoveWindow(h, 0, 0, 700, 500, false);
        g.SetPEactions(sgReinitAndReset);
        const QImage drawn = e.GetMeta(h)->convertToFormat(QImage::Format_RGB32);
        const QString file = QStringLiteral(QUOREL_TEST_DATA "/") + c.reference;
        const QImage reference = QImage(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(reference.size(), drawn.size());
        const TGraphLayout l = e.Object(h)->Layout;
        // The picture alone cannot tell: the cell drawing gives the same one, only slower.
        EXPECT_EQ(l.RunsByPixelColumns, c.runsByColumns);
        // Nor does it tell whether a pixel was reckoned for an earlier cell and again for the
        // later one over it: each is reckoned once, but for the few on a run's ends.
        EXPECT_GE(l.PixelsReckoned, l.PixelsCovered);
        EXPECT_LE(l.PixelsReckoned, l.PixelsCovered + l.PixelsCovered / 100);
        const QRect plot(QPoint(int(l.Left), int(l.Top)), QPoint(int(l.Right) - 1, int(l.Bottom) - 1));
        int differing = 0, outside = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                if (drawn.pixel(x, y) != reference.pixel(x, y))
                    ++(plot.contains(x, y) ? differing : outside);
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(differing, 0);
    }
}

TEST(EngineHandles, NoObjectMeansNothingHappens)
{
    TestApp();
    TPEEngine& e = OwnGraphEngine();
    for (TEngineHandle h : {0, 12345, -1}) {
        double d = 7;
        char text[256] = "kept";
        e.GetV(h, PEP::ManualMinY, &d);
        e.GetSz(h, PEP::MainTitle, text);
        e.SetInt(h, PEP::Subsets, 3);
        e.SetSz(h, PEP::MainTitle, "x");
        e.ResetImage(h, 0, 0);
        e.ResetCacheBmp(h);
        e.Destroy(h);
        EXPECT_EQ(e.GetInt(h, PEP::Subsets), 0);
        EXPECT_EQ(e.GetMeta(h), nullptr);
        EXPECT_EQ(d, 7);
        EXPECT_STREQ(text, "kept");
    }

    // A control whose engine gave it no object stays usable and quiet.
    TRecordingEngine failing;
    failing.FailCreate = true;
    TEngineScope scope(failing);
    QWidget host;
    auto* g = new PESGraph(&host);
    g->resize(80, 60);
    host.show();
    EXPECT_EQ(g->GethObject(), 0);
    g->SetMainTitle("nothing");
    EXPECT_EQ(g->GetMainTitle(), "nothing"); // the engine wrote nothing: the buffer as it was
    for (int a = 0; a <= 24; ++a)
        g->SetPEactions(ePEactions(a));
    EXPECT_FALSE(g->grab().isNull());
    EXPECT_EQ(failing.ObjectCount(), 0u);
}

TEST(EngineObjects, ACopyTakesThePropertiesAndDataButNotTheImage)
{
    TestApp();
    TPEEngine e;
    const TRect r{0, 0, 200, 100};
    const TEngineHandle a = e.Create(304, 0, &r, 0, 1);
    e.SetSz(a, PEP::MainTitle, "copied");
    e.SetInt(a, PEP::Points, 4);
    const float v = 2.5f;
    e.SetVCellEx(a, PEP::YData, 0, 3, &v);
    e.ResetImage(a, 0, 0);
    const TEngineHandle b = e.Create(a, 0, &r, 0, 2);
    ASSERT_NE(b, 0);
    ASSERT_NE(b, a);
    char text[256] = {};
    e.GetSz(b, PEP::MainTitle, text);
    EXPECT_STREQ(text, "copied");
    float got = 0;
    e.GetVCellEx(b, PEP::YData, 0, 3, &got);
    EXPECT_EQ(got, 2.5f);
    EXPECT_EQ(e.GetMeta(b), nullptr);
    EXPECT_NE(e.GetMeta(a), nullptr); // the source stays as it was
    e.Destroy(a);
    e.Destroy(b);
    EXPECT_EQ(e.ObjectCount(), 0u);
}

} // namespace
