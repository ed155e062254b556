#pragma once
// The instrument's transmitter as the ground loads it: below its saturation voltage the
// injected current grows in proportion to the programmed voltage; above it the current stays
// where it was (the transmitter gives no more). The potentials the ground answers with follow
// the current, so a reading measured at one current is rescaled to the injected one.

namespace Instrument {

struct TCycleReadings;

struct TTransmitter {
    double MilliampsPerVolt = 1.0;  // the load: current per volt below saturation
    double SaturationVolts = 100.0; // above it the current grows no more

    // Injected current (mA) at a programmed voltage (V); 0 for a voltage of 0 or less.
    double Current(double volts) const;
    // Sets both pulses' currents of both cable sets to the injected current at volts and
    // scales each set's potentials with it; a set read without current keeps its potentials.
    void Drive(double volts, TCycleReadings& readings) const;
};

} // namespace Instrument
