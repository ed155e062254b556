// Host cost of the survey loop: Quorel's main window runs real surveys against the test
// instrument (a program of its own on a pseudo-terminal, answering at once), 20 channels, IP
// data, switch unit, every cycle stored in both files. Run: build-bench/bench/survey_cycle_bench
//
// Targets: median under 2 ms of host time per stored cycle with the graphs' default 100 columns,
// and under 20 ms with "GraphPoints" 10000, the large case measured (the survey bounds it only by
// the engine's data capacity; the shortest instrument cycle is about 300 ms); no memory growth over
// 100000 cycles.
#include "acquisition/Main.h"
#include "acquisition/setup/SetupFile.h"
#include "link/Portvirt.h"
#include "platform/CommandLine.h"
#include "platform/Dialogs.h"
#include "platform/NumberFormat.h"
#include "platform/Registry.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long residentKiB()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Confirms the connect prompt and chooses the survey file.
class Answers : public IDialogs {
public:
    QString File;
    int MessageBox(const QString&, const QString&, unsigned flags) override { return (flags & 0xF) == MB_YESNO ? IDYES : IDOK; }
    void ShowMessage(const QString&) override {}
    bool OpenFile(TFileDialogRequest&) override { return false; }
    bool SaveFile(TFileDialogRequest& r) override
    {
        r.FileName = File;
        return true;
    }
    bool SelectFolder(const QString&, QString&) override { return false; }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool PrintSetup(QPrinter&) override { return false; }
};

// One connected window and its instrument for all the benchmarks.
class Bench {
public:
    Bench()
    {
        SetDialogs(&answers_);
        SetDecimalSeparator('.');
        TRegistry::SetStoreFile(dir_.filePath("registry.ini"));
        SetCommandLine({"Quorel"});
        // QUOREL_INSTRUMENT_LOG=<file> keeps what the instrument heard.
        const QString log = qEnvironmentVariable("QUOREL_INSTRUMENT_LOG");
        if (!log.isEmpty())
            instrument_.setStandardErrorFile(log);
        // Without pacing: the host's time is measured, not the instrument's.
        QStringList arguments{"--at-once"};
        if (log.isEmpty())
            arguments << "--quiet";
        instrument_.start(QUOREL_INSTRUMENT_PROGRAM, arguments);
        instrument_.waitForReadyRead(10000);
        const QString device = QString::fromLocal8Bit(instrument_.readLine()).trimmed();
        qputenv("QUOREL_COM7", device.toLocal8Bit());
        const QString setup = dir_.filePath("setup.ini");
        QFile f(setup);
        f.open(QIODevice::WriteOnly);
        QByteArray text = "[Parameters]\r\nChannel=20\r\nIpData=1\r\nGpsConnected=1\r\nSounderConnected=1\r\n"
                          "AddDistance=0\r\nRemoteTime=15\r\n";
        for (int k = 2; k <= 11; ++k)
            text += QString("ComSpacing2%1=%2\r\n").arg(k).arg(2 * (k + 10) + 2).toLatin1();
        text += "[Communication]\r\nPort=7\r\nSpeed=115200\r\n";
        f.write(text);
        f.close();
        TRegistry().WriteString(QString(Acquisition::RegistryKey) + Acquisition::RegistrySubKey, Acquisition::RegistryValue,
                                setup);
        window_ = std::make_unique<Acquisition::TMainFrm>();
        window_->FormCreate(window_.get());
        answers_.File = dir_.filePath("survey");
        // Connect, and stop at once in the wait for Start: the link stays open for New survey.
        QTimer stop;
        QObject::connect(&stop, &QTimer::timeout, [this] {
            if (window_->PowerOnOffBtn->property("Tag").toInt() == 1)
                window_->Action4->trigger();
        });
        stop.start(10);
        window_->PowerAction->trigger();
    }
    ~Bench()
    {
        if (window_ && ActivePort && ActivePort->GetState() > 0)
            window_->PowerAction->trigger();
        window_.reset();
        instrument_.terminate();
        instrument_.waitForFinished(3000);
        SetDialogs(nullptr);
    }
    bool Connected() const { return ActivePort && ActivePort->GetState() > 0 && !window_->NewSurveyBtn->isHidden(); }

