// The reading of one cycle against a line whose bytes arrive at given times (its clock moves as
// the reader waits): sentences, reading blocks into the workspace's map, taken only whole, the
// rest of a timed-out cycle taken off the line, and the quiet bound.
#include "acquisition/CycleReading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Acquisition;

namespace {

using Bytes = std::vector<uint8_t>;

// A line with bytes scheduled to arrive; reading waits on its own clock.
class ScriptedLine final : public CycleByteSource {
public:
    void Arrive(int64_t atMs, const Bytes& bytes)
    {
        for (const uint8_t b : bytes)
            line_.push_back({atMs, b});
    }
    void StopAt(int64_t atMs) { stopAt_ = atMs; }
    int Read(int waitMs) override
    {
        if (next_ < line_.size() && line_[next_].At <= now_ + waitMs) {
            now_ = std::max(now_, line_[next_].At);
            return line_[next_++].Byte;
        }
        now_ += waitMs;
        return -1;
    }
    int64_t NowMs() const override { return now_; }
    bool StopRequested() const override { return stopAt_ >= 0 && now_ >= stopAt_; }
    void Clear() override
    {
        ++Clears;
        while (next_ < line_.size() && line_[next_].At <= now_)
            ++next_;
    }
    // What has not been read (nor cleared) yet.
    Bytes Unread() const
    {
        Bytes out;
        for (size_t i = next_; i < line_.size(); ++i)
            out.push_back(line_[i].Byte);
        return out;
    }
    int Clears = 0;

private:
    struct Arrival {
        int64_t At;
        uint8_t Byte;
    };
    std::vector<Arrival> line_;
    size_t next_ = 0;
    int64_t now_ = 0;
    int64_t stopAt_ = -1;
};

Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes sentence(const std::string& text) { return le32(uint32_t(text.size())) + Bytes(text.begin(), text.end()); }

// The value the instrument sends as value i of block b (blocks counted from 1 as they come).
float sent(int block, uint64_t i) { return float(1000 * block + int(i)); }

// The reading blocks of a cycle, in the order they come: potential blocks N + 1 values, IP blocks N.
Bytes readings(const CycleShape& s)
{
    Bytes out;
    int block = 0;
    for (int set = 0; set < (s.SecondSet ? 2 : 1); ++set)
        for (int k = 0; k < 4; ++k) {
            const bool ipBlock = k % 2 == 1;
            if (ipBlock && !s.Ip)
                continue;
            ++block;
            for (uint64_t i = 0; i < s.Channels + (ipBlock ? 0 : 1); ++i) {
                const float v = sent(set * 4 + k + 1, i);
                uint32_t bits;
                std::memcpy(&bits, &v, 4);
                out = out + le32(bits);
            }
        }
    return out;
}

constexpr float Before = 7.0f; // what the workspace held before the cycle

WorkspaceArray filled()
{
    WorkspaceArray w;
    w.fill(Before);
    return w;
}

const Bytes NextCycle = {0xAB, 0xCD}; // whatever comes after the cycle

const std::string Gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string Dbt = "$SDDBT,41.0,f,12.50,M,6.8,F*00\r\n";

} // namespace

