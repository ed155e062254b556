#include "support/Descriptors.h"
#include "acquisition/AcquisitionFiles.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <locale>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Acquisition;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

template <typename T> T at(const QByteArray& bytes, qsizetype offset)
{
    T v{};
    std::memcpy(&v, bytes.constData() + offset, sizeof v);
    return v;
}

template <typename T> T at(const DipoleRecord& r, std::size_t offset)
{
    T v{};
    std::memcpy(&v, reinterpret_cast<const char*>(&r) + offset, sizeof v);
    return v;
}

// A workspace whose every value can be told apart: set 1 at x = 0, 2, 4... (P11 at 24), set 2
// going on from P11 at 24; currents 50 mA (set 1) and 25 mA (set 2); V+ = 100 + c and
// V- = -80 - c, so Vp = 90 + c and SP = 10; IP readings 10 and 2.
WorkspaceArray knownWorkspace()
{
    WorkspaceArray w{};
    for (int i = 0; i < 13; ++i) {
        w[124 + i] = 2.0f * i;
        w[144 + i] = i == 0 ? 1.0f : i == 1 ? -1.0f : 0.25f * i;
    }
    w[157] = 0;
    w[158] = 2;
    w[177] = 1;
    w[178] = -1;
    for (int i = 0; i < 11; ++i) {
        w[159 + i] = 24 + 2.0f * i;
        w[179 + i] = 0.5f * i;
    }
    w[10] = 50;
    w[21] = -50;
    w[52] = 25;
    w[63] = -25;
    for (int c = 0; c < 20; ++c) {
        const bool second = c >= 10;
        w[second ? c + 32 : c] = 100.0f + c;
        w[second ? c + 43 : c + 11] = -80.0f - c;
        w[second ? c + 94 : 84 + c] = 10;
        w[second ? c + 104 : 94 + c] = 2;
    }
    return w;
}

std::array<float, 20> knownFactors()
{
    std::array<float, 20> k{};
    for (int c = 0; c < 20; ++c)
        k[c] = 2.0f + c;
    return k;
}

CycleRecordContext knownContext(bool sounder, bool ip)
{
    CycleRecordContext ctx;
    ctx.SounderChecked = sounder;
    ctx.IpMeasured = ip;
    ctx.RemoteTime = 250;
    ctx.RemoteTxVoltage = 12.5f;
    ctx.TotalDistance = 10;
    ctx.SounderDepth = 3.5f;
    ctx.GpsAltitude = 45.25f;
    ctx.GpsLatitude = 4807.038f;
    ctx.GpsLongitude = -1131.5f;
    ctx.DateTime = 46366.75;
    return ctx;
}

// Runs the body in a child process whose files may not grow beyond `limit` bytes (a full
// disk, as near as a test can get to it), set up as the program sets itself up for it, and
// gives its exit code; -1 when it did not end by itself (the file-size signal ended it).
int withFileSizeLimit(off_t limit, const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_DFL);
        FileSizeLimitFailsWrites();
        const rlimit rl{rlim_t(limit), rlim_t(limit)};
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

QString systemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

const BinHeaderTextArray HeaderText =
    BinHeaderTextFor(QDateTime(QDate(2026, 12, 10), QTime(13, 5, 7)), QLocale(QLocale::French, QLocale::France));

} // namespace

TEST(AcquisitionDate, DaysSince30December1899)
{
    const struct {
        QDateTime when;
        double value;
    } cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0},
        {QDateTime(QDate(1900, 1, 1), QTime(18, 0)), 2.75},
        {QDateTime(QDate(2000, 1, 1), QTime(12, 0)), 36526.5},
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(DateValue(c.when), c.value) << c.when.toString().toStdString();
}

TEST(AcquisitionDate, HeaderText)
{
    const QLocale fr(QLocale::French, QLocale::France);
    EXPECT_EQ(DateTimeText(QDateTime(QDate(2026, 12, 10), QTime(13, 5, 7)), fr), "10/12/2026 13:05:07");
    EXPECT_EQ(DateTimeText(QDateTime(QDate(2026, 12, 10), QTime(0, 0)), fr), "10/12/2026");

    const char expected[] = "Quorel file dated on 10/12/2026 13:05:07";
    EXPECT_STREQ(HeaderText.data(), expected);
    for (std::size_t i = sizeof expected - 1; i < HeaderText.size(); ++i)
        ASSERT_EQ(HeaderText[i], 0) << i;

    const auto bytes = BinFileHeaderBytes(HeaderText);
    EXPECT_EQ(bytes[0], 0x02);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0x80);
    EXPECT_EQ(bytes[4], 9);
    EXPECT_EQ(std::memcmp(bytes.data() + 5, HeaderText.data(), 1024), 0);
}

TEST(DipoleRecords, FieldsFromTheWorkspace)
{
    const WorkspaceArray w = knownWorkspace();
    const auto k = knownFactors();
    struct Case {
        const char* what;
        int c;
        bool sounder, ip;
        float x[4], y[4], z;
        float sp, vp, in, rho, m;
    } const cases[] = {
        {"channel 1, sounder, IP", 0, true, true, {10, 12, 14, 16}, {1, -1, 0.5f, 0.75f}, -3.5f,
         6, 90, 50, 2 * 90 / 50.0f, 8 * 500 / 90.0f},
        {"channel 1, no sounder, no IP", 0, false, false, {10, 12, 14, 16}, {1, -1, 0.5f, 0.75f}, 45.25f,
         10, 90, 50, 3.6f, 0},
        {"channel 10", 9, true, false, {10, 12, 32, 34}, {1, -1, 2.75f, 3.0f}, -3.5f,
         10, 99, 50, 11 * 99 / 50.0f, 0},
        {"channel 11: second set from P11", 10, false, true, {10, 12, 34, 36}, {1, -1, 0, 0.5f}, 45.25f,
         6, 100, 25, 12 * 100 / 25.0f, 40},
        {"channel 20", 19, true, true, {10, 12, 52, 54}, {1, -1, 4.5f, 5.0f}, -3.5f,
         6, 109, 25, 21 * 109 / 25.0f, 8 * 500 / 109.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DipoleRecord r;
        FillDipoleRecord(r, c.c, w, k[c.c], knownContext(c.sounder, c.ip));
        EXPECT_EQ(at<int16_t>(r, 0), c.sounder ? 12 : 10);
        EXPECT_EQ(at<int16_t>(r, 2), 3);
        EXPECT_EQ(at<float>(r, 4), 2500.0f);
        EXPECT_EQ(at<int16_t>(r, 12), 1);
        for (int e = 0; e < 4; ++e) {
            EXPECT_FLOAT_EQ(at<float>(r, 16 + 4 * e), c.x[e]) << e;
            EXPECT_FLOAT_EQ(at<float>(r, 32 + 4 * e), c.y[e]) << e;
            EXPECT_FLOAT_EQ(at<float>(r, 48 + 4 * e), c.z) << e;
        }
        EXPECT_FLOAT_EQ(at<float>(r, 64), c.sp);
        EXPECT_FLOAT_EQ(at<float>(r, 68), c.vp);
        EXPECT_FLOAT_EQ(at<float>(r, 72), c.in);
        EXPECT_FLOAT_EQ(at<float>(r, 76), c.rho);
        EXPECT_FLOAT_EQ(at<float>(r, 80), c.m);
        EXPECT_EQ(at<uint8_t>(r, 248), c.c % 10);
        EXPECT_EQ(at<float>(r, 264), 4807.038f);
        EXPECT_EQ(at<float>(r, 268), -1131.5f);
        EXPECT_EQ(at<float>(r, 280), 12.5f);
        EXPECT_EQ(at<double>(r, 296), 46366.75);
        // Everything without a source stays zero, the mark included (the append writes it).
        const std::pair<int, int> zeros[] = {{8, 12}, {14, 16}, {84, 248}, {249, 264}, {272, 280}, {284, 296}};
        for (const auto& [from, to] : zeros)
            for (int b = from; b < to; ++b)
                ASSERT_EQ(at<uint8_t>(r, b), 0) << "byte " << b;
    }
}

TEST(DipoleRecords, OnlyTheChannelsInUse)
{
    DipoleRecordArray records{};
    records[5].Rho = 999;
    FillCycleRecords(records, 5, knownWorkspace(), knownFactors(), knownContext(true, false));
    EXPECT_EQ(records[4].Channel, 4);
    EXPECT_EQ(records[4].Version, 3);
    EXPECT_EQ(records[5].Rho, 999);   // above the channel count: not touched
    EXPECT_EQ(records[5].Version, 0);
}

TEST(BinaryFile, Names)
{
    EXPECT_EQ(BinaryFileName("/data/survey", 0), "/data/survey.bin");
    EXPECT_EQ(BinaryFileName("/data/survey", 1), "/data/survey#1.bin");
    EXPECT_EQ(BinaryFileName("/data/survey", 12), "/data/survey#12.bin");
}

TEST(BinaryFile, HeaderAloneUntilTheFirstRecord)
{
    TempDir dir;
    const QString path = dir.File("survey.bin");
    QFile::remove(path);
    { QFile old(path); ASSERT_TRUE(old.open(QIODevice::WriteOnly)); old.write(QByteArray(5000, 'x')); }
    BinaryFileState state;
    ASSERT_EQ(CreateBinaryFile(path, HeaderText, state), "");
    EXPECT_EQ(state.HeaderSize, 1029);
    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 1029);
    const auto header = BinFileHeaderBytes(HeaderText);
    EXPECT_EQ(std::memcmp(bytes.constData(), header.data(), header.size()), 0);
}

