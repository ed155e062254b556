#include "SurveyTrack.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace Acquisition {

namespace {

float single(double v) { return RoundToFloat32(v); }

constexpr double EarthRadius = 6378137.0;

// A received sentence seen as fields: every comma (and any zero byte) ends a field, and
// nothing at or past `length` is ever read.
class FieldWalk {
public:
    FieldWalk(const char* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

    bool endsField(std::size_t p) const { return p >= length_ || bytes_[p] == ',' || bytes_[p] == '\0'; }

    // To the next terminator (or the end of the bytes) and one past it.
    std::size_t skip(std::size_t p) const
    {
        while (!endsField(p))
            ++p;
        return p + 1;
    }

    char first(std::size_t p) const { return endsField(p) ? '\0' : bytes_[p]; }

    // The field from p read as a decimal number with a point; leading blanks are skipped.
    // A field that does not start with a finite number leaves `value` as it is.
    bool read(std::size_t p, float& value) const
    {
        std::size_t end = p;
        while (!endsField(end))
            ++end;
        if (p >= end)
            return false;
        const char* s = bytes_ + p;
        const char* e = bytes_ + end;
        while (s < e && (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\v' || *s == '\f' || *s == '\r'))
            ++s;
        bool negative = false;
        if (s < e && (*s == '+' || *s == '-')) {
            negative = *s == '-';
            ++s;
        }
        // Digits or a point must follow: no second sign, no "inf" or "nan".
        if (s >= e || !((*s >= '0' && *s <= '9') || *s == '.'))
            return false;
        float v = 0;
        const auto [ptr, ec] = std::from_chars(s, e, v, std::chars_format::general);
        if (ec != std::errc() || ptr == s || !std::isfinite(v))
            return false;
        value = negative ? -v : v;
        return true;
    }

private:
    const char* bytes_;
    std::size_t length_;
};

int32_t boundedOffset(std::size_t p, std::size_t length)
{
    return static_cast<int32_t>(std::min<std::size_t>(p, std::min<std::size_t>(length, INT32_MAX)));
}

// Haversine distance in metres between two points given in radians, in double from the
// floats; the argument is kept in [0, 1] so that rounding never gives a root of a negative.
double haversine(float lat1, float lon1, float lat2, float lon2)
{
    const double dLat = (double(lat2) - double(lat1)) * 0.5;
    const double dLon = (double(lon2) - double(lon1)) * 0.5;
    const double sLat = std::sin(dLat);
    const double sLon = std::sin(dLon);
    double a = sLat * sLat + std::cos(double(lat2)) * std::cos(double(lat1)) * sLon * sLon;
    a = std::clamp(a, 0.0, 1.0);
    const double c = 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a));
    return EarthRadius * c;
}

} // namespace

float DegreesMinutesToRadians(float ddmm)
{
    const float t = single(ddmm * 0.01);
    const float d = single(std::trunc(double(t)));
    float m = single(double(t) - d);
    m = single(m * 1.6666666666666667);
    return single((double(d) + m) * 3.141592653589793 * 0.005555555555555556);
}

GpsPosition ParseGpsSentence(const char* bytes, std::size_t length)
{
    GpsPosition g;
    if (!bytes)
        length = 0;
    const FieldWalk f(bytes, length);
    // The first byte belongs to field 0 whatever it is.
    std::size_t p = f.skip(1);          // field 1
    p = f.skip(p);                      // field 2
    const bool hasLatitude = f.read(p, g.Latitude);
    const std::size_t field3 = f.skip(p);
    g.Latitude = single(g.Latitude * (f.first(field3) == 'N' ? 1.0 : -1.0));
    g.LatitudeRad = DegreesMinutesToRadians(g.Latitude);
    // Field 3 is taken to hold one letter: the longitude starts two bytes after it.
    p = field3 + 2;
    const bool hasLongitude = f.read(p, g.Longitude);
    const std::size_t field5 = f.skip(p);
    g.Longitude = single(g.Longitude * (f.first(field5) == 'E' ? 1.0 : -1.0));
    g.LongitudeRad = DegreesMinutesToRadians(g.Longitude);
    p = field5;
    for (int i = 0; i < 4; ++i)
        p = f.skip(p);
    f.read(p, g.Altitude);
    g.End = boundedOffset(f.skip(p), length);
    g.HasPosition = hasLatitude && hasLongitude;
    return g;
}

SounderReading ParseSounderSentence(const char* bytes, std::size_t length)
{
    SounderReading s;
    if (!bytes)
        length = 0;
    const FieldWalk f(bytes, length);
    std::size_t p = f.skip(1);  // field 1
    p = f.skip(p);              // field 2
    p = f.skip(p);              // field 3
    f.read(p, s.Depth);
    s.End = boundedOffset(f.skip(p), length);
    return s;
}

std::string SentenceText(const char* bytes, std::size_t length)
{
    if (!bytes)
        return {};
    const char* end = std::find(bytes, bytes + length, '\0');
    return std::string(bytes, end);
}

int64_t OffTimeMs(int32_t delayTime)
{
    return delayTime > 1 ? int64_t(delayTime) * 1000 - 1000 : 0;
}

double TimeOfDayFraction(int64_t msecsSinceMidnight)
{
    return double(msecsSinceMidnight) / 86400000.0;
}

void SurveyTrack::BeginSurvey() { *this = SurveyTrack{}; }

void SurveyTrack::BeginCycle()
{
    Trip = 0;
    NoPosition = false;
    GpsLatitude = GpsLongitude = GpsLatitudeRad = GpsLongitudeRad = GpsAltitude = 0;
    GpsSentence.clear();
    SounderSentence.clear();
}

void SurveyTrack::HandleGpsTimeout()
{
    Trip = 0;
    NoPosition = true;
}

bool SurveyTrack::HandleGpsSentence(const char* bytes, std::size_t length, int32_t& newRefRequested,
                                    int32_t simulationMode)
{
    GpsSentence = SentenceText(bytes, length);
    const GpsPosition g = ParseGpsSentence(bytes, length);
    // A receiver without a fix: no position, so no reference, no count and no trip to 0 N 0 E.
    NoPosition = !g.HasPosition;
    if (!g.HasPosition)
        return false;
    GpsLatitude = g.Latitude;
    GpsLongitude = g.Longitude;
    GpsLatitudeRad = g.LatitudeRad;
    GpsLongitudeRad = g.LongitudeRad;
    GpsAltitude = g.Altitude;

    FixCount += 1;
    if (ReferenceLatitudeRad == 0 && ReferenceLongitudeRad == 0) {
        newRefRequested = 0;
        ReferenceLatitudeRad = GpsLatitudeRad;
        ReferenceLongitudeRad = GpsLongitudeRad;
        TripOffset = 0;
        FixCount = 0;
    }
    Trip = std::ceil(single(haversine(ReferenceLatitudeRad, ReferenceLongitudeRad, GpsLatitudeRad,
                                      GpsLongitudeRad)));
    if (simulationMode != 0)
        Trip = float(FixCount);
    if (newRefRequested == 1) {
        newRefRequested = 0;
        ReferenceLatitudeRad = GpsLatitudeRad;
        ReferenceLongitudeRad = GpsLongitudeRad;
        TripOffset = single(double(TripOffset) + Trip);
        Trip = 0;
        FixCount = 0;
    }
    return true;
}

DepthResult SurveyTrack::HandleSounderSentence(const char* bytes, std::size_t length, float depthOffset)
{
    SounderSentence = SentenceText(bytes, length);
    DepthResult r;
    float depth = ParseSounderSentence(bytes, length).Depth;
    if (depth == 0) {
        // A missing depth is bridged once by the last good one.
        r.ZeroDepth = true;
        depth = LastGoodDepth;
        LastGoodDepth = 0;
    } else {
        LastGoodDepth = depth;
    }
    r.Depth = single(double(depth) - depthOffset);
    return r;
}

std::optional<double> SurveyTrack::UpdateDistance(bool addDistance, int32_t cycleIndex, float minDistance,
                                                  double timeOfDay)
{
    TotalDistance = addDistance ? single(double(Trip) + TripOffset) : 0.0f;
    std::optional<double> speed;
    if (cycleIndex == 0) {
        FirstCycle = true;
        LastStoredDistance = single(double(TotalDistance) - minDistance);
    } else {
        FirstCycle = false;
    }
    // Without a position the cycle's total is only the offset, not where the boat is: a speed
    // taken over it would be the jump to the offset and back. No speed, so the box keeps the
    // last one measured, as the boat goes on at about that speed; "0" would tell the crew that
    // the boat had stopped. A timeout says for itself that the position is missing.
    if (NoPosition)
        return speed;
    // Distance and time over the same interval, from a cycle with a position, so that the first
    // fix after a gap gives the speed over the whole gap. A clock that went back (midnight)
    // starts the span again.
    std::deque<PositionAt>& recent = RecentPositions;
    if (FirstCycle || (!recent.empty() && timeOfDay < recent.back().Time))
        recent.clear();
    while (recent.size() >= 2 && timeOfDay - recent[1].Time >= SpeedSpanDays)
        recent.pop_front();
    // A cycle too soon after the last one gives no new speed, as the threshold says.
    if (!recent.empty() && timeOfDay - recent.back().Time > 0.000001) {
        const double dt = timeOfDay - recent.front().Time;
        speed = std::fabs(double(TotalDistance) - recent.front().Distance) * 0.001 / (dt * 24);
    }
    recent.push_back({timeOfDay, TotalDistance});
    return speed;
}

bool SurveyTrack::ShouldStore(bool addDistance, float minDistance) const
{
    // The first cycle is stored whatever the float rounding of its primed distance gives.
    if (FirstCycle)
        return true;
    return !(addDistance && !(std::fabs(double(TotalDistance) - LastStoredDistance) >= minDistance));
}

float SurveyTrack::MarkStored(bool sounderChecked, float sounderDepth)
{
    LastStoredDistance = TotalDistance;
    return sounderChecked ? sounderDepth : GpsAltitude;
}

} // namespace Acquisition
