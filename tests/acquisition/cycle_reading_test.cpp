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
// last value is the current, only its first ten others have places); without the switch unit the
// second set's places are cleared; nothing else is touched, and no byte of the next cycle is read.
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

// While a stop is asked for, a quiet of a few seconds ends the wait, but not before the
// modelled cycle (and those seconds again) has passed since the trigger: a cut line holds the
// stop a few seconds, a healthy cycle of long pulses still comes whole.
TEST(CycleReading, AStopEndsTheWaitAfterAFewSecondsOfQuiet)
{
    CycleShape shape;
    shape.Gps = true;
    ScriptedLine cut;
    cut.Arrive(0, sentence(Gga));
    cut.StopAt(1000);
    std::array<char, 256> buffer{};
    WorkspaceArray w = filled();
    CycleReader reader(cut, shape);
    EXPECT_GT(reader.ReadSentence(buffer.data()), 0);
    EXPECT_THROW(reader.ReadReadings(w), CycleGivenUp);
    EXPECT_GE(cut.NowMs(), StopQuietMs);
    EXPECT_LE(cut.NowMs(), ModelledCycleMs(shape) + StopQuietMs + 100);
    EXPECT_EQ(w[0], Before);

    CycleShape longPulses = shape;
    longPulses.PulseTime = 300;
    ScriptedLine healthy;
    healthy.Arrive(0, sentence(Gga));
    healthy.Arrive(6000 + StopQuietMs / 2, readings(longPulses));
    healthy.StopAt(1000);
    CycleReader whole(healthy, longPulses);
    EXPECT_GT(whole.ReadSentence(buffer.data()), 0);
    whole.ReadReadings(w);
    EXPECT_EQ(w[0], sent(1, 0));
}
