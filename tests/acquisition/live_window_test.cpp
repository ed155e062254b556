// The live graphs and value displays of the main window: the graphs' design values, what a
// survey against the test instrument writes into the graph engine and in which order, and the
// displays the window shows, offscreen.
#include "SurveyFixture.h"
#include "acquisition/GraphDesign.h"
#include "acquisition/LiveGraph.h"
#include "acquisition/Main.h"
#include "graph/Pesgvcl.h"
#include "graph/RecordingEngine.h"
#include "instrument/SurveyLine.h"
#include "platform/IniFile.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QRadioButton>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Acquisition::TMainFrm;

namespace {

// Names of the engine properties, for readable lists of what was written.
const std::map<std::int32_t, std::string>& propertyNames()
{
    static const std::map<std::int32_t, std::string> names = [] {
        std::map<std::int32_t, std::string> n;
#define PE_PROP(name, type, id, shape, redraw, access) n[id] = #name;
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
        n[3658] = "next x";
        n[3276] = "next y";
        return n;
    }();
    return names;
}

std::string nameOf(std::int32_t id)
{
    const auto it = propertyNames().find(id);
    return it == propertyNames().end() ? "#" + std::to_string(id) : it->second;
}

std::string cell(const char* name, int i, int j) { return std::string(name) + "[" + std::to_string(i) + "," + std::to_string(j) + "]"; }

// The writes and redraw steps that reached one engine object, in order; reads are left out.
std::vector<std::string> writes(const TRecordingEngine& engine, TEngineHandle h)
{
    std::vector<std::string> out;
    for (const TEngineCall& c : engine.Calls) {
        if (c.Handle != h)
            continue;
        switch (c.Ordinal) {
        case 3: case 7: case 9: out.push_back(nameOf(c.Id)); break;
        case 5: out.push_back(nameOf(c.Id) + "[" + std::to_string(c.I) + "]"); break;
        case 50: out.push_back(cell(nameOf(c.Id).c_str(), c.I, c.J)); break;
        case 33: out.push_back("reinitialize"); break;
        case 24: out.push_back("reset image"); break;
        default: break;
        }
    }
    return out;
}

std::vector<const TEngineCall*> callsTo(const TRecordingEngine& engine, TEngineHandle h, std::int32_t id)
{
    std::vector<const TEngineCall*> out;
    for (const TEngineCall& c : engine.Calls)
        if (c.Handle == h && c.Id == id && (c.Ordinal == 3 || c.Ordinal == 7 || c.Ordinal == 9 || c.Ordinal == 50))
            out.push_back(&c);
    return out;
}

float floatOf(const TEngineCall& c)
{
    float v = 0;
    if (c.Bytes.size() >= 4)
        std::memcpy(&v, c.Bytes.data(), 4);
    return v;
}

void append(std::vector<std::string>& to, std::initializer_list<std::string> items) { to.insert(to.end(), items); }

// The pseudo-section's set-up for `channels` rows of `points` columns.
std::vector<std::string> sectionSetUp(int channels, int points)
{
    std::vector<std::string> e = {
        "reset image", "Subsets", "Points", "ContourStyleLegend", "GraphDataLabels", "BorderTypes", "DataShadows",
        "AllowContourColors", "AllowContourLines", "PlottingMethod", "LegendLocation", "GridInFront",
        "GridLineControl", "ZoomStyle", "InvertedYAxis", "AllowLine", "AllowPoint", "AllowBar", "AllowArea",
        "AllowSpline", "AllowPointsPlusLine", "AllowPointsPlusSpline", "AllowBestFitCurve", "AllowBestFitLine",
        "AllowStick", "MainTitle", "SubTitle", "AutoMinMaxPadding", "AllowZooming", "FontSize", "FixedFonts", "AllowAxisPage",
        "AllowStylePage", "AllowSubsetsPage", "ScrollingVertZoom", "ScrollingHorzZoom"};
    for (int s = 0; s < channels; ++s)
        for (int p = 0; p < points; ++p)
            append(e, {cell("YData", s, p), cell("XData", s, p)});
    append(e, {"DeskColor", "reinitialize"});
    return e;
}

std::vector<std::string> profileSetUp(int points)
{
    std::vector<std::string> e = {"ContourStyleLegend", "GraphDataLabels", "BorderTypes", "DataShadows",
                                  "LegendLocation", "GridInFront", "GridLineControl", "SubsetColors[0]", "ZoomStyle",
                                  "InvertedYAxis", "YAxisLabel", "Subsets", "Points"};
    for (int p = 0; p < points; ++p)
        append(e, {cell("YData", 0, p), cell("XData", 0, p)});
    append(e, {"SubTitle", "AutoMinMaxPadding", "AllowZooming", "FontSize", "FixedFonts", "AllowAxisPage",
               "AllowStylePage", "AllowSubsetsPage", "ScrollingVertZoom", "ScrollingHorzZoom", "reinitialize",
               "reset image", "DeskColor", "reinitialize"});
    return e;
}

// One stored cycle on the pseudo-section under the automatic scale.
void sectionCycle(std::vector<std::string>& e, int cycle, int channels, int points)
{
    if (cycle == 0)
        e.push_back("MainTitle");
    for (int q = 0; q < channels; ++q) {
        if (cycle == 0) {
            for (int p = 0; p < points; ++p)
                append(e, {cell("ZData", q, p), cell("XData", q, p)});
        } else {
            for (int p = 1; p < points; ++p)
                append(e, {cell("ZData", q, p - 1), cell("XData", q, p - 1)});
            append(e, {cell("ZData", q, points - 1), cell("XData", q, points - 1)});
        }
    }
    e.push_back("ManualZAxisLine");
    for (int k = 0; k < 51; ++k)
        e.push_back("SubsetColors[" + std::to_string(k) + "]");
    append(e, {"reinitialize", "reset image"});
}

// Prints the first difference of two lists, which says more than two long lists.
testing::AssertionResult sameWrites(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string a = i < actual.size() ? actual[i] : "(nothing)";
        const std::string x = i < expected.size() ? expected[i] : "(nothing)";
        if (a != x)
            return testing::AssertionFailure() << "write " << i << " is " << a << ", expected " << x << " (" << actual.size()
                                               << " writes, " << expected.size() << " expected)";
    }
    return testing::AssertionSuccess();
}

