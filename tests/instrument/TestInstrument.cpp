#include "TestInstrument.h"

#include "SurveyLine.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace Instrument {

namespace {

constexpr uint8_t Sync = 0x40;
constexpr uint8_t Escape = 27;
constexpr uint8_t Status = 30;
constexpr uint8_t Garbled = 0xE6; // what a byte sent at the wrong speed looks like here
constexpr int HostByteMs = 2000;   // bytes of one host write arrive well within this
// A failed command exchange's remaining bytes arrive within this (the host's complement follows
// its command by 10 ms); shorter than the host's shortest wait for a reply (500 ms).
constexpr int ExchangeRestMs = 200;
// The host waits 15 s for each byte of the identification lines: a probe is answered sooner.
constexpr int MaxIdentificationWindowMs = 10000;

bool isMeasurement(uint8_t c) { return c == 34 || c == 47 || c == 48 || c == 49; }

// Keeps the latest limit bytes of a log, trimmed a quarter at a time.
void trimLog(QByteArray& log, qsizetype limit)
{
    if (limit > 0 && log.size() > limit + limit / 4)
        log.remove(0, log.size() - limit);
}

bool generic(TFaultKind kind)
{
    return kind == TFaultKind::Silence || kind == TFaultKind::Noise || kind == TFaultKind::Garbage ||
           kind == TFaultKind::DropLine;
}

} // namespace

TTestInstrument::TTestInstrument(TInstrumentSetup setup) : setup_(std::move(setup))
{
    if (setup_.Status.isEmpty())
        setup_.Status = DefaultStatus(setup_.Channels);
    if (setup_.FrameSize < 1 || setup_.FrameSize > 528)
        setup_.FrameSize = 528;
    identificationWindowMs_ = setup_.IdentificationWindowMs;
    if (wire_.Ok())
        thread_ = std::thread([this] { run(); });
}

TTestInstrument::~TTestInstrument() { Stop(); }

int CycleDurationMs(const TSurveyProgram& program)
{
    const int pulseMs = 10 * int(program.PulseTime);
    return 2 * pulseMs * (program.Switch() ? 2 : 1);
}

bool FaultActs(const TFault& f, int seen)
{
    if (seen < f.Skip)
        return false;
    int k = seen - f.Skip;
    if (f.Every > 0) {
        if (k % f.Every != 0)
            return false;
        k /= f.Every;
    }
    return f.Times < 0 || k < f.Times;
}

void TTestInstrument::Stop()
{
    wire_.Stop();
    if (thread_.joinable())
        thread_.join();
}

QByteArray TTestInstrument::DefaultStatus(uint32_t channels)
{
    QByteArray status = Le32(channels);
    for (int i = 4; i < 180; ++i)
        status += static_cast<char>(i & 0xFF);
    return status;
}

void TTestInstrument::DropLine()
{
    Stop(); // the instrument's thread has ended: nothing else touches the wire
    wire_.Hangup();
    event("hangup");
}

void TTestInstrument::OnHook() { onHook_ = true; }

// A survey line: the boat moves, the depth and the ground change along the line.
TCycleReadings TTestInstrument::DefaultReadings(const TSurveyProgram&, uint32_t channels, int cycle)
{
    return LineReadings(channels, cycle);
}

QByteArray TTestInstrument::DefaultGpsSentence(int cycle) { return LineGpsSentence(cycle); }

QByteArray TTestInstrument::DefaultSounderSentence(int cycle) { return LineSounderSentence(cycle); }

void TTestInstrument::AddFault(const TFault& fault)
{
    std::lock_guard lock(mutex_);
    faults_.push_back({fault, 0});
}

void TTestInstrument::ClearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<TInstrumentEvent> TTestInstrument::Events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

QStringList TTestInstrument::EventNames() const
{
    std::lock_guard lock(mutex_);
    QStringList names;
    for (const auto& e : events_)
        names << e.Name();
    return names;
}

int TTestInstrument::Count(const QString& name) const
{
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& e : events_)
        n += e.Name() == name ? 1 : 0;
    return n;
}

