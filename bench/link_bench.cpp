// Speed of the link over a pseudo-terminal against the test instrument, and what a wait for
// the instrument costs the host. Run: build-bench/bench/link_bench
//
// Targets: at least 540 kB/s through the protocol (20 times a 273000 Bd line), and less
// than 3 % of one core while a prompt that never comes is awaited or the line has dropped.
#include "instrument/TestInstrument.h"
#include "link/Portcom.h"
#include "platform/Dialogs.h"

#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// Answers the connect prompt.
class AlwaysOk : public IDialogs {
public:
    int MessageBox(const QString&, const QString&, unsigned) override { return IDOK; }
    void ShowMessage(const QString&) override {}
    bool OpenFile(TFileDialogRequest&) override { return false; }
    bool SaveFile(TFileDialogRequest&) override { return false; }
    bool SelectFolder(const QString&, QString&) override { return false; }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool PrintSetup(QPrinter&) override { return false; }
};

struct Link {
    explicit Link(Instrument::TInstrumentSetup setup) : Instrument(std::move(setup))
    {
        SetDialogs(&dialogs);
        qputenv("QUOREL_COM9", Instrument.DevicePath().toLocal8Bit());
        Opened = Port.Open(9, 115200, 0, {}, false, {}) == 9;
    }
    ~Link() { SetDialogs(nullptr); }
    Instrument::TTestInstrument Instrument;
    AlwaysOk dialogs;
    TPortCOM Port{nullptr};
    bool Opened = false;
};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_BlockDownload(benchmark::State& state)
{
    Instrument::TInstrumentSetup setup;
    setup.Status = QByteArray(static_cast<qsizetype>(state.range(0)), '\x5a');
    Link link(setup);
    if (!link.Opened) {
        state.SkipWithError("no link");
        return;
    }
    for (auto _ : state) {
        if (!link.Port.SetCmd(30, 2000)) {
            state.SkipWithError("status command refused");
            return;
        }
        const auto start = Clock::now();
        link.Port.XbtCLoad();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        link.Port.WaitPrompt();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BlockDownload)->Arg(180)->Arg(64 * 1024)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SurveyCycleReadings(benchmark::State& state)
{
    Link link({});
    if (!link.Opened || !link.Port.SetCmd(30, 2000)) {
        state.SkipWithError("no link");
        return;
    }
    uint8_t status[180];
    link.Port.LoadBuffer(status, sizeof status);
    link.Port.PromptSetCmd(47, 2000); // 15 V with IP
    const uint8_t parameters[10] = {0, 0, 0x48, 0x41, 25, 0, 0, 0, 29, 0};
    link.Port.PutBlock(parameters, sizeof parameters);
    const uint8_t tables[52] = {};
    link.Port.PutBlock(tables, sizeof tables);
    uint8_t readings[336]; // both cable sets with IP, ten channels
    for (auto _ : state) {
        link.Port.PutCom(0x55);
        link.Port.GetBlock(readings, sizeof readings);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof readings));
    link.Port.PutCom(0);
    link.Port.WaitPrompt();
}
BENCHMARK(BM_SurveyCycleReadings)->Unit(benchmark::kMicrosecond);

// The host waits 10 s for a prompt that never comes, then the link is closed under it.
void BM_WaitForAbsentPrompt(benchmark::State& state)
{
    Link link({});
    if (!link.Opened) {
        state.SkipWithError("no link");
        return;
    }
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        QTimer::singleShot(10000, [&] { link.Port.SetState(0); });
        const double cpu0 = threadCpuSeconds();
        const auto t0 = Clock::now();
        link.Port.WaitPrompt();
        wall += std::chrono::duration<double>(Clock::now() - t0).count();
        cpu += threadCpuSeconds() - cpu0;
        link.Port.SetState(9);
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    state.counters["wait_seconds"] = wall / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WaitForAbsentPrompt)->Iterations(1)->Unit(benchmark::kSecond);

// The line drops (an adapter pulled out) while the host waits for a byte: the wait goes on
// until the link is closed under it 5 s later, then a timed read of 2 s runs on the dead line.
void BM_WaitOnDroppedLine(benchmark::State& state)
{
    Link link({});
    if (!link.Opened) {
        state.SkipWithError("no link");
        return;
    }
    link.Instrument.AddFault({Instrument::TFaultKind::DropLine, Instrument::TPoint::Sync, 0, 1});
    try {
        link.Port.SetCmd(30, 100); // the instrument hangs up instead of answering
    } catch (const Exception&) {
    }
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        link.Port.SetState(9);
        QTimer::singleShot(5000, [&] { link.Port.SetState(0); });
        const double cpu0 = threadCpuSeconds();
        const auto t0 = Clock::now();
        try {
            link.Port.GetCom();
        } catch (const Exception&) {
        }
        link.Port.SetState(9);
        link.Port.ReadByteTimed(2000);
        wall += std::chrono::duration<double>(Clock::now() - t0).count();
        cpu += threadCpuSeconds() - cpu0;
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    state.counters["wait_seconds"] = wall / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WaitOnDroppedLine)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
