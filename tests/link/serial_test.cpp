// The serial port against the test instrument over a pseudo-terminal.
#include "LinkTestSupport.h"

#include "link/Varnokpro.h"
#include "platform/Application.h"

#include <QFile>

#include <chrono>

using namespace Instrument;

namespace {

int exchangesOf(const QByteArray& received, uint8_t command)
{
    const QByteArray pair = QByteArray(1, static_cast<char>(command)) + static_cast<char>(command ^ 0xFF);
    return static_cast<int>(received.count(pair));
}

TEST(SerialOpen, PromptThenLinesThenThePortNumber)
{
    SerialLink link;
    EXPECT_EQ(link.Open(19200), TestComPort);
    ASSERT_EQ(link.Dialogs.Calls.size(), 1u);
    const auto& prompt = link.Dialogs.Calls[0];
    EXPECT_EQ(prompt.Text, "Connect Serial link < COM 7 > between computer and VARNOK or OBRAN click <OK Button>");
    EXPECT_EQ(prompt.Caption, "Communication");
    EXPECT_EQ(prompt.Flags, MB_OKCANCEL | MB_ICONINFORMATION);
    EXPECT_EQ(link.Port.GetState(), TestComPort);
    EXPECT_EQ(link.Port.Configured, 1);
    EXPECT_EQ(link.Port.GetBaudRate(), 19200);
    EXPECT_TRUE(link.Port.GetDtr());
    EXPECT_TRUE(link.Port.GetRts());

    // A configured port only takes the new speed; its control's port stays as it was.
    TPortCtl* control = link.Port.Control();
    link.Port.Close();
    EXPECT_EQ(link.Port.GetState(), 0);
    EXPECT_TRUE(control->IsOpen());
    EXPECT_FALSE(link.Port.GetDtr());
    EXPECT_EQ(link.Open(38400), TestComPort);
    EXPECT_EQ(link.Dialogs.Calls.size(), 2u);
    EXPECT_EQ(link.Port.GetBaudRate(), 38400);
    EXPECT_TRUE(link.Port.SetCmd(30, 2000));
    EXPECT_EQ(link.Instrument.Count("command 30"), 1);
}

TEST(SerialOpen, CancelledPromptOrMissingDevice)
{
    SerialLink link;
    link.Dialogs.AnswerMessage(IDCANCEL);
    EXPECT_EQ(link.Port.Open(TestComPort, 9600, 0, {}, false, {}), 0);
    EXPECT_EQ(link.Port.GetState(), -1);
    EXPECT_EQ(link.Port.Configured, 0);

    qputenv("QUOREL_COM7", "/nonexistent/tty");
    EXPECT_EQ(link.Open(), 0);
    EXPECT_EQ(link.Port.GetState(), 0);
    EXPECT_EQ(link.Port.Configured, 0);
}

TEST(SerialOpen, AFailedOpeningSaysWhy)
{
    SerialLink link;
    TempDir dir;
    const QString file = dir.File("plain-file");
    QFile(file).open(QIODevice::WriteOnly);
    const struct {
        QString Device;
        QString Failure;
    } cases[] = {
        {dir.File("no-such-device"), "Serial link < COM 7 > could not be opened (" + dir.File("no-such-device") +
                                         "): No such file or directory"},
        {file, "Serial link < COM 7 > could not be opened (" + file + "): not a serial line"},
    };
    for (const auto& c : cases) {
        qputenv("QUOREL_COM7", c.Device.toLocal8Bit());
        EXPECT_EQ(link.Open(), 0);
        EXPECT_EQ(link.Port.OpenFailure, c.Failure);
    }
    // A cancelled prompt is no failure, and an opening that works clears the last one.
    link.Dialogs.AnswerMessage(IDCANCEL);
    EXPECT_EQ(link.Port.Open(TestComPort, 9600, 0, {}, false, {}), 0);
    EXPECT_EQ(link.Port.OpenFailure, "");
    qputenv("QUOREL_COM7", link.Instrument.DevicePath().toLocal8Bit());
    link.Port.OpenFailure = "stale";
    EXPECT_EQ(link.Open(), TestComPort);
    EXPECT_EQ(link.Port.OpenFailure, "");
}

// Power or the window's close while DTR and RTS are held off sets the state away from
// "opening": the opening is given up and lets the device go, and the next one opens it afresh.
// A configured port goes through the same opening to dial its modem again.
TEST(SerialOpen, AnOpeningGivenUpMeanwhileLetsTheDeviceGo)
{
    for (const bool configured : {false, true}) {
        SCOPED_TRACE(configured ? "configured modem link" : "first opening");
        TInstrumentSetup setup;
        setup.Modem = configured;
        SerialLink link(setup);
        const QString dial = configured ? "0123456" : "";
        if (configured) {
            ASSERT_EQ(link.Open(9600, {}, dial), TestComPort);
            link.Port.Close();
            link.Instrument.OnHook();
        }
        const auto giveUp = WhenInsideWait([&] { return link.Port.GetState() == -1; }, [&] { link.Port.SetState(0); });
        EXPECT_EQ(link.Open(9600, {}, dial), 0);
        EXPECT_EQ(link.Port.GetState(), 0);
        EXPECT_FALSE(link.Port.Control()->IsOpen());
        EXPECT_FALSE(link.Port.GetDtr());
        EXPECT_EQ(link.Port.OpenFailure, "");
        EXPECT_EQ(link.Port.Configured, configured ? 1 : 0);
        EXPECT_EQ(link.Open(9600, {}, dial), TestComPort);
        EXPECT_TRUE(link.Port.GetDtr());
        EXPECT_TRUE(link.Port.SetCmd(30, 2000));
    }
}

// An adapter pulled and plugged back: the configured port's device hung up, and the next
// opening opens the same name again, which now leads to the new device.
TEST(SerialOpen, AConfiguredPortWhoseLineHungUpOpensItsDeviceAgain)
{
    TempDir dir;
    const QString name = dir.File("ttyQuorel7");
    SerialLink link;
    ASSERT_TRUE(QFile::link(link.Instrument.DevicePath(), name));
    qputenv("QUOREL_COM7", name.toLocal8Bit());
    ASSERT_EQ(link.Open(), TestComPort);
    link.Instrument.DropLine();
    link.Port.Close();
    // Held open, the dead device would keep its name from the adapter plugged back (the system
    // gives that one another name): the link taken down lets it go.
    EXPECT_FALSE(link.Port.Control()->IsOpen());
    TTestInstrument back;
    QFile::remove(name);
    ASSERT_TRUE(QFile::link(back.DevicePath(), name));
    EXPECT_EQ(link.Open(), TestComPort);
    EXPECT_EQ(link.Dialogs.Calls.size(), 2u);
    EXPECT_TRUE(link.Port.GetDtr());
    EXPECT_TRUE(link.Port.SetCmd(30, 2000));
    EXPECT_EQ(back.Count("command 30"), 1);
    // While the device stays away the opening fails and says so; it opens once it is back.
    back.DropLine();
    link.Port.Close();
    QFile::remove(name);
    EXPECT_EQ(link.Open(), 0);
    EXPECT_TRUE(link.Port.OpenFailure.endsWith("No such file or directory")) << link.Port.OpenFailure.toStdString();
    TTestInstrument again;
    ASSERT_TRUE(QFile::link(again.DevicePath(), name));
    EXPECT_EQ(link.Open(), TestComPort);
    EXPECT_TRUE(link.Port.SetCmd(30, 2000));
}

TEST(SerialOpen, PortCodeZeroIsRefusedBeforeAnythingIsOpened)
{
    // 0 is the closed link state, never a port: even a device named for it stays untouched.
    SerialLink link;
    qputenv("QUOREL_COM0", link.Instrument.DevicePath().toLocal8Bit());
    for (const int code : {0, -3}) {
        EXPECT_EQ(link.Port.Open(code, 9600, 0, {}, false, {}), 0);
        EXPECT_TRUE(link.Dialogs.Calls.empty()) << "no connect prompt for code " << code;
        EXPECT_FALSE(link.Port.Control()->IsOpen());
        EXPECT_EQ(link.Port.GetState(), 0);
        EXPECT_EQ(link.Port.Configured, 0);
        EXPECT_FALSE(link.Port.GetDtr());
    }
    qunsetenv("QUOREL_COM0");
    EXPECT_EQ(link.Open(), TestComPort); // the object is still good for a real port
}

TEST(SerialOpen, ModemDialling)
{
    struct Case { QString Config; QList<QByteArray> Lines; };
    const std::vector<Case> cases = {
        {"AT&F1", {"ATZ", "AT&F1", "ATDT0123456"}},
        {"", {"ATZ", "ATDT0123456"}},
    };
    for (const Case& c : cases) {
        TInstrumentSetup setup;
        setup.Modem = true;
        SerialLink link(setup);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(link.Open(9600, c.Config, "0123456"), TestComPort);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // lines, then after CONNECT
        QList<QByteArray> lines;
        for (const auto& e : link.Instrument.Events())
            if (e.What == "modem")
                lines << e.Bytes;
        EXPECT_EQ(lines, c.Lines);
        EXPECT_TRUE(link.Instrument.Received().startsWith("ATZ\r\n"));
        // Past the modem the instrument itself answers.
        EXPECT_TRUE(link.Port.SetCmd(30, 2000));
    }
}

// Close drops DTR, which hangs the modem up: every opening of a modem link dials again, also
// on the configured port.
TEST(SerialOpen, EveryOpeningOfAModemLinkDials)
{
    TInstrumentSetup setup;
    setup.Modem = true;
    SerialLink link(setup);
    ASSERT_EQ(link.Open(9600, "AT&F1", "0123456"), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    link.Port.Close();
    link.Instrument.OnHook();
    EXPECT_EQ(link.Open(9600, "AT&F1", "0123456"), TestComPort);
    QList<QByteArray> lines;
    for (const auto& e : link.Instrument.Events())
        if (e.What == "modem")
            lines << e.Bytes;
    EXPECT_EQ(lines, QList<QByteArray>({"ATZ", "AT&F1", "ATDT0123456", "ATZ", "AT&F1", "ATDT0123456"}));
    EXPECT_TRUE(link.Port.GetDtr());
    EXPECT_TRUE(link.Port.SetCmd(30, 2000));
    EXPECT_EQ(link.Instrument.Count("command 30"), 2);
}

TEST(SerialHandshake, RepliesDecideTheResult)
{
    struct Case {
        const char* Name;
        std::vector<TFault> Faults;
        bool Result;
        int Exchanges;
    };
    const std::vector<Case> cases = {
        {"accepted", {}, true, 1},
        {"0xFF twice, then accepted", {{TFaultKind::ReplyFF, TPoint::Command, 0, 2}}, true, 3},
        {"refused", {{TFaultKind::RefuseCommand, TPoint::Command, 0, 1}}, false, 1},
        // No reply at all: six exchanges, then the handshake gives up.
        {"no reply", {{TFaultKind::Silence, TPoint::Command, 0, -1}}, false, 6},
    };
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        link.Instrument.ClearFaults();
        for (const TFault& f : c.Faults)
            link.Instrument.AddFault(f);
        const QByteArray before = link.Instrument.Received();
        SetScreenCursor(TCursor::crDefault);
        EXPECT_EQ(link.Port.SetCmd(30, 1000), c.Result);
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        const QByteArray got = ReceivedOnce(link.Instrument, [&](const QByteArray& r) {
            return exchangesOf(r.mid(before.size()), 30) >= c.Exchanges;
        }).mid(before.size());
        EXPECT_EQ(exchangesOf(got, 30), c.Exchanges);
        EXPECT_TRUE(got.startsWith('@'));
    }
}

TEST(SerialHandshake, SilentInstrumentEndsTheEscape)
{
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    link.Instrument.AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
    EXPECT_FALSE(link.Port.SetCmd(27, 20));
    const QByteArray got = ReceivedOnce(link.Instrument, [](const QByteArray& r) { return exchangesOf(r, 27) >= 6; });
    EXPECT_EQ(got.count('@'), 22);
    EXPECT_EQ(exchangesOf(got, 27), 6);
}

// The escape of Power off and of closing the window, on both ports: kept as it is while the
// instrument answers; given up after some seconds in which nothing at all came.
TEST(Escape, GivenUpOnceTheInstrumentHasAnsweredNothingForSomeSeconds)
{
    const auto check = [](auto& link, int port, bool usb) {
        SCOPED_TRACE(usb ? "usb" : "serial");
        ASSERT_EQ(link.Open(), port);
        ActivePort = &link.Port;
        // Answering, if not at once as it should: the escape goes through.
        link.Instrument.AddFault({TFaultKind::Garbage, TPoint::Sync, 0, 1, -1, "\x55"});
        EXPECT_TRUE(SendEscape());
        EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000));