bool TTestInstrument::WaitForEvent(const QString& name, int timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& e : events_)
            if (e.Name() == name)
                return true;
        return false;
    });
}

QByteArray TTestInstrument::Received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

QByteArray TTestInstrument::Sent() const
{
    std::lock_guard lock(mutex_);
    return sent_;
}

TSurveyProgram TTestInstrument::Program() const
{
    std::lock_guard lock(mutex_);
    return program_;
}

int TTestInstrument::Cycles() const
{
    std::lock_guard lock(mutex_);
    return cycles_;
}

void TTestInstrument::SetOnEvent(std::function<void(const TInstrumentEvent&)> onEvent)
{
    std::lock_guard lock(mutex_);
    onEvent_ = std::move(onEvent);
}

void TTestInstrument::event(const QString& what, int value, const QByteArray& bytes)
{
    std::function<void(const TInstrumentEvent&)> notify;
    TInstrumentEvent e{what, value, bytes};
    {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        // Trimmed a quarter at a time, so that trimming stays rare.
        if (setup_.EventLogLimit > 0 && events_.size() > setup_.EventLogLimit + setup_.EventLogLimit / 4)
            events_.erase(events_.begin(), events_.end() - static_cast<std::ptrdiff_t>(setup_.EventLogLimit));
        notify = onEvent_;
    }
    changed_.notify_all();
    if (notify)
        notify(e);
}

bool TTestInstrument::take(TFaultKind kind, int match, TFault* fault)
{
    // Every rule counts the occurrence, so that one acting does not shift the others' count.
    std::lock_guard lock(mutex_);
    bool taken = false;
    for (Rule& rule : faults_) {
        if (rule.Fault.Kind != kind || (rule.Fault.Match >= 0 && rule.Fault.Match != match))
            continue;
        if (FaultActs(rule.Fault, rule.Seen++) && !taken) {
            if (fault)
                *fault = rule.Fault;
            taken = true;
        }
    }
    return taken;
}

int TTestInstrument::read(int timeoutMs)
{
    const int b = wire_.Read(timeoutMs);
    if (b >= 0) {
        std::lock_guard lock(mutex_);
        received_ += static_cast<char>(b);
        trimLog(received_, setup_.ByteLogLimit);
    }
    return b;
}

// Holds the instrument's thread for ms, or until the instrument is stopped.
void TTestInstrument::pause(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!wire_.Stopped()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(50)));
    }
}

QByteArray TTestInstrument::readExact(int count, int timeoutMs)
{
    QByteArray bytes;
    while (bytes.size() < count) {
        const int b = read(timeoutMs);
        if (b < 0)
            break;
        bytes += static_cast<char>(b);
    }
    return bytes;
}

bool TTestInstrument::answer(TPoint point, const QByteArray& bytes)
{
    QByteArray out = bytes;
    {
        // Every rule counts the answer and every one that acts on it applies, in the order given:
        // faults switched on together keep their own cycles.
        std::lock_guard lock(mutex_);
        for (Rule& rule : faults_) {
            const TFault& f = rule.Fault;
            if (!generic(f.Kind) || (f.At != TPoint::Any && f.At != point))
                continue;
            if (!FaultActs(f, rule.Seen++))
                continue;
            switch (f.Kind) {
            case TFaultKind::Silence: out.clear(); break;
            case TFaultKind::Noise: out = f.Bytes + out; break;
            case TFaultKind::Garbage: out = f.Bytes; break;
            case TFaultKind::DropLine: dropped_ = true; break;
            default: break;
            }
        }
    }
    if (dropped_) {
        wire_.Hangup();
        event("hangup");
        return false;
    }
    if (out.isEmpty())
        return true;
    {
        std::lock_guard lock(mutex_);
        sent_ += out;
        trimLog(sent_, setup_.ByteLogLimit);
    }
    return wire_.Write(out);
}

void TTestInstrument::SetLine(TLine line)
{
    const QString name = line == TLine::AnswerFF ? "line 0xFF" : "line trickle";
    const int before = Count(name);
    line_ = line;
    if (line == TLine::Answering)
        return;
    // Once the instrument's thread serves the bad line, so that the host's next byte meets it.
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] {
        int n = 0;
        for (const auto& e : events_)
            n += e.Name() == name ? 1 : 0;
        return n > before;
    });
}

