// One full redraw of each live graph of a survey: the engine rebuilds its image from the data and
// the image is painted at the control's size. Run: build-bench/bench/graph_bench
//
// Targets, at 700 x 500 pixels: a pseudo-section of 20 channels with its colour legend under 10 ms
// for 1000 columns and under 15 ms (one display frame) for 10000 columns, the large case measured
// (the survey bounds "GraphPoints" only by the engine's data capacity), whether the boat's
// positions rise, one column falls back (a GPS timeout stores its cycle at the trip offset) or the
// boat turns back along its line; a profile of 10000 points under 15 ms. The redraw of every
// stored cycle must not slow a 300 ms cycle.
#include "graph/Pesgvcl.h"
#include "graph/engine/PEEngine.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr int kWidth = 700, kHeight = 500;

// The colour scale of the survey: dark blue through blue, cyan, green and yellow to red.
void ColourScale(PESGraph& g)
{
    for (int k = 0; k <= 50; ++k) {
        const int seg = k / 12, t = (k % 12) * 255 / 12;
        int r = 0, gr = 0, b = 0;
        switch (seg) {
        case 0: b = 255; gr = t; break;
        case 1: b = 255 - t; gr = 255; break;
        case 2: gr = 255; r = t; break;
        default: gr = std::max(0, 255 - t); r = 255; break;
        }
        g.SetSubsetColors(k, TColor(r | gr << 8 | b << 16));
    }
}

void Redraw(benchmark::State& state, PESGraph& g)
{
    TPEEngine& e = OwnGraphEngine();
    const TEngineHandle h = g.GethObject();
    e.MoveWindow(h, 0, 0, kWidth, kHeight, false);
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        g.SetPEactions(sgReinitAndReset);
        QPainter p(&screen);
        p.drawImage(0, 0, *e.GetMeta(h));
        p.end();
        benchmark::DoNotOptimize(screen.constBits());
    }
}

// Where the boat was at each stored cycle, along its line (m).
enum TTrack { kRising, kOneColumnBack, kTurningBack };

double Position(TTrack track, int column, int columns)
{
    const int half = columns / 2;
    switch (track) {
    case kOneColumnBack: return column == half ? 0 : column; // at the trip offset, the start of the line
    case kTurningBack: return column <= half ? column : 2 * half - column;
    default: return column;
    }
}

void PseudoSection(benchmark::State& state, TTrack track)
{
    PESGraph g;
    const int channels = 20, columns = int(state.range(0));
    g.SetMainTitle("Rho pseudo section (Ohm.m)");
    g.SetXAxisLabel("mid point (m)");
    g.SetYAxisLabel("report point  (m)");
    g.SetSubsets(channels);
    g.SetPoints(columns);
    g.SetPlottingMethod(sgContourColors);
    g.SetLegendLocation(sgLegendLeft);
    g.SetShowLegend(true);
    g.SetContourStyleLegend(true);
    g.SetInvertedYAxis(true);
    g.SetGridInFront(true);
    g.SetGridLineControl(sgYPlusXAxis);
    g.SetGridStyle(sgDot);
    g.SetXAxisOnTop(true);
    g.SetNullDataValueX(-999999);
    g.SetNullDataValueY(-999999);
    g.SetFontSize(sgSmall);
    g.SetFixedFonts(true);
    for (int s = 0; s < channels; ++s)
        for (int p = 0; p < columns; ++p) {
            g.SetXData(s, p, float(Position(track, p, columns) + 1.5 * s));
            g.SetYData(s, p, float(-0.8 * (s + 1)));
            g.SetZData(s, p, float(60 + 40 * std::sin(p / 40.0) * std::cos(s / 5.0) + s));
        }
    g.SetManualZAxisLine(2);
    ColourScale(g);
    Redraw(state, g);
}

void BM_PseudoSection(benchmark::State& state) { PseudoSection(state, kRising); }
BENCHMARK(BM_PseudoSection)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_PseudoSectionOneColumnBack(benchmark::State& state) { PseudoSection(state, kOneColumnBack); }
BENCHMARK(BM_PseudoSectionOneColumnBack)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_PseudoSectionTurningBack(benchmark::State& state) { PseudoSection(state, kTurningBack); }
BENCHMARK(BM_PseudoSectionTurningBack)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Profile(benchmark::State& state)
{
    PESGraph g;
    const int points = 10000;
    g.SetMainTitle("Sounder");
    g.SetXAxisLabel("Distance (m)");
    g.SetYAxisLabel("Depth (m)");
    g.SetSubsets(1);
    g.SetPoints(points);
    g.SetPlottingMethod(sgSpline);
    g.SetSubsetColors(0, TColor(0xFF0000));
    g.SetInvertedYAxis(true);
    g.SetShowLegend(false);
    g.SetGridLineControl(sgYPlusXAxis);
    g.SetXAxisOnTop(true);
    for (int p = 0; p < points; ++p) {
        g.SetXData(0, p, float(p * 0.7));
        g.SetYData(0, p, float(-8 - 3 * std::sin(p / 300.0) - 0.3 * std::sin(p / 7.0)));
    }
    Redraw(state, g);
}
BENCHMARK(BM_Profile)->Unit(benchmark::kMillisecond);

} // namespace
