#pragma once
// The test instrument: answers on a pseudo-terminal as the resistivity meter does on its
// link, byte for byte, and can be told to misbehave. It runs on a thread of its own.
//
//   Instrument::TTestInstrument instrument;              // default setup, serving at once
//   qputenv("QUOREL_COM1", instrument.DevicePath().toLocal8Bit());   // serial port 1
//   // or, for the USB port: TFakeFtd2xx driver(instrument.DevicePath()); SetFtd2xx(&driver);
//   instrument.AddFault({Instrument::TFaultKind::WrongChecksum, Instrument::TPoint::Frame, 0, 1});
//   ... drive the host ...
//   instrument.WaitForEvent("stop", 5000);
//   instrument.EventNames();   // "sync", "command 30", "block start", "frame 1", ...
//   instrument.Program();      // what the measurement command programmed
#include "InstrumentCodec.h"
#include "InstrumentWire.h"
#include "Transmitter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace Instrument {

// One cycle's measurements: per cable set (0, 1) the N potentials (mV) and the current (mA)
// of each current pulse, and the N IP values of each pulse.
struct TCycleReadings {
    std::vector<float> PlusV[2], MinusV[2], PlusIp[2], MinusIp[2];
    float PlusI[2] = {}, MinusI[2] = {};
};

// The points of the exchange where the instrument answers; faults are tied to them.
enum class TPoint {
    Any,            // every answer
    Sync,           // 0x40 echo of the handshake or of the identification probe
    Command,        // reply to a command exchange
    Identification, // the two lines and the capability code
    Prompt,         // ":>"
    BlockStart,     // 0x00 echo of the block start
    BlockTotal,     // 32-bit total of the block
    FrameEcho,      // echo of a frame request's number (wrong echoes only)
    Frame,          // echo, length word, data and checksum of a frame
    BlockEnd,       // the 2 bytes after the host's end word
    Gps,            // relayed GPS sentence with its length
    Sounder,        // relayed sounder sentence with its length
    Readings,       // the reading blocks of a cycle
    Modem,          // modem answers (OK, CONNECT)
};

enum class TFaultKind {
    Silence,        // the answer is not sent
    Noise,          // Bytes are sent before the answer
    Garbage,        // Bytes are sent in place of the answer
    DropLine,       // the line is dropped in place of the answer (the instrument then stops)
    WrongChecksum,  // a frame's checksum is wrong (Match: frame number, -1 any): XORed with
                    // Bytes (2 bytes, little-endian), 0x5A5A (both bytes wrong) by default
    WrongFrameEcho, // a frame request is echoed with another number, nothing else follows
    LengthWord,     // a frame carries the length word in Bytes (2 bytes, little-endian)
    RefuseCommand,  // a command (Match, -1 any) is answered with Bytes[0], '?' by default
    ReplyFF,        // a command (Match, -1 any) is answered with 0xFF (send again)
    SilentGps,      // the GPS sentence length is 0
    SilentSounder,  // the sounder sentence length is 0
    NoCurrent,      // both currents of both cable sets are 0
    // A cycle spoiled on its way, as by a noisy cable or radio link (Match: cycle number, -1 any):
    CutShort,       // the cycle's bytes stop halfway through its readings
    WrongLength,    // the first relayed sentence's length word claims 8 bytes more than it carries
                    // (a cycle without sentences is left as it is)
    FlipBits,       // a bit of every eighth byte of the cycle (sentences and readings) is flipped
};

// How the line behaves apart from the exchanges: as the instrument answers, or as a bad line
// does (a radio link, a damaged cable).
enum class TLine {
    Answering, // the instrument answers as it should
    AnswerFF,  // whatever comes is answered with 0xFF, at most once a second; nothing else
    Trickle,   // a byte 0x55 comes once a second; nothing is answered
};

// Each fault counts the occurrences of what it watches on its own; every fault that acts on
// an answer applies, in the order added.
struct TFault {
    TFaultKind Kind;
    // Where it acts; Any for Silence/Noise/Garbage/DropLine means at every answer. The other
    // kinds have their own point and ignore this.
    TPoint At = TPoint::Any;
    int Skip = 0;   // occurrences let through before the fault acts
    int Times = 1;  // occurrences it acts on; -1 for ever
    int Match = -1; // command byte, frame number or cycle number it is limited to; -1 any
    QByteArray Bytes = {};
    int Every = 0;  // > 0: from Skip on, it acts on one occurrence in every Every
};

// Whether a fault acts on the occurrence `seen` (counted from 0) of what it watches.
bool FaultActs(const TFault& fault, int seen);

// What a real instrument's cycle lasts: a positive and a negative current pulse of the
// programmed pulse time for each cable set measured (the second set with the switch unit).
int CycleDurationMs(const TSurveyProgram& program);

