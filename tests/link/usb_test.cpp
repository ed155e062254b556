// The USB port against the fake driver, behind which the test instrument answers.
#include "LinkTestSupport.h"

#include "platform/Application.h"
#include "platform/Ftd2xxReceiver.h"

#include <chrono>
#include <sys/resource.h>
#include <thread>

using namespace Instrument;

namespace {

QStringList withoutReads(const QStringList& calls)
{
    QStringList out;
    for (const QString& c : calls)
        if (!c.startsWith("FT_Read") && !c.startsWith("FT_SetTimeouts") && !c.startsWith("FT_Purge"))
            out << c;
    return out;
}

TEST(UsbOpen, DriverCallsInOrder)
{
    UsbLink link;
    EXPECT_EQ(link.Open(115200), 99);
    EXPECT_EQ(link.Driver.Calls, QStringList({"FT_Open 0", "FT_ClrDtr", "FT_ClrRts", "FT_SetBaudRate 115200",
                                              "FT_SetTimeouts 500 500", "FT_SetDtr", "FT_SetRts"}));
    ASSERT_EQ(link.Dialogs.Calls.size(), 1u);
    EXPECT_EQ(link.Dialogs.Calls[0].Text, "Connect USB link between computer and VARNOK or OBRAN click <OK Button>");
    EXPECT_EQ(link.Dialogs.Calls[0].Caption, "Communication");
    EXPECT_EQ(link.Dialogs.Calls[0].Flags, MB_OKCANCEL | MB_ICONINFORMATION);
    EXPECT_EQ(link.Port.GetState(), 99);
    EXPECT_EQ(link.Port.Configured, 1);

    // Close, then open again: the handle is closed once, never twice.
    link.Driver.Calls.clear();
    link.Port.Close();
    EXPECT_EQ(link.Port.GetState(), 0);
    EXPECT_EQ(link.Port.GetHandle(), nullptr);
    EXPECT_EQ(link.Open(9600), 99);
    EXPECT_EQ(link.Driver.CallsOf("FT_Close"), QStringList({"FT_Close"}));
    EXPECT_TRUE(link.Driver.Calls.filter("invalid").isEmpty()) << link.Driver.Calls.join("; ").toStdString();
    // Opening an open port closes its handle first.
    link.Driver.Calls.clear();
    EXPECT_EQ(link.Open(9600), 99);
    EXPECT_EQ(link.Driver.Calls.first(), "FT_Close");
    EXPECT_TRUE(link.Driver.Calls.filter("invalid").isEmpty());
}

TEST(UsbOpen, PromptRepeatsUntilADeviceIsAttached)
{
    UsbLink link;
    link.Driver.DeviceScript = {0, 0};
    link.Dialogs.AnswerMessage(IDOK);
    link.Dialogs.AnswerMessage(IDOK);
    EXPECT_EQ(link.Open(), 99);
    EXPECT_EQ(link.Dialogs.Calls.size(), 3u);

    UsbLink none;
    none.Driver.Devices = 0;
    none.Dialogs.AnswerMessage(IDOK);
    none.Dialogs.AnswerMessage(IDCANCEL);
    EXPECT_EQ(none.Port.Open(99, 115200, 0, {}, false, {}), 0);
    EXPECT_EQ(none.Dialogs.Calls.size(), 2u);
    EXPECT_EQ(none.Port.GetState(), -1);
    EXPECT_TRUE(none.Driver.Calls.isEmpty());
}

TEST(UsbOpen, AFailedOpenTouchesNoLine)
{
    UsbLink link;
    link.Driver.OpenStatus = FT_DEVICE_NOT_OPENED;
    EXPECT_EQ(link.Open(), 0);
    EXPECT_EQ(link.Driver.Calls, QStringList({"FT_Open 0"}));
    EXPECT_EQ(link.Port.GetState(), -1);
    EXPECT_EQ(link.Port.GetHandle(), nullptr);
    EXPECT_EQ(link.Port.Configured, 0);
}

TEST(UsbOpen, PortCodeZeroIsRefusedBeforeAnythingIsOpened)
{
    UsbLink link;
    EXPECT_EQ(link.Port.Open(0, 9600, 0, {}, false, {}), 0);
    EXPECT_TRUE(link.Dialogs.Calls.empty());
    EXPECT_TRUE(link.Driver.Calls.isEmpty()) << link.Driver.Calls.join("; ").toStdString();
    EXPECT_EQ(link.Driver.OpenHandles(), 0);
    EXPECT_EQ(link.Port.GetState(), 0);
}

TEST(UsbRaw, WriteByteFailsUnlessOneByteWasWritten)
{
    UsbLink link;
    ASSERT_EQ(link.Open(), 99);
    EXPECT_EQ(link.Port.WriteByte(0x41), 0);
    link.Driver.ShortWrites = true;
    EXPECT_EQ(link.Port.WriteByte(0x41), -1);
    link.Driver.ShortWrites = false;
    link.Driver.FailWrites = true;
    EXPECT_EQ(link.Port.WriteByte(0x41), -1);
}

// Raw reads on an open link give what came; a read that got nothing says so (-1, or a count of
// 0), never a byte: a survey would otherwise take the missing part of a cut cycle for zeros.
TEST(UsbRaw, ReadsGiveWhatCameAndNothingForNothing)
{
    struct Case {
        const char* Name;
        QByteArray Sent;
        std::function<int(TPortVirt&)> Read;
        int Result;
    };
    const std::vector<Case> cases = {
        {"timed byte, nothing came", {}, [](TPortVirt& p) { return p.ReadByteTimed(50); }, -1},
        {"waiting byte, none", {}, [](TPortVirt& p) { return p.ReadByte(); }, -1},
        {"timed byte, a zero came", QByteArray(1, 0), [](TPortVirt& p) { return p.ReadByteTimed(5000); }, 0},
        {"timed byte", "A", [](TPortVirt& p) { return p.ReadByteTimed(5000); }, 'A'},
        {"buffer, nothing came", {}, [](TPortVirt& p) { uint8_t b[4]; return p.ReadBuffer(b, 4, 50); }, 0},
        {"buffer, two of four came", "AB", [](TPortVirt& p) { uint8_t b[4]; return p.ReadBuffer(b, 4, 500); }, 2},
    };
    UsbLink link;
    ASSERT_EQ(link.Open(), 99);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        link.Port.ClearRx();
        if (!c.Sent.isEmpty())
            link.Instrument.SendNow(c.Sent);
        EXPECT_EQ(c.Read(link.Port), c.Result);
    }
}

