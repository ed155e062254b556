#include "acquisition/LiveGraph.h"
#include "graph/engine/GraphEngine.h"

#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

using namespace Acquisition;

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

int32_t bgr(int blue, int green, int red) { return (blue << 16) | (green << 8) | red; }

} // namespace

TEST(LiveGraph, GraphPointsStayWithinOneAndWhatTheEngineHoldsForEveryChannel)
{
    const int32_t most = int32_t(GraphEngineMaxDataCells / GraphChannels);
    const struct {
        int32_t setup, used;
    } cases[] = {{100, 100}, {1, 1}, {0, 1}, {-5, 1}, {INT_MIN, 1}, {10000, 10000}, {20000, 20000},
                 {most, most}, {most + 1, most}, {INT_MAX, most}};
    for (const auto& c : cases)
        EXPECT_EQ(LimitGraphPoints(c.setup), c.used) << c.setup;
}

TEST(LiveGraph, UnitOfThePseudoSectionFromChannelOne)
{
    struct Case {
        const char* what;
        float w0, w11, w10, w21, k0;
        float factor;
        const char* title;
    };
    const Case cases[] = {
        // I = |W10 - W21| / 2 = 0.5; Rho = (W0 - W11) / 2 * K / I.
        {"20 Ohm.m", 20, 0, 0.5f, -0.5f, 1, 100, "Rho pseudo section (Ohm.cm)"},
        {"49.9 Ohm.m", 49.9f, 0, 0.5f, -0.5f, 1, 100, "Rho pseudo section (Ohm.cm)"},
        {"exactly 50 Ohm.m", 50, 0, 0.5f, -0.5f, 1, 1, "Rho pseudo section (Ohm.m)"},
        {"1000 Ohm.m", 1000, 0, 0.5f, -0.5f, 1, 1, "Rho pseudo section (Ohm.m)"},
        {"negative resistivity", -300, 0, 0.5f, -0.5f, 1, 100, "Rho pseudo section (Ohm.cm)"},
        {"negative factor", 300, 0, 0.5f, -0.5f, -1, 100, "Rho pseudo section (Ohm.cm)"},
        {"potential not a number", NaN, 0, 0.5f, -0.5f, 1, 100, "Rho pseudo section (Ohm.cm)"},
        {"no current", 20, 0, 0, 0, 1, 1, "Rho pseudo section (Ohm.m)"},
        {"current 0.0005 mA", 20, 0, 0.001f, 0, 1, 1, "Rho pseudo section (Ohm.m)"},
        {"current not a number", 20, 0, NaN, 0, 1, 1, "Rho pseudo section (Ohm.m)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkspaceArray w{};
        w[0] = c.w0;
        w[11] = c.w11;
        w[10] = c.w10;
        w[21] = c.w21;
        const PseudoSectionUnit unit = ChooseRhoUnit(w, c.k0);
        EXPECT_EQ(unit.Factor, c.factor);
        EXPECT_EQ(unit.Title, c.title);
    }
}

TEST(LiveGraph, GraphValueInTheSectionUnitAndLimited)
{
    struct Case {
        const char* what;
        float rho, in, factor, g;
    };
    const Case cases[] = {
        {"Ohm.cm", 20, 0.5f, 100, 2000},
        {"Ohm.m", 123.5f, 0.5f, 1, 123.5f},
        {"negative current counts by size", 20, -0.5f, 100, 2000},
        {"above the limit", 1234567, 0.5f, 1, 999999},
        {"above the limit after the factor", 10000, 0.5f, 100, 999999},
        {"below the limit", -1234567, 0.5f, 1, -999999},
        {"at the limits", -999999, 0.5f, 1, -999999},
        {"not a number", NaN, 0.5f, 1, -999999},
        {"infinite", Inf, 0.5f, 1, 999999},
        {"minus infinite", -Inf, 0.5f, 1, -999999},
        {"current 0.001 mA", 20, 0.001f * 0.999f, 100, 0},
        {"no current", 20, 0, 100, 0},
        {"current not a number", 20, NaN, 100, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GraphValueOf(c.rho, c.in, c.factor), c.g);
    }
    EXPECT_EQ(LimitGraphValue(999998.5), 999998.5f);
    EXPECT_EQ(LimitGraphValue(std::nan("")), -999999.0f);
}

TEST(LiveGraph, ExtremesFollowTheValuesAndManualRangeClampsThem)
{
    float rhoMax = RhoMaxStart, rhoMin = RhoMinStart;
    const ScaleSettings automatic;
    EXPECT_EQ(TrackGraphValue(150, rhoMax, rhoMin, automatic), 150);
    EXPECT_EQ(rhoMax, 150);
    EXPECT_EQ(rhoMin, 150);
    EXPECT_EQ(TrackGraphValue(-20, rhoMax, rhoMin, automatic), -20);
    EXPECT_EQ(rhoMax, 150);
    EXPECT_EQ(rhoMin, -20);

    const ScaleSettings manual{0, 0, 100};
    struct Case {
        float g, drawn, rhoMax, rhoMin;
    };
    // Fresh extremes each time: the value enters them, then only the maximum is held below the
    // top of the range and only the minimum above its bottom.
    const Case cases[] = {{150, 100, 100, 150}, {-20, 0, -20, 0}, {50, 50, 50, 50}, {100, 100, 100, 100}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.g);
        float mx = RhoMaxStart, mn = RhoMinStart;
        EXPECT_EQ(TrackGraphValue(c.g, mx, mn, manual), c.drawn);
        EXPECT_EQ(mx, c.rhoMax);
        EXPECT_EQ(mn, c.rhoMin);
    }

    // A range given upside down brings every value to its minimum.
    const ScaleSettings inverted{0, 200, 100};
    for (const float g : {50.0f, 150.0f, 250.0f}) {
        float mx = RhoMaxStart, mn = RhoMinStart;
        EXPECT_EQ(TrackGraphValue(g, mx, mn, inverted), 200) << g;
    }
}

