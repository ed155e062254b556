#include "SurveyLine.h"

#include "TestInstrument.h"

#include <cmath>

namespace Instrument {

namespace {

constexpr double Pi = 3.141592653589793;
constexpr double StartLatitudeMinutes = 48 * 60 + 7.038; // 48 deg 07.038 min N
constexpr double LongitudeField = 1131.0;                // 011 deg 31.000 min E
constexpr double MetresPerMinuteOfLatitude = 1852.0;
constexpr double WaterResistivity = 25.0;

// The cable as the default setup lays it: A at 0 m, B at 2 m, potential electrodes every 2 m
// from 4 m (the second set continues from P11).
double geometricFactor(int channel)
{
    const double a = 0, b = 2, m = 4 + 2.0 * channel, n = m + 2;
    const double g = 1 / (m - a) - 1 / (n - a) - 1 / (m - b) + 1 / (n - b);
    return 2 * Pi / g;
}

// Depth of investigation of a channel, m.
double investigationDepth(int channel) { return 1.0 + 0.9 * channel; }

double sedimentResistivity(double x) { return 70.0 + 45.0 * std::sin(x / 35.0) + 15.0 * std::sin(x / 11.0); }

QByteArray fixed(double v, int decimals) { return QByteArray::number(v, 'f', decimals); }

} // namespace

double LineDistance(int cycle) { return LineStepMetres * cycle; }

double LineDepth(int cycle)
{
    const double x = LineDistance(cycle);
    return 6.0 + 3.5 * std::sin(x / 40.0) + 0.5 * std::sin(x / 7.0);
}

double LineApparentResistivity(int channel, int cycle)
{
    // Water over sediment: the deeper a channel looks under the water, the more it sees of the
    // sediment.
    const double z = investigationDepth(channel), d = LineDepth(cycle);
    const double share = z * z / (z * z + d * d);
    return WaterResistivity + (sedimentResistivity(LineDistance(cycle)) - WaterResistivity) * share;
}

QByteArray LineGpsSentence(int cycle)
{
    const double minutes = StartLatitudeMinutes + LineDistance(cycle) / MetresPerMinuteOfLatitude;
    const int degrees = static_cast<int>(minutes / 60);
    const double latitude = degrees * 100 + (minutes - degrees * 60.0);
    const int seconds = 12 * 3600 + cycle;
    const QByteArray time = QByteArray::number(seconds / 3600 % 24).rightJustified(2, '0') +
                            QByteArray::number(seconds / 60 % 60).rightJustified(2, '0') +
                            QByteArray::number(seconds % 60).rightJustified(2, '0') + ".00";
    const QByteArray altitude = fixed(45.4 + 0.1 * std::sin(cycle / 5.0), 1);
    return NmeaSentence("GPGGA," + time + "," + fixed(latitude, 4).rightJustified(9, '0') + ",N," +
                        fixed(LongitudeField, 4).rightJustified(10, '0') + ",E,1,08,0.9," + altitude + ",M,46.9,M,,") +
           "\r\n";
}

QByteArray LineSounderSentence(int cycle)
{
    const double metres = LineDepth(cycle);
    return NmeaSentence("SDDBT," + fixed(metres / 0.3048, 1) + ",f," + fixed(metres, 2) + ",M," + fixed(metres / 1.8288, 1) +
                        ",F") +
           "\r\n";
}

TCycleReadings LineReadings(uint32_t channels, int cycle)
{
    TCycleReadings r;
    for (int set = 0; set < 2; ++set) {
        const double current = 250.0 + 50.0 * set + 2.0 * std::sin(cycle / 3.0); // mA
        const double sp = 4.0 + 0.5 * std::sin(cycle / 9.0);                      // mV
        for (uint32_t k = 0; k < channels; ++k) {
            const int channel = 10 * set + static_cast<int>(k);
            const double vp = LineApparentResistivity(channel, cycle) * current / geometricFactor(channel);
            const double chargeability = 8.0 + 0.5 * channel; // mV/V
            r.PlusV[set].push_back(static_cast<float>(sp + vp));
            r.MinusV[set].push_back(static_cast<float>(sp - vp));
            r.PlusIp[set].push_back(static_cast<float>(0.2 + chargeability * vp / 1000));
            r.MinusIp[set].push_back(static_cast<float>(0.2 - chargeability * vp / 1000));
        }
        r.PlusI[set] = static_cast<float>(current);
        r.MinusI[set] = static_cast<float>(-current);
    }
    return r;
}

} // namespace Instrument