        link.Instrument.ClearFaults();
        link.Instrument.AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
        const QByteArray before = link.Instrument.Received();
        const auto start = std::chrono::steady_clock::now();
        SetScreenCursor(TCursor::crDefault);
        EXPECT_FALSE(SendEscape());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        const QByteArray got = ReceivedOnce(link.Instrument, [](const QByteArray& r) { return r.count('@') >= 2; })
                                   .mid(before.size());
        EXPECT_GE(got.count('@'), 2) << "the escape was tried more than once";
        EXPECT_LT(got.count('@'), 22);
        EXPECT_EQ(exchangesOf(got, 27), 0);
        EXPECT_EQ(link.Port.GetState(), port); // the link is left for the caller to close
        ActivePort = nullptr;
    };
    {
        SerialLink link;
        check(link, TestComPort, false);
    }
    {
        UsbLink link;
        check(link, 99, true);
    }
}

// Whatever the line sends, the escape ends within its time: a line that answers 0xFF to
// everything, or that trickles a byte a second, renews neither a silence nor a count of
// replies. Power off and closing the window then say that the instrument did not answer.
TEST(Escape, EndsInTimeWhateverTheLineSends)
{
    const auto check = [](auto& link, int port, TLine line, bool throughSetCmd) {
        SCOPED_TRACE(std::string(port == 99 ? "usb" : "serial") + (line == TLine::AnswerFF ? ", 0xFF" : ", trickle") +
                     (throughSetCmd ? ", SetCmd" : ""));
        ASSERT_EQ(link.Open(), port);
        ActivePort = &link.Port;
        link.Instrument.SetLine(line);
        EXPECT_TRUE(link.Instrument.WaitForEvent(line == TLine::AnswerFF ? "line 0xFF" : "line trickle", 5000));
        const auto start = std::chrono::steady_clock::now();
        SetScreenCursor(TCursor::crDefault);
        if (throughSetCmd)
            EXPECT_FALSE(link.Port.SetCmd(CmdEscape, 500)); // the identification's escape
        else
            EXPECT_FALSE(SendEscape()) << "the escape was given up, not answered";
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(11));
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        EXPECT_EQ(link.Port.GetState(), port); // the link is left for the caller to close
        EXPECT_GE(link.Instrument.Received().count('@'), 2) << "the escape was tried more than once";
        ActivePort = nullptr;
    };
    for (const TLine line : {TLine::AnswerFF, TLine::Trickle}) {
        {
            SerialLink link;
            check(link, TestComPort, line, false);
        }
        {
            UsbLink link;
            check(link, 99, line, false);
        }
    }
    SerialLink link;
    check(link, TestComPort, TLine::AnswerFF, true);
}