class LiveSurveyTest : public SurveyTest {
protected:
    TRecordingEngine engine;
    TEngineScope scope{engine};
};

class LiveWindowTest : public WindowTest {
protected:
    TRecordingEngine engine;
    TEngineScope scope{engine};

    // A window whose survey state is set up as programming leaves it, with no setup file.
    TMainFrm& surveyWindow(int channels, int points)
    {
        TMainFrm& w = NewWindow();
        w.ChannelCount = channels;
        w.GraphSetUp();
        w.Survey.GraphPoints = points;
        w.PESGraph1->SetPoints(points);
        engine.Clear();
        return w;
    }
    // One stored cycle in which every channel reads `rho` Ohm.m at 1 mA.
    void storedCycle(TMainFrm& w, int cycle, float rho)
    {
        w.Survey.CycleIndex = cycle;
        for (int q = 0; q < w.ChannelCount; ++q) {
            w.DipoleRecords[static_cast<size_t>(q)].Rho = rho;
            w.DipoleRecords[static_cast<size_t>(q)].In = 1;
            w.GraphUpdate(q);
        }
        w.GraphUpdateEnd();
    }
};

} // namespace

TEST(GraphDesign, EveryDesignValueNamesAStoredProperty)
{
    EXPECT_TRUE(Acquisition::UnknownDesignNames().isEmpty()) << Acquisition::UnknownDesignNames().join(", ").toStdString();
}

