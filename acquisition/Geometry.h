#pragma once
#include <array>
#include <optional>

// Electrode geometry of the survey channels and the arithmetic that turns raw readings into
// values. Everything here works on the window's workspace array and nothing else, so it can be
// checked without a window. Arithmetic runs in double and is rounded to float where a value is
// kept, as the stored files expect 32-bit values.
namespace Acquisition {

using WorkspaceArray = std::array<float, 310>;

inline constexpr int GeometryChannels = 20;

// Workspace positions of the electrode coordinates and of the six distance rows.
namespace Ws {
inline constexpr int Set1X = 124;    // A, B, P1..P11
inline constexpr int Set1Y = 144;
inline constexpr int Set2X = 157;    // A, B, P11, P12..P21
inline constexpr int Set2Y = 177;
inline constexpr int AM = 190;
inline constexpr int AN = 210;
inline constexpr int AB = 230;
inline constexpr int BM = 250;
inline constexpr int BN = 270;
inline constexpr int MN = 290;
} // namespace Ws

// The four electrodes of one channel: A and B of its cable set, M and N its two neighbouring
// potential electrodes.
struct ArrayElectrodes {
    float xA = 0, xB = 0, xM = 0, xN = 0;
    float yA = 0, yB = 0, yM = 0, yN = 0;
};

struct ChannelDistances {
    float AM = 0, AN = 0, AB = 0, BM = 0, BN = 0, MN = 0;
};

enum class CableSet { First, Second };

// Channel index 0..19; anything else throws std::out_of_range.
ArrayElectrodes ChannelElectrodes(const WorkspaceArray& w, int index);
ChannelDistances ElectrodeDistances(const ArrayElectrodes& e);
ChannelDistances ReadDistances(const WorkspaceArray& w, int index);

// Fills the six distance rows of indices 0..9 (first set) or 10..19 (second set).
void ComputeDistances(WorkspaceArray& w, CableSet set);

// 2*pi / (1/AM - 1/AN - 1/BM + 1/BN), distances of 0.01 m or less counting as no term;
// 1.0 for a degenerate array. The sign is kept.
double GeometricFactorOf(const ChannelDistances& d);

// Along-line position of the measurement point: halfway between the middles of AB and MN.
double MeasurePointOf(const ArrayElectrodes& e);

// Half the difference between the two outer gaps of the sorted x positions; 0 when an
// electrode is placed far away (|x| >= 99998).
double AsymmetryOf(const ArrayElectrodes& e);

// Pseudo-depth in metres, positive downwards. Empty when the data are bad (a distance or the
// asymmetry is not a number, or the result is not finite).
std::optional<float> PseudoDepthOf(const ChannelDistances& d, double asymmetry);

// The values of one channel of a stored cycle.
struct ChannelMeasurement {
    float Sp = 0;   // mV
    float Vp = 0;   // mV
    float In = 0;   // mA
    float Rho = 0;  // Ohm.m
    float M = 0;    // mV/V
};

// Channel q (0..19) from the raw readings; k is the channel's geometric factor.
ChannelMeasurement MeasureChannel(const WorkspaceArray& w, int q, float k, bool ipMeasured);

// Clears the 22 raw readings of a cable set whose current |I+ - I-| / 2 is not at least
// 0.001 mA (set 1: 0..21, set 2: 42..63); the IP readings stay.
void ClearSetsWithoutCurrent(WorkspaceArray& w);

} // namespace Acquisition