struct TInstrumentSetup {
    QByteArray SpeedLine = "38400";         // first identification line
    QByteArray NameLine = "VARNOK 10";      // second identification line
    uint32_t Capability = 0x10000002;       // sent right after the lines
    uint32_t Channels = 10;                 // first word of the status block
    QByteArray Status;                      // the block after command 30; empty: 180 bytes
    int FrameSize = 528;                    // data bytes per frame, at most 528
    // The transmitter and its load: a cycle's currents follow the programmed voltage and stop
    // growing above its saturation, the potentials follow the current. Empty: the readings as given.
    std::optional<TTransmitter> Transmitter;
    int AnswerOnlyAtSpeed = 0;              // e.g. 38400: at any other speed every byte is garbled
    bool Modem = false;                     // first answers as a dial-up modem until CONNECT
    // The event log and the logs of bytes received and sent keep the latest this many, so the
    // instrument can serve for hours.
    size_t EventLogLimit = 20000;
    qsizetype ByteLogLimit = 1 << 20;
    // The probe window is widened past the host's byte delay once the instrument has seen it.
    int IdentificationWindowMs = 250;       // after 0x40, silence this long means a probe
    // A cycle's readings come CycleDurationMs after its trigger (the relayed sentences at once), as
    // on the water; false: at once, as tests that do not look at the pace want.
    bool RealTime = false;
    // An instrument slower than its pulses alone: each cycle's readings come this much later
    // still (after the pulses when RealTime, else after the trigger).
    int ReadingsLateMs = 0;
    // A download the host has gone silent in ends after this long without a byte. The host's
    // longest pause in a download is its 3 s wait for the total plus a byte delay.
    int DownloadIdleMs = 10000;
    // The line from the moment the host is connected (the status block sent) on.
    TLine LineAfterConnect = TLine::Answering;
    // Measurements of a cycle (cycle counts from 0); empty gives the survey line's readings.
    std::function<TCycleReadings(const TSurveyProgram&, int cycle)> Readings;
    // Relayed sentences of a cycle; empty gives the survey line's GGA and DBT sentences.
    std::function<QByteArray(int cycle)> GpsSentence, SounderSentence;
};

// What the instrument received and did, in order. Names: "sync", "identified",
// "command <n>", "refused <n>", "bad complement", "escape", "block start", "frame <n>",
// "block end <n>", "block abandoned <n>" (no frame request), "block abandoned" (the host went
// silent; Bytes "timed out"), "program <command>", "trigger <mode>", "stop",
// "garbled <host speed>", "modem" (Bytes: the line), "hangup", "line 0xFF", "line trickle".
struct TInstrumentEvent {
    QString What;
    int Value = -1;
    QByteArray Bytes;
    std::chrono::steady_clock::time_point At = std::chrono::steady_clock::now(); // when it happened
    QString Name() const { return Value < 0 ? What : What + " " + QString::number(Value); }
};

class TTestInstrument {
public:
    explicit TTestInstrument(TInstrumentSetup setup = {});
    ~TTestInstrument();
    TTestInstrument(const TTestInstrument&) = delete;
    TTestInstrument& operator=(const TTestInstrument&) = delete;

    // The pseudo-terminal the host opens; empty when none could be made.
    QString DevicePath() const { return wire_.DevicePath(); }

    void AddFault(const TFault& fault);
    void ClearFaults();

    std::vector<TInstrumentEvent> Events() const;
    QStringList EventNames() const;
    int Count(const QString& name) const;
    // Waits until an event of that name has happened (it may already have); false on timeout.
    bool WaitForEvent(const QString& name, int timeoutMs) const;
    QByteArray Received() const;
    QByteArray Sent() const;
    TSurveyProgram Program() const;
    int Cycles() const;
    // The default readings of a cycle, as the survey tests compute their expectations from.
    static TCycleReadings DefaultReadings(const TSurveyProgram& program, uint32_t channels, int cycle);
    static QByteArray DefaultGpsSentence(int cycle);
    static QByteArray DefaultSounderSentence(int cycle);
    static QByteArray DefaultStatus(uint32_t channels);

    // Called on the instrument's thread for every event (the program prints them).
    void SetOnEvent(std::function<void(const TInstrumentEvent&)> onEvent);

    // Turns the line bad (or good again) from now on; returns once the instrument has taken
    // the bad line up (at most 5 s, when it is inside a long exchange).
    void SetLine(TLine line);

    // Sends bytes at once, outside any exchange (line noise, or the text a test needs).
    void SendNow(const QByteArray& bytes);

    void Stop();
    // Drops the line outside any exchange (cable pulled, instrument switched off): the host
    // sees a hang-up and the instrument answers nothing more.
    void DropLine();
    // The dial-up modem hangs up, as it does when the host drops DTR (which a pseudo-terminal
    // cannot carry, so the test says when): from the next byte on it answers as a modem again,
    // until the host dials and it connects. For a setup with Modem.
    void OnHook();

private:
    enum class Mode { Idle, Block, Measure };

    void run();
    // first: a byte already read, the start of the modem's first line (-1: none).
    void modem(int first = -1);
    void handshake();
    void commandPair(int c, int complement);
    void widenProbeWindow(long long delayMs);
    void identification();
    void command(uint8_t command);
    void program(uint8_t command);
    void block();
    void cycle(uint8_t mode);
    QByteArray readExact(int count, int timeoutMs);
    void pause(int ms);
    // Serves a bad line until it turns good again (true) or the instrument stops (false);
    // first: a byte already read (-1: none).
    bool badLine(int first);

    void event(const QString& what, int value = -1, const QByteArray& bytes = {});
    bool take(TFaultKind kind, int match, TFault* fault = nullptr);
    int read(int timeoutMs);
    bool answer(TPoint point, const QByteArray& bytes);

    TInstrumentSetup setup_;
    TPtyWire wire_;
    Mode mode_ = Mode::Idle;
    bool dropped_ = false;
    std::atomic<bool> onHook_{false};
    std::atomic<TLine> line_{TLine::Answering};
    // A synchronisation answered as an identification probe may yet be followed by its
    // command, late because of the host's byte delay; the window then grows past that delay.
    bool probeGuessed_ = false;
    std::chrono::steady_clock::time_point syncAt_;
    int identificationWindowMs_ = 250;
    std::optional<std::chrono::steady_clock::time_point> zeroAt_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    struct Rule {
        TFault Fault;
        int Seen = 0;
    };
    std::vector<Rule> faults_;
    std::vector<TInstrumentEvent> events_;
    QByteArray received_, sent_;
    TSurveyProgram program_;
    int cycles_ = 0;
    std::function<void(const TInstrumentEvent&)> onEvent_;
    std::thread thread_;
};

} // namespace Instrument
