// Host time of one stored survey cycle with 20 channels: filling the dipole records and
// forming the two text rows, then appending them to real binary and text files.
// Run: build-bench/bench/survey_bench (the median of the repetitions is the figure to read).
#include "acquisition/AcquisitionFiles.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace Acquisition;

namespace {

constexpr int Channels = 20;

// A plausible cycle: two cable sets along the line, readings on every channel.
struct Cycle {
    WorkspaceArray w{};
    std::array<float, 20> k{};
    CycleRecordContext record;
    TextRowContext row;
    DipoleRecordArray records{};

    Cycle()
    {
        for (int i = 0; i < 13; ++i) {
            w[124 + i] = 2.5f * i;
            w[157 + i] = 27.5f + 2.5f * i;
        }
        w[10] = 48.7f;
        w[21] = -48.3f;
        w[52] = 31.2f;
        w[63] = -30.9f;
        for (int c = 0; c < 20; ++c) {
            const bool second = c >= 10;
            w[second ? c + 32 : c] = 153.25f / (c + 1);
            w[second ? c + 43 : c + 11] = -149.5f / (c + 1);
            w[second ? c + 94 : 84 + c] = 12.75f / (c + 1);
            w[second ? c + 104 : 94 + c] = 1.5f / (c + 1);
            k[c] = -37.699112f * (c + 1);
        }
        record.SounderChecked = true;
        record.IpMeasured = true;
        record.RemoteTime = 100;
        record.RemoteTxVoltage = 12;
        record.TotalDistance = 1234.5f;
        record.SounderDepth = 4.2f;
        record.GpsLatitude = 4807.038f;
        record.GpsLongitude = 1131.0f;
        record.DateTime = 46366.5;
        row.Trip = 234;
        row.SounderDepth = 4.2f;
        row.TotalDistance = 1234.5f;
        row.GpsLatitude = 4807.038f;
        row.GpsLongitude = 1131.0f;
        row.GpsSentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        row.SounderSentence = "$SDDBT,13.8,f,4.2,M,2.3,F*0B\r\n";
    }
};

void BM_EncodeCycle(benchmark::State& state)
{
    Cycle cycle;
    for (auto _ : state) {
        FillCycleRecords(cycle.records, Channels, cycle.w, cycle.k, cycle.record);
        std::string rows = TextRows(cycle.records, Channels, cycle.w, cycle.row);
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_EncodeCycle)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_StoreCycle(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString base = dir.filePath("survey");
    const QString text = base + ".txt";
    const BinHeaderTextArray header = BinHeaderTextFor(QDateTime::currentDateTime());
    TextFileState written;
    if (!WriteTextHeader(text, written).isEmpty()) {
        state.SkipWithError("cannot write the text file");
        return;
    }
    Cycle cycle;
    BinaryFileState files;
    int32_t pending = 0;
    for (auto _ : state) {
        const QString name = BinaryFileName(base, files.FileIndex);
        if (files.RecordsInFile == 0 && !CreateBinaryFile(name, header, files).isEmpty()) {
            state.SkipWithError("cannot create the binary file");
            break;
        }
        FillCycleRecords(cycle.records, Channels, cycle.w, cycle.k, cycle.record);
        if (!AppendCycleRecords(name, header, files, cycle.records, Channels, pending, 1001).isEmpty() ||
            !AppendTextRows(text, TextRows(cycle.records, Channels, cycle.w, cycle.row), written).isEmpty()) {
            state.SkipWithError("cannot store the cycle");
            break;
        }
    }
}
// A bounded number of cycles keeps the files small (2000 cycles: about 12 MB of records).
BENCHMARK(BM_StoreCycle)->Iterations(2000)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