bool TTestInstrument::badLine(int first)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto second = std::chrono::seconds(1);
    const TLine line = line_;
    event(line == TLine::AnswerFF ? "line 0xFF" : "line trickle");
    Clock::time_point lastAnswer = Clock::now() - second; // the first 0xFF goes at once
    Clock::time_point nextTrickle = Clock::now() + second;
    bool unanswered = first >= 0;
    while (line_ == line) {
        const auto now = Clock::now();
        std::optional<Clock::time_point> due;
        if (line == TLine::Trickle)
            due = nextTrickle;
        else if (unanswered)
            due = lastAnswer + second;
        if (due && now >= *due) {
            SendNow(QByteArray(1, static_cast<char>(line == TLine::Trickle ? 0x55 : 0xFF)));
            if (line == TLine::Trickle) {
                nextTrickle = now + second;
            } else {
                lastAnswer = now;
                unanswered = false;
            }
            continue;
        }
        // Short reads, so that a line turned good again is noticed.
        int waitMs = 50;
        if (due)
            waitMs = static_cast<int>(std::min<long long>(
                50, std::chrono::duration_cast<std::chrono::milliseconds>(*due - now).count() + 1));
        const int b = read(waitMs);
        if (b == -2)
            return false;
        if (b >= 0 && line == TLine::AnswerFF)
            unanswered = true;
    }
    return true;
}

void TTestInstrument::SendNow(const QByteArray& bytes)
{
    {
        std::lock_guard lock(mutex_);
        sent_ += bytes;
        trimLog(sent_, setup_.ByteLogLimit);
    }
    wire_.Write(bytes);
}

void TTestInstrument::run()
{
    if (setup_.Modem)
        modem();
    while (!dropped_) {
        if (line_ != TLine::Answering) {
            if (!badLine(-1))
                return;
            continue;
        }
        // Short waits, so that a line turned bad from outside is noticed at once.
        const int b = read(50);
        if (b == -1)
            continue;
        if (b < 0)
            return;
        if (setup_.Modem && onHook_.exchange(false)) {
            mode_ = Mode::Idle;
            modem(b);
            continue;
        }
        if (setup_.AnswerOnlyAtSpeed != 0 && wire_.Speed() != setup_.AnswerOnlyAtSpeed) {
            event("garbled", wire_.Speed());
            answer(TPoint::Any, QByteArray(1, static_cast<char>(Garbled)));
            continue;
        }
        if (b == Sync) {
            handshake();
            continue;
        }
        if (probeGuessed_) {
            // The synchronisation was taken for a probe, but its command follows: the host's
            // byte delay is longer than the window. The lines sent meanwhile were cleared by the
            // host before it sent the command.
            probeGuessed_ = false;
            const int complement = read(HostByteMs);
            if (complement >= 0 && DecodeCommand(static_cast<uint8_t>(b), static_cast<uint8_t>(complement))) {
                const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - syncAt_).count();
                widenProbeWindow(late);
                commandPair(b, complement);
                continue;
            }
        }
        if (mode_ == Mode::Block && b == 0x00) {
            block();
            mode_ = Mode::Idle;
            continue;
        }
        if (mode_ == Mode::Measure) {
            if (b == 0x00) {
                event("stop");
                mode_ = Mode::Idle;
                answer(TPoint::Prompt, ":>");
            } else {
                cycle(static_cast<uint8_t>(b));
            }
        }
        // Anything else between exchanges is ignored. The host's 0 before it identifies the
        // instrument is followed by the probe one byte delay later: the time is kept.
        if (mode_ == Mode::Idle && b == 0x00)
            zeroAt_ = std::chrono::steady_clock::now();
    }
}

