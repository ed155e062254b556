#include "Transmitter.h"

#include "TestInstrument.h"

#include <algorithm>

namespace Instrument {

double TTransmitter::Current(double volts) const
{
    return MilliampsPerVolt * std::clamp(volts, 0.0, SaturationVolts);
}

void TTransmitter::Drive(double volts, TCycleReadings& r) const
{
    const double injected = Current(volts);
    for (int set = 0; set < 2; ++set) {
        const double before = (double(r.PlusI[set]) - double(r.MinusI[set])) / 2;
        if (before != 0) {
            const double scale = injected / before;
            for (auto* values : {&r.PlusV[set], &r.MinusV[set]})
                for (float& v : *values)
                    v = static_cast<float>(v * scale);
        }
        r.PlusI[set] = static_cast<float>(injected);
        r.MinusI[set] = static_cast<float>(-injected);
    }
}

} // namespace Instrument
