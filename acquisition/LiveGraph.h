#pragma once
#include "acquisition/Geometry.h"
#include "graph/engine/GraphEngine.h"

#include <QString>
#include <array>
#include <cstdint>

// The arithmetic behind the live pseudo-section, the profile and the value displays, kept apart
// from the window so that it can be checked on its own. The window calls, in a survey:
//   graph set-up        Survey.GraphPoints = LimitGraphPoints(setup value); ResetExtremes(...)
//   cycle 0 display     unit = ChooseRhoUnit(Workspace, GeometricFactors[0])
//   every cycle         CurrentText(...), DipoleValueTexts(...)
//   each stored channel g = GraphValueOf(record); g = TrackGraphValue(g, ...);
//                       GraphPositionOf(...); ShiftedZ(...) for every older column
//   after the channels  line = RoundZRange(...); BuildColourScale(SMin, SMax)
namespace Acquisition {

inline constexpr int GraphChannels = 20;

// Columns of the pseudo-section and points of the profile. The setup file's value is written
// back as read; in memory it is bounded so that the graphs never address a negative column and
// every channel's row fits in what the graph engine holds.
inline constexpr int32_t DefaultGraphPoints = 100;
inline constexpr int32_t MaxGraphPoints = int32_t(GraphEngineMaxDataCells / GraphChannels);
int32_t LimitGraphPoints(int32_t setupValue);

// The running extremes start outside every value a graph can hold.
inline constexpr float RhoMaxStart = -9999999.0f;
inline constexpr float RhoMinStart = 9999999.0f;

// Unit of the pseudo-section, chosen on the first cycle from channel 1's apparent resistivity:
// below 50 Ohm.m (or not a number) the section is drawn in Ohm.cm so that low values still
// spread over the colour scale. Without current there is nothing to judge by: Ohm.m.
struct PseudoSectionUnit {
    float Factor = 1;
    QString Title;
};
inline constexpr float OhmMetre = 1;
PseudoSectionUnit OhmMetreUnit();
PseudoSectionUnit ChooseRhoUnit(const WorkspaceArray& w, float k0);

// Graph values are kept within +-999999; a value that is not a number becomes -999999.
inline constexpr float GraphValueLimit = 999999.0f;
float LimitGraphValue(double g);

// A stored channel's graph value: its resistivity in the section's unit, 0 without current.
float GraphValueOf(float rho, float in, float unitFactor);

// The colour range the user chose through the graph-scale dialog.
struct ScaleSettings {
    int32_t AutoScale = 1;   // nonzero: automatic
    float ScaleMin = 0;
    float ScaleMax = 0;
};

// Carries a new graph value into the running extremes and, under a manual range, clamps the
// value and the extremes into it. Returns the value to draw.
float TrackGraphValue(float g, float& rhoMax, float& rhoMin, const ScaleSettings& s);

// A value already in the section, as it shifts one column left: under a manual range it is
// brought just inside the range.
float ShiftedZ(float z, const ScaleSettings& s);

// Horizontal position of a channel's new column: its measurement point plus the distance
// travelled, or plus the cycle number (one metre a cycle) when the distance is not added.
float GraphPositionOf(bool addDistance, float totalDistance, int32_t cycleIndex, float x);

// After the channels of a stored cycle: rounds the extremes outward to whole units (they stay
// rounded for the next cycle), mends a range inverted by more than 50, and returns the width
// of a contour band, at least 1.
double RoundZRange(float& rhoMax, float& rhoMin);

// The 51 colours of the pseudo-section from the two track bars: dark blue below SMin, then
// blue, cyan, green, yellow and red at SMax, darkening above. Bars that cross are pulled apart
// first (SMin two below SMax, SMax two higher), within the bars' ranges.
inline constexpr int ColourScaleEntries = 51;
inline constexpr int SMinLowest = 0, SMinHighest = 48, SMaxLowest = 2, SMaxHighest = 50;
struct ColourScale {
    int SMin = 0;
    int SMax = 0;
    std::array<int32_t, ColourScaleEntries> Colours{}; // 0x00BBGGRR
};
ColourScale BuildColourScale(int sMin, int sMax);

// The injected current of the first cable set, as InLblx shows it.
QString CurrentText(const WorkspaceArray& w, int32_t modelTagFound);

// The twenty dipole value texts: apparent resistivity in Ohm.m (displayRho nonzero) or the
// dipole voltage in mV, for every channel whatever the channel count.
std::array<QString, GraphChannels> DipoleValueTexts(const WorkspaceArray& w,
                                                    const std::array<float, GraphChannels>& k,
                                                    int32_t displayRho);

// Which dipole value labels a survey shows. Visible[i] is for channel i + 1; channel 1 always
// shows. Channels 11 to 20 need the switch unit and more than 10 channels.
struct DipoleLayout {
    std::array<bool, GraphChannels> Visible{};
    bool SecondSetShown = false;
};
DipoleLayout DipoleLayoutOf(int32_t channelCount, int16_t switchEnabled);

} // namespace Acquisition