TEST_F(LiveWindowTest, GraphsTakeTheirDesignValuesInStoredOrder)
{
    TMainFrm& w = NewWindow();
    PESGraph& g1 = *w.PESGraph1;
    PESGraph& g2 = *w.PESGraph2;
    EXPECT_EQ(g1.GetMainTitle(), "Main Title");
    EXPECT_EQ(g1.GetSubTitle(), "Sub Title");
    EXPECT_EQ(g1.GetYAxisLabel(), "report point  (m)");
    EXPECT_EQ(g1.GetPoints(), 4);
    EXPECT_EQ(g1.GetPlottingMethod(), sgContourLines);
    EXPECT_EQ(g1.GetLegendLocation(), sgLegendTop);
    EXPECT_EQ(g1.GetTickColor(), clSilver);
    EXPECT_EQ(g1.GetDeskColor(), 14933984);
    EXPECT_DOUBLE_EQ(g1.GetManualMaxX(), 130.75);
    EXPECT_DOUBLE_EQ(g1.GetNullDataValueX(), -999999);
    EXPECT_EQ(g1.GetLogicalLimit(), 10010);
    EXPECT_EQ(g1.GetMainTitleFont(), "Times New Roman");
    EXPECT_EQ(g2.GetMainTitle(), "Sounder");
    EXPECT_EQ(g2.GetSubTitle(), " ");
    EXPECT_EQ(g2.GetXAxisLabel(), "Distance (m)");
    EXPECT_EQ(g2.GetBottomMargin(), "12");
    EXPECT_EQ(g2.GetPlottingMethod(), sgSpline);
    EXPECT_TRUE(g2.GetInvertedYAxis());
    EXPECT_FLOAT_EQ(g2.GetFontSizeTitleCntl(), 0.9f);
    EXPECT_EQ(g2.GetImageAdjustLeft(), 300);
    EXPECT_EQ(g2.GetYAxisColor(), clBlack);
    EXPECT_EQ(g2.GetTickColor(), 1);

    // Each graph's values went in the catalogue's order, then the graph re-initialised; a
    // fraction of 0 is not stored and so never written.
    std::map<std::int32_t, int> order;
    int index = 0;
#define PE_PROP(name, type, id, shape, redraw, access) order[id] = index++;
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
    for (const PESGraph* g : {&g1, &g2}) {
        int last = -1;
        std::vector<std::int32_t> ids;
        for (const TEngineCall& c : engine.Calls)
            if (c.Handle == g->GethObject() && (c.Ordinal == 3 || c.Ordinal == 7 || c.Ordinal == 9)) {
                EXPECT_GT(order.at(c.Id), last) << nameOf(c.Id);
                last = order.at(c.Id);
                ids.push_back(c.Id);
            }
        EXPECT_GT(ids.size(), 150u);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), PEP::UpperBoundValue), 0);
        const auto w = writes(engine, g->GethObject());
        ASSERT_GE(w.size(), 2u);
        EXPECT_EQ(w[w.size() - 2], "reinitialize");
        EXPECT_EQ(w.back(), "reset image");
    }
    EXPECT_EQ(callsTo(engine, g1.GethObject(), PEP::BottomMargin).size(), 0u);
    EXPECT_EQ(callsTo(engine, g2.GethObject(), PEP::NullDataValueX).size(), 0u);
}

// The setup file gets back the value it held; only the graphs are bounded.
TEST_F(LiveWindowTest, GraphPointsAreBoundedAndWrittenBackAsRead)
{
    const int32_t most = Acquisition::MaxGraphPoints;
    const struct {
        const char* setup;
        int32_t used, written;
    } cases[] = {{"GraphPoints=3", 3, 3},         {"GraphPoints=0", 1, 0},
                 {"GraphPoints=-7", 1, -7},       {"GraphPoints=20000", 20000, 20000},
                 {"GraphPoints=2000000000", most, 2000000000}, {"", 100, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup);
        DropWindow();
        Remember(WriteFile("setup.ini", QString("[Parameters]\r\n%1\r\n[Communication]\r\nPort=7\r\n").arg(c.setup).toLatin1()));
        TMainFrm& w = NewWindow();
        w.FormCreate(&w);
        ASSERT_TRUE(w.SetupIni);
        w.ChannelCount = 1;
        w.Survey.RhoUnitFactor = 100; // left by an earlier survey
        w.PESGraph1->SetMainTitle("Rho pseudo section (Ohm.cm)");
        w.GraphSetUp();
        EXPECT_EQ(w.Survey.GraphPoints, c.used);
        EXPECT_EQ(w.PESGraph1->GetPoints(), c.used);
        EXPECT_EQ(w.PESGraph2->GetPoints(), c.used);
        EXPECT_EQ(w.SetupIni->ReadInteger("Parameters", "GraphPoints", -1), c.written);
        // Until the first cycle chooses, the section is drawn in Ohm.m, and says so.
        EXPECT_EQ(w.Survey.RhoUnitFactor, 1);
        EXPECT_EQ(w.PESGraph1->GetMainTitle(), "Rho pseudo section (Ohm.m)");
    }
}

