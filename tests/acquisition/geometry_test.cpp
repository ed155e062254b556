#include "acquisition/Geometry.h"
#include "acquisition/Main.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace Acquisition;

namespace {

constexpr double Pi = 3.14159265358979323846;
const float NaN = std::numeric_limits<float>::quiet_NaN();

// Places one four-electrode array of the first set on the line: A, B, P1 = M, P2 = N.
WorkspaceArray lineArray(float a, float b, float m, float n)
{
    WorkspaceArray w{};
    w[124] = a;
    w[125] = b;
    w[126] = m;
    w[127] = n;
    return w;
}

// Expected values worked out by hand (or from the plain formula on the hand distances).
struct ArrayCase {
    const char* what;
    float a, b, m, n;
    ChannelDistances distances; // AM, AN, AB, BM, BN, MN
    double k, x, asymmetry, depth;
};

double kOf(double am, double an, double bm, double bn)
{
    return 2 * Pi / (1 / am - 1 / an - 1 / bm + 1 / bn);
}

const ArrayCase arrayCases[] = {
    {"default cable", 0, 2, 4, 6, {4, 6, 2, 2, 4, 2}, -12 * Pi, 3, 0, 0.19 * 6},
    {"narrow dipole in a wide array: rule 2", 0, 1000, 1, 500, {1, 500, 1000, 999, 500, 499},
     2 * Pi * 999 / 998, 375.25, 249.5, 0.867},
    {"rule 3 with t = 2", 0, 100, 2, 3, {2, 3, 100, 98, 97, 1}, kOf(2, 3, 98, 97), 26.25, 47.5,
     (-0.000915179 * 2 + 0.397614583) * 2 + 0.127613095},
    {"far electrode B", 0, 99999, 4, 6, {4, 6, 99999, 99995, 99993, 2}, kOf(4, 6, 99995, 99993),
     25002.25, 0, 2 * ((-0.000915179 * 2 + 0.397614583) * 2 + 0.127613095)},
    {"A and B at the same place", 0, 0, 4, 6, {4, 6, 0, 4, 6, 2}, 1.0, 2.5, 1,
     0.19 * 6 - 0.0361 * 1},
    {"B and M at the same place", 0, 4, 4, 6, {4, 6, 4, 0, 2, 2}, 2 * Pi / (0.25 - 1.0 / 6 + 0.5),
     3.5, 1, 0.19 * 6 - 0.0361 * 1},
    {"B and N at the same place", 0, 6, 4, 6, {4, 6, 6, 2, 0, 2}, 2 * Pi / (0.25 - 1.0 / 6 - 0.5),
     4, 2, 0.19 * 6 - 0.0361 * 2},
    // M = N: rule 3 would divide by MN = 0, the general rule answers; the inverses cancel.
    {"M and N at the same place", 0, 100, 4, 4, {4, 4, 100, 96, 96, 0}, 1.0, 27, 46,
     0.19 * 4 - 0.0361 * 46},
};

} // namespace

TEST(Geometry, ArraysOnTheLine)
{
    for (const ArrayCase& c : arrayCases) {
        SCOPED_TRACE(c.what);
        WorkspaceArray w = lineArray(c.a, c.b, c.m, c.n);
        ComputeDistances(w, CableSet::First);
        const ChannelDistances d = ReadDistances(w, 0);
        EXPECT_FLOAT_EQ(d.AM, c.distances.AM);
        EXPECT_FLOAT_EQ(d.AN, c.distances.AN);
        EXPECT_FLOAT_EQ(d.AB, c.distances.AB);
        EXPECT_FLOAT_EQ(d.BM, c.distances.BM);
        EXPECT_FLOAT_EQ(d.BN, c.distances.BN);
        EXPECT_FLOAT_EQ(d.MN, c.distances.MN);

        const ArrayElectrodes e = ChannelElectrodes(w, 0);
        EXPECT_FLOAT_EQ(float(GeometricFactorOf(d)), float(c.k));
        EXPECT_FLOAT_EQ(float(MeasurePointOf(e)), float(c.x));
        EXPECT_FLOAT_EQ(float(AsymmetryOf(e)), float(c.asymmetry));
        const std::optional<float> depth = PseudoDepthOf(d, AsymmetryOf(e));
        ASSERT_TRUE(depth.has_value());
        EXPECT_NEAR(*depth, c.depth, 2e-6 * std::max(1.0, std::fabs(c.depth)));
    }
}