struct BlockCase {
    const char* Name;
    int Size;
    int FrameSize;
    std::vector<TFault> Faults;
    QStringList Events; // the instrument's, from the block start
    int Expected;       // bytes in Buffer: -1 = the whole block
    // Noise before the start echo makes the host start again, once or more often depending on
    // when the rest of the echo reaches it: then Events shows the usual course, and only a
    // restart and the frame are checked.
    bool RestartsVary = false;
};

TEST(SerialBlock, Downloads)
{
    const std::vector<BlockCase> cases = {
        {"1000 bytes in two frames", 1000, 528, {}, {"block start", "frame 1", "frame 2", "block end 3"}, -1},
        {"wrong checksum asks again", 1000, 528, {{TFaultKind::WrongChecksum, TPoint::Frame, 0, 1, 2}},
         {"block start", "frame 1", "frame 2", "frame 2", "block end 3"}, -1},
        // Both bytes of the sum count: a check of one alone would take these frames.
        {"checksum wrong in its high byte only", 1000, 528, {{TFaultKind::WrongChecksum, TPoint::Frame, 0, 1, 2, QByteArray("\x00\x01", 2)}},
         {"block start", "frame 1", "frame 2", "frame 2", "block end 3"}, -1},
        {"checksum wrong in its low byte only", 1000, 528, {{TFaultKind::WrongChecksum, TPoint::Frame, 0, 1, 1, QByteArray("\x80\x00", 2)}},
         {"block start", "frame 1", "frame 1", "frame 2", "block end 3"}, -1},
        {"wrong echo asks again", 1000, 528, {{TFaultKind::WrongFrameEcho, TPoint::FrameEcho, 0, 1, 1}},
         {"block start", "frame 1", "frame 1", "frame 2", "block end 3"}, -1},
        {"length word 0x8400 is 528 bytes", 600, 528, {{TFaultKind::LengthWord, TPoint::Frame, 0, 1, 1, QByteArray("\x00\x84", 2)}},
         {"block start", "frame 1", "frame 2", "block end 3"}, -1},
        {"length word 0 ends at once", 600, 528, {{TFaultKind::LengthWord, TPoint::Frame, 0, 1, 1, QByteArray(2, 0)}},
         {"block start", "frame 1", "block end 1"}, 0},
        {"length above 528 is limited to 528", 1000, 528, {{TFaultKind::LengthWord, TPoint::Frame, 0, 1, 1, QByteArray("\x40\x84", 2)}},
         {"block start", "frame 1", "frame 2", "block end 3"}, -1},
        {"length above 528 is limited to the rest", 300, 528, {{TFaultKind::LengthWord, TPoint::Frame, 0, 1, 1, QByteArray("\xc0\xff", 2)}},
         {"block start", "frame 1", "block end 2"}, -1},
        {"no total: one frame", 100, 528, {{TFaultKind::Silence, TPoint::BlockTotal, 0, 1}},
         {"block start", "frame 1", "block end 2"}, -1},
        {"noise before the start echo", 100, 528, {{TFaultKind::Noise, TPoint::BlockStart, 0, 1, -1, "\x55"}},
         {"block start", "block start", "frame 1", "block end 2"}, -1, true},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInstrumentSetup setup;
        setup.Status = PatternBlock(c.Size);
        setup.FrameSize = c.FrameSize;
        SerialLink link(setup);
        ASSERT_EQ(link.Open(), TestComPort);
        for (const TFault& f : c.Faults)
            link.Instrument.AddFault(f);
        ASSERT_TRUE(link.Port.SetCmd(30, 2000));
        ASSERT_TRUE(link.Port.XbtCLoad());
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        const QByteArray expected = c.Expected < 0 ? setup.Status : setup.Status.left(c.Expected);
        EXPECT_EQ(link.Port.Buffer->size(), expected.size());
        EXPECT_TRUE(*link.Port.Buffer == expected);
        QStringList events = link.Instrument.EventNames();
        events = events.mid(events.indexOf("block start"));
        if (c.RestartsVary) {
            EXPECT_GE(events.count("block start"), 2);
            EXPECT_TRUE(events.contains("frame 1")) << events.join(", ").toStdString();
        } else {
            EXPECT_EQ(events, c.Events);
        }
        if (c.Events.last().startsWith("block end")) {
            EXPECT_TRUE(link.Port.WaitPrompt());
        }
    }
}