TEST(BinaryFile, RollOverBetweenCycles)
{
    const struct {
        int channels, cycles, records;
    } cases[] = {{20, 800, 16000}, {3, 5334, 16002}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        TempDir dir;
        const QString base = dir.File("survey");
        BinaryFileState state;
        DipoleRecordArray records{};
        FillCycleRecords(records, c.channels, knownWorkspace(), knownFactors(), knownContext(true, true));
        int32_t pending = 0;
        for (int cycle = 0; cycle < c.cycles; ++cycle) {
            const QString name = BinaryFileName(base, state.FileIndex);
            if (state.RecordsInFile == 0) {
                ASSERT_EQ(CreateBinaryFile(name, HeaderText, state), "");
            }
            ASSERT_EQ(state.FileIndex, 0) << "rolled over before the last cycle, at " << cycle;
            ASSERT_EQ(AppendCycleRecords(name, HeaderText, state, records, c.channels, pending, 0), "");
        }
        EXPECT_EQ(state.RecordsInFile, 0);
        EXPECT_EQ(state.FileIndex, 1);
        const QByteArray first = readAll(base + ".bin");
        ASSERT_EQ(first.size(), 1029 + qsizetype(c.records) * 304 + 1);
        EXPECT_EQ(first.back(), 0);
        // The last record is the last channel of the last cycle.
        EXPECT_EQ(at<uint8_t>(first, 1029 + qsizetype(c.records - 1) * 304 + 248), (c.channels - 1) % 10);

        const QString next = BinaryFileName(base, state.FileIndex);
        EXPECT_TRUE(next.endsWith("survey#1.bin"));
        ASSERT_EQ(CreateBinaryFile(next, HeaderText, state), "");
        ASSERT_EQ(AppendCycleRecords(next, HeaderText, state, records, c.channels, pending, 0), "");
        EXPECT_EQ(readAll(next).size(), 1029 + c.channels * 304 + 1);
        EXPECT_EQ(state.RecordsInFile, c.channels);
    }
}

TEST(BinaryFile, Marks)
{
    TempDir dir;
    const QString path = dir.File("survey.bin");
    BinaryFileState state;
    ASSERT_EQ(CreateBinaryFile(path, HeaderText, state), "");
    DipoleRecordArray records{};
    FillCycleRecords(records, 4, knownWorkspace(), knownFactors(), knownContext(true, true));

    int32_t pending = 0;
    int32_t counter = 0;
    auto store = [&] { ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 4, pending, counter), ""); };
    auto f9 = [&] { counter = (counter == 0 ? 1000 : counter) + 1; };

    store();              // no mark: 0
    pending = 500;        // F5
    f9();                 // then F9: this cycle 500, the next ones 1001
    store();
    store();
    f9();                 // F9 again: 1002
    store();
    pending = 700;        // one-shot code over the running number
    store();
    store();
    EXPECT_EQ(pending, 0);

    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 1029 + 6 * 4 * 304 + 1);
    const float expected[] = {0, 500, 1001, 1002, 700, 1002};
    for (int cycle = 0; cycle < 6; ++cycle) {
        const qsizetype first = 1029 + qsizetype(cycle) * 4 * 304;
        EXPECT_EQ(at<float>(bytes, first + 272), expected[cycle]) << cycle;
        for (int r = 1; r < 4; ++r)
            EXPECT_EQ(at<float>(bytes, first + r * 304 + 272), 0) << cycle << " record " << r;
    }
}

TEST(BinaryFile, FailuresAreReportedAndCountNothing)
{
    TempDir dir;
    // A folder that cannot exist: its parent is a plain file (refused even to root).
    const QString blocker = dir.File("plain");
    { QFile f(blocker); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    const QString path = blocker + "/survey.bin";

    BinaryFileState state;
    state.HeaderSize = 1029; // left from the previous file
    const QString error = CreateBinaryFile(path, HeaderText, state);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(state.HeaderSize, 0);

    DipoleRecordArray records{};
    int32_t pending = 500;
    EXPECT_NE(AppendCycleRecords(path, HeaderText, state, records, 3, pending, 0), "");
    state.HeaderSize = 1029;
    EXPECT_NE(AppendCycleRecords(path, HeaderText, state, records, 3, pending, 0), "");
    EXPECT_NE(AppendCycleRecords(dir.File("survey.bin"), HeaderText, state, records, 0, pending, 0), "");
    EXPECT_EQ(state.RecordsInFile, 0);
    EXPECT_EQ(pending, 500);

    TextFileState text;
    EXPECT_NE(WriteTextHeader(blocker + "/survey.txt", text), "");
    EXPECT_NE(AppendTextRows(blocker + "/survey.txt", "row\r\n", text), "");
}

TEST(BinaryFile, FullDiskLeavesStoredCyclesIntact)
{
    TempDir dir;
    const QString path = dir.File("survey.bin");
    BinaryFileState state;
    ASSERT_EQ(CreateBinaryFile(path, HeaderText, state), "");
    DipoleRecordArray records{};
    FillCycleRecords(records, 20, knownWorkspace(), knownFactors(), knownContext(true, true));
    int32_t pending = 0;
    ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 20, pending, 0), "");
    const QByteArray before = readAll(path);
    ASSERT_EQ(before.size(), 1029 + 20 * 304 + 1);

    // Room for a third of a record only: the write stops short inside the cycle.
    pending = 500;
    const int failures = withFileSizeLimit(before.size() + 100, [&] {
        BinaryFileState s = state;
        int32_t p = pending;
        int bits = 0;
        if (AppendCycleRecords(path, HeaderText, s, records, 20, p, 0).isEmpty())
            bits |= 1;
        if (s.RecordsInFile != 20 || s.FileIndex != 0 || s.HeaderSize != 1029)
            bits |= 2;
        if (p != 500)
            bits |= 4;
        return bits;
    });
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(readAll(path), before);

    // With room again the same cycle is stored whole, with its mark.
    ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 20, pending, 0), "");
    const QByteArray after = readAll(path);
    ASSERT_EQ(after.size(), 1029 + 40 * 304 + 1);
    EXPECT_EQ(at<float>(after, 1029 + 20 * 304 + 272), 500);
    EXPECT_EQ(after.left(before.size() - 1), before.left(before.size() - 1));
}