// A dial-up modem: lines end with CR; "ATD..." connects, everything else is answered OK.
void TTestInstrument::modem(int first)
{
    QByteArray line;
    for (;;) {
        const int b = first >= 0 ? std::exchange(first, -1) : read(-1);
        if (b < 0)
            return;
        if (b == '\n')
            continue;
        if (b != '\r') {
            line += static_cast<char>(b);
            continue;
        }
        event("modem", -1, line);
        if (line.startsWith("ATD")) {
            answer(TPoint::Modem, "\r\nCONNECT 9600\r\n");
            return;
        }
        answer(TPoint::Modem, "\r\nOK\r\n");
        line.clear();
    }
}

// After 0x40: a command byte and its complement follow at once in a handshake; silence
// means an identification probe.
void TTestInstrument::handshake()
{
    probeGuessed_ = false;
    event("sync");
    answer(TPoint::Sync, QByteArray(1, static_cast<char>(Sync)));
    syncAt_ = std::chrono::steady_clock::now();
    if (zeroAt_) {
        // The gap since the host's 0 shows its byte delay: a command would come after it.
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(syncAt_ - *zeroAt_).count();
        zeroAt_.reset();
        widenProbeWindow(gap);
    }
    int resent = -1; // first byte of the exchange the host sent again after a 0xFF
    for (;;) {
        const int c = resent >= 0 ? resent : read(identificationWindowMs_);
        resent = -1;
        if (c == -2)
            return;
        if (c == -1) {
            identification();
            probeGuessed_ = true;
            return;
        }
        if (c == Sync) {
            event("sync");
            answer(TPoint::Sync, QByteArray(1, static_cast<char>(Sync)));
            syncAt_ = std::chrono::steady_clock::now();
            continue;
        }
        const int complement = read(HostByteMs);
        if (complement < 0 || !DecodeCommand(static_cast<uint8_t>(c), static_cast<uint8_t>(complement))) {
            event("bad complement", c);
            // The host sends the command and its complement again, without a synchronisation,
            // once it has the 0xFF. What is left of the failed exchange must not be paired with
            // that command: a complement is its command's complement both ways round, so a late
            // one followed by the command passes the check as another command. The rest of the
            // exchange comes within moments (the complement follows its command by 10 ms).
            const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(HostByteMs);
            while (std::chrono::steady_clock::now() < settle) {
                const int left = read(ExchangeRestMs);
                if (left == -2)
                    return;
                if (left == -1)
                    break;
            }
            answer(TPoint::Command, QByteArray(1, static_cast<char>(0xFF)));
            resent = read(HostByteMs);
            // A complement so late that it comes after the 0xFF still belongs to the failed
            // exchange: the host sends the command again, not its complement, first.
            if (complement == -1 && resent == (c ^ 0xFF))
                resent = read(HostByteMs);
            if (resent < 0)
                return; // the host gave up the command: back to waiting for one
            continue;
        }
        commandPair(c, complement);
        return;
    }
}

// A command may come delayMs after its synchronisation: a probe is told by a longer silence.
// The delay was measured once; a loaded host may be later still, so the window allows twice it.
void TTestInstrument::widenProbeWindow(long long delayMs)
{
    if (delayMs < MaxIdentificationWindowMs)
        identificationWindowMs_ = static_cast<int>(std::min<long long>(
            MaxIdentificationWindowMs,
            std::max<long long>(identificationWindowMs_, 2 * delayMs + setup_.IdentificationWindowMs)));
}

// A command and its complement, checked: accepted, refused, or answered 0xFF (the host then
// sends the command again, without a new synchronisation).
void TTestInstrument::commandPair(int c, int)
{
    event("command", c);
    if (take(TFaultKind::ReplyFF, c)) {
        answer(TPoint::Command, QByteArray(1, static_cast<char>(0xFF)));
        probeGuessed_ = true; // the repeated command comes without a synchronisation
        syncAt_ = std::chrono::steady_clock::now();
        return;
    }
    command(static_cast<uint8_t>(c));
}

void TTestInstrument::identification()
{
    event("identified");
    answer(TPoint::Identification,
           setup_.SpeedLine + "\r\n" + setup_.NameLine + "\r\n" + Le32(setup_.Capability));
    mode_ = Mode::Idle;
    answer(TPoint::Prompt, ":>");
}

