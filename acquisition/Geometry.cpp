#include "Geometry.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Acquisition {

namespace {

float single(double v) { return RoundToFloat32(v); }

void checkIndex(int index)
{
    if (index < 0 || index >= GeometryChannels)
        throw std::out_of_range("channel index out of range");
}

float distance(float x1, float y1, float x2, float y2)
{
    const double dx = double(x1) - double(x2);
    const double dy = double(y1) - double(y2);
    return single(std::sqrt(dx * dx + dy * dy));
}

// A distance at or below 1 cm adds no term: it stands for electrodes at the same place.
float inverse(float d) { return d > 0.01 ? single(1.0 / d) : 0.0f; }

} // namespace

ArrayElectrodes ChannelElectrodes(const WorkspaceArray& w, int index)
{
    checkIndex(index);
    // Set 1 holds A, B, P1..P11; set 2 holds A, B, P11, P12..P21, so channel 11 starts at P11.
    const bool second = index >= 10;
    const int x = second ? Ws::Set2X : Ws::Set1X;
    const int y = second ? Ws::Set2Y : Ws::Set1Y;
    const int m = 2 + (second ? index - 10 : index);
    ArrayElectrodes e;
    e.xA = w[x];
    e.xB = w[x + 1];
    e.xM = w[x + m];
    e.xN = w[x + m + 1];
    e.yA = w[y];
    e.yB = w[y + 1];
    e.yM = w[y + m];
    e.yN = w[y + m + 1];
    return e;
}

ChannelDistances ElectrodeDistances(const ArrayElectrodes& e)
{
    ChannelDistances d;
    d.AM = distance(e.xA, e.yA, e.xM, e.yM);
    d.AN = distance(e.xA, e.yA, e.xN, e.yN);
    d.AB = distance(e.xA, e.yA, e.xB, e.yB);
    d.BM = distance(e.xB, e.yB, e.xM, e.yM);
    d.BN = distance(e.xB, e.yB, e.xN, e.yN);
    d.MN = distance(e.xM, e.yM, e.xN, e.yN);
    return d;
}

ChannelDistances ReadDistances(const WorkspaceArray& w, int index)
{
    checkIndex(index);
    ChannelDistances d;
    d.AM = w[Ws::AM + index];
    d.AN = w[Ws::AN + index];
    d.AB = w[Ws::AB + index];
    d.BM = w[Ws::BM + index];
    d.BN = w[Ws::BN + index];
    d.MN = w[Ws::MN + index];
    return d;
}

void ComputeDistances(WorkspaceArray& w, CableSet set)
{
    const int first = set == CableSet::First ? 0 : 10;
    for (int i = first; i < first + 10; ++i) {
        const ChannelDistances d = ElectrodeDistances(ChannelElectrodes(w, i));
        w[Ws::AM + i] = d.AM;
        w[Ws::AN + i] = d.AN;
        w[Ws::AB + i] = d.AB;
        w[Ws::BM + i] = d.BM;
        w[Ws::BN + i] = d.BN;
        w[Ws::MN + i] = d.MN;
    }
}

double GeometricFactorOf(const ChannelDistances& d)
{
    const float am = inverse(d.AM);
    const float an = inverse(d.AN);
    const float bn = inverse(d.BN);
    const float bm = inverse(d.BM);
    if (double(am) + an + bn + bm == 0.0)
        return 1.0;
    const double g = double(am) - an - bm + bn;
    if (g == 0.0)
        return 1.0;
    return 6.283185307179586 / g;
}

double MeasurePointOf(const ArrayElectrodes& e)
{
    const float c1 = single(double(single(double(e.xA) + e.xB)) * 0.5);
    const float c2 = single(double(single(double(e.xM) + e.xN)) * 0.5);
    return c1 + (double(c2) - c1) * 0.5;
}