    // One survey of `cycles` cycles ("New survey", Start, then Stop) with graphs of
    // `graphPoints` columns; `tidy` runs now and then from the survey's message processing with
    // the cycle index. Gives the cycles run.
    int Survey(int cycles, int graphPoints, const std::function<void(int)>& tidy = {})
    {
        Acquisition::TMainFrm& w = *window_;
        w.SetupIni->WriteInteger(Setup::Parameters, "GraphPoints", graphPoints); // read at the survey's start
        w.Survey.CycleIndex = -1;
        bool stopped = false;
        QTimer script;
        QObject::connect(&script, &QTimer::timeout, [&] {
            // Start is given until it takes (the survey's preparation clears an early one).
            if (w.AcquisitionMode == 0 && w.Survey.CycleIndex < 0)
                w.Action2->trigger();
            else if (w.Survey.CycleIndex >= cycles && !stopped) {
                stopped = true;
                w.Action4->trigger();
            }
            if (tidy)
                tidy(w.Survey.CycleIndex);
        });
        script.start(5);
        w.NewSurveyBtn->click();
        return w.Survey.CycleIndex;
    }
    QString Base() const { return dir_.filePath("survey"); }

private:
    QTemporaryDir dir_;
    Answers answers_;
    QProcess instrument_;
    std::unique_ptr<Acquisition::TMainFrm> window_;
};

Bench* bench = nullptr;

// Host CPU time of one stored cycle (manual time; wall time as a counter): arguments are the
// cycles of one survey and its "GraphPoints".
void BM_StoredCycle(benchmark::State& state)
{
    if (!bench->Connected()) {
        state.SkipWithError("the window did not connect to the test instrument");
        return;
    }
    double wall = 0;
    int64_t cycles = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double cpu0 = threadCpuSeconds();
        const int n = bench->Survey(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        const double cpu = threadCpuSeconds() - cpu0;
        wall += std::chrono::duration<double>(Clock::now() - t0).count();
        cycles += n;
        state.SetIterationTime(cpu / std::max(n, 1));
    }
    state.counters["wall_ms_per_cycle"] = 1000.0 * wall / static_cast<double>(std::max<int64_t>(cycles, 1));
    state.counters["cycles"] = static_cast<double>(cycles);
}
BENCHMARK(BM_StoredCycle)->Args({400, 100})->Args({100, 10000})->UseManualTime()->Iterations(1)->Repetitions(7)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// Resident memory over a long survey. Rolled-over binary files and the text file are emptied as
// the survey goes, so that the run does not fill the disk; the loop does not notice.
void BM_ResidentMemory(benchmark::State& state)
{
    if (!bench->Connected()) {
        state.SkipWithError("the window did not connect to the test instrument");
        return;
    }
    const int total = static_cast<int>(state.range(0));
    for (auto _ : state) {
        long warm = -1;
        const long before = residentKiB();
        const QString base = bench->Base(), folder = QFileInfo(base).absolutePath();
        int tidiedAt = 0;
        const int n = bench->Survey(total, 100, [&](int cycle) {
            if (warm < 0 && cycle >= 10000)
                warm = residentKiB();
            if (cycle < tidiedAt + 2000)
                return;
            tidiedAt = cycle;
            QFile::resize(base + ".txt", 0);
            for (const QString& name : QDir(folder).entryList({"survey#*.bin"}))
                QFile::remove(folder + "/" + name);
        });
        const long after = residentKiB();
        std::printf("resident memory: %ld KiB before, %ld KiB after warm-up, %ld KiB after %d cycles\n", before, warm, after, n);
        state.counters["rss_before_kib"] = static_cast<double>(before);
        state.counters["rss_warm_kib"] = static_cast<double>(warm);
        state.counters["rss_after_kib"] = static_cast<double>(after);
        state.counters["cycles"] = n;
    }
}
BENCHMARK(BM_ResidentMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        Bench b;
        bench = &b;
        benchmark::RunSpecifiedBenchmarks();
        bench = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
