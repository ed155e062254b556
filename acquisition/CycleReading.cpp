#include "CycleReading.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Acquisition {

namespace {

// How long one poll of the link may wait: the window's events are handled between polls.
constexpr int PollMs = 20;
// The workspace's reading places (blocks 1 to 8) lie below the electrode coordinates.
constexpr int ReadingsEnd = 124;

struct Block {
    uint64_t Values;
    int First;
    int CurrentAt; // -1: an IP block, without a current
};

// Blocks 1 to 8 in the order they come: per cable set V+ with I+, IP+, V- with I-, IP-.
template <typename F> void forEachBlock(const CycleShape& shape, F&& f)
{
    const uint64_t n = shape.Channels;
    const auto set = [&](int potentials, int current, int ipFirst) {
        f(Block{n + 1, potentials, current});
        if (shape.Ip)
            f(Block{n, ipFirst, -1});
        f(Block{n + 1, potentials + 11, current + 11});
        if (shape.Ip)
            f(Block{n, ipFirst + 10, -1});
    };
    set(0, 10, 84);
    if (shape.SecondSet)
        set(42, 52, 104);
}

} // namespace

int64_t ModelledCycleMs(const CycleShape& shape)
{
    const int64_t pulse = 10 * int64_t(shape.PulseTime) * (shape.Ip ? 2 : 1) + 10 * int64_t(shape.PulseDelay);
    return (shape.SecondSet ? 2 : 1) * 2 * pulse;
}

int64_t CycleQuietMs(const CycleShape& shape) { return 10000 + 3 * ModelledCycleMs(shape); }

int ReadingPlace(uint64_t i, uint64_t values, int first, int currentAt)
{
    if (currentAt >= 0 && i + 1 == values)
        return currentAt;
    if (i < 10)
        return first + static_cast<int>(i);
    return -1;
}

bool StopPromptWaitOver(int64_t sinceStopMs, int64_t quietMs)
{
    return quietMs >= StopQuietMs || sinceStopMs >= StopPromptMs;
}

CycleReader::CycleReader(CycleByteSource& source, const CycleShape& shape, int64_t shownPaceMs)
    : source_(source), shape_(shape), triggeredAt_(source.NowMs()), shownPaceMs_(shownPaceMs),
      heardAt_(triggeredAt_), sentencesLeft_((shape.Gps ? 1 : 0) + (shape.Sounder ? 1 : 0))
{
}

int64_t CycleReader::ExpectedCycleMs() const
{
    return std::min(shownPaceMs_ > 0 ? shownPaceMs_ : ModelledCycleMs(shape_), MaxModelledPaceMs);
}

bool CycleReader::stopWaitOver(int64_t now) const
{
    // A stop lets the cycle under way finish as the instrument paces it, but neither a cut line
    // nor noise holds it longer.
    return source_.StopRequested() && now - triggeredAt_ >= ExpectedCycleMs() + StopMarginMs;
}

bool CycleReader::quietTooLong(int64_t now) const
{
    return now - heardAt_ >= CycleQuietMs(shape_) || stopWaitOver(now);
}

void CycleReader::giveUp()
{
    source_.Clear();
    throw CycleGivenUp();
}

uint8_t CycleReader::byte()
{
    for (;;) {
        const int b = source_.Read(PollMs);
        const int64_t now = source_.NowMs();
        if (b >= 0 && !stopWaitOver(now)) {
            heardAt_ = now;
            return static_cast<uint8_t>(b);
        }
        if (quietTooLong(now))
            giveUp();
    }
}

void CycleReader::bytes(uint8_t* out, uint64_t count)
{
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t b = byte();
        if (out)
            out[i] = b;
    }
}

bool CycleReader::lengthWord(int32_t& length, bool& none)
{
    uint8_t word[4];
    none = true;
    for (uint8_t& b : word) {
        const int64_t from = source_.NowMs();
        int got = -1;
        while (got < 0 && source_.NowMs() - from < SentenceByteMs)
            got = source_.Read(PollMs);
        if (got < 0)
            return false;
        heardAt_ = source_.NowMs();
        none = false;
        b = static_cast<uint8_t>(got);
    }
    length = static_cast<int32_t>(uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
                                  uint32_t(word[3]) << 24);
    return true;
}