double AsymmetryOf(const ArrayElectrodes& e)
{
    const std::array<float, 4> x{e.xA, e.xB, e.xM, e.xN};
    for (float v : x)
        if (std::fabs(v) >= 99998.0f)
            return 0.0;
    // Selection sort; the earliest of equal values (in the order A, B, M, N) goes first.
    std::array<float, 4> s{};
    std::array<bool, 4> used{};
    for (int round = 0; round < 4; ++round) {
        int best = -1;
        for (int j = 0; j < 4; ++j)
            if (!used[j] && (best < 0 || x[j] < x[best]))
                best = j;
        used[best] = true;
        s[round] = x[best];
    }
    return std::fabs((double(s[0]) + s[3]) - s[1] - s[2]) * 0.5;
}

std::optional<float> PseudoDepthOf(const ChannelDistances& d, double asymmetry)
{
    for (float v : {d.AM, d.AN, d.AB, d.BM, d.BN, d.MN})
        if (std::isnan(v))
            return std::nullopt;
    if (std::isnan(asymmetry))
        return std::nullopt;

    // Smallest distance. Only the BN step refuses a zero; a zero taken at the BM step is
    // replaced by AN.
    float r = d.AM;
    if ((r > d.BN || r == 0) && d.BN != 0)
        r = d.BN;
    if (r > d.BM || r == 0)
        r = d.BM;
    if (r > d.AN || r == 0)
        r = d.AN;

    const double r15 = 15.0 * r;
    std::optional<double> depth;
    if (r15 < d.AB && r15 < d.MN) {
        depth = 0.867 * r;
    } else if (r15 < d.AB && r15 > d.MN && d.MN != 0) {
        const float t = single(double(r) / d.MN);
        if (std::isfinite(t)) {
            const double v = d.MN * ((-0.000915179 * t + 0.397614583) * t + 0.127613095);
            // A result too large for a float counts as the overflow that sends us to the
            // general rule.
            if (std::isfinite(single(v)))
                depth = v;
        }
    }
    if (!depth) {
        const double rmax = std::max({double(d.AM), double(d.BN), double(d.AN), double(d.BM),
                                      double(d.AB), double(d.MN)});
        const float a = single(-0.0361 * asymmetry);
        depth = r15 < rmax ? 0.19 * r + a : 0.19 * rmax + a;
    }
    const float result = single(*depth);
    if (!std::isfinite(result))
        return std::nullopt;
    return result;
}

ChannelMeasurement MeasureChannel(const WorkspaceArray& w, int q, float k, bool ipMeasured)
{
    checkIndex(q);
    const bool second = q >= 10;
    const float vPlus = second ? w[q + 32] : w[q];
    const float vMinus = second ? w[q + 43] : w[q + 11];
    const float iPlus = second ? w[52] : w[10];
    const float iMinus = second ? w[63] : w[21];
    const float ipPlus = second ? w[q + 94] : w[84 + q];
    const float ipMinus = second ? w[q + 104] : w[94 + q];

    ChannelMeasurement m;
    m.Sp = single((double(vPlus) + vMinus) / 2);
    m.Vp = single((double(vPlus) - vMinus) / 2);
    m.In = single(std::fabs(double(iPlus) - iMinus) / 2);
    if (ipMeasured) {
        m.Sp = single((double(ipPlus) + ipMinus) / 2);
        if (std::fabs(m.Vp) > 0.001)
            m.M = single((double(ipPlus) - ipMinus) * 500 / m.Vp);
    }
    if (std::fabs(m.In) > 0.001)
        m.Rho = single(double(k) * m.Vp / m.In);
    return m;
}

void ClearSetsWithoutCurrent(WorkspaceArray& w)
{
    // "Not at least" so that a current that is not a number clears the set too.
    if (!(std::fabs(double(w[10]) - w[21]) * 0.5 >= 0.001))
        std::fill(w.begin(), w.begin() + 22, 0.0f);
    if (!(std::fabs(double(w[52]) - w[63]) * 0.5 >= 0.001))
        std::fill(w.begin() + 42, w.begin() + 64, 0.0f);
}

} // namespace Acquisition