// Under a file-size limit (40000 bytes) a survey's store fails as on a full disk: the program
// is not ended, the binary file keeps whole cycles only, the text file whole rows, and every
// write beyond the limit says why.
TEST(BinaryFile, AFileSizeLimitFailsTheWriteAsAFullDisk)
{
    TempDir dir;
    const QString base = dir.File("limited");
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    const std::string rows = TextRows(records, 10, knownWorkspace(), TextRowContext{});
    const int result = withFileSizeLimit(40000, [&] {
        BinaryFileState state;
        TextFileState text;
        int32_t pending = 0;
        if (CreateBinaryFile(base + ".bin", HeaderText, state) != "" || WriteTextHeader(base + ".txt", text) != "")
            return 1;
        int stored = 0;
        for (int cycle = 0; cycle < 20; ++cycle) {
            const QString error = AppendCycleRecords(base + ".bin", HeaderText, state, records, 10, pending, 0);
            if (error.isEmpty()) {
                if (stored != cycle || AppendTextRows(base + ".txt", rows, text) != "")
                    return 2;
                ++stored;
            } else if (!error.contains(systemErrorText(EFBIG)) || state.RecordsInFile != 10 * stored) {
                return 3;
            }
        }
        return stored == 12 ? 0 : 4;
    });
    EXPECT_EQ(result, 0) << "-1: the program was ended by the limit";
    const QByteArray bin = readAll(base + ".bin");
    EXPECT_EQ(bin.size(), 1029 + 12 * 10 * 304 + 1) << "whole cycles only";
    EXPECT_EQ(bin.back(), 0);
    const QByteArray text = readAll(base + ".txt");
    EXPECT_EQ(text.count('\n'), 13);
    EXPECT_TRUE(text.endsWith("\r\n"));
}

// The acquisition folder went away and came back (a memory stick pulled and plugged in again):
// a file that is missing or empty is made again with its header under the name it had, with
// only the cycle now stored counted in it; a file of that name that this survey did not write
// is left exactly as it is, the survey going on in a new file.
namespace {
// A file that cannot be continued is left byte for byte as it was; the cycle, with the pending
// mark, goes into a new file of the roll-over name `newIndex` that the state now names, and the
// notice says which file could not be continued and which one the survey goes on in.
void expectGoneOnInNewFile(const QString& error, const QString& notice, const QString& base, const QString& oldPath,
                           const QByteArray& oldBefore, const BinaryFileState& state, int32_t newIndex, int channels,
                           int32_t pending, float mark)
{
    EXPECT_EQ(error, "") << error.toStdString();
    if (QFileInfo(oldPath).isFile())
        EXPECT_EQ(readAll(oldPath), oldBefore) << "not one byte of the file changes";
    else
        EXPECT_TRUE(QFileInfo(oldPath).isDir());
    const QString newPath = BinaryFileName(base, newIndex);
    const QByteArray bytes = readAll(newPath);
    ASSERT_EQ(bytes.size(), 1029 + channels * 304 + 1) << newPath.toStdString();
    const auto header = BinFileHeaderBytes(HeaderText);
    EXPECT_EQ(std::memcmp(bytes.constData(), header.data(), header.size()), 0) << "this survey's header";
    EXPECT_EQ(at<float>(bytes, 1029 + 272), mark);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(state.FileIndex, newIndex);
    EXPECT_EQ(state.RecordsInFile, channels);
    EXPECT_EQ(state.HeaderSize, 1029);
    EXPECT_EQ(pending, 0) << "the mark is spent with the cycle that took it";
    EXPECT_TRUE(notice.contains(QFileInfo(oldPath).fileName())) << notice.toStdString();
    EXPECT_TRUE(notice.endsWith("the survey goes on in " + QFileInfo(newPath).fileName())) << notice.toStdString();
}
} // namespace

TEST(BinaryFile, AFileThatWentAwayIsMadeAgainAndNoOtherIsTouched)
{
    enum class Disk { Missing, Empty, Longer, Shorter };
    const struct {
        const char* name;
        Disk disk;
        int32_t fileIndex, recordsBefore;
        bool stored;
    } cases[] = {
        {"first file missing", Disk::Missing, 0, 40, true},
        {"first file back empty", Disk::Empty, 0, 40, true},
        {"roll-over file missing near its end", Disk::Missing, 2, 15990, true},
        {"another file of that name, longer", Disk::Longer, 0, 10, false},
        {"another file of that name, shorter", Disk::Shorter, 0, 10, false},
    };
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString base = dir.File("survey");
        const QString path = BinaryFileName(base, c.fileIndex);
        BinaryFileState state;
        state.FileIndex = c.fileIndex;
        state.RecordsInFile = c.recordsBefore;
        state.HeaderSize = 1029;
        const QByteArray other = c.disk == Disk::Longer ? QByteArray(1029 + 20 * 304 + 1, 'x') : QByteArray(2000, 'x');
        if (c.disk != Disk::Missing) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            if (c.disk != Disk::Empty)
                f.write(other);
        }
        int32_t pending = 500;
        QString notice;
        const QString error = AppendCycleRecords(path, HeaderText, state, records, 10, pending, 1001, &notice);
        const QByteArray bytes = readAll(path);
        if (!c.stored) {
            expectGoneOnInNewFile(error, notice, base, path, other, state, 1, 10, pending, 500);
            continue;
        }
        // Said, with the cycles of this survey the file made again no longer holds.
        const QString name = QFileInfo(path).fileName();
        EXPECT_EQ(notice, c.recordsBefore == 0 ? name + " was made again"
                                                : QString("%1 was made again, without %2 cycles stored in it")
                                                      .arg(name).arg(c.recordsBefore / 10));
        EXPECT_EQ(state.CyclesHeld, 1 - c.recordsBefore / 10);
        ASSERT_EQ(error, "");
        ASSERT_EQ(bytes.size(), 1029 + 10 * 304 + 1);
        const auto header = BinFileHeaderBytes(HeaderText);
        EXPECT_EQ(std::memcmp(bytes.constData(), header.data(), header.size()), 0);
        EXPECT_EQ(at<float>(bytes, 1029 + 272), 500);
        EXPECT_EQ(bytes.back(), 0);
        EXPECT_EQ(state.RecordsInFile, 10);
        EXPECT_EQ(state.HeaderSize, 1029);
        EXPECT_EQ(state.FileIndex, c.fileIndex) << "the file of its number, not the next one";
        EXPECT_EQ(pending, 0);
        EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});

        // The next cycle goes on in the file made again.
        ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 10, pending, 1001), "");
        EXPECT_EQ(readAll(path).size(), 1029 + 20 * 304 + 1);
        EXPECT_EQ(readAll(path).left(bytes.size() - 1), bytes.left(bytes.size() - 1));
    }
}