void TTestInstrument::command(uint8_t c)
{
    TFault fault;
    const bool known = c == Escape || c == Status || isMeasurement(c);
    if (!known || take(TFaultKind::RefuseCommand, c, &fault)) {
        event("refused", c);
        answer(TPoint::Command, QByteArray(1, fault.Bytes.isEmpty() ? '?' : fault.Bytes[0]));
        return;
    }
    answer(TPoint::Command, QByteArray(1, static_cast<char>(c)));
    if (c == Escape) {
        event("escape");
        mode_ = Mode::Idle;
        answer(TPoint::Prompt, ":>");
    } else if (c == Status) {
        mode_ = Mode::Block;
    } else {
        program(c);
    }
}

// Measurement command: parameter block, switch word and, with the switch unit, two tables.
void TTestInstrument::program(uint8_t c)
{
    TSurveyProgram p;
    p.Command = c;
    const QByteArray parameters = readExact(8, HostByteMs);
    const QByteArray word = readExact(2, HostByteMs);
    QByteArray bytes = parameters + word;
    bool complete = DecodeParameterBlock(parameters, p) && word.size() == 2;
    p.SwitchWord = DecodeSwitchWord(word);
    if (complete && p.Switch()) {
        const QByteArray t1 = readExact(26, HostByteMs);
        const QByteArray t2 = readExact(26, HostByteMs);
        complete = DecodeSwitchTable(t1, p.Table1) && DecodeSwitchTable(t2, p.Table2);
        bytes += t1 + t2;
    }
    {
        std::lock_guard lock(mutex_);
        program_ = p;
    }
    event(complete ? "program" : "program incomplete", c, bytes);
    mode_ = complete ? Mode::Measure : Mode::Idle;
}

// Framed block download; the host has sent 0x00.
void TTestInstrument::block()
{
    event("block start");
    const QByteArray data = setup_.Status;
    const auto total = static_cast<uint32_t>(data.size());
    answer(TPoint::BlockStart, QByteArray(1, 0));
    answer(TPoint::BlockTotal, Le32(total));

    uint32_t pos = 0;        // start of the frame that request `current` gets
    uint16_t current = 1;
    uint32_t sentLength = 0;
    bool sent = false;       // a frame was sent for `current` and may have been accepted
    bool endMarkerSent = false;
    const auto next = [](uint16_t n) { return static_cast<uint16_t>(n == 127 ? 1 : n + 1); };
    for (;;) {
        // A host that went away (link closed, program ended) sends no more requests: the
        // download is given up after a silence, else the next host's handshake would be
        // taken for a frame request.
        const int low = read(setup_.DownloadIdleMs > 0 ? setup_.DownloadIdleMs : -1);
        if (low == -1) {
            event("block abandoned", -1, "timed out");
            return;
        }
        if (low < 0)
            return;
        if (low == 0 && !sent && pos == 0) {
            // Frame numbers run 1..127, so a request never starts with 0: the host did not
            // get the start echo and starts again.
            event("block start");
            answer(TPoint::BlockStart, QByteArray(1, 0));
            answer(TPoint::BlockTotal, Le32(total));
            continue;
        }
        const int high = read(HostByteMs);
        if (high < 0)
            return;
        const auto n = static_cast<uint16_t>(low | (high << 8));
        if (n < 1 || n > 127) {
            // No frame request: the host gave up the download (a synchronisation, a command);
            // an instrument goes back to waiting for commands.
            event("block abandoned", n);
            return;
        }
        if (sent && n == next(current)) {
            pos += sentLength; // the previous frame was accepted
            sent = false;
        }
        current = n;
        if (endMarkerSent || (pos >= total && total > 0)) {
            event("block end", n);
            answer(TPoint::BlockEnd, Le16(n));
            answer(TPoint::Prompt, ":>");
            if (setup_.LineAfterConnect != TLine::Answering)
                line_ = setup_.LineAfterConnect;
            return;
        }
        event("frame", n);
        TFault fault;
        if (take(TFaultKind::WrongFrameEcho, n, &fault)) {
            answer(TPoint::FrameEcho, Le16(static_cast<uint16_t>(n + 1)));
            sent = false;
            continue;
        }
        uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(setup_.FrameSize), total - pos);
        std::optional<uint16_t> word;
        if (take(TFaultKind::LengthWord, n, &fault) && fault.Bytes.size() == 2) {
            word = DecodeFrameNumber(fault.Bytes);
            length = std::min(HostFrameLength(*word, total - pos), total - pos);
        }
        uint16_t checksumXor = 0;
        if (take(TFaultKind::WrongChecksum, n, &fault))
            checksumXor = fault.Bytes.size() == 2 ? DecodeFrameNumber(fault.Bytes) : 0x5A5A;
        const QByteArray frame = data.mid(pos, length);
        answer(TPoint::Frame, EncodeFrame(n, frame, word, checksumXor));
        sent = true;
        sentLength = length;
        if (length == 0)
            endMarkerSent = true;
    }
}

