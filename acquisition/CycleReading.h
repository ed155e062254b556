#pragma once
#include "acquisition/Geometry.h"
#include "acquisition/SurveyTrack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

// The reading of one acquisition cycle, kept apart from the window so that it can be checked on
// its own against any byte source. After its trigger the instrument sends, in this order, the
// GPS sentence and the sounder sentence that the mode byte asks for (each a 32-bit length word,
// then that many bytes) and then the cycle's reading blocks, which come once its pulses are
// over; then nothing until the next trigger. The window, after the trigger:
//   CycleReader reader(source, shape, shownPaceMs)
//   each sentence the cycle reads       L = reader.ReadSentence(SentenceBuffer), 0: a timeout
//   then                                reader.ReadReadings(Workspace)
// A sentence that timed out with a length of 0 (the receiver or the sounder said nothing) leaves
// the rest countable: ReadReadings drops the sentences the window did not read and takes the
// cycle's own readings. A length word that cannot be counted on, or a byte after the readings
// (the cycle sent more than it should: its readings are shifted by bytes that are no reading),
// leaves nothing of the cycle that can be told apart: ReadReadings drains it and throws
// CycleUnreadable, and the workspace keeps what it had, which belongs to no record of this
// cycle. A read that hears nothing for CycleQuietMs gives the cycle up: the link is cleared and
// CycleGivenUp is thrown; while a stop is asked for, so does any read once the cycle has had its
// expected time and StopMarginMs, whatever the line sends.
namespace Acquisition {

// What the instrument sends after a trigger, as it was programmed.
struct CycleShape {
    bool Gps = false;         // a GPS sentence is relayed
    bool Sounder = false;     // a sounder sentence is relayed
    uint32_t Channels = 10;   // N, the status block's first word: N + 1 values a potential block
    bool Ip = false;          // IP blocks follow the potential blocks
    bool SecondSet = false;   // the switch unit's blocks 5 to 8 follow
    uint16_t PulseTime = 15;  // units of 10 ms
    uint16_t PulseDelay = 0;  // the parameter block's delay, taken as 10 ms units before each pulse
};

// Our model of what a cycle lasts: a positive and a negative pulse per cable set, each with its
// delay, and with IP the decay after it, taken as long as the pulse.
int64_t ModelledCycleMs(const CycleShape& shape);
// How long the instrument may stay quiet within a cycle before the cycle is given up: ample, as
// giving up matters only when the line is truly cut (the instrument's own timing is not fixed).
int64_t CycleQuietMs(const CycleShape& shape);
// While a stop is asked for, the instrument's prompt is awaited until it has been quiet this
// long, and never longer than StopPromptMs whatever the line sends.
inline constexpr int64_t StopQuietMs = 4000;
inline constexpr int64_t StopPromptMs = 8000;
// Whether the prompt wait of a stop is over, `sinceStopMs` after the stop was seen and `quietMs`
// after the last byte.
bool StopPromptWaitOver(int64_t sinceStopMs, int64_t quietMs);
// A stop waits for the cycle under way this long beyond the time it is expected to last.
inline constexpr int64_t StopMarginMs = 4000;
// Until the survey has shown its pace, the model stands for it. A stop's wait takes either as
// bounded by this, so that it never waits much more than a minute whatever the parameters say
// or however long a cycle once took (the survey stands still while a dialog opened during a
// read is up).
inline constexpr int64_t MaxModelledPaceMs = 56000;
// After a length word that cannot be counted on, the line quiet this long after the shown
// pace's cycle is over, and after its last byte, has sent the cycle's last bytes.
inline constexpr int64_t DrainQuietMs = 1500;
// Each byte of a sentence's length word comes within this, or the sentence timed out.
inline constexpr int SentenceByteMs = 3500;
// After its last reading byte the line stays quiet this long, or the cycle sent more than its
// readings. Ample for a byte of the same burst to come through the USB adapter, which holds
// what it received up to its 2 ms latency timer, and through a pseudo-terminal, whose writer may
// not be scheduled for a few ms; a tiny part of the shortest cycle.
inline constexpr int64_t SettleMs = 40;

// The place in the workspace of value i of a reading block of `values` values: its last value is
// the cable set's current when `currentAt` names its place, its first ten others go from `first`
// on; -1 for a value the map has no place for.
int ReadingPlace(uint64_t i, uint64_t values, int first, int currentAt);

// Reads a reading block of `values` values, each from four bytes that `next4` fills, into the
// workspace places of the map. The block's ten places are cleared first: an instrument with
// fewer than ten channels leaves some unsent, and they hold nothing of another cycle.
template <typename Next4>
void ReadReadingBlock(float* workspace, uint64_t values, int first, int currentAt, Next4&& next4)
{
    std::fill_n(workspace + first, 10, 0.0f);
    for (uint64_t i = 0; i < values; ++i) {
        uint8_t b[4];
        next4(b);
        float v;
        std::memcpy(&v, b, 4);
        const int place = ReadingPlace(i, values, first, currentAt);
        if (place >= 0)
            workspace[place] = v;
    }
}

// The link as the cycle reads it.
class CycleByteSource {
public:
    virtual ~CycleByteSource() = default;
    // The next byte received, or -1 when none came within waitMs. Throws when the link is gone.
    virtual int Read(int waitMs) = 0;
    // A steady clock, in ms.
    virtual int64_t NowMs() const = 0;
    virtual bool StopRequested() const = 0;
    // Drops what the link holds, both ways.
    virtual void Clear() = 0;
};

// Why a cycle was lost, as the connection line says it.
enum class CycleLoss {
    NoAnswer,        // the instrument stopped answering, or no byte of a length word came
    GarbledSentence, // a length word came that cannot be counted on
    GarbledReadings, // more came than the readings: they are shifted by bytes that are no reading
};

class CycleGivenUp : public std::runtime_error {
public:
    CycleGivenUp() : CycleGivenUp("the instrument stopped answering in a cycle", CycleLoss::NoAnswer) {}
    const CycleLoss Loss;

protected:
    CycleGivenUp(const char* what, CycleLoss loss) : std::runtime_error(what), Loss(loss) {}
};

// The cycle's readings cannot be told apart from the rest of what came: the cycle is lost.
class CycleUnreadable : public CycleGivenUp {
public:
    explicit CycleUnreadable(CycleLoss loss) : CycleGivenUp(what(loss), loss) {}

private:
    static const char* what(CycleLoss loss)
    {
        switch (loss) {
        case CycleLoss::NoAnswer: return "no sentence length came in a cycle";
        case CycleLoss::GarbledSentence: return "a sentence length was garbled in a cycle";
        case CycleLoss::GarbledReadings: return "more than the readings came in a cycle";
        }
        return "";
    }
};

class CycleReader {
public:
    // Made right after the trigger: the cycle's time counts from here. `shownPaceMs`: the
    // survey's pace so far, 0 before its first whole cycle.
    CycleReader(CycleByteSource& source, const CycleShape& shape, int64_t shownPaceMs = 0);
    const CycleShape& Shape() const { return shape_; }
    // How long the cycle is expected to last: the shown pace, else the model, bounded by
    // MaxModelledPaceMs.
    int64_t ExpectedCycleMs() const;
    // After ReadReadings: the time from the trigger to the cycle's last reading byte (the
    // settle after it not counted).
    int64_t WholeCycleMs() const { return wholeAt_ - triggeredAt_; }