TEST(UsbSettings, LineSettingsReachTheDriverOnlyWhileOpen)
{
    UsbLink link;
    link.Port.SetStopBits(2);
    link.Port.SetXonXoff(true);
    link.Port.SetDtr(true);
    EXPECT_TRUE(link.Driver.Calls.isEmpty());
    EXPECT_EQ(link.Port.GetStopBits(), 1);
    EXPECT_FALSE(link.Port.GetXonXoff());

    ASSERT_EQ(link.Open(), 99);
    struct Case {
        std::function<void(TPortVirt&)> Set;
        QString Call;
        std::function<bool(TPortVirt&)> Check;
    };
    const std::vector<Case> cases = {
        {[](TPortVirt& p) { p.SetStopBits(2); }, "FT_SetDataCharacteristics 8 2 0", [](TPortVirt& p) { return p.GetStopBits() == 2; }},
        {[](TPortVirt& p) { p.SetStopBits(1); }, "FT_SetDataCharacteristics 8 0 0", [](TPortVirt& p) { return p.GetStopBits() == 1; }},
        {[](TPortVirt& p) { p.SetDataBits(7); }, "FT_SetDataCharacteristics 7 0 0", [](TPortVirt& p) { return p.GetDataBits() == 7; }},
        {[](TPortVirt& p) { p.SetDataBits(5); }, "FT_SetDataCharacteristics 8 0 0", [](TPortVirt& p) { return p.GetDataBits() == 8; }},
        {[](TPortVirt& p) { p.SetParity(2); }, "FT_SetDataCharacteristics 8 0 2", [](TPortVirt& p) { return p.GetParity() == 2; }},
        {[](TPortVirt& p) { p.SetParity(9); }, "FT_SetDataCharacteristics 8 0 0", [](TPortVirt& p) { return p.GetParity() == 0; }},
        {[](TPortVirt& p) { p.SetRtsCts(true); }, "FT_SetFlowControl 0x100 0 0", [](TPortVirt& p) { return p.GetRtsCts(); }},
        {[](TPortVirt& p) { p.SetXonXoff(true); }, "FT_SetFlowControl 0x400 17 19",
         [](TPortVirt& p) { return p.GetXonXoff() && !p.GetRtsCts() && !p.GetDtrDsr(); }},
        {[](TPortVirt& p) { p.SetDtrDsr(true); }, "FT_SetFlowControl 0x200 0 0", [](TPortVirt& p) { return p.GetDtrDsr() && !p.GetXonXoff(); }},
        {[](TPortVirt& p) { p.SetDtrDsr(false); }, "FT_SetFlowControl 0x0 0 0",
         [](TPortVirt& p) { return !p.GetDtrDsr() && !p.GetXonXoff() && !p.GetRtsCts(); }},
        {[](TPortVirt& p) { p.SetDtr(false); }, "FT_ClrDtr", [](TPortVirt& p) { return !p.GetDtr(); }},
        {[](TPortVirt& p) { p.SetRts(true); }, "FT_SetRts", [](TPortVirt& p) { return p.GetRts(); }},
        {[](TPortVirt& p) { p.SetBaudRate(57600); }, "FT_SetBaudRate 57600", [](TPortVirt& p) { return p.GetBaudRate() == 0; }},
        {[](TPortVirt& p) { p.SetLinkOption(3); }, "FT_LinkOption 3", [](TPortVirt&) { return true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Call.toStdString());
        link.Driver.Calls.clear();
        c.Set(link.Port);
        EXPECT_EQ(link.Driver.Calls, QStringList({c.Call}));
        EXPECT_TRUE(c.Check(link.Port));
    }
    link.Driver.ModemStatus = 0x20;
    EXPECT_EQ(link.Port.GetDsr(), 1);
    link.Driver.ModemStatus = 0x10;
    EXPECT_EQ(link.Port.GetDsr(), 0);
}

TEST(UsbDeviceCount, AsTheDriverTellsIt)
{
    TFakeFtd2xx driver{QString()};
    TFtd2xx* previous = SetFtd2xx(&driver);
    driver.Devices = 2;
    EXPECT_EQ(UsbDeviceCount(), 2);
    driver.Devices = 0;
    EXPECT_EQ(UsbDeviceCount(), 0);
    SetFtd2xx(previous);
}

TEST(UsbHandshake, AtMostSixExchanges)
{
    struct Case { const char* Name; std::vector<TFault> Faults; bool Result; int Exchanges; };
    const std::vector<Case> cases = {
        {"accepted", {}, true, 1},
        {"0xFF twice", {{TFaultKind::ReplyFF, TPoint::Command, 0, 2}}, true, 3},
        {"0xFF for ever", {{TFaultKind::ReplyFF, TPoint::Command, 0, -1}}, false, 6},
        {"refused", {{TFaultKind::RefuseCommand, TPoint::Command, 0, 1}}, false, 1},
    };
    UsbLink link;
    ASSERT_EQ(link.Open(), 99);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        link.Instrument.ClearFaults();
        for (const TFault& f : c.Faults)
            link.Instrument.AddFault(f);
        link.Driver.Calls.clear();
        EXPECT_EQ(link.Port.SetCmd(30, 1000), c.Result);
        EXPECT_EQ(link.Driver.CallsOf("FT_Write 1e").size(), c.Exchanges);
        EXPECT_EQ(link.Driver.CallsOf("FT_Write e1").size(), c.Exchanges);
    }
    // No synchronisation within 20 sends: false, and no command is sent.
    link.Instrument.ClearFaults();
    link.Instrument.AddFault({TFaultKind::Silence, TPoint::Sync, 0, -1});
    link.Driver.Calls.clear();
    EXPECT_FALSE(link.Port.SetCmd(30, 20));
    EXPECT_EQ(link.Driver.CallsOf("FT_Write 40").size(), 22);
    EXPECT_TRUE(link.Driver.CallsOf("FT_Write 1e").isEmpty());
}