TEST(SerialBlock, FrameNumbersWrapAfter127)
{
    TInstrumentSetup setup;
    setup.FrameSize = 8;
    setup.Status = PatternBlock(130 * 8);
    SerialLink link(setup);
    ASSERT_EQ(link.Open(), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    link.Port.XbtCLoad();
    EXPECT_TRUE(*link.Port.Buffer == setup.Status);
    QStringList expected = {"block start"};
    for (int i = 0; i < 130; ++i)
        expected << QString("frame %1").arg(i % 127 + 1);
    expected << "block end 4";
    QStringList events = link.Instrument.EventNames();
    EXPECT_EQ(events.mid(events.indexOf("block start")), expected);
}

TEST(SerialBlock, LoadBufferNeverWritesPastItsDestination)
{
    TInstrumentSetup setup;
    setup.Status = PatternBlock(1000);
    SerialLink link(setup);
    ASSERT_EQ(link.Open(), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    struct {
        uint8_t Status[180];
        uint8_t Guard[64];
    } memory;
    std::memset(&memory, 0xA5, sizeof memory);
    EXPECT_EQ(link.Port.LoadBuffer(memory.Status, sizeof memory.Status), 180);
    EXPECT_EQ(std::memcmp(memory.Status, setup.Status.constData(), 180), 0);
    EXPECT_EQ(std::count(memory.Guard, memory.Guard + 64, 0xA5), 64);
    EXPECT_TRUE(link.Port.WaitPrompt());
    // No destination: the block is downloaded all the same, nothing is copied.
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    EXPECT_EQ(link.Port.LoadBuffer(nullptr, 180), 0);
    EXPECT_EQ(link.Port.Buffer->size(), 1000);
}

// The instrument accepted the status command, then the line goes silent or trickles a byte a
// second: the download is given up within its bound (at once after a stop asked for while
// it stands still), copies nothing and leaves the link open for the caller. A stop asked for
// during a download that goes on does not cut it.
TEST(SerialBlock, ADownloadThatMakesNoStepIsGivenUp)
{
    enum class Line { Trickle, Silent, Answering };
    const auto check = [](auto& link, int port, Line line, bool stop, int withinMs) {
        SCOPED_TRACE(std::string(port == 99 ? "usb" : "serial") +
                     (line == Line::Trickle ? ", trickle" : line == Line::Silent ? ", silent" : ", answering") +
                     (stop ? ", stop asked" : ""));
        ASSERT_EQ(link.Open(), port);
        ASSERT_TRUE(link.Port.SetCmd(30, 2000));
        if (line == Line::Trickle) {
            link.Instrument.SetLine(TLine::Trickle);
            ASSERT_TRUE(link.Instrument.WaitForEvent("line trickle", 5000));
        } else if (line == Line::Silent) {
            link.Instrument.AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
        }
        uint8_t status[180];
        std::memset(status, 0xA5, sizeof status);
        const auto start = std::chrono::steady_clock::now();
        const int copied = link.Port.LoadBuffer(status, sizeof status, [stop] { return stop; });
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(withinMs));
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        EXPECT_EQ(link.Port.GetState(), port);
        if (line == Line::Answering) {
            EXPECT_EQ(copied, 180);
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(status), 180), TTestInstrument::DefaultStatus(10));
            return;
        }
        EXPECT_EQ(copied, -1);
        EXPECT_EQ(std::count(status, status + sizeof status, 0xA5), 180) << "nothing is copied";
        EXPECT_TRUE(link.Port.Buffer->isEmpty());
    };
    {
        SerialLink link;
        check(link, TestComPort, Line::Trickle, false, 13000);
    }
    {
        SerialLink link;
        check(link, TestComPort, Line::Silent, true, 4000);
    }
    {
        UsbLink link;
        check(link, 99, Line::Trickle, true, 4000);
    }
    {
        SerialLink link;
        check(link, TestComPort, Line::Answering, true, 4000);
    }
}