TEST_F(LiveWindowTest, ManualRangeClampsNewValuesAndOlderOnesAsTheyShift)
{
    TMainFrm& w = surveyWindow(1, 3);
    w.AddDistanceChk->setChecked(false);
    PESGraph& g1 = *w.PESGraph1;
    storedCycle(w, 0, 150); // automatic: the whole row takes 150
    for (int p = 0; p < 3; ++p)
        EXPECT_FLOAT_EQ(g1.GetZData(0, p), 150);
    EXPECT_FLOAT_EQ(w.Survey.RhoMax, 151);
    EXPECT_FLOAT_EQ(w.Survey.RhoMin, 150);

    w.AutoScale = 0;
    w.ScaleMin = 0;
    w.ScaleMax = 100;
    storedCycle(w, 1, 50);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 0), 99.99f);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 1), 99.99f);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 2), 50);
    storedCycle(w, 2, -20);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 0), 99.99f);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 1), 50);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 2), 0);
    storedCycle(w, 3, 150);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 1), 0);
    EXPECT_FLOAT_EQ(g1.GetZData(0, 2), 100);
    EXPECT_FLOAT_EQ(w.Survey.GraphValues[0], 100);
    EXPECT_FLOAT_EQ(w.Survey.GraphPositions[0], 3); // cycle 3 + X 0, distance not added
}

TEST_F(LiveWindowTest, InvertedManualRangeNeverGivesABandOfZero)
{
    TMainFrm& w = surveyWindow(2, 2);
    w.AutoScale = 0;
    w.ScaleMin = 151; // the dialog does not check its bounds
    w.ScaleMax = 100;
    storedCycle(w, 0, 120);
    EXPECT_FLOAT_EQ(w.PESGraph1->GetZData(1, 1), 151);
    EXPECT_FLOAT_EQ(w.Survey.RhoMax, 101);
    EXPECT_FLOAT_EQ(w.Survey.RhoMin, 151);
    EXPECT_DOUBLE_EQ(w.PESGraph1->GetManualZAxisLine(), 1);

    w.ScaleMin = 200; // inverted by more than 50: the range is mended
    storedCycle(w, 1, 120);
    EXPECT_FLOAT_EQ(w.Survey.RhoMax, 175.5f);
    EXPECT_FLOAT_EQ(w.Survey.RhoMin, 125.5f);
    EXPECT_DOUBLE_EQ(w.PESGraph1->GetManualZAxisLine(), 2);
}