TEST(UsbHandshake, SynchronisationMustComeWithinTwentySends)
{
    // The instrument lets the first `silent` synchronisations go unanswered. The serial port
    // goes on to the command whatever the synchronisation gave; the USB port only within 20.
    struct Case { int Silent; bool Usb; bool Result; int Exchanges; };
    const std::vector<Case> cases = {
        {19, true, true, 1},
        {20, true, false, 0},
        {20, false, true, 1},
    };
    // The host waits 200 ms for each echo; the instrument, widening its probe window, takes no
    // synchronisation that comes within 2 s of the last for a probe, however loaded the machine.
    TInstrumentSetup setup;
    setup.IdentificationWindowMs = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Silent) + (c.Usb ? " usb" : " serial"));
        const TFault silence{TFaultKind::Silence, TPoint::Sync, 0, c.Silent};
        const auto enough = [&](const QByteArray& r) {
            return r.count('@') >= c.Silent + 1 && r.count(QByteArray("\x1e\xe1", 2)) >= c.Exchanges;
        };
        QByteArray received;
        bool result = false;
        if (c.Usb) {
            UsbLink link(setup);
            ASSERT_EQ(link.Open(), 99);
            link.Instrument.AddFault(silence);
            result = link.Port.SetCmd(30, 200);
            received = ReceivedOnce(link.Instrument, enough);
        } else {
            SerialLink link(setup);
            ASSERT_EQ(link.Open(), TestComPort);
            link.Instrument.AddFault(silence);
            result = link.Port.SetCmd(30, 200);
            received = ReceivedOnce(link.Instrument, enough);
        }
        EXPECT_EQ(result, c.Result);
        EXPECT_EQ(received.left(c.Silent + 1), QByteArray(c.Silent + 1, '@'));
        EXPECT_EQ(received.count(QByteArray("\x1e\xe1", 2)), c.Exchanges);
    }
}