bool CycleReader::nextLength(int32_t& length)
{
    if (sentencesLeft_ == 0 || countLost_)
        return false;
    --sentencesLeft_;
    bool none = false;
    const bool whole = lengthWord(length, none);
    if (whole && length >= 0 && length <= MaxSentenceLength)
        return true;
    lengthLoss_ = !whole && none ? CycleLoss::NoAnswer : CycleLoss::GarbledSentence;
    // Whatever follows cannot be counted: a length that never came whole, or noise.
    countLost_ = true;
    return false;
}

int32_t CycleReader::ReadSentence(char* buffer)
{
    buffer[0] = 0;
    int32_t length = 0;
    // A length of 0: the instrument had no sentence, and the rest of the cycle follows as usual.
    if (!nextLength(length) || length == 0)
        return 0;
    bytes(reinterpret_cast<uint8_t*>(buffer), static_cast<uint64_t>(length));
    buffer[length] = 0;
    return length;
}

void CycleReader::ReadReadings(WorkspaceArray& workspace)
{
    int32_t length = 0;
    while (nextLength(length))
        bytes(nullptr, static_cast<uint64_t>(length));
    if (countLost_) {
        drain();
        source_.Clear();
        throw CycleUnreadable(lengthLoss_);
    }
    std::array<float, ReadingsEnd> staged;
    std::copy_n(workspace.begin(), ReadingsEnd, staged.begin());
    forEachBlock(shape_, [&](const Block& block) {
        ReadReadingBlock(staged.data(), block.Values, block.First, block.CurrentAt, [this](uint8_t* b) { bytes(b, 4); });
    });
    const int64_t lastReadingAt = heardAt_;
    if (!settled()) {
        // The cycle sent more than its readings: bytes that were none took some of their
        // places, and which ones cannot be told. A stop needs no drain (its prompt wait takes
        // what is left), so it is not held beyond the settle.
        if (!source_.StopRequested())
            drain();
        source_.Clear();
        throw CycleUnreadable(CycleLoss::GarbledReadings);
    }
    if (!shape_.SecondSet) {
        std::fill(staged.begin() + 42, staged.begin() + 84, 0.0f);
        std::fill(staged.begin() + 104, staged.begin() + 124, 0.0f);
    }
    std::copy(staged.begin(), staged.end(), workspace.begin());
    wholeAt_ = lastReadingAt;
}

bool CycleReader::settled()
{
    const int64_t from = source_.NowMs();
    for (;;) {
        const int64_t left = SettleMs - (source_.NowMs() - from);
        if (left <= 0)
            return true;
        if (source_.Read(static_cast<int>(std::min<int64_t>(left, PollMs))) >= 0) {
            heardAt_ = source_.NowMs();
            return false;
        }
    }
}

void CycleReader::drain()
{
    // Bounded even on a line that never falls quiet (noise), so that the survey goes on; a cycle's
    // last bytes come well within the first bound, so a quiet line ends the drain first.
    const int64_t from = source_.NowMs();
    for (;;) {
        const int b = source_.Read(PollMs);
        const int64_t now = source_.NowMs();
        if (b >= 0)
            heardAt_ = now;
        // The quiet counts from the pace's end at the earliest: during long pulses the line is
        // quiet anyway, and a cycle slower than the pace sends its readings after it. The pace
        // is taken unbounded here: a cycle of over a minute would otherwise leave its readings
        // to the next, and a stop ends the drain by its own bound.
        const bool paceOver = shownPaceMs_ > 0 && now - std::max(heardAt_, triggeredAt_ + shownPaceMs_) >= DrainQuietMs;
        if (paceOver || quietTooLong(now) || now - from >= 2 * CycleQuietMs(shape_))
            return;
    }
}

} // namespace Acquisition
