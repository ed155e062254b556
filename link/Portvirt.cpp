#include "Portvirt.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include "LittleEndian.h"
#include "Varnokpro.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

TPortVirt* ActivePort = nullptr;

namespace {

// How long a wait blocks on the port between two looks at the window messages.
constexpr int PollMs = 5;

constexpr uint8_t SyncByte = 0x40;
constexpr int SyncSends = 22;
constexpr int UsbSyncSends = 20;
constexpr int UsbExchanges = 6;
// Exchanges that got no reply at all before the handshake gives up (both ports; the serial
// port still repeats without limit while the instrument answers 0xFF).
constexpr int SilentExchanges = 6;
constexpr uint32_t MaxFrame = 528;
// A block download that has made no step for this long is given up (the start echo, a frame's
// echo of its number and each byte of the frame are steps): a line gone silent, or one that
// sends only bytes of its own, would otherwise hold it for ever. The instrument itself gives a
// download up after as long a silence of the host's.
constexpr int DownloadStallMs = 10000;
// Once a stop is asked, a download that stands still this long is given up; one under way ends.
constexpr int DownloadStopStallMs = 1000;
// Escape (Power off, closing, the identification's retries) gives up after this long without a
// byte from the instrument: it would otherwise hold the window a minute where nobody answers.
constexpr int EscapeSilenceMs = 5000;
// And after this long whatever the line sends: a line that answers 0xFF to everything or
// trickles bytes renews both the silence and the exchanges.
constexpr int EscapeDeadlineMs = 8000;
// A write that the port keeps refusing this long (a line that went away) fails as on a closed
// link, so that Escape on Power off and closing the window cannot hang on it.
constexpr auto RefusedWriteLimit = std::chrono::milliseconds(3000);

// Times the refusals of one write.
class RefusedWrites {
public:
    bool TooLong()
    {
        const auto now = std::chrono::steady_clock::now();
        if (!started_) {
            started_ = true;
            first_ = now;
        }
        return now - first_ >= RefusedWriteLimit;
    }

private:
    bool started_ = false;
    std::chrono::steady_clock::time_point first_;
};

[[noreturn]] void raise(const char* message)
{
    SetScreenCursor(TCursor::crDefault);
    throw Exception(message);
}

// The hourglass for a whole exchange, and the default cursor again on every way out.
struct HourGlass {
    HourGlass() { SetScreenCursor(TCursor::crHourGlass); }
    ~HourGlass() { SetScreenCursor(TCursor::crDefault); }
};


} // namespace

void LinkProcessMessages()
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last{};
    const auto now = Clock::now();
    if (now - last < std::chrono::milliseconds(1))
        return;
    last = now;
    TApplication::ProcessMessages();
}

TPortVirt::~TPortVirt() = default;

void TPortVirt::SetLinkOption(int) {}

void TPortVirt::Wait(int seconds) { Sleep(seconds * 1000); }

void TPortVirt::PutBlock(const uint8_t* data, int count)
{
    for (int i = 0; i < count; ++i)
        PutCom(data[i]);
}

uint16_t TPortVirt::Checksum(const uint8_t* data, uint32_t count)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

int TPortVirt::GetCom() { return getComUntil(nullptr); }

int TPortVirt::getComUntil(const std::function<bool()>& over)
{
    for (;;) {
        if (!IsOpen())
            raise(PortErrGetcom);
        LinkProcessMessages();
        if (!IsOpen())
            raise(PortErrGetcom);
        if (RxCount() > 0) {
            if (!over)
                return ReadByteTimed(300000);
            const int b = ReadByteTimed(PollMs);
            if (b >= 0)
                return b;
        }
        if (over && over())
            return -1;
        if (AwaitInput)
            AwaitInput(PollMs);
    }
}

void TPortVirt::PutCom(uint8_t byte) { putWithin(byte, QDeadlineTimer(QDeadlineTimer::Forever)); }