TEST(UsbBlock, DownloadAndPrompt)
{
    TInstrumentSetup setup;
    setup.Status = PatternBlock(1000);
    UsbLink link(setup);
    ASSERT_EQ(link.Open(), 99);
    link.Instrument.AddFault({TFaultKind::WrongChecksum, TPoint::Frame, 0, 1, 1});
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    uint8_t status[180];
    EXPECT_EQ(link.Port.LoadBuffer(status, sizeof status), 180);
    EXPECT_TRUE(*link.Port.Buffer == setup.Status);
    EXPECT_TRUE(link.Port.WaitPrompt());
    QStringList events = link.Instrument.EventNames();
    EXPECT_EQ(events.mid(events.indexOf("block start")),
              QStringList({"block start", "frame 1", "frame 1", "frame 2", "block end 3"}));
}

TEST(UsbIdentify, FallbackAndTheSpeedOfTheOpening)
{
    TInstrumentSetup setup;
    setup.AnswerOnlyAtSpeed = 115200;
    UsbLink link(setup);
    ASSERT_EQ(link.Open(9600), 99);
    QString name, speed;
    EXPECT_TRUE(link.Port.Identify(name, speed));
    EXPECT_EQ(speed, "38400");
    EXPECT_EQ(name, "VARNOK 10");
    EXPECT_EQ(link.Instrument.Count("garbled 9600"), 11);

    // Never answered: after 20 probes the opening's speed comes back (not 0), and the failed
    // Escape ends the identification.
    TInstrumentSetup never;
    never.AnswerOnlyAtSpeed = 57600;
    UsbLink other(never);
    ASSERT_EQ(other.Open(9600), 99);
    other.Driver.Calls.clear();
    EXPECT_FALSE(other.Port.Identify(name, speed));
    EXPECT_EQ(other.Driver.CallsOf("FT_SetBaudRate"), QStringList({"FT_SetBaudRate 115200", "FT_SetBaudRate 9600"}));
    EXPECT_EQ(other.Driver.CallsOf("FT_Write 40").size(), 20 + 22);
    EXPECT_TRUE(other.Dialogs.Messages().filter("Unknown").isEmpty());
}

// An instrument that answers nothing at all: the probes keep their time (the fallback speed is
// tried among them), but the identification's escape is given up once nothing has come for some
// seconds, instead of sending every synchronisation with its two seconds' wait.
TEST(UsbIdentify, ASilentLineGivesTheEscapeUp)
{
    UsbLink link;
    ASSERT_EQ(link.Open(9600), 99);
    link.Instrument.AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
    link.Driver.Calls.clear();
    QString name = "n", speed = "s";
    EXPECT_FALSE(link.Port.Identify(name, speed));
    EXPECT_EQ(name, "n");
    EXPECT_EQ(speed, "s");
    const auto syncs = link.Driver.CallsOf("FT_Write 40").size();
    EXPECT_GE(syncs, 20 + 2) << "twenty probes, and the escape tried more than once";
    EXPECT_LT(syncs, 20 + 22);
    EXPECT_TRUE(link.Driver.CallsOf("FT_Write 1b").isEmpty());
    EXPECT_TRUE(link.Dialogs.Messages().filter("Unknown").isEmpty());
}

TEST(UsbWaits, ClosingTheLinkDuringThePromptWaitRaises)
{
    UsbLink link;
    ASSERT_EQ(link.Open(), 99);
    const auto closer = WhenInsideWait([] { return true; }, [&] { link.Port.Close(); });
    try {
        link.Port.WaitPrompt();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, PortWaitError);
    }
    EXPECT_EQ(link.Port.GetState(), 0);
    EXPECT_EQ(withoutReads(link.Driver.Calls).filter("FT_Close").size(), 1);
}

