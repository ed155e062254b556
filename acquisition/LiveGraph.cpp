#include "LiveGraph.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace Acquisition {

int32_t LimitGraphPoints(int32_t setupValue)
{
    return std::clamp<int32_t>(setupValue, 1, MaxGraphPoints);
}

PseudoSectionUnit OhmMetreUnit() { return {OhmMetre, QStringLiteral("Rho pseudo section (Ohm.m)")}; }

PseudoSectionUnit ChooseRhoUnit(const WorkspaceArray& w, float k0)
{
    const double current = std::fabs(double(w[10]) - double(w[21])) * 0.5;
    if (current > 0.001) {
        const double rho = (double(w[0]) - double(w[11])) * 0.5 * double(k0) / current;
        if (!(rho >= 50.0))
            return {100, QStringLiteral("Rho pseudo section (Ohm.cm)")};
    }
    return OhmMetreUnit();
}

float LimitGraphValue(double g)
{
    if (g > GraphValueLimit)
        return GraphValueLimit;
    if (!(g >= -GraphValueLimit))
        return -GraphValueLimit;
    return static_cast<float>(g);
}

float GraphValueOf(float rho, float in, float unitFactor)
{
    if (!(std::fabs(in) > 0.001))
        return 0;
    return LimitGraphValue(double(rho) * double(unitFactor));
}

float TrackGraphValue(float g, float& rhoMax, float& rhoMin, const ScaleSettings& s)
{
    if (!(rhoMax >= g))
        rhoMax = g;
    if (rhoMin > g)
        rhoMin = g;
    if (s.AutoScale == 0) {
        if (g > s.ScaleMax)
            g = s.ScaleMax;
        if (!(g >= s.ScaleMin))
            g = s.ScaleMin;
        if (rhoMax > s.ScaleMax)
            rhoMax = s.ScaleMax;
        if (!(rhoMin >= s.ScaleMin))
            rhoMin = s.ScaleMin;
    }
    return g;
}

float ShiftedZ(float z, const ScaleSettings& s)
{
    if (s.AutoScale != 0)
        return z;
    if (z > s.ScaleMax)
        z = static_cast<float>(double(s.ScaleMax) - 0.01);
    if (!(z >= s.ScaleMin))
        z = static_cast<float>(double(s.ScaleMin) + 0.01);
    return z;
}

float GraphPositionOf(bool addDistance, float totalDistance, int32_t cycleIndex, float x)
{
    return RoundToFloat32(addDistance ? double(x) + totalDistance : double(cycleIndex) + x);
}

double RoundZRange(float& rhoMax, float& rhoMin)
{
    rhoMax = static_cast<float>(std::trunc(double(rhoMax)) + 1);
    rhoMin = static_cast<float>(std::trunc(double(rhoMin)));
    if (double(rhoMin) - 50 > rhoMax) {
        rhoMax = static_cast<float>((double(rhoMax) + rhoMin) * 0.5 + 25);
        rhoMin = static_cast<float>(double(rhoMax) - 50);
    }
    // A range inverted by up to 50 gives a band of 0 or less, which would make the engine
    // divide by nothing; one unit a band is the finest the section shows anyway.
    const double span = std::trunc(double(rhoMax) - double(rhoMin));
    const double line = std::trunc(span / 50) + 1;
    return line >= 1 ? line : 1;
}

namespace {

int32_t bgr(int blue, int green, int red) { return (blue << 16) | (green << 8) | red; }

} // namespace

ColourScale BuildColourScale(int sMin, int sMax)
{
    ColourScale scale;
    sMin = std::clamp(sMin, SMinLowest, SMinHighest);
    sMax = std::clamp(sMax, SMaxLowest, SMaxHighest);
    if (sMax <= sMin) {
        sMin = std::clamp(sMax - 2, SMinLowest, SMinHighest);
        sMax = std::clamp(sMax + 2, SMaxLowest, SMaxHighest);
    }
    scale.SMin = sMin;
    scale.SMax = sMax;

    const int b0 = sMin, b4 = sMax;
    const int step = (b4 - b0) / 4;
    const int b1 = b0 + step, b2 = b1 + step, b3 = b2 + step;
    // Each segment covers [start, end); an empty one divides by nothing because it has no entry.
    for (int k = 0; k < ColourScaleEntries; ++k) {
        int32_t c;
        if (k < b0)
            c = bgr(k * 150 / b0 + 55, 0, 0);
        else if (k < b1)
            c = bgr(255, (k - b0) * 255 / (b1 - b0), 0);
        else if (k < b2)
            c = bgr(255 - (k - b1) * 255 / (b2 - b1), 255, 0);
        else if (k < b3)
            c = bgr(0, 255, (k - b2) * 255 / (b3 - b2));
        else if (k < b4)
            c = bgr(0, 255 - (k - b3) * 255 / (b4 - b3), 255);
        else
            c = bgr(0, 0, 255 - (k - b4) * 150 / (ColourScaleEntries - b4));
        scale.Colours[static_cast<size_t>(k)] = c;
    }
    return scale;
}

QString CurrentText(const WorkspaceArray& w, int32_t modelTagFound)
{
    const double current = std::fabs(double(w[10]) - double(w[21])) / 2;
    return FormatFloat(modelTagFound ? QStringLiteral("0") : QStringLiteral("#.00"), current);
}

std::array<QString, GraphChannels> DipoleValueTexts(const WorkspaceArray& w,
                                                    const std::array<float, GraphChannels>& k,
                                                    int32_t displayRho)
{
    std::array<QString, GraphChannels> texts;
    // One cable set: its ten potentials of each polarity start at plus and minus, the two
    // currents follow the positive ten.
    const auto set = [&](int plus, int minus, int currentPlus, int currentMinus, int first) {
        const float d = std::fabs(w[static_cast<size_t>(currentPlus)] - w[static_cast<size_t>(currentMinus)]);
        for (int i = 0; i < 10; ++i) {
            const double vp = double(w[static_cast<size_t>(plus + i)]) - double(w[static_cast<size_t>(minus + i)]);
            double shown = 0;
            if (displayRho == 0)
                shown = vp / 2;
            else if (d > 0.001)
                shown = vp * double(k[static_cast<size_t>(first + i)]) / d;
            texts[static_cast<size_t>(first + i)] = FormatFloat(QStringLiteral("#.00"), shown);
        }
    };
    set(0, 11, 10, 21, 0);
    set(42, 53, 52, 63, 10);
    return texts;
}

DipoleLayout DipoleLayoutOf(int32_t channelCount, int16_t switchEnabled)
{
    DipoleLayout layout;
    layout.SecondSetShown = switchEnabled != 0 && channelCount > 10;
    layout.Visible[0] = true;
    layout.Visible[10] = layout.SecondSetShown;
    for (int k = 2; k <= 10; ++k)
        layout.Visible[static_cast<size_t>(k - 1)] = channelCount >= k;
    for (int k = 12; k <= 20; ++k)
        layout.Visible[static_cast<size_t>(k - 1)] = layout.SecondSetShown && channelCount >= k;
    return layout;
}

} // namespace Acquisition