bool TPortVirt::putWithin(uint8_t byte, const QDeadlineTimer& deadline)
{
    RefusedWrites refused;
    for (;;) {
        if (!IsOpen())
            raise(PortErrPutcom);
        LinkProcessMessages();
        if (WriteByte(byte) != -1)
            break;
        if (refused.TooLong())
            raise(PortErrPutcom);
        if (deadline.hasExpired())
            return false;
        Sleep(1); // a refused write is retried, but not in a tight loop
    }
    while (TxCount() != 0) {
        if (!IsOpen())
            raise(PortErr);
        if (deadline.hasExpired())
            return false;
        LinkProcessMessages();
        Sleep(1);
    }
    if (ByteDelay != 0)
        Sleep(ByteDelay);
    return true;
}

int TPortVirt::GetComBuffer(uint8_t* buffer, int count, int timeoutMsPerByte)
{
    int stored = 0;
    while (stored < count) {
        if (!IsOpen())
            raise(PortErrGetcom);
        const int b = ReadByteTimed(timeoutMsPerByte);
        if (b == -1)
            break;
        buffer[stored++] = static_cast<uint8_t>(b);
    }
    return stored;
}

void TPortVirt::GetBlock(uint8_t* buffer, int count)
{
    for (int i = 0; i < count; ++i)
        buffer[i] = static_cast<uint8_t>(GetCom());
}

bool TPortVirt::GetString(QString& text, int maxCount, int timeoutMs)
{
    if (!IsOpen())
        raise(PortErrGetstring);
    QByteArray line;
    for (int counted = 1;; ++counted) {
        uint8_t b = 0;
        if (ReadBuffer(&b, 1, timeoutMs) != 1)
            return false; // a line not read leaves the text as it was
        if (b != 13 && b != 10)
            line += static_cast<char>(b);
        if (b == 10 || counted >= maxCount) {
            text = QString::fromLatin1(line);
            return true;
        }
    }
}

bool TPortVirt::WaitText(const QString& text)
{
    const QByteArray wanted = text.toLatin1();
    QByteArray seen; // only the tail that can still hold the text
    for (;;) {
        if (RxCount() <= 0) {
            LinkProcessMessages();
            if (IsOpen()) {
                if (AwaitInput)
                    AwaitInput(PollMs);
                continue;
            }
            SetScreenCursor(TCursor::crDefault);
            if (Rules.Usb)
                throw Exception(PortWaitError);
            return false;
        }
        const int b = ReadByte();
        if (b < 0)
            continue;
        seen += static_cast<char>(b);
        if (seen.size() > wanted.size())
            seen.remove(0, seen.size() - wanted.size());
        if (seen.endsWith(wanted))
            return true;
    }
}

bool TPortVirt::WaitPrompt() { return WaitText(":>"); }

bool TPortVirt::PromptSetCmd(uint8_t command, int timeoutMs)
{
    if (!WaitPrompt())
        return false;
    return SetCmd(command, timeoutMs);
}

int TPortVirt::HandshakeRead(int timeoutMs)
{
    constexpr int LongestHeldRead = 10000;
    if (timeoutMs <= LongestHeldRead)
        return ReadByteTimed(timeoutMs);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!IsOpen())
            return -1;
        if (RxCount() > 0)
            return ReadByteTimed(PollMs);
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return -1;
        LinkProcessMessages();
        if (!IsOpen())
            return -1;
        if (AwaitInput)
            AwaitInput(static_cast<int>(std::min<qint64>(left, PollMs)));
        else
            Sleep(static_cast<int>(std::min<qint64>(left, PollMs)));
    }
}

bool TPortVirt::SetCmd(uint8_t command, int timeoutMs)
{
    if (command == CmdEscape)
        return Handshake(command, timeoutMs, EscapeDeadlineMs, EscapeSilenceMs);
    return Handshake(command, timeoutMs, 0, 0);
}