// This survey's own file back with other than the records it was left with (a stick pulled
// before its last writes reached it; a cycle written whose close failed): storing goes on at
// its end, over nothing but the final zero byte, and counts what it holds. A file cut inside a
// cycle, or with another header, is left as it is and the survey goes on in a new file.
TEST(BinaryFile, ThisSurveysFileBackWithOtherRecordsGoesOnAtItsEnd)
{
    const struct {
        const char* name;
        int recordsOnDisk;  // whole records after the header
        int extraBytes;     // bytes after them
        bool ownHeader;
        bool stored;
    } cases[] = {
        {"back shorter, with its final zero", 20, 1, true, true},
        {"back shorter, without it", 20, 0, true, true},
        {"an uncounted cycle after the counted ones", 50, 1, true, true},
        {"only its header", 0, 0, true, true},
        {"cut inside a cycle", 25, 0, true, false},
        {"cut inside a record", 20, 100, true, false},
        {"whole cycles under another header", 20, 1, false, false},
        {"another header at the size this survey left", 40, 1, false, false},
        {"another header at that size without its final zero", 40, 0, false, false},
    };
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    const auto header = BinFileHeaderBytes(HeaderText);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString path = BinaryFileName(dir.File("survey"), 0);
        QByteArray disk(reinterpret_cast<const char*>(header.data()), qsizetype(header.size()));
        if (!c.ownHeader)
            disk[200] = char(disk[200] ^ 1);
        for (int r = 0; r < c.recordsOnDisk; ++r)
            disk += QByteArray(reinterpret_cast<const char*>(&records[size_t(r % 10)]), DipoleRecordSize);
        disk += QByteArray(c.extraBytes, c.extraBytes == 1 ? '\0' : 'r');
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(disk), disk.size());
        }
        BinaryFileState state;
        state.RecordsInFile = 40;
        state.HeaderSize = 1029;
        int32_t pending = 7;
        QString notice;
        const QString error = AppendCycleRecords(path, HeaderText, state, records, 10, pending, 0, &notice);
        const QByteArray bytes = readAll(path);
        if (!c.stored) {
            expectGoneOnInNewFile(error, notice, dir.File("survey"), path, disk, state, 1, 10, pending, 7);
            continue;
        }
        const int gone = (40 - c.recordsOnDisk) / 10;
        EXPECT_EQ(notice, gone > 0 ? QString("survey.bin was back without %1 cycle%2 stored in it").arg(gone).arg(gone == 1 ? "" : "s")
                                   : QString());
        EXPECT_EQ(state.CyclesHeld, 1 - std::max(gone, 0));
        ASSERT_EQ(error, "");
        const qsizetype kept = 1029 + qsizetype(c.recordsOnDisk) * DipoleRecordSize;
        ASSERT_EQ(bytes.size(), kept + 10 * DipoleRecordSize + 1);
        EXPECT_EQ(bytes.left(kept), disk.left(kept)) << "what was on disk stays";
        EXPECT_EQ(at<float>(bytes, int(kept) + 272), 7) << "the cycle's mark on its first record";
        EXPECT_EQ(bytes.back(), 0);
        EXPECT_EQ(state.RecordsInFile, c.recordsOnDisk + 10);
        EXPECT_EQ(pending, 0);
    }
}

// While the folder is away nothing is made or counted; a file made for a cycle that does not
// fit is removed again, so that the next cycle finds it missing and makes it whole.
TEST(BinaryFile, AFileMadeAgainIsWholeOrNone)
{
    TempDir dir;
    const QString folder = dir.File("stick");
    const QString path = folder + "/survey.bin";
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    BinaryFileState state;
    state.RecordsInFile = 30;
    state.HeaderSize = 1029;
    int32_t pending = 0;
    EXPECT_TRUE(AppendCycleRecords(path, HeaderText, state, records, 10, pending, 0).contains(path));
    EXPECT_EQ(state.RecordsInFile, 30);
    EXPECT_FALSE(QDir(folder).exists());

    ASSERT_TRUE(QDir().mkpath(folder));
    const int failures = withFileSizeLimit(1029 + 304, [&] {
        BinaryFileState s = state;
        int32_t p = pending;
        return (AppendCycleRecords(path, HeaderText, s, records, 10, p, 0).isEmpty() ? 1 : 0) |
               (s.RecordsInFile != 30 ? 2 : 0);
    });
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 10, pending, 0), "");
    EXPECT_EQ(readAll(path).size(), 1029 + 10 * 304 + 1);
}