TEST(UsbReception, BytesArrivingWhileTheProgramIsBusyAreKept)
{
    // The adapter holds 256 bytes; 1000 arrive in bursts while the program is busy elsewhere
    // (a byte-delay sleep, a modal dialog) and makes no driver call. Bursts stay within the
    // chip's buffer: the terminal delivers each at once, where a line would trickle it in.
    const QByteArray block = PatternBlock(1000);
    for (const bool background : {false, true}) {
        SCOPED_TRACE(background ? "reader thread" : "fetching only when called");
        UsbLink link;
        link.Driver.ChipBuffer = 256;
        link.Driver.BackgroundReader = background;
        ASSERT_EQ(link.Open(), 99);
        for (int i = 0; i < 5; ++i) {
            link.Instrument.SendNow(block.mid(i * 200, 200));
            // The reader thread takes each burst before the next (a loaded machine may hold it
            // back longer than a line would take); without it nothing is taken, so a pause will do.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            do
                std::this_thread::sleep_for(std::chrono::milliseconds(background ? 5 : 100));
            while (background && link.Driver.FetchedBytes() < static_cast<size_t>((i + 1) * 200) &&
                   std::chrono::steady_clock::now() < deadline);
        }
        QByteArray got(1000, 0);
        const int n = link.Port.ReadBuffer(reinterpret_cast<uint8_t*>(got.data()), 1000, 300);
        if (background) {
            EXPECT_EQ(n, 1000);
            EXPECT_EQ(got, block);
            EXPECT_EQ(link.Driver.LostBytes(), 0u);
        } else {
            EXPECT_EQ(n, 256);
            EXPECT_EQ(link.Driver.LostBytes(), 744u);
        }
        link.Port.Close();
        EXPECT_EQ(link.Driver.OpenHandles(), 0);
    }
}

// The adapter is pulled out (the terminal hangs up): what it had received stays readable, then
// the driver reports the device failed, as it does for an unplugged one, and neither its reader
// nor the program's polling reads spin a core while the user has not yet switched Power off.
TEST(UsbReception, AnUnpluggedDeviceFailsWithoutSpinning)
{
    UsbLink link;
    ASSERT_EQ(link.Open(), 99);
    link.Instrument.SendNow("abc");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (link.Driver.FetchedBytes() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    link.Instrument.DropLine();

    uint8_t got[4] = {};
    EXPECT_EQ(link.Port.ReadBuffer(got, 3, 1000), 3);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got), 3), "abc");
    DWORD read = 0;
    link.Driver.FT_SetTimeouts(link.Port.GetHandle(), 5000, 500);
    EXPECT_EQ(link.Driver.FT_Read(link.Port.GetHandle(), got, 1, &read), FT_IO_ERROR);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(link.Port.WriteByte(0x40), -1);

    // A wait of the survey polls with short timed reads; over two seconds the process takes a
    // small share of one core (the reader thread included), not all of it.
    const auto cpuSeconds = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    int reads = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        EXPECT_EQ(link.Port.ReadByteTimed(5), -1);
        ++reads;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT((cpuSeconds() - cpuBefore) / wall, 0.4) << reads << " reads";
    link.Port.Close();
    EXPECT_EQ(link.Driver.OpenHandles(), 0);
}

// The fetch in which the device fails may still bring bytes: they were received and stay
// readable, with or without the reader thread; then every read reports the failure at once.
TEST(UsbReception, BytesOfTheFetchThatFailedAreKept)
{
    for (const bool background : {false, true}) {
        SCOPED_TRACE(background ? "reader thread" : "fetching only when called");
        int fetches = 0;
        TFtdiReceiver rx({[&fetches](std::vector<uint8_t>& out) {
                              ++fetches;
                              out = {'a', 'b', 'c'};
                              return false;
                          },
                          [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }},
                         background);
        uint8_t got[4] = {};
        DWORD read = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rx.Read(got, 4, 5000, &read), FT_IO_ERROR);
        EXPECT_EQ(read, 3u);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got), 3), "abc");
        EXPECT_EQ(rx.Read(got, 1, 5000, &read), FT_IO_ERROR);
        EXPECT_EQ(read, 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        rx.Stop();
        EXPECT_EQ(fetches, 1);
    }
}

TEST(UsbReception, TheCallLogKeepsTheLastCalls)
{
    UsbLink link;
    link.Driver.CallLogLimit = 5;
    ASSERT_EQ(link.Open(), 99);
    for (int i = 0; i < 20; ++i)
        link.Port.SetDtr(i % 2 == 0);
    EXPECT_EQ(link.Driver.Calls, QStringList({"FT_ClrDtr", "FT_SetDtr", "FT_ClrDtr", "FT_SetDtr", "FT_ClrDtr"}));
}

} // namespace
