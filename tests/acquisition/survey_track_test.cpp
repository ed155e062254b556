#include "acquisition/SurveyTrack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Acquisition;

namespace {

const std::string Fix = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string NoFix = "$GPGGA,123519,,,,,0,00,,,M,,M,,*66\r\n";

// A fix sentence at the given latitude (ddmm.mmmm, N) and longitude (dddmm.mmmm, E).
std::string fixAt(const char* latitude, const char* longitude)
{
    return std::string("$GPGGA,123519,") + latitude + ",N," + longitude + ",E,1,08,0.9,12.5,M,46.9,M,,*47\r\n";
}

bool gps(SurveyTrack& t, const std::string& s, int32_t& newRef, int32_t simulation = 0)
{
    return t.HandleGpsSentence(s.data(), s.size(), newRef, simulation);
}

} // namespace

TEST(GpsSentence, Fields)
{
    struct Case {
        const char* what;
        std::string sentence;
        std::size_t length; // 0: the whole sentence
        bool hasPosition;
        float latitude, latitudeRad, longitude, longitudeRad, altitude;
    };
    const std::string cutBeforeAltitude = Fix.substr(0, Fix.find("545.4"));
    const Case cases[] = {
        {"north and east", Fix, 0, true, 4807.038f, 0.8398054f, 1131.0f, 0.20100376f, 545.4f},
        {"south and west", "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,-3.5,M,,M,,*47", 0, true,
         -4807.038f, -0.8398054f, -1131.0f, -0.20100376f, -3.5f},
        {"3356.5 south", "$GPGGA,1,3356.5,S,12309.5,W,1,08,0.9,0", 0, true, -3356.5f, -0.5923938f,
         -12309.5f, -2.1495185f, 0},
        {"receiver without a fix", NoFix, 0, false, 0, 0, 0, 0, 0},
        {"leading blanks and a sign", "$GPGGA,1,  +4807.038,N, 01131.000,E,1,08,0.9, 7", 0, true,
         4807.038f, 0.8398054f, 1131.0f, 0.20100376f, 7},
        {"no numbers", "$GPGGA,1,abc,N,inf,E,1,08,0.9,nan", 0, false, -0.0f, -0.0f, 0, 0, 0},
        {"nothing after the identifier", "$GPGGA", 0, false, -0.0f, -0.0f, -0.0f, -0.0f, 0},
        // The bytes after the length hold the altitude: it must not be read.
        {"length ends before the altitude", Fix, cutBeforeAltitude.size(), true, 4807.038f,
         0.8398054f, 1131.0f, 0.20100376f, 0},
        {"length ends inside the latitude", Fix, 18, false, -4807.0f, -0.83979428f, -0.0f, -0.0f, 0},
        // The zero byte ends the longitude; what follows it is taken as the next field.
        {"a zero byte ends its field", std::string("$GPGGA,1,4807.038,N,011\0" "31.000,E,1,08,0.9,9", 43),
         0, true, 4807.038f, 0.8398054f, -11.0f, -0.0031997703f, 0.9f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t length = c.length ? c.length : c.sentence.size();
        const GpsPosition g = ParseGpsSentence(c.sentence.data(), length);
        EXPECT_EQ(g.HasPosition, c.hasPosition);
        EXPECT_FLOAT_EQ(g.Latitude, c.latitude);
        EXPECT_FLOAT_EQ(g.LatitudeRad, c.latitudeRad);
        EXPECT_FLOAT_EQ(g.Longitude, c.longitude);
        EXPECT_FLOAT_EQ(g.LongitudeRad, c.longitudeRad);
        EXPECT_FLOAT_EQ(g.Altitude, c.altitude);
        EXPECT_LE(g.End, int32_t(length));
    }
    EXPECT_FALSE(ParseGpsSentence(nullptr, 0).HasPosition);
}

TEST(SounderSentence, DepthInFieldThree)
{
    const std::string dbt = "$SDDBT,8.1,f,2.47,M,1.35,F*0B\r\n";
    struct Case {
        const char* what;
        std::string sentence;
        std::size_t length;
        float depth;
    } const cases[] = {
        {"depth", dbt, dbt.size(), 2.47f},
        {"empty depth field", "$SDDBT,8.1,f,,M,1.35,F*0B", 25, 0},
        {"length ends before the depth", dbt, 13, 0},
        {"length ends inside the depth", dbt, 15, 2.0f},
        {"not a number", "$SDDBT,8.1,f,x2,M", 17, 0},
        {"too few fields", "$SDDBT,8.1", 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SounderReading r = ParseSounderSentence(c.sentence.data(), c.length);
        EXPECT_FLOAT_EQ(r.Depth, c.depth);
        EXPECT_LE(r.End, int32_t(c.length));
    }
}

TEST(SentenceText, StopsAtZeroAndLength)
{
    EXPECT_EQ(SentenceText("abc\0def", 7), "abc");
    EXPECT_EQ(SentenceText("abcdef", 4), "abcd");
    EXPECT_EQ(SentenceText(nullptr, 5), "");
}

TEST(GpsFix, ReferenceTripAndNewReference)
{
    SurveyTrack t;
    t.BeginSurvey();
    int32_t newRef = 1; // given before the first fix: dropped by it
    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.038", "01131.000"), newRef));
    EXPECT_EQ(newRef, 0);
    EXPECT_EQ(t.Trip, 0);
    EXPECT_FLOAT_EQ(t.ReferenceLatitudeRad, 0.8398054f);
    EXPECT_EQ(t.FixCount, 0);
    EXPECT_EQ(t.GpsSentence, fixAt("4807.038", "01131.000"));

    // 0.06 minutes north: 111.0 m from the rounded radians, rounded up.
    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.098", "01131.000"), newRef));
    EXPECT_EQ(t.Trip, 112);
    EXPECT_EQ(t.FixCount, 1);
    EXPECT_FLOAT_EQ(t.GpsAltitude, 12.5f);

    // A new reference closes the trip into the offset: the total goes on without a jump.
    newRef = 1;
    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.098", "01131.000"), newRef));
    EXPECT_EQ(newRef, 0);
    EXPECT_EQ(t.Trip, 0);
    EXPECT_EQ(t.TripOffset, 112);
    EXPECT_EQ(t.FixCount, 0);
    t.UpdateDistance(true, 2, 0, 0.5);
    EXPECT_EQ(t.TotalDistance, 112);
    // Back at the first place: 112 m from the new reference, 224 m travelled.
    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.038", "01131.000"), newRef));
    EXPECT_EQ(t.Trip, 112);
    EXPECT_EQ(t.TripOffset, 112);
    t.UpdateDistance(true, 3, 0, 0.6);
    EXPECT_EQ(t.TotalDistance, 224);
}

TEST(GpsFix, SimulationCountsFixes)
{
    SurveyTrack t;
    t.BeginSurvey();
    int32_t newRef = 0;
    std::vector<float> trips;
    for (int i = 0; i < 4; ++i) {
        t.BeginCycle();
        gps(t, fixAt("4807.038", "01131.000"), newRef, 1);
        trips.push_back(t.Trip);
    }
    EXPECT_EQ(trips, (std::vector<float>{0, 1, 2, 3}));
}

TEST(GpsFix, SentenceWithoutPositionIsNoFix)
{
    SurveyTrack t;
    t.BeginSurvey();
    int32_t newRef = 1;
    // Before the first fix: no reference, nothing counted, the request stays.
    t.BeginCycle();
    EXPECT_FALSE(gps(t, NoFix, newRef));
    EXPECT_EQ(t.ReferenceLatitudeRad, 0);
    EXPECT_EQ(t.ReferenceLongitudeRad, 0);
    EXPECT_EQ(t.FixCount, 0);
    EXPECT_EQ(newRef, 1);
    EXPECT_EQ(t.GpsSentence, NoFix); // kept for the text file all the same

    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.038", "01131.000"), newRef));
    t.BeginCycle();
    ASSERT_TRUE(gps(t, fixAt("4807.098", "01131.000"), newRef));
    EXPECT_EQ(t.FixCount, 1);

    // After it: no trip to 0 N 0 E, no count, a new request is not consumed.
    newRef = 1;
    t.BeginCycle();
    EXPECT_FALSE(gps(t, NoFix, newRef));
    EXPECT_EQ(t.Trip, 0);
    EXPECT_EQ(t.FixCount, 1);
    EXPECT_EQ(newRef, 1);
    EXPECT_FLOAT_EQ(t.ReferenceLatitudeRad, 0.8398054f);
    EXPECT_EQ(t.GpsLatitude, 0);
    EXPECT_EQ(t.GpsAltitude, 0);
    EXPECT_EQ(t.TripOffset, 0);
}

TEST(Depth, MissingDepthBridgedOnce)
{
    SurveyTrack t;
    t.BeginSurvey();
    const std::string good = "$SDDBT,,f,5.5,M,,F*00";
    const std::string zero = "$SDDBT,,f,0.0,M,,F*00";
    struct Step {
        const std::string& sentence;
        float depth;
        bool zeroDepth;
    } const steps[] = {
        {good, 5.0f, false}, {zero, 5.0f, true}, {zero, -0.5f, true}, {good, 5.0f, false}, {zero, 5.0f, true},
    };
    for (const Step& s : steps) {
        const DepthResult r = t.HandleSounderSentence(s.sentence.data(), s.sentence.size(), 0.5f);
        EXPECT_FLOAT_EQ(r.Depth, s.depth);
        EXPECT_EQ(r.ZeroDepth, s.zeroDepth);
        EXPECT_EQ(t.SounderSentence, s.sentence);
    }
}

namespace {

// Runs the distance and storage steps of a survey over the cycles' trips (metres, or the
// cycle index in the mode without sentences) and returns the indices of the stored cycles.
std::vector<int> storedCycles(const std::vector<float>& trips, bool addDistance, float minDistance,
                              float tripOffset = 0)
{
    SurveyTrack t;
    t.BeginSurvey();
    t.TripOffset = tripOffset;
    std::vector<int> stored;
    for (int i = 0; i < int(trips.size()); ++i) {
        t.BeginCycle();
        t.Trip = trips[i];
        t.UpdateDistance(addDistance, i, minDistance, 0.5 + i * 0.0001);
        if (t.ShouldStore(addDistance, minDistance)) {
            stored.push_back(i);
            t.MarkStored(true, 0);
        }
    }
    return stored;
}

} // namespace

TEST(StorageDecision, Table)
{
    const std::vector<float> index = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    struct Case {
        const char* what;
        std::vector<float> trips;
        bool add;
        float minDistance;
        float tripOffset;
        std::vector<int> stored;
    } const cases[] = {
        {"distance not added: every cycle", {0, 0, 50, 0.5f, 0}, false, 10, 0, {0, 1, 2, 3, 4}},
        {"no sentences, cycle index as trip, every fifth", index, true, 5, 0, {0, 5, 10}},
        {"sounder only: trip stays 0, only the first", {0, 0, 0, 0}, true, 2, 0, {0}},
        {"minimum 0: every cycle", {0, 0, 0, 1}, true, 0, 0, {0, 1, 2, 3}},
        {"exactly the minimum is enough", {0, 3, 5.9f, 6, 9}, true, 3, 0, {0, 1, 3, 4}},
        {"moving back counts as well", {10, 5, 4, 1}, true, 4, 0, {0, 1, 3}},
        // A GPS timeout leaves Trip 0: the total falls back to the offset.
        {"timeout away from the reference", {40, 0, 45}, true, 30, 100, {0, 1, 2}},
        {"first cycle with an odd minimum", {7}, true, 0.3f, 0, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(storedCycles(c.trips, c.add, c.minDistance, c.tripOffset), c.stored);
    }
}

TEST(StorageDecision, StoredCycleDepth)
{
    SurveyTrack t;
    t.BeginSurvey();
    t.GpsAltitude = 12.5f;
    t.TotalDistance = 30;
    EXPECT_EQ(t.MarkStored(true, 4.0f), 4.0f);
    EXPECT_EQ(t.LastStoredDistance, 30);
    EXPECT_EQ(t.MarkStored(false, 4.0f), 12.5f);
}

TEST(Speed, DistanceAndTimeOverTheSameInterval)
{
    const double s = 1.0 / 86400; // one second in days
    SurveyTrack t;
    t.BeginSurvey();
    struct Step {
        float trip;
        double time;
        std::optional<double> speed;
    } const steps[] = {
        {0, 0.5, std::nullopt},            // first cycle: no speed
        {100, 0.5 + 36 * s, 10.0},         // 100 m in 36 s
        {200, 0.5 + 72 * s, 10.0},         // not stored (minimum 1000): still the last 100 m
        {200, 0.5 + 72 * s + 1e-7, std::nullopt}, // below the threshold
        {250, 0.5 + 90 * s, 0.05 / ((18 * s - 1e-7) * 24)}, // 50 m since the previous cycle
        {250, 0.0001, std::nullopt},       // past midnight: no speed, the clock restarts
        {350, 0.0001 + 72 * s, 5.0},
    };
    int i = 0;
    for (const Step& st : steps) {
        SCOPED_TRACE(i);
        t.BeginCycle();
        t.Trip = st.trip;
        const auto speed = t.UpdateDistance(true, i++, 1000, st.time);
        ASSERT_EQ(speed.has_value(), st.speed.has_value());
        if (speed) {
            EXPECT_NEAR(*speed, *st.speed, 1e-6);
        }
        if (t.ShouldStore(true, 1000))
            t.MarkStored(true, 0);
    }
}

namespace {

// One cycle of a track: the trip of a cycle with a position, or a cycle without one.
constexpr std::optional<float> Gap = std::nullopt;

} // namespace

// A boat at 1 m a second (3.6 km/h) whose GPS gives no position now and then: a cycle without
// a position shows no speed (the box keeps the last one), and the next fix takes its speed
// over the whole gap, from the last cycle that had a position, not from the offset that the
// gap's total falls back to. The stored totals stay as they were: the offset during a gap.
TEST(Speed, GpsGapsGiveTheBoatsSpeed)
{
    const double s = 1.0 / 86400; // one second in days
    const std::optional<double> none;
    struct Case {
        const char* what;
        std::vector<std::optional<float>> trips; // one a second
        std::vector<std::optional<double>> speeds;
        float tripOffset = 0;
        bool noFixSentence = false; // the gaps are sentences without a position, not timeouts
        bool addDistance = true;
    } const cases[] = {
        {"steady", {0, 1, 2, 3, 4}, {none, 3.6, 3.6, 3.6, 3.6}},
        {"a gap of one cycle", {0, 1, 2, Gap, 4, 5}, {none, 3.6, 3.6, none, 3.6, 3.6}},
        {"a gap of three cycles", {0, 1, Gap, Gap, Gap, 5, 6}, {none, 3.6, none, none, none, 3.6, 3.6}},
        // No position before the first fix: nothing to take a speed from until the second.
        {"a gap at the first cycle", {Gap, 0, 1, 2}, {none, none, 3.6, 3.6}},
        {"a gap at the first cycles", {Gap, Gap, 0, 1}, {none, none, none, 3.6}},
        {"a gap away from the offset", {0, 1, Gap, 3}, {none, 3.6, none, 3.6}, 100},
        // Over the span since the first cycle: 6 m in 3 s.
        {"faster over the gap", {0, 1, Gap, 6}, {none, 3.6, none, 7.2}},
        {"a receiver without a fix", {0, 1, Gap, Gap, 4}, {none, 3.6, none, none, 3.6}, 0, true},
        // Distance not added: the total is 0 and so is the speed, except in a gap.
        {"distance not added", {0, 1, Gap, 3}, {none, 0.0, none, 0.0}, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.trips.size(), c.speeds.size());
        SurveyTrack t;
        t.BeginSurvey();
        t.TripOffset = c.tripOffset;
        int32_t newRef = 0;
        for (int i = 0; i < int(c.trips.size()); ++i) {
            SCOPED_TRACE(i);
            t.BeginCycle();
            if (c.trips[i]) {
                t.Trip = *c.trips[i];
            } else if (c.noFixSentence) {
                gps(t, NoFix, newRef);
            } else {
                t.HandleGpsTimeout();
            }
            const auto speed = t.UpdateDistance(c.addDistance, i, 0, 0.5 + i * s);
            EXPECT_EQ(t.Trip, c.trips[i].value_or(0));
            EXPECT_EQ(t.TotalDistance, c.addDistance ? c.trips[i].value_or(0) + c.tripOffset : 0);
            EXPECT_EQ(speed.has_value(), c.speeds[i].has_value()) << speed.value_or(-1);
            if (speed && c.speeds[i]) {
                EXPECT_NEAR(*speed, *c.speeds[i], 1e-6);
            }
            if (t.ShouldStore(c.addDistance, 0))
                t.MarkStored(true, 0);
        }
    }
}

// The trip moves in whole metres: a boat at 1 m a second goes 0, 1 or 2 m from one cycle to the
// next. Its speed is taken over ten seconds, so that once they have passed it reads the boat's
// within a tenth, not 0 or 7.2 km/h; after midnight the span starts again.
TEST(Speed, WholeMetreTripsGiveASteadySpeed)
{
    const double s = 1.0 / 86400;
    const float trips[] = {0, 1, 1, 3, 4, 4, 6, 7, 7, 9, 10, 10, 12, 13, 13, 15, 16, 16, 18, 19, 19, 21};
    SurveyTrack t;
    t.BeginSurvey();
    for (int i = 0; i < int(std::size(trips)); ++i) {
        SCOPED_TRACE(i);
        t.BeginCycle();
        t.Trip = trips[i];
        const auto speed = t.UpdateDistance(true, i, 0, 0.5 + i * s);
        ASSERT_EQ(speed.has_value(), i > 0);
        if (i >= 10) {
            EXPECT_NEAR(*speed, 3.6, 0.36);
        }
    }
    // Past midnight the time of day starts again: no speed from before it, then the new span.
    t.BeginCycle();
    t.Trip = 22;
    EXPECT_FALSE(t.UpdateDistance(true, 30, 0, 0.5 * s).has_value());
    t.BeginCycle();
    t.Trip = 23;
    const auto after = t.UpdateDistance(true, 31, 0, 1.5 * s);
    ASSERT_TRUE(after.has_value());
    EXPECT_NEAR(*after, 3.6, 1e-6);
}

TEST(OffTime, NoOverflow)
{
    const std::pair<int32_t, int64_t> cases[] = {
        {-5, 0}, {0, 0}, {1, 0}, {2, 1000}, {10, 9000}, {2147483647, 2147483646000LL},
    };
    for (const auto& [delay, ms] : cases)
        EXPECT_EQ(OffTimeMs(delay), ms) << delay;
    EXPECT_DOUBLE_EQ(TimeOfDayFraction(43200000), 0.5);
}