// The text file as this survey finds it at its next cycle, after its header and a first row: a
// file made again or emptied begins with the header line; this survey's file cut by another
// program (inside a row, at a row's CR LF, inside the header) gets its line ended first, so
// that no row is glued to what is left; any other file under the name is left untouched and
// refused. The survey then goes on as in any file of its own.
TEST(TextFile, OnlyThisSurveysFileIsWrittenAndEveryRowStartsALine)
{
    const std::string header = std::string(TextHeaderLine) + "\r\n";
    const std::string row1 = "0.00;1.50;123.4;\r\n", row2 = "1.00;2.00;;;\r\n", row3 = "2.00;2.50;;;\r\n";
    const std::string ours = header + row1;
    const struct {
        const char* name;
        bool remove;
        std::string found;     // the file as found, unless removed
        std::string expected;  // after the next cycle's rows; empty: refused, left as found
        QString notice = {};   // what the survey is told besides
    } cases[] = {
        {"as this survey left it", false, ours, ours + row2},
        {"missing", true, {}, header + row2, "survey.txt was made again, without 1 cycle written in it"},
        {"emptied", false, {}, header + row2, "survey.txt was made again, without 1 cycle written in it"},
        {"cut to its header", false, header, header + row2, "survey.txt was back without 1 cycle written in it"},
        {"cut inside a row", false, ours.substr(0, ours.size() - 4), ours.substr(0, ours.size() - 4) + "\r\n" + row2,
         "survey.txt was back without 1 cycle written in it"},
        // A row that lost only its line end is whole again once it gets it back.
        {"its last row without CR LF", false, ours.substr(0, ours.size() - 2), ours + row2},
        {"its last row without LF", false, ours.substr(0, ours.size() - 1), ours + row2},
        {"its header cut short", false, header.substr(0, 12), header.substr(0, 12) + "\r\n" + row2,
         "survey.txt was back without 1 cycle written in it"},
        {"another survey's, shorter", false, header + "9;\r\n", {}},
        {"another survey's, of the same size", false, header + "0.00;1.50;999.9;\r\n", {}},
        {"another survey's, longer", false, ours + row1, {}},
        {"this survey's with a row of another program", false, ours + "x\r\n", {}},
        {"another file, shorter than a header", false, "Date;Time\r\n", {}},
    };
    // The survey writes its header and `rows`, then finds its file removed or holding `found`.
    const auto writtenThenFound = [](const QString& path, TextFileState& state, const std::vector<std::string>& rows,
                                     bool remove, const std::string& found) {
        ASSERT_EQ(WriteTextHeader(path, state), "");
        for (const std::string& r : rows)
            ASSERT_EQ(AppendTextRows(path, r, state), "");
        if (remove) {
            ASSERT_TRUE(QFile::remove(path));
            return;
        }
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(found.data(), qint64(found.size())), qint64(found.size()));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString path = dir.File("survey.txt");
        TextFileState state;
        writtenThenFound(path, state, {row1}, c.remove, c.found);
        QString notice;
        const QString problem = AppendTextRows(path, row2, state, &notice);
        EXPECT_EQ(notice, c.notice) << notice.toStdString();
        if (c.expected.empty()) {
            EXPECT_EQ(problem, "Cannot write " + path + ": the file holds other rows than this survey wrote in it");
            EXPECT_EQ(readAll(path).toStdString(), c.found);
            EXPECT_EQ(state.CyclesHeld(), 0) << "another file holds none of this survey's rows";
            EXPECT_NE(AppendTextRows(path, row3, state), "") << "refused at every cycle";
            EXPECT_EQ(readAll(path).toStdString(), c.found);
        } else {
            EXPECT_EQ(problem, "");
            EXPECT_EQ(readAll(path).toStdString(), c.expected);
            EXPECT_EQ(AppendTextRows(path, row3, state), "");
            EXPECT_EQ(readAll(path).toStdString(), c.expected + row3);
            EXPECT_EQ(state.CyclesHeld(), c.notice.isEmpty() ? 3 : 2) << "the rows of this survey the file holds";
        }
    }

    // After several rows, a cut inside the first one still leaves this survey's file, which its
    // first row's bytes tell from another survey's file holding only the header and a row's start.
    const std::string longer = ours + row2;
    const struct {
        const char* name;
        std::string found;
        std::string expected; // empty: refused, left as found
    } cutEarly[] = {
        {"cut inside its first row", longer.substr(0, header.size() + 6), longer.substr(0, header.size() + 6) + "\r\n" + row3},
        {"another survey's row start", header + "0.00;9", {}},
    };
    for (const auto& c : cutEarly) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString path = dir.File("survey.txt");
        TextFileState state;
        writtenThenFound(path, state, {row1, row2}, false, c.found);
        QString notice;
        const QString problem = AppendTextRows(path, row3, state, &notice);
        EXPECT_EQ(readAll(path).toStdString(), c.expected.empty() ? c.found : c.expected);
        if (c.expected.empty()) {
            EXPECT_NE(problem, "");
        } else {
            EXPECT_EQ(problem, "");
            EXPECT_EQ(notice, "survey.txt was back without 2 cycles written in it");
            EXPECT_EQ(state.CyclesHeld(), 1);
        }
    }

    // A header that does not fit leaves no part of itself; the first row then brings it.
    TempDir dir;
    const QString path = dir.File("survey.txt");
    TextFileState state;
    EXPECT_EQ(withFileSizeLimit(100, [&] { return WriteTextHeader(path, state).isEmpty() ? 1 : 0; }), 0);
    EXPECT_EQ(readAll(path), QByteArray());
    ASSERT_EQ(AppendTextRows(path, row1, state), "");
    EXPECT_EQ(readAll(path).toStdString(), header + row1);
    // Rows that do not fit in a file made for them leave no file.
    const QString made = dir.File("made.txt");
    TextFileState madeState;
    EXPECT_EQ(withFileSizeLimit(100, [&] { return AppendTextRows(made, row1, madeState).isEmpty() ? 1 : 0; }), 0);
    EXPECT_FALSE(QFile::exists(made));
}

namespace {

// Known values for the text rows: see the expected rows below.
struct TextFixture {
    WorkspaceArray w{};
    DipoleRecordArray records{};
    TextRowContext ctx;

    TextFixture()
    {
        for (int i = 0; i < 13; ++i) {
            w[124 + i] = 2.0f * i;
            w[157 + i] = 100.0f + i;
        }
        w[10] = 20.5f;
        w[21] = -20.5f;
        w[52] = 7.25f;
        w[63] = -7.25f;
        for (int k = 0; k < 10; ++k) {
            w[k] = k + 0.25f;
            w[11 + k] = -(k + 0.25f);
            w[42 + k] = k + 0.5f;
            w[53 + k] = -(k + 0.5f);
        }
        for (int c = 0; c < 20; ++c) {
            records[c].Rho = 100.5f + c;
            records[c].M = 2.25f * c;
        }
        ctx.Trip = 12.5f;
        ctx.SounderDepth = 3.25f;
        ctx.TotalDistance = 10;
        ctx.GpsLatitude = 4807.03125f;
        ctx.GpsLongitude = -1131.5f;
        ctx.GpsSentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        ctx.SounderSentence = "$SDDBT,8.1,f,2.47,M,1.35,F*0B\r\n";
    }
};

const std::string Lead = "12.50;3.25;";
const std::string Positions1 = "10.00;12.00;14.00;16.00;18.00;20.00;22.00;24.00;26.00;28.00;30.00;32.00;34.00;";
const std::string Positions2 =
    "110.00;111.00;112.00;113.00;114.00;115.00;116.00;117.00;118.00;119.00;120.00;121.00;122.00;";
const std::string LatLon = "4807.031250;-1131.500000;";
const std::string Readings1 = "20.5000;-20.5000;0.2500;-0.2500;1.2500;-1.2500;2.2500;-2.2500;3.2500;-3.2500;"
                              "4.2500;-4.2500;5.2500;-5.2500;6.2500;-6.2500;7.2500;-7.2500;8.2500;-8.2500;"
                              "9.2500;-9.2500;";
const std::string Readings2 = "7.2500;-7.2500;0.5000;-0.5000;1.5000;-1.5000;2.5000;-2.5000;3.5000;-3.5000;"
                              "4.5000;-4.5000;5.5000;-5.5000;6.5000;-6.5000;7.5000;-7.5000;8.5000;-8.5000;"
                              "9.5000;-9.5000;";
const std::string Sentences =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r;$SDDBT,8.1,f,2.47,M,1.35,F*;\r\n";
const std::string Zeros5 = "0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;";

int fieldsOf(const std::string& row) { return int(std::count(row.begin(), row.end(), ';')); }

} // namespace

TEST(TextFile, RowsByteForByte)
{
    TextFixture f;
    const std::string five = "100.5000;0.0000;101.5000;2.2500;102.5000;4.5000;103.5000;6.7500;104.5000;9.0000;";
    const std::string row5 = Lead + five + Zeros5 + Positions1 + LatLon + Readings1 + Sentences;
    EXPECT_EQ(TextRows(f.records, 5, f.w, f.ctx), row5);
    EXPECT_EQ(fieldsOf(row5), 61);

    // Twelve channels: a second row for channels 11 to 20 of the second cable set.
    const std::string ten = five + "105.5000;11.2500;106.5000;13.5000;107.5000;15.7500;108.5000;18.0000;"
                                   "109.5000;20.2500;";
    const std::string second = Lead + "110.5000;22.5000;111.5000;24.7500;" + Zeros5 + "0.0000;0.0000;0.0000;0.0000;0.0000;0.0000;" +
                               Positions2 + LatLon + Readings2 + Sentences;
    EXPECT_EQ(fieldsOf(second), 61);
    EXPECT_EQ(TextRows(f.records, 12, f.w, f.ctx), Lead + ten + Positions1 + LatLon + Readings1 + Sentences + second);

    // A value that is not a number: "0;" fillers from that pair to the tenth.
    f.records[2].Rho = std::numeric_limits<float>::quiet_NaN();
    const std::string filled = Lead + "100.5000;0.0000;101.5000;2.2500;" + "0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;" +
                               Positions1 + LatLon + Readings1 + Sentences;
    EXPECT_EQ(TextRows(f.records, 5, f.w, f.ctx), filled);
    EXPECT_EQ(fieldsOf(filled), 61);
}