// Blocks 1 to 8 go to the map's places, whatever N the instrument reports (a potential block's
// last value is the current, only its first ten others have places, those an instrument of fewer
// channels does not send are cleared); without the switch unit the second set's places are
// cleared; nothing else is touched, and no byte of the next cycle is read.
TEST(CycleReading, ReadingsFillTheMapOfTheWorkspace)
{
    const struct {
        const char* name;
        uint32_t n;
        bool ip, second;
    } cases[] = {
        {"10 channels", 10, false, false},
        {"10 channels, IP, switch unit", 10, true, true},
        {"12 channels, IP, switch unit", 12, true, true},
        {"8 channels, IP", 8, true, false},
        {"no channels, switch unit", 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CycleShape shape;
        shape.Channels = c.n;
        shape.Ip = c.ip;
        shape.SecondSet = c.second;
        ScriptedLine line;
        line.Arrive(300, readings(shape));
        line.Arrive(400, NextCycle);
        WorkspaceArray w = filled();
        CycleReader reader(line, shape);
        reader.ReadReadings(w);
        EXPECT_EQ(line.Unread(), NextCycle);

        WorkspaceArray expected = filled();
        const uint64_t placed = std::min<uint64_t>(c.n, 10);
        // Per cable set: potentials, their current, the negative pulse's 11 places on, IP.
        const auto set = [&](int block, int potentials, int current, int ip) {
            // Places of values the instrument does not send hold nothing of an earlier cycle.
            std::fill_n(expected.begin() + potentials, 10, 0.0f);
            std::fill_n(expected.begin() + potentials + 11, 10, 0.0f);
            if (c.ip) {
                std::fill_n(expected.begin() + ip, 20, 0.0f);
            }
            for (uint64_t i = 0; i < placed; ++i) {
                expected[potentials + i] = sent(block, i);
                expected[potentials + 11 + i] = sent(block + 2, i);
                if (c.ip) {
                    expected[ip + i] = sent(block + 1, i);
                    expected[ip + 10 + i] = sent(block + 3, i);
                }
            }
            expected[current] = sent(block, c.n);
            expected[current + 11] = sent(block + 2, c.n);
        };
        set(1, 0, 10, 84);
        if (c.second) {
            set(5, 42, 52, 104);
        } else {
            std::fill(expected.begin() + 42, expected.begin() + 84, 0.0f);
            std::fill(expected.begin() + 104, expected.begin() + 124, 0.0f);
        }
        for (size_t k = 0; k < w.size(); ++k)
            EXPECT_EQ(w[k], expected[k]) << "place " << k;
    }
}

// Readings that stop after the first blocks: once the instrument has been quiet for the bound,
// the cycle is given up and the line cleared, and the workspace still holds the last whole
// cycle, not the cut cycle's first blocks.
TEST(CycleReading, ACutCycleLeavesTheWorkspaceWhole)
{
    CycleShape shape;
    shape.Ip = true;
    shape.SecondSet = true;
    const Bytes all = readings(shape);
    ScriptedLine line;
    line.Arrive(500, Bytes(all.begin(), all.begin() + long(all.size() / 2)));
    WorkspaceArray w = filled();
    CycleReader reader(line, shape);
    EXPECT_THROW(reader.ReadReadings(w), CycleGivenUp);
    EXPECT_EQ(line.Clears, 1);
    EXPECT_GE(line.NowMs(), 500 + CycleQuietMs(shape));
    EXPECT_LE(line.NowMs(), 500 + CycleQuietMs(shape) + 100);
    for (size_t k = 0; k < w.size(); ++k)
        EXPECT_EQ(w[k], Before) << "place " << k;
}

// A sentence that does not come (its length word is 0) leaves the rest of the cycle countable:
// the sentence a GPS timeout leaves unread is dropped, and the cycle's own readings, which come
// once the long pulses are over, go to the workspace; the next cycle's bytes stay on the line.
TEST(CycleReading, ATimedOutSentenceStillTakesItsOwnCyclesReadings)
{
    const struct {
        const char* name;
        bool sounder;
        bool gpsSilent; // else the sounder's
    } cases[] = {
        {"GPS only, no GPS sentence", false, true},
        {"GPS and sounder, no GPS sentence", true, true},
        {"GPS and sounder, no sounder sentence", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CycleShape shape;
        shape.Gps = true;
        shape.Sounder = c.sounder;
        shape.Ip = true;
        shape.SecondSet = true;
        shape.PulseTime = 150; // 1500 ms pulses, two cable sets: 6 s of pulses
        ScriptedLine line;
        line.Arrive(0, (c.gpsSilent ? le32(0) : sentence(Gga)) + (!c.sounder ? Bytes{} : c.gpsSilent ? sentence(Dbt) : le32(0)));
        line.Arrive(6000, readings(shape));
        line.Arrive(6100, NextCycle);
        WorkspaceArray w = filled();
        std::array<char, 256> buffer{};
        CycleReader reader(line, shape);
        const int32_t gps = reader.ReadSentence(buffer.data());
        EXPECT_EQ(gps, c.gpsSilent ? 0 : int32_t(Gga.size()));
        if (c.sounder && !c.gpsSilent) {
            EXPECT_EQ(reader.ReadSentence(buffer.data()), 0);
            EXPECT_EQ(buffer[0], 0);
        }
        reader.ReadReadings(w);
        EXPECT_GE(line.NowMs(), 6000);
        EXPECT_LT(line.NowMs(), 6100);
        EXPECT_EQ(line.Unread(), NextCycle);
        EXPECT_EQ(w[0], sent(1, 0));
        EXPECT_EQ(w[42], sent(5, 0)) << "the second set's readings";
    }
}

// A length word that cannot be counted on (out of range, or not whole within 3.5 s a byte)
// leaves the rest of the cycle unknown: the cycle is lost, its workspace untouched, and
// everything is dropped until the instrument has been quiet for the bound, so that the readings
// that come late do not meet the next trigger.
TEST(CycleReading, AnUncountableLengthLosesTheCycleAndIsDrainedUntilTheLineIsQuiet)
{
    const struct {
        const char* name;
        Bytes sentences;    // what comes at the trigger
        int64_t timedOutAt; // when ReadSentence gave its timeout
    } cases[] = {
        {"length beyond 80", le32(81) + Bytes(81, '$') + sentence(Dbt), 0},
        {"negative length", le32(0xFFFFFFF0u) + sentence(Dbt), 0},
        {"noise before the length", Bytes{7, 7, 7} + sentence(Gga) + sentence(Dbt), 0},
        {"two bytes of a length", Bytes{10, 0}, 3500},
        {"no length at all", Bytes{}, 3500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CycleShape shape;
        shape.Gps = shape.Sounder = true;
        shape.PulseTime = 300;
        ScriptedLine line;
        line.Arrive(0, c.sentences);
        line.Arrive(6000, readings(shape));
        std::array<char, 256> buffer{};
        WorkspaceArray w = filled();
        CycleReader reader(line, shape);
        EXPECT_EQ(reader.ReadSentence(buffer.data()), 0);
        EXPECT_GE(line.NowMs(), c.timedOutAt);
        EXPECT_LE(line.NowMs(), c.timedOutAt + 100);
        EXPECT_EQ(reader.ReadSentence(buffer.data()), 0) << "nothing more is taken for a sentence";
        line.Arrive(6000 + CycleQuietMs(shape) + 1000, NextCycle);
        EXPECT_THROW(reader.ReadReadings(w), CycleUnreadable);
        EXPECT_GE(line.NowMs(), 6000 + CycleQuietMs(shape));
        EXPECT_EQ(line.Unread(), NextCycle);
        EXPECT_EQ(line.Clears, 1);
        for (size_t k = 0; k < w.size(); ++k)
            EXPECT_EQ(w[k], Before) << "place " << k;
    }
}

// The reading blocks have no framing: bytes that come with them (stray bytes before them) shift
// them, and the line not staying quiet a moment after the last reading byte tells so. Such a
// cycle is lost, drained like a garbled one, with its workspace untouched; a stop asked for is
// not held beyond the settle; a clean cycle is taken once the settle is over, its time counted
// to its last reading byte.
TEST(CycleReading, BytesBeyondTheReadingsLoseTheCycle)
{
    CycleShape shape; // 1500 ms pulses, one cable set: 3 s
    shape.Gps = shape.Sounder = true;
    shape.PulseTime = 150;
    const Bytes stray = {0x07, ';', '\n'};
    const struct {
        const char* name;
        Bytes before;      // with the readings, in their burst
        int64_t extraAt;   // a byte after the readings, -1: none
        int64_t stopAt;    // -1: none
        bool lost;
        int64_t endsFrom, endsBy;
    } cases[] = {
        {"clean", {}, -1, -1, false, 3000 + SettleMs, 3000 + SettleMs},
        {"stray bytes before the readings", stray, -1, -1, true, 3000 + DrainQuietMs, 3000 + DrainQuietMs + 100},
        {"one byte late in the settle", {}, 3000 + SettleMs - 5, -1, true, 3035 + DrainQuietMs, 3035 + DrainQuietMs + 100},
        {"stray bytes, a stop asked for", stray, -1, 1000, true, 3000, 3000 + SettleMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine line;
        line.Arrive(0, sentence(Gga) + sentence(Dbt));
        line.Arrive(3000, c.before + readings(shape));
        if (c.extraAt >= 0)
            line.Arrive(c.extraAt, {0x55});
        line.Arrive(8000, NextCycle);
        line.StopAt(c.stopAt);
        std::array<char, 256> buffer{};
        WorkspaceArray w = filled();
        CycleReader reader(line, shape, 3000);
        EXPECT_GT(reader.ReadSentence(buffer.data()), 0);
        EXPECT_GT(reader.ReadSentence(buffer.data()), 0);
        if (c.lost) {
            try {
                reader.ReadReadings(w);
                ADD_FAILURE() << "the cycle was taken";
            } catch (const CycleUnreadable& e) {
                EXPECT_EQ(e.Loss, CycleLoss::GarbledReadings);
            }
            EXPECT_EQ(line.Clears, 1);
            for (size_t k = 0; k < w.size(); ++k)
                EXPECT_EQ(w[k], Before) << "place " << k;
        } else {
            reader.ReadReadings(w);
            EXPECT_EQ(w[0], sent(1, 0));
            EXPECT_EQ(w[21], sent(3, 10));
            EXPECT_EQ(reader.WholeCycleMs(), 3000);
        }
        EXPECT_GE(line.NowMs(), c.endsFrom);
        EXPECT_LE(line.NowMs(), c.endsBy);
        EXPECT_EQ(line.Unread(), NextCycle);
    }
}

// A sentence of the largest length allowed is read whole; a length word whose bytes come late,
// each within its 3.5 s, is taken, and the quiet is counted from the last byte heard, so that a
// sentence that follows it later than the quiet bound after the trigger is still read.
TEST(CycleReading, LongestAndSlowSentencesAreReadWhole)
{
    CycleShape shape; // 150 ms pulses: a quiet bound of 10.9 s
    shape.Gps = true;
    const std::string longest = "$GPGGA," + std::string(MaxSentenceLength - 9, '1') + "\r\n";
    ASSERT_EQ(longest.size(), size_t(MaxSentenceLength));
    const Bytes slowLength = le32(uint32_t(Gga.size()));
    const struct {
        const char* name;
        std::vector<std::pair<int64_t, Bytes>> arrivals;
        std::string expected;
    } cases[] = {
        {"80 bytes", {{0, sentence(longest)}}, longest},
        {"each length byte 3 s after the last, the sentence 5 s after it",
         {{0, {slowLength[0]}}, {3000, {slowLength[1]}}, {6000, {slowLength[2]}}, {9000, {slowLength[3]}},
          {14000, Bytes(Gga.begin(), Gga.end())}},
         Gga},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(CycleQuietMs(shape), 14000);
        ScriptedLine line;
        int64_t last = 0;
        for (const auto& [at, bytes] : c.arrivals) {
            line.Arrive(at, bytes);
            last = at;
        }
        line.Arrive(last + 100, readings(shape));
        line.Arrive(last + 200, NextCycle);
        std::array<char, MaxSentenceLength + 1> buffer{};
        WorkspaceArray w = filled();
        CycleReader reader(line, shape);
        ASSERT_EQ(reader.ReadSentence(buffer.data()), int32_t(c.expected.size()));
        EXPECT_EQ(std::string(buffer.data()), c.expected);
        reader.ReadReadings(w);
        EXPECT_EQ(w[0], sent(1, 0));
        EXPECT_EQ(line.Unread(), NextCycle);
    }
}

// The bound over our model of the cycle (a positive and a negative pulse per cable set, each
// with its delay and, with IP, its decay), and readings that come well after the pulses.
TEST(CycleReading, TheQuietBoundIsAmple)
{
    CycleShape demo; // 150 ms pulses, one cable set, the setup's usual delay of 120 ms
    demo.PulseDelay = 12;
    EXPECT_EQ(ModelledCycleMs(demo), 540);
    EXPECT_EQ(CycleQuietMs(demo), 11620);
    CycleShape longest = demo;
    longest.PulseTime = 800;
    longest.Ip = longest.SecondSet = true;
    EXPECT_EQ(ModelledCycleMs(longest), 64480);
    EXPECT_EQ(CycleQuietMs(longest), 203440);

    // An instrument whose readings come 5 s after its pulses, or just within the bound.
    for (const int64_t at : {int64_t(5300), CycleQuietMs(demo) - 50}) {
        SCOPED_TRACE(at);
        ScriptedLine line;
        line.Arrive(at, readings(demo));
        WorkspaceArray w = filled();
        CycleReader reader(line, demo);
        reader.ReadReadings(w);
        EXPECT_EQ(w[0], sent(1, 0));
        EXPECT_EQ(w[21], sent(3, 10));
    }
}

// While a stop is asked for, the cycle under way is awaited as long as the instrument's shown
// pace says (before its first whole cycle: the model; either bounded to under a minute) and a margin
// more, whatever the line sends: a cycle whose readings come late but within its pace is read,
// a cut line or noise ends the wait at that time.
TEST(CycleReading, AStopWaitsForTheCycleAsItsPaceSays)
{
    CycleShape fast; // 150 ms pulses, one cable set: 300 ms
    fast.Gps = true;
    CycleShape delayed = fast;
    delayed.PulseDelay = 3000; // 30 s before each pulse in the model
    const struct {
        const char* name;
        CycleShape shape;
        int64_t pace;       // shown so far, 0: none yet
        int64_t readingsAt; // -1: never
        bool noise;         // a byte every 100 ms from the trigger on
        int64_t endsAt;     // -1: the readings are taken
    } cases[] = {
        {"readings 5 s late, within the shown pace", fast, 5300, 5300, false, -1},
        {"readings 5 s late, no pace shown yet", fast, 0, 5300, false, 300 + StopMarginMs},
        {"cut line, pace shown", fast, 5300, -1, false, 5300 + StopMarginMs},
        {"cut line, a long delay in the model, pace shown", delayed, 300, -1, false, 300 + StopMarginMs},
        {"cut line, a long delay in the model, no pace", delayed, 0, -1, false, MaxModelledPaceMs + StopMarginMs},
        {"noise on a cut line", fast, 300, -1, true, 300 + StopMarginMs},
        // The survey stands still while a dialog opened during a read is up: a pace of minutes.
        {"cut line, a long delay in the model, a pace of 2 min shown", delayed, 120000, -1, false, MaxModelledPaceMs + StopMarginMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine line;
        line.Arrive(0, sentence(Gga));
        if (c.readingsAt >= 0)
            line.Arrive(c.readingsAt, readings(c.shape));
        if (c.noise)
            for (int64_t t = 100; t < 120000; t += 100)
                line.Arrive(t, {0x55});
        line.StopAt(1000);
        std::array<char, 256> buffer{};
        WorkspaceArray w = filled();
        CycleReader reader(line, c.shape, c.pace);
        EXPECT_GT(reader.ReadSentence(buffer.data()), 0);
        if (c.endsAt < 0) {
            reader.ReadReadings(w);
            EXPECT_EQ(w[0], sent(1, 0));
            EXPECT_EQ(reader.WholeCycleMs(), c.readingsAt);
        } else {
            EXPECT_THROW(reader.ReadReadings(w), CycleGivenUp);
            EXPECT_GE(line.NowMs(), c.endsAt);
            EXPECT_LE(line.NowMs(), c.endsAt + 100);
            EXPECT_EQ(w[0], Before);
        }
    }
}

// After a length word that cannot be counted on, a survey that has shown its pace drains the
// cycle only until that pace's cycle is over and the line has been quiet a moment, so that one
// spoiled word costs about one cycle; readings that come later than the pace are still drained
// (the quiet counts from them), so that they do not spoil the next cycle; noise still ends a
// drain at a stop's time.
TEST(CycleReading, AShownPaceEndsTheDrainOfASpoiledCycle)
{
    CycleShape shape; // 1500 ms pulses, one cable set: 3 s
    shape.Gps = shape.Sounder = true;
    shape.PulseTime = 150;
    const struct {
        const char* name;
        int64_t pace;
        int64_t readingsAt;
        bool noise;
        int64_t stopAt; // -1: none
        int64_t endsFrom, endsBy;
    } cases[] = {
        {"pace shown", 3000, 3000, false, -1, 3000 + DrainQuietMs, 3000 + DrainQuietMs + 100},
        {"readings later than the pace", 2700, 3000, false, -1, 3000 + DrainQuietMs, 3000 + DrainQuietMs + 100},
        {"pace shown, no readings", 3000, -1, false, -1, 3000 + DrainQuietMs, 3000 + DrainQuietMs + 100},
        {"no pace yet", 0, 3000, false, -1, 3000 + CycleQuietMs(shape), 3000 + CycleQuietMs(shape) + 100},
        {"noise, then Stop", 3000, 3000, true, 1000, 3000 + StopMarginMs, 3000 + StopMarginMs + 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine line;
        line.Arrive(0, le32(200) + Bytes(20, '$'));
        if (c.readingsAt >= 0)
            line.Arrive(c.readingsAt, readings(shape));
        if (c.noise)
            for (int64_t t = 3050; t < 60000; t += 50)
                line.Arrive(t, {0x55});
        line.Arrive(60000, NextCycle);
        line.StopAt(c.stopAt);
        std::array<char, 256> buffer{};
        WorkspaceArray w = filled();
        CycleReader reader(line, shape, c.pace);
        EXPECT_EQ(reader.ReadSentence(buffer.data()), 0);
        EXPECT_THROW(reader.ReadReadings(w), CycleUnreadable);
        EXPECT_GE(line.NowMs(), c.endsFrom);
        EXPECT_LE(line.NowMs(), c.endsBy);
        if (!c.noise)
            EXPECT_EQ(line.Unread(), NextCycle) << "nothing of the cycle is left for the next";
    }
}

// The prompt that ends a survey: a stop's wait for it ends after a few seconds of quiet, or at
// its bound on a line that keeps sending something else.
TEST(CycleReading, AStopsPromptWaitIsBounded)
{
    EXPECT_FALSE(StopPromptWaitOver(0, 0));
    EXPECT_FALSE(StopPromptWaitOver(StopQuietMs - 1, StopQuietMs - 1));
    EXPECT_TRUE(StopPromptWaitOver(StopQuietMs, StopQuietMs));
    EXPECT_FALSE(StopPromptWaitOver(StopPromptMs - 1, 900)) << "a byte a second, before the bound";
    EXPECT_TRUE(StopPromptWaitOver(StopPromptMs, 900)) << "a byte a second";
    EXPECT_TRUE(StopPromptWaitOver(StopPromptMs, 0)) << "noise";
}