TEST(Geometry, PublishedFigures)
{
    // The figures a user checks against: K = -12 pi, depth 1.14, rule 3 depths.
    WorkspaceArray w = lineArray(0, 2, 4, 6);
    ComputeDistances(w, CableSet::First);
    EXPECT_NEAR(GeometricFactorOf(ReadDistances(w, 0)), -37.699112, 1e-5);
    EXPECT_NEAR(*PseudoDepthOf({2, 3, 100, 98, 97, 1}, 47.5), 0.91918153, 1e-7);
    EXPECT_NEAR(*PseudoDepthOf({4, 6, 99999, 99995, 99993, 2}, 0), 1.838363, 1e-6);
    EXPECT_NEAR(GeometricFactorOf({4, 6, 4, 0, 2, 2}), 10.771174, 1e-5);
    EXPECT_NEAR(*PseudoDepthOf({4, 6, 4, 0, 2, 2}, 1), 1.1039, 1e-6);
    EXPECT_NEAR(*PseudoDepthOf({4, 6, 6, 2, 0, 2}, 2), 1.0678, 1e-6);
}

TEST(Geometry, DistancesUseBothCoordinatesAndTheRightElectrodes)
{
    // Uneven positions so that a channel reading the wrong electrode gets other distances.
    // Set 1: P_k at x = k*k, y = k; set 2 starts again at P11 and goes on to P21 at y = -k.
    WorkspaceArray w{};
    auto px = [](int k) { return float(k * k); };
    w[124] = -10; w[125] = -3; w[144] = 1; w[145] = 2;
    for (int k = 1; k <= 11; ++k) {
        w[125 + k] = px(k);
        w[145 + k] = float(k);
    }
    w[157] = -10; w[158] = -3; w[177] = 1; w[178] = 2;
    for (int k = 11; k <= 21; ++k) {
        w[148 + k] = px(k);
        w[168 + k] = float(-k);
    }
    ComputeDistances(w, CableSet::First);
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(w[190 + i], 0.0f) << "the second set is computed only on request";
    ComputeDistances(w, CableSet::Second);

    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const int m = i + 1, n = i + 2; // P(i+1), P(i+2): channel 11 uses P11 and P12
        const double ym = i < 10 ? m : -m, yn = i < 10 ? n : -n;
        const double xa = -10, ya = 1, xb = -3, yb = 2;
        EXPECT_FLOAT_EQ(w[190 + i], float(std::hypot(xa - px(m), ya - ym)));
        EXPECT_FLOAT_EQ(w[210 + i], float(std::hypot(xa - px(n), ya - yn)));
        EXPECT_FLOAT_EQ(w[230 + i], float(std::hypot(xa - xb, ya - yb)));
        EXPECT_FLOAT_EQ(w[250 + i], float(std::hypot(xb - px(m), yb - ym)));
        EXPECT_FLOAT_EQ(w[270 + i], float(std::hypot(xb - px(n), yb - yn)));
        EXPECT_FLOAT_EQ(w[290 + i], float(std::hypot(px(n) - px(m), yn - ym)));
        // The measurement point counts only x: half-way between (A+B)/2 and (M+N)/2.
        const double c1 = (xa + xb) / 2, c2 = (px(m) + px(n)) / 2.0;
        EXPECT_FLOAT_EQ(float(MeasurePointOf(ChannelElectrodes(w, i))), float((c1 + c2) / 2));
    }
    EXPECT_THROW(ChannelElectrodes(w, 20), std::out_of_range);
    EXPECT_THROW(ReadDistances(w, -1), std::out_of_range);
}