TEST(TextFile, SentenceCutRules)
{
    const std::string sixty(60, 'G');
    const struct {
        std::string sentence, field;
    } gps[] = {
        {"$GPGGA,1,2*47\r\n", "$GPGGA,1,2*47\r"},
        {sixty, sixty},
        {std::string(90, 'G'), std::string(80, 'G')},
        {"$GPG", ""},
        {"$GPGGA", "$GPGGA"},
        {"ab\rcd", "ab\r"},
        {"", ""},
    };
    for (const auto& c : gps)
        EXPECT_EQ(GpsField(c.sentence), c.field) << c.sentence;
    EXPECT_EQ(SounderField("$SDDBT,8.1,f,2.47,M*0B\r\n"), "$SDDBT,8.1,f,2.47,M*");
    EXPECT_EQ(SounderField("$SDDBT,8.1,f,2.47,M\r\n"), "");
    EXPECT_EQ(SounderField(""), "");

    // A garbled sentence never adds a field nor splits the row.
    const struct {
        std::string gps, sounder, fields;
    } garbled[] = {
        {"$GPGGA,1;2,3*47\r\n", "$SDDBT,1;2*0B", "$GPGGA,1 2,3*47\r;$SDDBT,1 2*;"},
        {"$GPGGA,1\n2,3", "$SD\nDBT*", "$GPGGA,1 2,3;$SD DBT*;"},
        {";;\n;\n;;", "\n;*", "       ;  *;"},
        {"\n;\r\n", "\r\n*", "  \r;  *;"},
    };
    TextFixture f;
    for (const auto& c : garbled) {
        f.ctx.GpsSentence = c.gps;
        f.ctx.SounderSentence = c.sounder;
        const std::string rows = TextRows(f.records, 12, f.w, f.ctx);
        const std::string row = ";" + c.fields + "\r\n";
        SCOPED_TRACE(c.fields);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2);
        EXPECT_EQ(rows.find(row), rows.find("\r\n") + 2 - row.size());
        EXPECT_EQ(rows.rfind(row), rows.size() - row.size());
        EXPECT_EQ(fieldsOf(rows.substr(0, rows.find('\n') + 1)), 61);
    }
}

namespace {
struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};
} // namespace

TEST(TextFile, PointWhateverTheLocale)
{
    const QLocale oldQt;
    const std::locale oldCpp;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
    const std::string oldC = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // where the system has it

    TextFixture f;
    const std::string rows = TextRows(f.records, 1, f.w, f.ctx);

    std::setlocale(LC_NUMERIC, oldC.c_str());
    std::locale::global(oldCpp);
    QLocale::setDefault(oldQt);
    EXPECT_EQ(rows.substr(0, 20), "12.50;3.25;100.5000;");
}

// What the connection line says of the cycles each file did not get, and at Stop of files that
// disagree.
TEST(TextFile, CyclesTheFilesDidNotGetAreSaid)
{
    const struct {
        int32_t bin, text, cycles;
        bool stopped;
        const char* said;
        bool further = false; // the survey went on past s.bin
    } cases[] = {
        {7, 7, 7, false, ""},
        {7, 7, 7, true, ""},
        {7, 5, 7, false, "s.txt lacks 2 cycles"},
        {6, 4, 7, false, "s.bin lacks 1 cycle, s.txt lacks 3 cycles"},
        {6, 6, 7, true, "s.bin lacks 1 cycle, s.txt lacks 1 cycle"},
        {22, 14, 22, true, "s.txt lacks 8 cycles, the files differ: s.bin holds 22 cycles, s.txt 14 cycles"},
        // s.bin holds only the first file's share of what the binary files hold.
        {1200, 1197, 1200, true, "s.txt lacks 3 cycles, the files differ: the binary files hold 1200 cycles, s.txt 1197 cycles", true},
        {1198, 1200, 1200, true, "the binary files lack 2 cycles, the files differ: the binary files hold 1198 cycles, s.txt 1200 cycles", true},
        {1200, 1200, 1200, true, "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MissingCyclesText("/stick/s.bin", c.bin, "/stick/s.txt", c.text, c.cycles, c.stopped, c.further), c.said)
            << c.bin << " " << c.text << " " << c.cycles;
}

TEST(TextFile, HeaderThenRows)
{
    TempDir dir;
    const QString path = dir.File("survey.txt");
    { QFile old(path); ASSERT_TRUE(old.open(QIODevice::WriteOnly)); old.write("old survey\r\n"); }
    TextFileState text;
    ASSERT_EQ(WriteTextHeader(path, text), "");
    const std::string header = std::string(TextHeaderLine) + "\r\n";
    EXPECT_EQ(readAll(path).toStdString(), header);
    EXPECT_EQ(fieldsOf(TextHeaderLine), 58); // 59 names, none after the last
    EXPECT_NE(std::string(TextHeaderLine).back(), ';');

    TextFixture f;
    const std::string rows = TextRows(f.records, 12, f.w, f.ctx);
    ASSERT_EQ(AppendTextRows(path, rows, text), "");
    ASSERT_EQ(AppendTextRows(path, rows, text), "");
    EXPECT_EQ(readAll(path).toStdString(), header + rows + rows);

    // No room for the rows: the file keeps what it held.
    const QByteArray before = readAll(path);
    const int result = withFileSizeLimit(before.size() + 10, [&] { return AppendTextRows(path, rows, text).isEmpty() ? 1 : 0; });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readAll(path), before);
}

// This survey's own file found full (its filling cycle written, its close failed, so the count
// stayed behind): the cycle goes into the next file of the roll-over; a file one record short
// of full takes it.
TEST(BinaryFile, ThisSurveysFullFileGoesOnInTheNextFile)
{
    const struct {
        const char* name;
        int channels, recordsOnDisk, countedBefore;
        int32_t fileIndex, recordsAfter;
    } cases[] = {
        {"full", 10, RecordsPerBinaryFile, RecordsPerBinaryFile - 10, 1, 10},
        {"one record short", 1, RecordsPerBinaryFile - 1, RecordsPerBinaryFile - 2, 1, 0},
    };
    const auto header = BinFileHeaderBytes(HeaderText);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DipoleRecordArray records{};
        FillCycleRecords(records, c.channels, knownWorkspace(), knownFactors(), knownContext(true, true));
        TempDir dir;
        const QString base = dir.File("survey");
        QByteArray disk(reinterpret_cast<const char*>(header.data()), qsizetype(header.size()));
        disk += QByteArray(qsizetype(c.recordsOnDisk) * DipoleRecordSize, '\0');
        disk += '\0';
        {
            QFile f(base + ".bin");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(disk), disk.size());
        }
        BinaryFileState state;
        state.RecordsInFile = c.countedBefore;
        state.HeaderSize = 1029;
        int32_t pending = 500;
        ASSERT_EQ(AppendCycleRecords(base + ".bin", HeaderText, state, records, c.channels, pending, 0), "");
        EXPECT_EQ(state.FileIndex, c.fileIndex);
        EXPECT_EQ(state.RecordsInFile, c.recordsAfter);
        EXPECT_EQ(pending, 0);
        const QByteArray first = readAll(base + ".bin");
        const QByteArray second = readAll(base + "#1.bin");
        if (c.recordsOnDisk == RecordsPerBinaryFile) {
            EXPECT_EQ(first, disk) << "the full file stays as it is";
            ASSERT_EQ(second.size(), 1029 + c.channels * 304 + 1);
            EXPECT_EQ(at<float>(second, 1029 + 272), 500);
        } else {
            EXPECT_EQ(first.size(), disk.size() + c.channels * 304);
            EXPECT_FALSE(QFile::exists(base + "#1.bin"));
        }
    }
}