// A stop asked for ends the command handshake on a line that gives no decisive reply, as its
// deadline does; a reply that decides still counts.
TEST(SerialHandshake, AStopEndsItWhereNoReplyDecides)
{
    const auto stop = [] { return true; };
    {
        SerialLink link;
        ASSERT_EQ(link.Open(), TestComPort);
        link.Instrument.SetLine(TLine::Trickle);
        ASSERT_TRUE(link.Instrument.WaitForEvent("line trickle", 5000));
        bool gaveUp = false;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(link.Port.Handshake(30, 2000, 0, 0, &gaveUp, stop));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_TRUE(gaveUp);
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
    }
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    bool gaveUp = true;
    EXPECT_TRUE(link.Port.Handshake(30, 2000, 0, 0, &gaveUp, stop));
    EXPECT_FALSE(gaveUp);
}

TEST(SerialGetString, LineLimitsAndTimeouts)
{
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    QString text = "unchanged";
    EXPECT_FALSE(link.Port.GetString(text, 40, 50));
    EXPECT_EQ(text, "unchanged");

    const QByteArray fifty(50, 'x');
    link.Instrument.SendNow("AB\r\n" + fifty + "\r\nCD");
    EXPECT_TRUE(link.Port.GetString(text, 40, 1000));
    EXPECT_EQ(text, "AB");
    EXPECT_TRUE(link.Port.GetString(text, 40, 1000));
    EXPECT_EQ(text, QString(40, 'x'));
    EXPECT_TRUE(link.Port.GetString(text, 40, 1000)); // the rest of that line
    EXPECT_EQ(text, QString(10, 'x'));
    text = "kept";
    EXPECT_FALSE(link.Port.GetString(text, 40, 100)); // "CD" without its line end
    EXPECT_EQ(text, "kept");
    // CR and LF count toward the maximum.
    link.Instrument.SendNow("EF\r\n");
    EXPECT_TRUE(link.Port.GetString(text, 3, 1000));
    EXPECT_EQ(text, "EF");
    EXPECT_EQ(link.Port.ReadByteTimed(1000), '\n');
}

