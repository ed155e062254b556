#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

// Position, distance and storage rule of a survey, kept apart from the window so that it can be
// checked on its own. The window holds one SurveyTrack per survey and calls, in the loop:
//   programming of the instrument      Track.BeginSurvey()  (clears the reference fix as well)
//   cycle head                         Track.BeginCycle(); SounderDepth = 0
//   mode without sentences (0x55)      Track.Trip = float(CycleIndex)
//   GPS sentence of 1..80 bytes        Track.HandleGpsSentence(buffer, L, NewRefRequested,
//                                      SimulationMode)  (also keeps the sentence's text)
//   GPS timeout                        Track.HandleGpsTimeout()
//   sounder sentence of 1..80 bytes    d = Track.HandleSounderSentence(buffer, L, DepthOffset);
//                                      SounderDepth = d.Depth
//   distance and speed (step 8)        speed = Track.UpdateDistance(AddDistanceChk checked,
//                                      CycleIndex, MinDistance, TimeOfDay(now))
//   storage decision (step 11)         Track.ShouldStore(AddDistanceChk checked, MinDistance)
//   stored cycle (step 12)             SounderDepth = Track.MarkStored(SounderCB checked,
//                                      SounderDepth)
//   off time (step 16)                 OffTimeMs(DelayTime), slept when above 0 (in steps of at
//                                      most INT_MAX ms: Sleep takes an int)
namespace Acquisition {

// Longest sentence the instrument relays; a length word outside 1..80 is a timeout.
inline constexpr int32_t MaxSentenceLength = 80;

// A GPS fix sentence as read from its received bytes. Latitude and longitude are signed
// degrees and minutes (ddmm.mmmm, dddmm.mmmm; positive north and east), the radians derived
// from them, the altitude in metres.
struct GpsPosition {
    float Latitude = 0;
    float Longitude = 0;
    float LatitudeRad = 0;
    float LongitudeRad = 0;
    float Altitude = 0;
    // Both the latitude and the longitude field held a number. A receiver without a fix sends
    // the sentence with these fields empty; such a sentence is no position.
    bool HasPosition = false;
    // Offset just past the altitude field (bounded by the length).
    int32_t End = 0;
};

// Reads a comma-separated GPS fix sentence: latitude in field 2, "N" in field 3 (anything else
// is south), longitude 2 bytes after the start of field 3, "E" in the next field (anything
// else is west), altitude four fields further. Only the first `length` bytes are read, a zero
// byte among them ends the field it is in; missing or non-numeric fields give 0.
GpsPosition ParseGpsSentence(const char* bytes, std::size_t length);

// Depth in field 3 of a sounder sentence (0 when missing or not a number), same reading rules.
struct SounderReading {
    float Depth = 0;
    int32_t End = 0; // offset just past the depth field
};
SounderReading ParseSounderSentence(const char* bytes, std::size_t length);

// Signed ddmm.mmmm to radians, each step rounded to a 32-bit float.
float DegreesMinutesToRadians(float ddmm);

// The text of a received sentence as the files keep it: its bytes up to the first zero byte,
// never beyond `length`.
std::string SentenceText(const char* bytes, std::size_t length);

// The sounder sentence's depth handling: the depth after bridging and the depth offset, and
// whether the sentence gave 0 (the window's depth colour cue).
struct DepthResult {
    float Depth = 0;
    bool ZeroDepth = false;
};

// Off time after a cycle in ms: DelayTime x 1000 - 1000 when DelayTime is above 1, else 0.
// 64-bit, so that no setup value overflows.
int64_t OffTimeMs(int32_t delayTime);

// Time of day as a fraction of a day (0 <= t < 1) from milliseconds since midnight.
double TimeOfDayFraction(int64_t msecsSinceMidnight);

// The span the speed is taken over, in days: the trip moves in whole metres, so that the
// speed of one cycle swings between 0 and twice the boat's; ten seconds even it out.
inline constexpr double SpeedSpanDays = 10.0 / 86400;

// Values of one survey (and of the current cycle) that the distance and storage rule keep.
struct SurveyTrack {
    // Reference fix in radians; both exactly 0 means there is none.
    float ReferenceLatitudeRad = 0;
    float ReferenceLongitudeRad = 0;
    // Survey values.
    float TripOffset = 0;           // sum of the trips closed by "&New ref."
    float TotalDistance = 0;        // distance added to the electrode positions (m)
    float LastStoredDistance = 0;   // TotalDistance of the last stored cycle
    int32_t FixCount = 0;           // GPS fixes since the reference was set
    // The recent cycles that had a position (every cycle when the GPS is not used), oldest
    // first: their time of day as a fraction of a day and their TotalDistance. The speed is
    // taken from the newest of them at least SpeedSpanDays old, or the oldest.
    struct PositionAt {
        double Time;
        float Distance;
    };
    std::deque<PositionAt> RecentPositions;
    float LastGoodDepth = 0;        // last depth parsed as nonzero
    bool FirstCycle = false;        // the current cycle is the survey's first
    // Cycle values, cleared by BeginCycle.
    float Trip = 0;                 // m from the reference (or fix count, or cycle index)
    bool NoPosition = false;        // the GPS is used and gave no position this cycle
    float GpsLatitude = 0;
    float GpsLongitude = 0;
    float GpsLatitudeRad = 0;
    float GpsLongitudeRad = 0;
    float GpsAltitude = 0;
    std::string GpsSentence;
    std::string SounderSentence;

    // Everything back to the start of a survey: no reference, no distance, no depth.
    void BeginSurvey();
    // Clears the cycle's fix, trip and sentences.
    void BeginCycle();

    // A GPS sentence that did not come: Trip 0 for the cycle, and the cycle has no position.
    void HandleGpsTimeout();

    // Parses a GPS sentence of `length` bytes, keeps it, and runs the fix handling: the first
    // fix becomes the reference, the trip is the haversine distance from the reference rounded
    // up to whole metres (the fix count in simulation mode), and a pending new-reference
    // request closes the trip into TripOffset. A sentence without a position is kept as text
    // but is no fix: no reference, no count, the request stays pending, Trip stays 0, and the
    // cycle has no position.
    // Returns whether the sentence was a fix.
    bool HandleGpsSentence(const char* bytes, std::size_t length, int32_t& newRefRequested,
                           int32_t simulationMode);

    // Parses and keeps a sounder sentence; a depth of 0 is bridged once by the last good one;
    // the depth offset is subtracted.
    DepthResult HandleSounderSentence(const char* bytes, std::size_t length, float depthOffset);

    // Distance and speed of a cycle: TotalDistance = Trip + TripOffset when the distance is
    // added to the spacings, else 0. The first cycle (index 0) primes the storage rule and the
    // clock and gives no speed; a later one gives the speed in km/h over the interval since
    // the last cycle that had a position (distance and time both), when that interval is above
    // 0.000001 day. A cycle without a position gives no speed and leaves that starting point.
    std::optional<double> UpdateDistance(bool addDistance, int32_t cycleIndex, float minDistance,
                                         double timeOfDay);

    // Storage decision: false only when the distance is added and the boat has not moved at
    // least minDistance since the last stored cycle. The survey's first cycle is always stored.
    bool ShouldStore(bool addDistance, float minDistance) const;

    // A stored cycle: remembers its distance, and returns the depth value to store: the
    // sounder depth when the sounder is used, else the GPS altitude.
    float MarkStored(bool sounderChecked, float sounderDepth);
};

} // namespace Acquisition