bool TPortVirt::Handshake(uint8_t command, int timeoutMs, int deadlineMs, int silentMs, bool* gaveUp,
                          const std::function<bool()>& stopAsked)
{
    HourGlass cursor;
    if (gaveUp)
        *gaveUp = false;
    if (!IsOpen())
        raise(PortErrSetcmd);
    QDeadlineTimer deadline = deadlineMs > 0 ? QDeadlineTimer(deadlineMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    const auto timeUp = [&] {
        const bool over = deadline.hasExpired() || (stopAsked && stopAsked());
        if (over && gaveUp)
            *gaveUp = true;
        return over;
    };
    // A read's wait, cut to what the deadline leaves.
    const auto readWithin = [&](int ms) {
        if (!deadline.isForever())
            ms = static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, ms));
        return HandshakeRead(ms);
    };
    ClearRx();

    // Any byte at all, the awaited one or not, shows that someone still answers.
    QElapsedTimer sinceHeard;
    sinceHeard.start();
    const auto silentTooLong = [&](int reply) {
        if (reply != -1)
            sinceHeard.start();
        const bool over = silentMs > 0 && sinceHeard.elapsed() >= silentMs;
        if (over && gaveUp)
            *gaveUp = true;
        return over;
    };

    int sends = 0;
    int sync = -1;
    do {
        if (!putWithin(SyncByte, deadline)) {
            timeUp();
            return false;
        }
        ++sends;
        sync = readWithin(timeoutMs);
        if (!IsOpen())
            raise(PortErrSetcmd);
        if (silentTooLong(sync) || (sync != SyncByte && timeUp()))
            return false;
    } while (sync != SyncByte && sends < SyncSends);
    ClearTx();
    if (Rules.Usb && !(sync == SyncByte && sends <= UsbSyncSends))
        return false;

    // False when the deadline passed first.
    const auto writeOrRaise = [&](uint8_t value) {
        RefusedWrites refused;
        while (WriteByte(value) == -1) {
            if (!IsOpen() || refused.TooLong())
                raise(PortErrSetcmd);
            if (timeUp())
                return false;
            LinkProcessMessages();
            if (!IsOpen())
                raise(PortErrSetcmd);
            Sleep(1);
        }
        return true;
    };
    int exchanges = 0;
    int silent = 0;
    int reply = -1;
    for (;;) {
        ClearRx();
        if (!writeOrRaise(command))
            return false;
        Sleep(10);
        if (!writeOrRaise(static_cast<uint8_t>(command ^ 0xFF)))
            return false;
        reply = readWithin(timeoutMs);
        LinkProcessMessages();
        if (reply == -1 && !IsOpen())
            raise(PortErrSetcmd);
        ++exchanges;
        if (silentTooLong(reply))
            return false;
        // A reply that decides counts even at the deadline; a 0xFF or none does not.
        if ((reply == 0xFF || reply == -1) && timeUp())
            return false;
        if (reply != 0xFF && reply != -1)
            break;
        if (Rules.Usb && exchanges >= UsbExchanges)
            break;
        if (reply == -1 && ++silent >= SilentExchanges)
            break;
    }
    return reply != -1 && static_cast<uint8_t>(reply) == command;
}

bool TPortVirt::Identify(QString& name, QString& speed)
{
    const bool openAtEntry = IsOpen();
    try {
        int k = 0;
        int remembered = 0;
        for (;;) {
            LinkProcessMessages();
            if (Rules.Usb) {
                while (RxCount() > 0)
                    ReadByteTimed(Rules.DrainMsPerByte);
            } else {
                while (IsOpen() && RxCount() > 0)
                    ReadByteTimed(Rules.DrainMsPerByte);
            }
            PutCom(SyncByte);
            Sleep(100);
            int reply = 0;
            if (!(TakeLineError && TakeLineError()))
                reply = ReadByteTimed(Rules.ProbeReplyMs);
            if (k == 10) {
                remembered = Rules.Usb ? OpenSpeed : GetBaudRate();
                SetBaudRate(Rules.FallbackSpeed);
            }
            if (k == 19) {
                SetBaudRate(remembered);
                Sleep(100);
                const bool escaped = SetCmd(CmdEscape, 2000);
                if (Rules.Usb && !escaped)
                    return false;
                Sleep(1000);
                k = 0;
            } else {
                ++k;
            }
            if (reply == SyncByte)
                break;
        }
        if (!GetString(speed, 40, 15000))
            return false;
        return GetString(name, 40, 15000);
    } catch (const std::exception&) {
        SetScreenCursor(TCursor::crDefault);
        // A device that went away under the exchange is no instrument answering gibberish: the
        // connection says that instead.
        if ((!openAtEntry || IsOpen()) && DeviceGone().isEmpty())
            Dialogs().ShowMessage(UnknownBaudrateMessage);
        return false;
    }
}