TEST(SerialIdentify, LinesAndTheFallbackSpeed)
{
    TInstrumentSetup setup;
    setup.SpeedLine = "38400";
    setup.NameLine = "VARNOK 10 Halvo";
    setup.AnswerOnlyAtSpeed = 38400;
    SerialLink link(setup);
    ASSERT_EQ(link.Open(9600), TestComPort);
    QString name = "n", speed = "s";
    EXPECT_TRUE(link.Port.Identify(name, speed));
    EXPECT_EQ(speed, "38400");
    EXPECT_EQ(name, "VARNOK 10 Halvo");
    // Eleven probes at 9600 Bd go unanswered; the speed changes after the eleventh.
    EXPECT_EQ(link.Instrument.Count("garbled 9600"), 11);
    EXPECT_EQ(link.Instrument.Count("identified"), 1);
    EXPECT_EQ(link.Port.GetBaudRate(), 38400);
    uint8_t code[4];
    link.Port.GetBlock(code, 4);
    EXPECT_EQ(code[0] | code[1] << 8 | code[2] << 16 | code[3] << 24, 0x10000002);
    EXPECT_TRUE(link.Port.WaitPrompt());
    EXPECT_TRUE(link.Dialogs.Messages().filter("Unknown").isEmpty());
}

TEST(SerialIdentify, NoiseBeforeTheProbeReplyCostsOneAttempt)
{
    SerialLink link;
    link.Instrument.AddFault({TFaultKind::Noise, TPoint::Sync, 0, 1, -1, "\x13\x11"});
    ASSERT_EQ(link.Open(), TestComPort);
    QString name, speed;
    EXPECT_TRUE(link.Port.Identify(name, speed));
    EXPECT_EQ(name, "VARNOK 10");
    EXPECT_EQ(link.Instrument.Count("sync"), 2);
}