// The rows keep an earlier survey's values until a stored cycle reaches them: the first that
// does fills every column, whether it is cycle 0 or a later one (cycle 0 lost, or the graph
// enabled only after it).
TEST_F(LiveWindowTest, FirstStoredCycleThatReachesTheSectionFillsIt)
{
    const struct {
        const char* what;
        bool enabledInCycle0;
        int firstDrawn;
    } cases[] = {{"cycle 0 drawn", true, 0}, {"cycle 0 lost", true, 3}, {"graph enabled later", false, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DropWindow();
        TMainFrm& w = surveyWindow(1, 3);
        w.AddDistanceChk->setChecked(false);
        PESGraph& g1 = *w.PESGraph1;
        for (int p = 0; p < 3; ++p)
            g1.SetZData(0, p, 5000); // left by an earlier survey
        if (c.firstDrawn != 0) {
            w.VisibleRB->setChecked(c.enabledInCycle0);
            if (!c.enabledInCycle0)
                storedCycle(w, 0, 40);
            w.VisibleRB->setChecked(true);
        }
        storedCycle(w, c.firstDrawn, 80);
        for (int p = 0; p < 3; ++p) {
            EXPECT_FLOAT_EQ(g1.GetZData(0, p), 80) << p;
            EXPECT_FLOAT_EQ(g1.GetXData(0, p), float(c.firstDrawn)) << p;
        }
        storedCycle(w, c.firstDrawn + 1, 90); // later cycles shift
        EXPECT_FLOAT_EQ(g1.GetZData(0, 1), 80);
        EXPECT_FLOAT_EQ(g1.GetZData(0, 2), 90);
        EXPECT_FLOAT_EQ(g1.GetXData(0, 2), float(c.firstDrawn + 1));
    }
}

TEST_F(LiveWindowTest, GraphDisabledLeavesBothGraphsAlone)
{
    TMainFrm& w = surveyWindow(2, 3);
    w.VisibleRB->setChecked(false);
    w.AcquisitionMode = 0xAA;
    w.SounderLblx->setText("x");
    storedCycle(w, 0, 80);
    EXPECT_TRUE(writes(engine, w.PESGraph1->GethObject()).empty());
    EXPECT_TRUE(writes(engine, w.PESGraph2->GethObject()).empty());
    EXPECT_EQ(w.SounderLblx->text(), "x");
    EXPECT_FLOAT_EQ(w.Survey.RhoMax, 80); // the extremes still follow, unrounded
    EXPECT_FLOAT_EQ(w.Survey.RhoMin, 80);
}

// Without a sounder the profile shows the GPS altitude upright; its label and the profile show
// only while the GPS is connected, and the sounder label is left alone.
TEST_F(LiveWindowTest, ProfileShowsTheAltitudeWithoutASounder)
{
    for (const bool gps : {true, false}) {
        SCOPED_TRACE(gps ? "GPS connected" : "no GPS");
        DropWindow();
        TMainFrm& w = NewWindow();
        w.SounderCB->setChecked(false);
        w.ChannelCount = 1;
        w.GraphSetUp();
        EXPECT_EQ(w.PESGraph2->GetYAxisLabel(), "Altitude (m)");
        EXPECT_FALSE(w.PESGraph2->GetInvertedYAxis());

        engine.Clear();
        w.GpsConnectedCB->setChecked(gps);
        w.AcquisitionMode = 0x5A;
        w.SounderDepth = 3;
        w.SounderLblx->setText("x");
        w.Survey.Track.TotalDistance = 7.5f;
        w.Survey.Track.GpsAltitude = 12.34f;
        storedCycle(w, 0, 80);
        const TEngineHandle h2 = w.PESGraph2->GethObject();
        const auto nextX = callsTo(engine, h2, 3658), nextY = callsTo(engine, h2, 3276);
        ASSERT_EQ(nextX.size(), 1u);
        ASSERT_EQ(nextY.size(), 1u);
        EXPECT_FLOAT_EQ(floatOf(*nextX[0]), 7.5f);
        EXPECT_FLOAT_EQ(floatOf(*nextY[0]), 12.34f);
        EXPECT_EQ(w.AltitudeLblx->text(), FormatFloat("#.0", 12.34));
        EXPECT_EQ(!w.AltitudeLblx->isHidden(), gps);
        EXPECT_EQ(!w.PESGraph2->isHidden(), gps);
        EXPECT_FALSE(w.PESGraph1->isHidden());
        EXPECT_EQ(w.SounderLblx->text(), "x");
    }
}

// Depths and altitudes come in steps of 0.1 m: a profile that steps once and then stays flat,
// drawn with the survey's own settings, shows its line in nearly every pixel column of the plot,
// whether the flat stretch is the top or the bottom of its range, and the curve through the step
// stays within the two levels.
TEST_F(LiveWindowTest, SteppedProfileShowsItsFlatStretch)
{
    const struct Case {
        const char* what;
        bool sounder;
        float first, then;
    } cases[] = {
        {"altitude steps up", false, 45.4f, 45.5f},
        {"altitude steps down", false, 45.5f, 45.4f},
        {"depth steps down", true, 3.1f, 3.2f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DropWindow();
        TMainFrm& w = NewWindow();
        w.SounderCB->setChecked(c.sounder);
        w.GpsConnectedCB->setChecked(true);
        w.AcquisitionMode = c.sounder ? 0xAA : 0x5A;
        w.ChannelCount = 1;
        w.show(); // the profile at its size in the window
        w.GraphSetUp();
        const int points = w.Survey.GraphPoints;
        for (int cycle = 0; cycle < points; ++cycle) {
            const float level = cycle < 5 ? c.first : c.then;
            w.SounderDepth = level;
            w.Survey.Track.GpsAltitude = level;
            w.Survey.Track.TotalDistance = float(cycle);
            storedCycle(w, cycle, 80);
        }
        const TEngineHandle h = w.PESGraph2->GethObject();
        const QImage image = engine.GetMeta(h)->convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), w.PESGraph2->size());
        const TGraphLayout l = engine.Object(h)->Layout;
        auto bluish = [](QRgb p) { return qBlue(p) > qRed(p) + 60 && qBlue(p) > qGreen(p) + 60; };
        // Pixel rows of the two levels, as the survey hands them to the profile.
        auto rowOf = [&](float level) {
            const double v = c.sounder ? -level : level;
            return l.Top + (l.YMax - v) / (l.YMax - l.YMin) * (l.Bottom - l.Top);
        };
        const double upper = std::min(rowOf(c.first), rowOf(c.then)), lower = std::max(rowOf(c.first), rowOf(c.then));
        int columns = 0, shown = 0, outside = 0;
        for (int x = int(l.Left); x <= int(l.Right); ++x, ++columns) {
            bool any = false;
            for (int y = int(l.Top); y <= int(l.Bottom); ++y)
                if (bluish(image.pixel(x, y))) {
                    any = true;
                    outside += y < upper - 1.5 || y > lower + 1.5;
                }
            shown += any;
        }
        EXPECT_GE(shown, columns * 95 / 100) << "of " << columns << " columns";
        EXPECT_EQ(outside, 0);
    }
}