// A binary file that cannot be continued while its folder can be written: no cycle is lost.
// The cycle and the ones after it go into the first roll-over name after the file's own that no
// file has; nothing already on disk under any name is touched.
TEST(BinaryFile, AFileThatCannotBeContinuedIsLeftAndTheSurveyGoesOnInANewFile)
{
    enum class Disk { CutInsideARecord, OtherHeader, Folder, ReadOnly };
    const struct {
        const char* name;
        Disk disk;
        int32_t fileIndex;
        std::vector<int32_t> taken;  // roll-over names that other files already have
        int32_t newIndex;
        int32_t leftHolds; // of the survey's 4 cycles in the file left, those it still holds
    } cases[] = {
        {"cut inside a record by another program", Disk::CutInsideARecord, 0, {}, 1, 3},
        {"another survey's header", Disk::OtherHeader, 0, {}, 1, 0},
        {"a folder in its place", Disk::Folder, 0, {}, 1, 0},
        {"a file that may not be written", Disk::ReadOnly, 0, {}, 1, 4},
        {"the next names taken", Disk::CutInsideARecord, 0, {1, 2}, 3, 3},
        {"a roll-over file", Disk::Folder, 2, {4}, 3, 0},
        {"a roll-over file, the next name taken", Disk::OtherHeader, 2, {3}, 4, 0},
    };
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    const auto header = BinFileHeaderBytes(HeaderText);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.disk == Disk::ReadOnly && geteuid() == 0)
            continue; // permissions do not hold for root
        TempDir dir;
        const QString base = dir.File("survey");
        const QString path = BinaryFileName(base, c.fileIndex);
        QByteArray disk(reinterpret_cast<const char*>(header.data()), qsizetype(header.size()));
        for (int r = 0; r < 40; ++r)
            disk += QByteArray(reinterpret_cast<const char*>(&records[size_t(r % 10)]), DipoleRecordSize);
        disk += '\0';
        if (c.disk == Disk::CutInsideARecord)
            disk.chop(100);
        if (c.disk == Disk::OtherHeader)
            disk[300] = char(disk[300] ^ 1);
        if (c.disk == Disk::Folder) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(disk), disk.size());
        }
        if (c.disk == Disk::ReadOnly)
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
        std::vector<QByteArray> others;
        for (const int32_t index : c.taken) {
            QFile f(BinaryFileName(base, index));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            others.push_back("another file " + QByteArray::number(index));
            f.write(others.back());
        }

        BinaryFileState state;
        state.FileIndex = c.fileIndex;
        state.RecordsInFile = 40;
        state.HeaderSize = 1029;
        state.CyclesHeld = 4;
        int32_t pending = 600;
        QString notice;
        const QString error = AppendCycleRecords(path, HeaderText, state, records, 10, pending, 1001, &notice);
        EXPECT_EQ(state.CyclesHeld, c.leftHolds + 1) << "the survey's cycles that its files hold";
        expectGoneOnInNewFile(error, notice, base, path, disk, state, c.newIndex, 10, pending, 600);
        for (std::size_t k = 0; k < c.taken.size(); ++k)
            EXPECT_EQ(readAll(BinaryFileName(base, c.taken[k])), others[k]) << "another file is never touched";

        // The next cycles go on in the new file, the state's own name, with the mark counter.
        const QString newPath = BinaryFileName(base, state.FileIndex);
        for (int cycle = 0; cycle < 2; ++cycle) {
            notice.clear();
            ASSERT_EQ(AppendCycleRecords(newPath, HeaderText, state, records, 10, pending, 1001, &notice), "");
            EXPECT_EQ(notice, "");
        }
        const QByteArray bytes = readAll(newPath);
        ASSERT_EQ(bytes.size(), 1029 + 30 * 304 + 1);
        EXPECT_EQ(at<float>(bytes, 1029 + 10 * 304 + 272), 1001);
        EXPECT_EQ(state.FileIndex, c.newIndex);
        EXPECT_EQ(state.RecordsInFile, 30);
        EXPECT_EQ(state.CyclesHeld, c.leftHolds + 3);
        if (c.disk != Disk::Folder)
            EXPECT_EQ(readAll(path), disk);
    }
}

// Without a folder to write in, nothing is made, counted or spent: the cycle is lost and said.
TEST(BinaryFile, NoNewFileWithoutAFolderToWriteIn)
{
    TempDir dir;
    const QString folder = dir.File("stick");
    ASSERT_TRUE(QDir().mkpath(folder + "/survey.bin"));
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    BinaryFileState state;
    state.RecordsInFile = 40;
    state.HeaderSize = 1029;
    int32_t pending = 500;
    QString notice;
    if (geteuid() != 0) {
        // The folder is there but may not be written: the file in the way cannot be replaced by a new one.
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QString error =
            AppendCycleRecords(folder + "/survey.bin", HeaderText, state, records, 10, pending, 0, &notice);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_TRUE(error.contains(folder + "/survey.bin")) << error.toStdString();
        EXPECT_TRUE(error.contains(folder + "/survey#1.bin")) << error.toStdString();
        EXPECT_EQ(notice, "");
        EXPECT_EQ(state.FileIndex, 0);
        EXPECT_EQ(state.RecordsInFile, 40);
        EXPECT_EQ(pending, 500);
        EXPECT_EQ(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"survey.bin"});
    }
    // The folder went away: no name is tried after the file's own.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    const QString error = AppendCycleRecords(folder + "/survey.bin", HeaderText, state, records, 10, pending, 0, &notice);
    EXPECT_TRUE(error.contains(folder + "/survey.bin")) << error.toStdString();
    EXPECT_EQ(notice, "");
    EXPECT_EQ(state.FileIndex, 0);
    EXPECT_EQ(state.RecordsInFile, 40);
    EXPECT_EQ(pending, 500);
    EXPECT_FALSE(QDir(folder).exists());
}