void TTestInstrument::cycle(uint8_t mode)
{
    int index = 0;
    {
        std::lock_guard lock(mutex_);
        index = cycles_++;
    }
    event("trigger", mode);
    const TSurveyProgram p = Program();
    const bool cut = take(TFaultKind::CutShort, index);
    bool wrongLength = take(TFaultKind::WrongLength, index);
    const bool flip = take(TFaultKind::FlipBits, index);
    const auto spoil = [&](QByteArray bytes, bool sentence) {
        if (sentence && wrongLength && bytes.size() >= 4) {
            const auto byte = [&bytes](int i) { return uint32_t(uint8_t(bytes[i])) << (8 * i); };
            bytes.replace(0, 4, Le32((byte(0) | byte(1) | byte(2) | byte(3)) + 8));
            wrongLength = false;
        }
        if (flip)
            for (qsizetype i = 0; i < bytes.size(); i += 8)
                bytes[i] = static_cast<char>(bytes[i] ^ 0x10);
        return bytes;
    };
    if (mode & 0x0A) {
        const QByteArray s = setup_.GpsSentence ? setup_.GpsSentence(index) : DefaultGpsSentence(index);
        answer(TPoint::Gps, spoil(take(TFaultKind::SilentGps, index) ? Le32(0) : EncodeSentence(s), true));
    }
    if (mode & 0xA0) {
        const QByteArray s = setup_.SounderSentence ? setup_.SounderSentence(index) : DefaultSounderSentence(index);
        answer(TPoint::Sounder, spoil(take(TFaultKind::SilentSounder, index) ? Le32(0) : EncodeSentence(s), true));
    }
    TCycleReadings r = setup_.Readings ? setup_.Readings(p, index) : DefaultReadings(p, setup_.Channels, index);
    if (setup_.Transmitter)
        setup_.Transmitter->Drive(p.TxVoltage, r);
    if (take(TFaultKind::NoCurrent, index))
        r.PlusI[0] = r.MinusI[0] = r.PlusI[1] = r.MinusI[1] = 0.0f;

    // Blocks per cable set: V+ with I+, IP+, V- with I-, IP-; the second set only with the
    // switch unit; IP only with an IP command. Each block has the instrument's N values.
    const auto fit = [this](std::vector<float> v) {
        v.resize(setup_.Channels, 0.0f);
        return v;
    };
    QByteArray blocks;
    for (int set = 0; set < (p.Switch() ? 2 : 1); ++set) {
        std::vector<float> plus = fit(r.PlusV[set]);
        plus.push_back(r.PlusI[set]);
        std::vector<float> minus = fit(r.MinusV[set]);
        minus.push_back(r.MinusI[set]);
        blocks += Floats(plus);
        if (p.Ip())
            blocks += Floats(fit(r.PlusIp[set]));
        blocks += Floats(minus);
        if (p.Ip())
            blocks += Floats(fit(r.MinusIp[set]));
    }
    // The sentences are relayed at the trigger; the readings follow the pulses.
    if (setup_.RealTime)
        pause(CycleDurationMs(p));
    if (setup_.ReadingsLateMs > 0)
        pause(setup_.ReadingsLateMs);
    if (cut)
        blocks.truncate(blocks.size() / 2);
    answer(TPoint::Readings, spoil(blocks, false));
}

} // namespace Instrument