TEST_F(LiveWindowTest, ApplyPullsCrossedBarsApartAndRecolours)
{
    TMainFrm& w = NewWindow();
    w.SMin->setValue(30);
    w.SMax->setValue(20);
    engine.Clear();
    w.BitBtn7->click();
    EXPECT_EQ(w.SMin->value(), 18);
    EXPECT_EQ(w.SMax->value(), 22);
    PESGraph& g1 = *w.PESGraph1;
    EXPECT_EQ(g1.GetSubsetColors(0), (55 << 16));
    EXPECT_EQ(g1.GetSubsetColors(18), 0x00FF0000);
    EXPECT_EQ(g1.GetSubsetColors(19), 0x00FFFF00);
    EXPECT_EQ(g1.GetSubsetColors(22), 0x000000FF);
    EXPECT_EQ(g1.GetSubsetColors(50), 111);
    const auto w1 = writes(engine, g1.GethObject());
    ASSERT_EQ(w1.size(), 53u);
    EXPECT_EQ(w1[50], "SubsetColors[50]");
    EXPECT_EQ(w1[51], "reinitialize");
    EXPECT_EQ(w1[52], "reset image");
}

TEST_F(LiveWindowTest, DisplayKeysSwitchTheDipoleValues)
{
    TMainFrm& w = NewWindow();
    w.Workspace[10] = 1; // D1 = 2
    w.Workspace[21] = -1;
    w.Workspace[0] = 3;
    w.Workspace[11] = 1;
    w.GeometricFactors[0] = 10;
    w.DisplayRho = 1;
    w.CycleDisplay();
    EXPECT_EQ(w.VLblx[0]->text(), "10.00");
    EXPECT_EQ(w.InLblx->text(), "1.00");
    w.VpAction->trigger();
    EXPECT_EQ(w.DisplayRho, 0);
    EXPECT_TRUE(w.ShowVp->isChecked());
    EXPECT_FALSE(w.ShowRho->isChecked());
    EXPECT_EQ(w.VLblx[0]->text(), "10.00"); // until the next cycle
    w.CycleDisplay();
    EXPECT_EQ(w.VLblx[0]->text(), "1.00");
    w.RhoAction->trigger();
    EXPECT_EQ(w.DisplayRho, 1);
    EXPECT_TRUE(w.ShowRho->isChecked());
    w.ModelTagFound = 1;
    w.CycleDisplay();
    EXPECT_EQ(w.VLblx[0]->text(), "10.00");
    EXPECT_EQ(w.InLblx->text(), "1");
}

// The depth display turns maroon in a cycle whose sounder sentence gives no depth, and black
// again in the next one that gives a depth.
TEST_F(LiveSurveyTest, DepthDisplayTurnsMaroonWhileTheSounderGivesNoDepth)
{
    Instrument::TInstrumentSetup setup;
    setup.SounderSentence = [](int cycle) {
        return cycle == 0 ? QByteArray("$SDDBT,0.0,f,0.00,M,0.0,F*00") : Instrument::TTestInstrument::DefaultSounderSentence(cycle);
    };
    serve(setup);
    TMainFrm& w = start();
    // Every change of the display's ground, with the cycle it happened in.
    struct GroundWatch : QObject {
        const TMainFrm& w;
        std::vector<std::pair<int32_t, std::string>> changes;
        explicit GroundWatch(const TMainFrm& frm) : w(frm) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            const std::string ground = w.SounderLblx->palette().color(QPalette::Window).name().toStdString();
            if (e->type() == QEvent::PaletteChange && (changes.empty() || changes.back().second != ground))
                changes.emplace_back(w.Survey.CycleIndex, ground);
            return false;
        }
    } watch(w);
    w.SounderLblx->installEventFilter(&watch);
    run({startWith(dir.File("depth")), stopAfter(3)});
    powerOn();
    w.SounderLblx->removeEventFilter(&watch);

    const std::vector<std::pair<int32_t, std::string>> expected = {{0, "#800000"}, {1, "#000000"}};
    EXPECT_EQ(watch.changes, expected);
}