    // The next sentence of the cycle into `buffer` (at least MaxSentenceLength + 1 bytes),
    // terminated after its length, which is returned; 0 when it timed out: its length word did
    // not come within SentenceByteMs a byte, or is outside 1 to MaxSentenceLength.
    int32_t ReadSentence(char* buffer);
    // The sentences not read, dropped, then the reading blocks, each read whole whatever N is;
    // the workspace gets the cycle's readings (the map's places of blocks 1 to 8; without the
    // switch unit the second set's places are cleared) only once the last block has come and
    // the line has stayed quiet SettleMs after it. After a length word that cannot be counted
    // on, or a byte in the settle, the cycle is drained and CycleUnreadable thrown.
    void ReadReadings(WorkspaceArray& workspace);

private:
    // One byte; gives the cycle up once the instrument has been quiet too long.
    uint8_t byte();
    void bytes(uint8_t* out, uint64_t count);
    // The length word; false when it did not come within SentenceByteMs a byte (`none`: not
    // one of its bytes came).
    bool lengthWord(int32_t& length, bool& none);
    // The next sentence's length, 0 to MaxSentenceLength; false once no sentence is left or the
    // rest of the cycle can no longer be counted (which a length outside that range makes it).
    bool nextLength(int32_t& length);
    // The settle after the readings; false when a byte came in it.
    bool settled();
    // Drops everything until the cycle is surely over: with a shown pace, once the line has
    // been quiet DrainQuietMs since the later of that pace's end and the last byte; before,
    // once it has been quiet for the cycle's bound.
    void drain();
    bool quietTooLong(int64_t now) const;
    // A stop was asked for and the cycle under way has had its expected time and the margin.
    bool stopWaitOver(int64_t now) const;
    [[noreturn]] void giveUp();

    CycleByteSource& source_;
    const CycleShape shape_;
    const int64_t triggeredAt_;
    const int64_t shownPaceMs_;
    int64_t heardAt_;
    int64_t wholeAt_ = 0;
    int sentencesLeft_;
    bool countLost_ = false;  // a length word was taken that does not count the rest
    CycleLoss lengthLoss_ = CycleLoss::GarbledSentence; // ... and why
};

} // namespace Acquisition