TEST(Geometry, GeometricFactorThresholdsAndSign)
{
    struct Case {
        const char* what;
        ChannelDistances d;
        double k;
    } cases[] = {
        {"every distance at 1 cm or less", {0.01f, 0.005f, 0, 0.01f, 0, 0}, 1.0},
        {"only AN beyond 1 cm", {0.01f, 0.02f, 1, 0.01f, 0.01f, 1}, -2 * Pi * double(0.02f)},
        {"just beyond 1 cm counts", {0.0101f, 0, 0, 0, 0, 0}, 2 * Pi * double(0.0101f)},
        {"inverses that cancel", {3, 5, 1, 3, 5, 2}, 1.0},
        {"M and N swapped: K changes sign", {6, 4, 2, 4, 2, 2}, 12 * Pi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(GeometricFactorOf(c.d), c.k, 1e-6 * std::fabs(c.k));
    }
}

TEST(Geometry, AsymmetryOrdersTheElectrodes)
{
    struct Case {
        float a, b, m, n;
        double asymmetry;
    } cases[] = {
        {6, 4, 2, 0, 0},            // reversed cable: the sort puts it in order
        {10, 0, 3, 4, 1.5},         // sorted 0, 3, 4, 10: |10 - 7| / 2
        {0, 0, 0, 5, 2.5},          // equal values
        {-99998, 0, 4, 6, 0},       // far on the negative side
        {0, 2, 4, 99997.5f, 49995.75}, // just inside the far limit
    };
    for (const Case& c : cases) {
        const ArrayElectrodes e{c.a, c.b, c.m, c.n, 0, 0, 0, 0};
        EXPECT_FLOAT_EQ(float(AsymmetryOf(e)), float(c.asymmetry)) << c.a << " " << c.b << " " << c.m << " " << c.n;
    }
}

TEST(Geometry, PseudoDepthRuleBoundaries)
{
    struct Case {
        const char* what;
        ChannelDistances d;
        double asymmetry;
        double depth;
    } cases[] = {
        {"15r equal to MN is neither rule 2 nor 3", {1, 16, 200, 100, 100, 15}, 0, 0.19 * 1},
        {"15r equal to AB goes to the general rule", {1, 16, 15, 100, 100, 50}, 0, 0.19 * 1},
        {"15r beyond the largest distance uses it", {2, 3, 20, 20, 3, 1}, 4, 0.19 * 20 - 0.0361 * 4},
        {"t too large for a float: general rule", {1e10f, 1e10f, 1e12f, 1e10f, 1e10f, 1e-30f}, 0,
         0.19 * 1e10},
        {"all distances zero", {0, 0, 0, 0, 0, 0}, 0, 0},
        {"AN replaces a zero BM", {5, 7, 2, 0, 9, 200}, 0, 0.19 * 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<float> depth = PseudoDepthOf(c.d, c.asymmetry);
        ASSERT_TRUE(depth.has_value());
        EXPECT_FLOAT_EQ(*depth, float(c.depth));
    }
}

TEST(Geometry, BadDataIsReportedNotComputed)
{
    const ChannelDistances good{4, 6, 2, 2, 4, 2};
    for (int field = 0; field < 6; ++field) {
        ChannelDistances d = good;
        float* f[] = {&d.AM, &d.AN, &d.AB, &d.BM, &d.BN, &d.MN};
        *f[field] = NaN;
        EXPECT_FALSE(PseudoDepthOf(d, 0).has_value()) << "distance " << field;
    }
    EXPECT_FALSE(PseudoDepthOf(good, std::nan("")).has_value());
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(PseudoDepthOf({inf, inf, 2, inf, inf, 2}, 0).has_value()) << "an infinite depth is no depth";
}

namespace {

struct MeasureCase {
    const char* what;
    int q;
    bool ip;
    std::vector<std::pair<int, float>> readings;
    float k;
    ChannelMeasurement expected;
};

} // namespace

TEST(Geometry, ChannelMeasurements)
{
    const MeasureCase cases[] = {
        {"channel 3 without IP", 2, false, {{2, 10}, {13, -6}, {10, 50}, {21, -50}, {86, 7}, {96, 1}},
         -4, {2, 8, 50, -4 * 8 / 50.0f, 0}},
        {"channel 3 with IP", 2, true, {{2, 10}, {13, -6}, {10, 50}, {21, -50}, {86, 7}, {96, 1}},
         -4, {4, 8, 50, -4 * 8 / 50.0f, 6 * 500 / 8.0f}},
        {"channel 12 reads the second set", 11, true,
         {{43, 3}, {54, 1}, {52, -2}, {63, 2}, {105, 0.5f}, {115, 0.1f}, {2, 99}, {10, 99}},
         2, {0.3f, 1, 2, 1, 0.4f * 500}},
        {"channel 20, last of the second set", 19, false, {{51, 5}, {62, -5}, {52, 1}, {63, 0}},
         10, {0, 5, 0.5f, 100, 0}},
        {"Vp of 0.0008 mV gives no chargeability", 0, true,
         {{0, 0.0008f}, {11, -0.0008f}, {10, 1}, {21, -1}, {84, 5}, {94, 1}}, 1,
         {3, 0.0008f, 1, 0.0008f, 0}},
        {"no current, no resistivity", 0, false, {{0, 4}, {11, -4}, {10, 0.0009f}, {21, -0.0009f}},
         5, {0, 4, 0.0009f, 0, 0}},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(c.what);
        WorkspaceArray w{};
        for (auto [i, v] : c.readings)
            w[i] = v;
        const ChannelMeasurement m = MeasureChannel(w, c.q, c.k, c.ip);
        EXPECT_FLOAT_EQ(m.Sp, c.expected.Sp);
        EXPECT_FLOAT_EQ(m.Vp, c.expected.Vp);
        EXPECT_FLOAT_EQ(m.In, c.expected.In);
        EXPECT_FLOAT_EQ(m.Rho, c.expected.Rho);
        EXPECT_FLOAT_EQ(m.M, c.expected.M);
    }
}

TEST(Geometry, SetWithoutCurrentIsCleared)
{
    WorkspaceArray w{};
    for (int i = 0; i < 124; ++i)
        w[i] = float(i + 1);
    w[10] = 0.0005f; w[21] = -0.0005f; // set 1: 0.0005 mA
    w[52] = 3; w[63] = -3;             // set 2 has current
    ClearSetsWithoutCurrent(w);
    for (int i = 0; i < 22; ++i)
        EXPECT_EQ(w[i], 0.0f) << i;
    for (int i = 42; i < 64; ++i)
        EXPECT_NE(w[i], 0.0f) << i;
    EXPECT_EQ(w[84], 85.0f) << "IP readings stay";

    const ChannelMeasurement m = MeasureChannel(w, 0, 10, true);
    EXPECT_EQ(m.Vp, 0.0f);
    EXPECT_EQ(m.In, 0.0f);
    EXPECT_EQ(m.Rho, 0.0f);
    EXPECT_EQ(m.M, 0.0f);

    w[52] = NaN; // a current that is not a number is no current
    ClearSetsWithoutCurrent(w);
    EXPECT_EQ(w[42], 0.0f);
}

TEST(GeometryWindow, MethodsWorkOnTheWindowsWorkspace)
{
    TestApp();
    ScriptedDialogs dialogs;
    TMainFrm frm;
    frm.Workspace[124] = 0; frm.Workspace[125] = 2; frm.Workspace[126] = 4; frm.Workspace[127] = 6;
    frm.ComputeCableDistances();
    EXPECT_NEAR(frm.GeometricFactor(0), -12 * Pi, 1e-5);
    EXPECT_FLOAT_EQ(float(frm.MeasurePointX(0)), 3.0f);
    EXPECT_FLOAT_EQ(float(frm.ArrayAsymmetry(0)), 0.0f);
    EXPECT_FLOAT_EQ(float(frm.PseudoDepth(0)), 1.14f);
    EXPECT_TRUE(dialogs.Calls.empty());

    // A coordinate that is not a number spoils the channel's distances.
    frm.Workspace[126] = NaN;
    frm.ComputeCableDistances();
    EXPECT_EQ(frm.PseudoDepth(0), -1.0);
    ASSERT_EQ(dialogs.Messages(), QStringList{"Report point error Bad data"});
    EXPECT_TRUE(dialogs.Unexpected.isEmpty());

    // The second set is filled only when asked, from its own coordinates.
    frm.Workspace[157] = 0; frm.Workspace[158] = 2; frm.Workspace[159] = 10; frm.Workspace[160] = 14;
    frm.ComputeCable2Distances();
    EXPECT_FLOAT_EQ(frm.Workspace[290 + 10], 4.0f);
    EXPECT_FLOAT_EQ(float(frm.MeasurePointX(10)), 6.5f);
}
