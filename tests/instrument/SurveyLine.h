#pragma once
// What the test instrument measures on a survey line: a boat going north along a straight line
// at a steady pace, over water whose depth changes along the line, towing the cable over a
// layered ground (water over sediment whose resistivity changes along the line). Everything
// follows from the cycle number, so tests can compute what they expect.
#include "InstrumentCodec.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace Instrument {

struct TCycleReadings;

// Metres the boat moves between two cycles (at one cycle a second: 3.6 km/h).
inline constexpr double LineStepMetres = 1.0;

// Distance along the line at a cycle, m.
double LineDistance(int cycle);
// Water depth under the boat at a cycle, m.
double LineDepth(int cycle);
// Apparent resistivity that channel `channel` (0..19) sees at a cycle, Ohm.m.
double LineApparentResistivity(int channel, int cycle);

// GGA fix sentence with checksum and CR LF; the time advances a second a cycle.
QByteArray LineGpsSentence(int cycle);
// DBT depth sentence (feet, metres in field 3, fathoms) with checksum and CR LF.
QByteArray LineSounderSentence(int cycle);
// Potentials, currents and IP values of both cable sets, `channels` values per set.
TCycleReadings LineReadings(uint32_t channels, int cycle);

} // namespace Instrument