TEST(SerialIdentify, TwentyUnansweredProbesRestoreTheSpeedAndSendEscape)
{
    TInstrumentSetup setup;
    setup.AnswerOnlyAtSpeed = 57600; // never tried
    SerialLink link(setup);
    ASSERT_EQ(link.Open(9600), TestComPort);
    // 20 probes, the Escape handshake (22 synchronisations and one exchange of two bytes),
    // then the next round starts at 9600 Bd again; the link is closed inside its wait.
    const auto closer = WhenInsideWait([&] { return link.Instrument.Count("garbled 9600") >= 11 + 22 + 2 + 2; },
                                       [&] { link.Port.SetState(0); });
    QString name = "n", speed = "s";
    EXPECT_FALSE(link.Port.Identify(name, speed));
    EXPECT_EQ(name, "n");
    EXPECT_EQ(speed, "s");
    // The link closed under the exchange (the user's Power off): nothing failed, nothing is shown.
    EXPECT_FALSE(link.Dialogs.Messages().contains(UnknownBaudrateMessage));
    QList<int> speeds;
    for (const auto& e : link.Instrument.Events())
        if (e.What == "garbled")
            speeds << e.Value;
    ASSERT_GE(speeds.size(), 11 + 9 + 24 + 2);
    EXPECT_EQ(speeds.mid(0, 11), QList<int>(11, 9600));
    EXPECT_EQ(speeds.mid(11, 9), QList<int>(9, 38400));
    EXPECT_EQ(speeds.mid(20, 24 + 2), QList<int>(26, 9600));
    EXPECT_EQ(link.Port.GetBaudRate(), 9600);
}

TEST(SerialWaits, ClosingTheLinkEndsThem)
{
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    const auto closer = WhenInsideWait([] { return true; }, [&] { link.Port.Close(); });
    EXPECT_FALSE(link.Port.WaitPrompt());
    EXPECT_EQ(link.Port.GetState(), 0);

    // A dropped line: writes that keep failing end the handshake as on a closed link, and a
    // read waits (without spinning) until the user closes the link.
    SerialLink dropped;
    ASSERT_EQ(dropped.Open(), TestComPort);
    dropped.Instrument.AddFault({TFaultKind::DropLine, TPoint::Command, 0, 1});
    try {
        dropped.Port.SetCmd(30, 50);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, PortErrSetcmd);
    }
    EXPECT_TRUE(dropped.Instrument.WaitForEvent("hangup", 5000));
    const auto closeDropped = WhenInsideWait([] { return true; }, [&] { dropped.Port.SetState(0); });
    try {
        dropped.Port.GetCom();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, PortErrGetcom);
    }
}

} // namespace