bool TPortVirt::XbtCLoad(const std::function<bool()>& stopAsked)
{
    HourGlass cursor;
    if (Buffer)
        Buffer->clear();
    if (!IsOpen())
        raise(PortErrXbtCload);
    ClearTx();

    QElapsedTimer sinceStep;
    sinceStep.start();
    const auto stalled = [&] {
        const qint64 ms = sinceStep.elapsed();
        return ms >= DownloadStallMs || (ms >= DownloadStopStallMs && stopAsked && stopAsked());
    };
    // GetCom, but -1 once the download has stalled.
    const auto next = [&] { return getComUntil(stalled); };
    // GetBlock the same way; each byte a step when step is set.
    const auto read = [&](uint8_t* bytes, int count, bool step) {
        for (int i = 0; i < count; ++i) {
            const int b = next();
            if (b < 0)
                return false;
            bytes[i] = static_cast<uint8_t>(b);
            if (step)
                sinceStep.start();
        }
        return true;
    };
    const auto giveUp = [&] {
        if (Buffer)
            Buffer->clear();
        SetScreenCursor(TCursor::crDefault);
        LinkProcessMessages();
        return false;
    };

    for (;;) {
        ClearRx();
        PutCom(0x00);
        const int b = next();
        if (b == 0x00)
            break;
        if (b < 0 || stalled())
            return giveUp();
    }
    sinceStep.start();

    uint8_t word[4] = {};
    const uint32_t total = ReadBuffer(word, 4, 3000) == 4 ? ReadLe32(word) : 0;
    uint32_t remaining = total;
    uint16_t frameNumber = 1;
    std::vector<uint8_t> frame;
    do {
        for (;;) {
            ClearRx();
            const uint8_t request[2] = {static_cast<uint8_t>(frameNumber & 0xFF), static_cast<uint8_t>(frameNumber >> 8)};
            PutBlock(request, 2);
            uint8_t echo[2];
            if (!read(echo, 2, false))
                return giveUp();
            if (ReadLe16(echo) == frameNumber)
                break;
            if (stalled())
                return giveUp();
        }
        sinceStep.start();
        if (!read(word, 2, true))
            return giveUp();
        uint32_t length = ReadLe16(word) >> 6;
        if (length > MaxFrame)
            length = std::min(remaining, MaxFrame);
        if (length == 0)
            break;
        frame.resize(length);
        uint8_t check[2];
        if (!read(frame.data(), static_cast<int>(length), true) || !read(check, 2, true))
            return giveUp();
        const uint8_t lengthWord[2] = {static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>(length >> 8)};
        const uint16_t sum = static_cast<uint16_t>(Checksum(lengthWord, 2) + Checksum(frame.data(), length));
        if (sum == ReadLe16(check)) {
            frameNumber = frameNumber == 127 ? 1 : static_cast<uint16_t>(frameNumber + 1);
            if (Buffer)
                Buffer->append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(length));
            LinkProcessMessages();
            remaining = remaining > length ? remaining - length : 0;
        }
    } while (remaining > 0);

    const uint8_t end[2] = {static_cast<uint8_t>(frameNumber & 0xFF), static_cast<uint8_t>(frameNumber >> 8)};
    PutBlock(end, 2);
    // The block is whole: an end answer that does not come spoils nothing of it.
    read(word, 2, false);
    SetScreenCursor(TCursor::crDefault);
    LinkProcessMessages();
    return true;
}

int TPortVirt::LoadBuffer(void* destination, int destinationSize, const std::function<bool()>& stopAsked)
{
    if (!XbtCLoad(stopAsked))
        return -1;
    if (!destination || destinationSize <= 0)
        return 0;
    if (!Buffer) {
        Dialogs().ShowMessage(ErrBufferMessage);
        return 0;
    }
    // The destination is fixed in size while the block's length comes from the instrument.
    const int n = static_cast<int>(std::min<qsizetype>(destinationSize, Buffer->size()));
    std::memcpy(destination, Buffer->constData(), static_cast<size_t>(n));
    return n;
}

bool SendEscape()
{
    if (!ActivePort)
        return true;
    // A byte that is neither the echo nor a request to send again (a line trickling noise) is
    // no answer of the instrument's: the link comes down without its Escape, and that is said.
    return ActivePort->Handshake(CmdEscape, 2000, EscapeDeadlineMs, EscapeSilenceMs);
}