// A survey that ends while the sounder gives no depth does not hand the maroon ground to the
// next survey: that one shows black until its own sounder says otherwise.
TEST_F(LiveSurveyTest, DepthCueStartsBlackInTheNextSurvey)
{
    const auto noDepth = std::make_shared<std::atomic<bool>>(true);
    Instrument::TInstrumentSetup setup;
    setup.SounderSentence = [noDepth](int cycle) {
        return *noDepth ? QByteArray("$SDDBT,0.0,f,0.00,M,0.0,F*00") : Instrument::TTestInstrument::DefaultSounderSentence(cycle);
    };
    serve(setup);
    TMainFrm& w = start();
    const auto ground = [&w] { return w.SounderLblx->palette().color(QPalette::Window).name().toStdString(); };
    run({startWith(dir.File("first")), stopAfter(2)});
    powerOn();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    EXPECT_EQ(ground(), "#800000");

    std::string groundAtStart;
    run({{[this] { return waitingForStart(); }, [&, this] {
              groundAtStart = ground();
              *noDepth = false;
              dialogs.AnswerSave(dir.File("second"));
              w.Action2->trigger();
          }},
         stopAfter(instrument->Cycles() + 2)});
    w.NewSurveyBtn->click();
    EXPECT_EQ(groundAtStart, "#000000");
    EXPECT_EQ(ground(), "#000000");
    w.PowerAction->trigger();
}

// A small survey: two channels, three columns, GPS and sounder. The graphs are set up in the
// order of the set-up, the first stored cycle fills the rows, later ones shift them, and every
// stored cycle appends one profile point.
TEST_F(LiveSurveyTest, SmallSurveyWritesTheGraphsInOrder)
{
    serve();
    SurveySetup s;
    s.Channels = 2;
    TMainFrm& w = start(s);
    w.SetupIni->WriteInteger("Parameters", "GraphPoints", 3);
    engine.Clear(); // the design values of the window's start-up
    run({startWith(dir.File("small")), stopAfter(4)});
    powerOn();

    const TEngineHandle h1 = w.PESGraph1->GethObject(), h2 = w.PESGraph2->GethObject();
    const auto nextX = callsTo(engine, h2, 3658);
    const int stored = static_cast<int>(nextX.size());
    ASSERT_GE(stored, 3);

    std::vector<std::string> e1 = sectionSetUp(2, 3);
    for (int cycle = 0; cycle < stored; ++cycle)
        sectionCycle(e1, cycle, 2, 3);
    EXPECT_TRUE(sameWrites(writes(engine, h1), e1));

    std::vector<std::string> e2 = profileSetUp(3);
    for (int cycle = 0; cycle < stored; ++cycle)
        append(e2, {"next x", "next y", "reinitialize", "reset image"});
    EXPECT_TRUE(sameWrites(writes(engine, h2), e2));

    // The values: sizes, the rows at their depths, one profile point a cycle by address with
    // a count of 1, the distance then the negated depth.
    EXPECT_EQ(callsTo(engine, h1, PEP::Subsets).back()->Args.at(0), 2);
    EXPECT_EQ(callsTo(engine, h1, PEP::Points).back()->Args.at(0), 3);
    EXPECT_EQ(callsTo(engine, h1, PEP::PlottingMethod).back()->Args.at(0), 24);
    EXPECT_EQ(callsTo(engine, h2, PEP::YAxisLabel).back()->Text, "Depth (m)");
    for (const TEngineCall* c : callsTo(engine, h1, PEP::YData))
        EXPECT_FLOAT_EQ(floatOf(*c), w.PointDepths[static_cast<size_t>(c->I)]);
    const auto nextY = callsTo(engine, h2, 3276);
    ASSERT_EQ(nextY.size(), nextX.size());
    for (int cycle = 0; cycle < stored; ++cycle) {
        EXPECT_EQ(nextX[cycle]->Args.at(0), 1);
        EXPECT_EQ(nextY[cycle]->Args.at(0), 1);
        EXPECT_NEAR(floatOf(*nextX[cycle]), Instrument::LineDistance(cycle), 1.0) << cycle;
        EXPECT_NEAR(floatOf(*nextY[cycle]), -Instrument::LineDepth(cycle), 0.011) << cycle;
    }

    // The section holds the last stored cycles' values, in the unit channel 1's first reading
    // chose (about 26 Ohm.m: Ohm.cm).
    EXPECT_EQ(w.PESGraph1->GetMainTitle(), "Rho pseudo section (Ohm.cm)");
    EXPECT_EQ(w.Survey.RhoUnitFactor, 100);
    for (int q = 0; q < 2; ++q) {
        EXPECT_FLOAT_EQ(w.PESGraph1->GetZData(q, 2), w.Survey.GraphValues[static_cast<size_t>(q)]);
        EXPECT_FLOAT_EQ(w.Survey.GraphValues[static_cast<size_t>(q)], w.DipoleRecords[static_cast<size_t>(q)].Rho * 100);
        EXPECT_FLOAT_EQ(w.PESGraph1->GetXData(q, 2), w.Survey.GraphPositions[static_cast<size_t>(q)]);
    }
    EXPECT_GE(w.Survey.RhoMax, w.Survey.GraphValues[0]);
    EXPECT_LE(w.Survey.RhoMin, w.Survey.GraphValues[0]);
}