namespace {
// Closes as a network share whose write error is deferred to the close: the next `failures`
// closes of a binary file report EIO, after the write reached the file, or (lose) after the
// file lost it again.
struct FailingClose {
    static inline int failures = 0;
    static inline bool lose = false;
    static inline off_t loseTo = 0;
    static int close(int fd)
    {
        if (failures <= 0 || !NamesBinaryFile(fd))
            return ::close(fd);
        --failures;
        if (lose) { // the file goes back to what it held before the write, final zero byte included
            [[maybe_unused]] const int cut = ::ftruncate(fd, loseTo - 1);
            [[maybe_unused]] const ssize_t zero = ::pwrite(fd, "", 1, loseTo - 1);
        }
        ::close(fd);
        errno = EIO;
        return -1;
    }
};
struct FailingCloseScope {
    FailingCloseScope(int failures, bool lose, off_t loseTo = 0)
    {
        FailingClose::failures = failures;
        FailingClose::lose = lose;
        FailingClose::loseTo = loseTo;
        SetFileCloser(&FailingClose::close);
    }
    ~FailingCloseScope() { SetFileCloser(nullptr); }
};
} // namespace

// A file's header is whole or not there: a close that fails after the header was written whole
// leaves the survey's own file, which its cycles go on in; a header the disk cannot take whole
// leaves the file empty, not half a header that the next append would take for another file.
TEST(BinaryFile, AHeaderIsWholeOrNothing)
{
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    const std::string rows = TextRows(records, 10, knownWorkspace(), TextRowContext{});
    {
        TempDir dir;
        const QString bin = dir.File("survey.bin"), txt = dir.File("survey.txt");
        BinaryFileState state;
        TextFileState text;
        int32_t pending = 0;
        DeferredCloseError::BinaryOnly = false;
        DeferredCloseError::Failures = 1;
        SetFileCloser(&DeferredCloseError::Close);
        const QString binError = CreateBinaryFile(bin, HeaderText, state);
        DeferredCloseError::Failures = 1;
        const QString textError = WriteTextHeader(txt, text);
        SetFileCloser(nullptr);
        EXPECT_EQ(binError, "");
        EXPECT_EQ(textError, "");
        EXPECT_EQ(AppendCycleRecords(bin, HeaderText, state, records, 10, pending, 0), "");
        EXPECT_EQ(readAll(bin).size(), 1029 + 10 * 304 + 1);
        QString notice;
        EXPECT_EQ(AppendTextRows(txt, rows, text, &notice), "");
        EXPECT_EQ(notice, "");
        EXPECT_EQ(readAll(txt).toStdString(), std::string(TextHeaderLine) + "\r\n" + rows);
    }
    TempDir dir;
    const QString bin = dir.File("limited.bin");
    const int result = withFileSizeLimit(500, [&] {
        BinaryFileState state;
        const QString error = CreateBinaryFile(bin, HeaderText, state);
        return error.contains(systemErrorText(EFBIG)) && state.HeaderSize == 0 ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readAll(bin).size(), 0) << "no half header";
}

// A close that reports an error after the cycle was written whole: the cycle is stored and
// counted once, its one-shot mark spent with it; only a cycle that the file does not hold
// when read back failed, and then nothing is counted or spent.
TEST(BinaryFile, AFailedCloseAfterACompleteWrite)
{
    const struct {
        const char* name;
        bool fileThere;  // this survey's file with 20 records, else missing (made for the cycle)
        bool lost;       // the write did not reach the file
    } cases[] = {
        {"into this survey's file", true, false},
        {"into a file made for the cycle", false, false},
        {"the write lost before the close", true, true},
    };
    DipoleRecordArray records{};
    FillCycleRecords(records, 10, knownWorkspace(), knownFactors(), knownContext(true, true));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const QString path = BinaryFileName(dir.File("survey"), 0);
        BinaryFileState state;
        int32_t pending = 0;
        if (c.fileThere) {
            ASSERT_EQ(CreateBinaryFile(path, HeaderText, state), "");
            for (int k = 0; k < 2; ++k)
                ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 10, pending, 0), "");
        } else {
            state.RecordsInFile = 20;
            state.HeaderSize = 1029;
        }
        const QByteArray before = readAll(path);
        pending = 500;
        QString error;
        {
            FailingCloseScope failing(1, c.lost, before.size());
            error = AppendCycleRecords(path, HeaderText, state, records, 10, pending, 1001);
            EXPECT_EQ(FailingClose::failures, 0) << "the close failed";
        }
        if (c.lost) {
            EXPECT_TRUE(error.startsWith("Cannot write " + path)) << error.toStdString();
            EXPECT_EQ(readAll(path), before);
            EXPECT_EQ(state.RecordsInFile, 20);
            EXPECT_EQ(pending, 500) << "the mark waits for a cycle that is stored";
            continue;
        }
        EXPECT_EQ(error, "") << error.toStdString();
        const int32_t held = c.fileThere ? 30 : 10;
        EXPECT_EQ(state.RecordsInFile, held);
        EXPECT_EQ(pending, 0);

        // The next cycle goes on behind it with the mark counter: the one-shot mark is stored once.
        ASSERT_EQ(AppendCycleRecords(path, HeaderText, state, records, 10, pending, 1001), "");
        const QByteArray bytes = readAll(path);
        ASSERT_EQ(bytes.size(), 1029 + (held + 10) * 304 + 1);
        std::vector<float> marks;
        for (int k = 0; k < (held + 10) / 10; ++k)
            marks.push_back(at<float>(bytes, 1029 + k * 10 * 304 + 272));
        std::vector<float> expected(marks.size(), 0.0f);
        expected[expected.size() - 2] = 500;
        expected.back() = 1001;
        EXPECT_EQ(marks, expected);
        EXPECT_EQ(state.RecordsInFile, held + 10);
    }
}

// A base name is a survey's only when every name it may take, up to its last roll-over file
// (#99), fits the folder's file system; a refusal says why. What is accepted can be made.
TEST(BinaryFile, ABaseNameMustLeaveRoomForEveryRollOverName)
{
    TempDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.File("x")));
    const long nameMax = ::pathconf(QFile::encodeName(dir.Path()).constData(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 8);
    const QString e = QString::fromUtf8("\xc3\xa9"); // two bytes in the file name
    QString deep;
    while (deep.size() < 4100)
        deep += "x/../";
    const struct {
        const char* name;
        QString base;
        bool accepted;
    } cases[] = {
        {"short", dir.File("survey"), true},
        {"#99.bin just fits", dir.File(QString(nameMax - 7, 'a')), true},
        {"one byte more", dir.File(QString(nameMax - 6, 'a')), false},
        {"the .txt and .bin fit, #1.bin does not", dir.File(QString(nameMax - 4, 'a')), false},
        {"bytes, not characters", dir.File(QString((nameMax - 5) / 2, QLatin1Char('a')).replace("a", e)), false},
        {"the path too long", dir.File(deep + "survey"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString problem = BaseNameProblem(c.base);
        if (!c.accepted) {
            EXPECT_TRUE(problem.contains("too long")) << problem.toStdString();
            continue;
        }
        EXPECT_EQ(problem, "");
        BinaryFileState state;
        state.FileIndex = MaxBinaryFileIndex;
        const QString last = BinaryFileName(c.base, MaxBinaryFileIndex);
        EXPECT_EQ(CreateBinaryFile(last, HeaderText, state), "");
        TextFileState text;
        EXPECT_EQ(WriteTextHeader(c.base + ".txt", text), "");
    }
    EXPECT_TRUE(BaseNameProblem(dir.File(QString(nameMax - 6, 'a'))).contains(QString::number(nameMax)));
}