TEST(LiveGraph, OlderValuesComeJustInsideAManualRangeAsTheyShift)
{
    const struct {
        ScaleSettings s;
        float z, shifted;
    } cases[] = {
        {{0, 0, 100}, 150, 99.99f}, {{0, 0, 100}, -20, 0.01f}, {{0, 0, 100}, 100, 100},
        {{0, 0, 100}, 0, 0},        {{0, 0, 100}, NaN, 0.01f}, {{1, 0, 100}, 150, 150},
        {{1, 0, 100}, -20, -20},    {{0, 200, 100}, 150, 200.01f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(ShiftedZ(c.z, c.s), c.shifted) << c.z << " auto " << c.s.AutoScale;
}

TEST(LiveGraph, ColumnPosition)
{
    EXPECT_FLOAT_EQ(GraphPositionOf(true, 10, 7, 2.5f), 12.5f);
    EXPECT_FLOAT_EQ(GraphPositionOf(false, 10, 7, 2.5f), 9.5f);
    EXPECT_FLOAT_EQ(GraphPositionOf(false, 0, 0, -1.5f), -1.5f);
}

TEST(LiveGraph, RoundingOfTheExtremesAndTheBandWidth)
{
    struct Case {
        const char* what;
        float rhoMax, rhoMin;
        float roundedMax, roundedMin;
        double line;
    };
    const Case cases[] = {
        {"one value", 100, 100, 101, 100, 1},
        {"fractions", 149.7f, 100.2f, 150, 100, 2},
        {"negative fractions round toward zero", -5.5f, -7.5f, -4, -7, 1},
        {"a wide range", 999999, -999999, 1000000, -999999, 40000},
        // A manual range given as 200 to 100 leaves 101 and 200; the mend centres a range of 50.
        {"inverted by more than 50", 100.5f, 200, 175.5f, 125.5f, 2},
        // Inverted by exactly 50 is not mended: the band would be 0.
        {"inverted by 50", 100.5f, 151, 101, 151, 1},
        {"inverted by less than 50", 100, 120, 101, 120, 1},
        {"no value yet", RhoMaxStart, RhoMinStart, 25.5f, -24.5f, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float mx = c.rhoMax, mn = c.rhoMin;
        const double line = RoundZRange(mx, mn);
        EXPECT_FLOAT_EQ(mx, c.roundedMax);
        EXPECT_FLOAT_EQ(mn, c.roundedMin);
        EXPECT_EQ(line, c.line);
        EXPECT_GE(line, 1);
    }
}

// Under the automatic scale constant readings make the maximum drift up by one a cycle, since
// each rounding adds one; the band widens once the range reaches 50.
TEST(LiveGraph, AutomaticScaleDriftsWithConstantReadings)
{
    float rhoMax = RhoMaxStart, rhoMin = RhoMinStart;
    const ScaleSettings automatic;
    for (int cycle = 1; cycle <= 60; ++cycle) {
        for (int channel = 0; channel < 10; ++channel)
            TrackGraphValue(100, rhoMax, rhoMin, automatic);
        const double line = RoundZRange(rhoMax, rhoMin);
        ASSERT_EQ(rhoMax, 100.0f + cycle) << cycle;
        ASSERT_EQ(rhoMin, 100.0f) << cycle;
        ASSERT_EQ(line, cycle < 50 ? 1 : 2) << cycle;
    }
}

TEST(LiveGraph, ColourScaleAtTheTrackBarDefaults)
{
    const ColourScale s = BuildColourScale(0, 50);
    EXPECT_EQ(s.SMin, 0);
    EXPECT_EQ(s.SMax, 50);
    EXPECT_EQ(s.Colours[0], 0x00FF0000);  // blue
    EXPECT_EQ(s.Colours[6], bgr(255, 6 * 255 / 12, 0));
    EXPECT_EQ(s.Colours[12], 0x00FFFF00); // cyan
    EXPECT_EQ(s.Colours[18], bgr(255 - 6 * 255 / 12, 255, 0));
    EXPECT_EQ(s.Colours[24], 0x0000FF00); // green
    EXPECT_EQ(s.Colours[30], bgr(0, 255, 6 * 255 / 12));
    EXPECT_EQ(s.Colours[36], 0x0000FFFF); // yellow
    EXPECT_EQ(s.Colours[43], bgr(0, 255 - 7 * 255 / 14, 255));
    EXPECT_EQ(s.Colours[50], 0x000000FF); // red
    for (int k = 0; k < ColourScaleEntries; ++k) {
        const int32_t c = s.Colours[static_cast<size_t>(k)];
        EXPECT_FALSE((c & 0xFF) == 0 && ((c >> 8) & 0xFF) == 0 && (c >> 16) < 255) << "dark blue at " << k;
    }
}

TEST(LiveGraph, CrossedTrackBarsArePulledApart)
{
    const ColourScale s = BuildColourScale(30, 20);
    EXPECT_EQ(s.SMin, 18);
    EXPECT_EQ(s.SMax, 22);
    for (int k = 0; k < 18; ++k)
        EXPECT_EQ(s.Colours[static_cast<size_t>(k)], bgr(k * 150 / 18 + 55, 0, 0)) << k;
    EXPECT_EQ(s.Colours[0], bgr(55, 0, 0));
    EXPECT_EQ(s.Colours[17], bgr(196, 0, 0));
    EXPECT_EQ(s.Colours[18], 0x00FF0000);
    EXPECT_EQ(s.Colours[19], 0x00FFFF00);
    EXPECT_EQ(s.Colours[20], 0x0000FF00);
    EXPECT_EQ(s.Colours[21], 0x0000FFFF);
    EXPECT_EQ(s.Colours[22], 0x000000FF);
    EXPECT_EQ(s.Colours[50], bgr(0, 0, 111));

    const struct {
        int sMin, sMax, mendedMin, mendedMax;
    } cases[] = {{10, 10, 8, 12}, {48, 2, 0, 4}, {2, 2, 0, 4}, {48, 48, 46, 50}, {47, 48, 47, 48}};
    for (const auto& c : cases) {
        const ColourScale m = BuildColourScale(c.sMin, c.sMax);
        EXPECT_EQ(m.SMin, c.mendedMin) << c.sMin << "," << c.sMax;
        EXPECT_EQ(m.SMax, c.mendedMax) << c.sMin << "," << c.sMax;
    }
}

// Every pair of bar positions gives 51 valid colours and red at SMax (blue at SMin once the range
// holds the four colour steps): narrow ranges leave empty segments that must not be divided by.
TEST(LiveGraph, EveryTrackBarPairGivesAValidScale)
{
    for (int sMin = SMinLowest; sMin <= SMinHighest; ++sMin)
        for (int sMax = SMaxLowest; sMax <= SMaxHighest; ++sMax) {
            const ColourScale s = BuildColourScale(sMin, sMax);
            ASSERT_LT(s.SMin, s.SMax);
            for (const int32_t c : s.Colours)
                ASSERT_EQ(c & ~0x00FFFFFF, 0) << sMin << "," << sMax;
            if (s.SMax - s.SMin >= 4)
                ASSERT_EQ(s.Colours[static_cast<size_t>(s.SMin)], 0x00FF0000) << sMin << "," << sMax;
            else
                ASSERT_EQ(s.Colours[static_cast<size_t>(s.SMin)], 0x0000FFFF) << sMin << "," << sMax;
            ASSERT_EQ(s.Colours[static_cast<size_t>(s.SMax)], 0x000000FF) << sMin << "," << sMax;
        }
}

class DipoleTexts : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
};

TEST_F(DipoleTexts, CurrentPictures)
{
    WorkspaceArray w{};
    w[10] = 1.25f;
    w[21] = -1.25f;
    EXPECT_EQ(CurrentText(w, 0), "1.25");
    EXPECT_EQ(CurrentText(w, 1), "1");
    w[10] = w[21] = 0;
    EXPECT_EQ(CurrentText(w, 0), ".00");
    EXPECT_EQ(CurrentText(w, 1), "0");
}

TEST_F(DipoleTexts, ResistivityOrVoltagePerChannel)
{
    WorkspaceArray w{};
    std::array<float, GraphChannels> k{};
    // First set: I+ 1, I- -1 (D1 = 2); channel 1: 3 and 1, K 10; channel 10: 7 and -1, K 0.5.
    w[10] = 1;
    w[21] = -1;
    w[0] = 3;
    w[11] = 1;
    k[0] = 10;
    w[9] = 7;
    w[20] = -1;
    k[9] = 0.5f;
    // Second set: I+ 0.5, I- -0.5 (D2 = 1); channel 11: W42 4, W53 2, K 5; channel 20: W51, W62.
    w[52] = 0.5f;
    w[63] = -0.5f;
    w[42] = 4;
    w[53] = 2;
    k[10] = 5;
    w[51] = -1;
    w[62] = 2;
    k[19] = 100;

    const auto rho = DipoleValueTexts(w, k, 1);
    EXPECT_EQ(rho[0], "10.00");
    EXPECT_EQ(rho[1], ".00");
    EXPECT_EQ(rho[9], "2.00");
    EXPECT_EQ(rho[10], "10.00");
    EXPECT_EQ(rho[19], "-300.00");
    const auto vp = DipoleValueTexts(w, k, 0);
    EXPECT_EQ(vp[0], "1.00");
    EXPECT_EQ(vp[9], "4.00");
    EXPECT_EQ(vp[10], "1.00");
    EXPECT_EQ(vp[19], "-1.50");

    // A set without current shows zeros as resistivity, its voltages as they are.
    w[10] = w[21] = 0.0004f;
    w[52] = 0.0005f;
    w[63] = 0.0005f;
    for (const QString& t : DipoleValueTexts(w, k, 1))
        EXPECT_EQ(t, ".00");
    EXPECT_EQ(DipoleValueTexts(w, k, 0)[0], "1.00");
}

TEST(LiveGraph, DipoleLabelsFollowTheChannelCount)
{
    const struct {
        int32_t count;
        int16_t switchEnabled;
        int shownUpTo;
        bool secondSet;
    } cases[] = {{1, 0, 1, false}, {4, 0, 4, false}, {10, 0, 10, false}, {10, 1, 10, false},
                 {11, 1, 11, true}, {15, 1, 15, true}, {20, 1, 20, true}, {20, 0, 10, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " channels, switch " << c.switchEnabled);
        const DipoleLayout layout = DipoleLayoutOf(c.count, c.switchEnabled);
        EXPECT_EQ(layout.SecondSetShown, c.secondSet);
        for (int ch = 1; ch <= 20; ++ch)
            EXPECT_EQ(layout.Visible[static_cast<size_t>(ch - 1)], ch <= c.shownUpTo) << ch;
    }
}