// The window as the user sees it after a survey of 20 channels: every dipole row shows, the
// labels hold the last cycle's values, and both graphs are up.
TEST_F(LiveSurveyTest, TwentyChannelSurveyShowsEveryRowAndBothGraphs)
{
    serve();
    SurveySetup s;
    s.Channels = 20;
    TMainFrm& w = start(s);
    run({startWith(dir.File("twenty")), stopAfter(3)});
    powerOn();

    EXPECT_EQ(w.SwitchEnabled, 1);
    EXPECT_TRUE(w.SwitchRB->isChecked());
    EXPECT_TRUE(w.PanelV11_20->isVisibleTo(&w));
    EXPECT_TRUE(w.PanelP11_22->isVisibleTo(&w));
    const auto rho = Acquisition::DipoleValueTexts(w.Workspace, w.GeometricFactors, 1);
    for (int k = 0; k < 20; ++k) {
        EXPECT_TRUE(w.VLblx[static_cast<size_t>(k)]->isVisibleTo(&w)) << "V" << k + 1;
        EXPECT_EQ(w.VLblx[static_cast<size_t>(k)]->text(), rho[static_cast<size_t>(k)]) << "V" << k + 1;
        EXPECT_NE(w.VLblx[static_cast<size_t>(k)]->text(), ".00") << "V" << k + 1;
    }
    // The trip of the last cycle (the next cycle's head cleared the value itself): with no new
    // reference it is the total distance.
    EXPECT_EQ(w.DistanceLblx->text(), FormatFloat("#.00", w.Survey.Track.TotalDistance));
    EXPECT_NE(w.DistanceLblx->text(), ".00");
    EXPECT_EQ(w.NewRefLblx->text(), FormatFloat("#.00", w.Survey.Track.TotalDistance));
    EXPECT_TRUE(w.PSeudoGB->isVisibleTo(&w));
    EXPECT_TRUE(w.PESGraph1->isVisibleTo(&w));
    EXPECT_TRUE(w.PESGraph2->isVisibleTo(&w));
    EXPECT_EQ(w.PESGraph1->GetSubsets(), 20);
    // The stop hides the depth and disables the display keys.
    EXPECT_FALSE(w.SounderLblx->isVisibleTo(&w));
    EXPECT_FALSE(w.ShowVp->isEnabled());
    EXPECT_FALSE(w.ShowRho->isEnabled());
}

// A survey of fewer channels after one of more: the rows above the count hide, and their
// factors of the earlier survey are gone, so their labels show no stale resistivity.
TEST_F(LiveSurveyTest, FewerChannelsHideTheRestAndKeepNoStaleFactors)
{
    serve();
    SurveySetup s;
    s.Channels = 4;
    TMainFrm& w = start(s);
    w.GeometricFactors.fill(99);
    w.PanelV11_20->show();
    run({startWith(dir.File("four")), stopAfter(2)});
    powerOn();

    for (int k = 0; k < 20; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_EQ(w.VLblx[static_cast<size_t>(k)]->isVisibleTo(&w), k < 4);
        if (k >= 4) {
            EXPECT_EQ(w.GeometricFactors[static_cast<size_t>(k)], 0);
            EXPECT_EQ(w.VLblx[static_cast<size_t>(k)]->text(), ".00");
        }
    }
    EXPECT_FALSE(w.PanelV11_20->isVisibleTo(&w));
    EXPECT_EQ(w.PESGraph1->GetSubsets(), 4);
}
