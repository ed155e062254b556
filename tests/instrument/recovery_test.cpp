// The test instrument after the host gives up or is slow: it goes back to waiting for commands,
// tells a probe from a handshake whatever the byte delay, and keeps bounded logs.
#include "link/LinkTestSupport.h"

#include "platform/Exception.h"

#include <QTimer>

using namespace Instrument;

namespace {

TEST(InstrumentRecovery, AnAbandonedDownloadEndsAndCommandsAreServedAgain)
{
    SerialLink link;
    ASSERT_EQ(link.Open(), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    // The first frame never comes; the user takes the link down under the wait.
    link.Instrument.AddFault({TFaultKind::Silence, TPoint::Frame, 0, -1});
    // Closed once the instrument has the whole request: a fixed delay could close the link
    // before the request is out when the machine is loaded.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (link.Instrument.Count("frame 1") > 0) {
            closer.stop();
            link.Port.SetState(0);
        }
    });
    closer.start(5);
    EXPECT_THROW(link.Port.XbtCLoad(), Exception);
    ASSERT_EQ(link.Instrument.Count("frame 1"), 1);
    link.Instrument.ClearFaults();

    // Connecting again: the synchronisations of an Escape with a short timeout are no frame
    // request. The Escape must be accepted by the instrument, not by a frame's echo.
    ASSERT_EQ(link.Open(), TestComPort);
    EXPECT_TRUE(link.Port.SetCmd(27, 1000));
    EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000)) << link.Instrument.EventNames().join(", ").toStdString();
    EXPECT_EQ(link.Instrument.Count("block abandoned 16448"), 1) << link.Instrument.EventNames().join(", ").toStdString();
    EXPECT_EQ(link.Instrument.EventNames().filter("frame").size(), 1);

    // And a whole download works again. The instrument answers the Escape with its prompt, which
    // may still be on its way: awaited first, as before any command, or the handshake would
    // take it for the answer to its synchronisation.
    ASSERT_TRUE(link.Port.PromptSetCmd(30, 2000));
    uint8_t status[180] = {};
    EXPECT_EQ(link.Port.LoadBuffer(status, sizeof status), 180);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(status), 180), TTestInstrument::DefaultStatus(10));
}

TEST(InstrumentRecovery, ACommandOrSynchronisationInPlaceOfAFrameRequestEndsTheDownload)
{
    const struct {
        QByteArray bytes;
        int number;
    } cases[] = {{QByteArray("\x40\x40", 2), 0x4040}, {QByteArray("\x1B\xE4", 2), 0xE41B}, {QByteArray("\x05\x00", 2), -1}};
    for (const auto& c : cases) {
        SerialLink link;
        ASSERT_EQ(link.Open(), TestComPort);
        ASSERT_TRUE(link.Port.SetCmd(30, 2000));
        link.Port.PutCom(0);
        ASSERT_EQ(link.Port.ReadByteTimed(5000), 0);
        uint8_t total[4];
        ASSERT_EQ(link.Port.ReadBuffer(total, 4, 5000), 4);
        link.Port.PutBlock(reinterpret_cast<const uint8_t*>(c.bytes.constData()), 2);
        if (c.number < 0) {
            // Frame 5 is a frame request: answered with its echo.
            EXPECT_EQ(link.Port.ReadByteTimed(5000), 5);
            continue;
        }
        EXPECT_TRUE(link.Instrument.WaitForEvent("block abandoned " + QString::number(c.number), 5000));
        EXPECT_EQ(link.Port.ReadByteTimed(300), -1) << "nothing is echoed";
        EXPECT_TRUE(link.Port.SetCmd(27, 2000));
        EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000));
    }
}

TEST(InstrumentRecovery, ADownloadTheHostWentSilentInEndsAfterTheIdleTime)
{
    TInstrumentSetup setup;
    setup.DownloadIdleMs = 1500;
    SerialLink link(setup);
    ASSERT_EQ(link.Open(), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(30, 2000));
    link.Port.PutCom(0);
    ASSERT_EQ(link.Port.ReadByteTimed(5000), 0);
    uint8_t total[4];
    ASSERT_EQ(link.Port.ReadBuffer(total, 4, 5000), 4);
    link.Port.Close(); // the host goes away without a frame request

    ASSERT_TRUE(link.Instrument.WaitForEvent("block abandoned", 10000)) << link.Instrument.EventNames().join(", ").toStdString();
    EXPECT_EQ(link.Instrument.Events().back().Bytes, "timed out");

    // A new host's first synchronisation is answered at once, not taken for half a frame request.
    ASSERT_EQ(link.Open(), TestComPort);
    link.Port.PutCom(0x40);
    EXPECT_EQ(link.Port.ReadByteTimed(5000), 0x40);
    EXPECT_TRUE(link.Port.SetCmd(27, 2000));
    EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000)) << link.Instrument.EventNames().join(", ").toStdString();
    EXPECT_EQ(link.Instrument.EventNames().filter("block abandoned").size(), 1);
    EXPECT_EQ(link.Instrument.EventNames().filter("frame").size(), 0);
}

// The host answers a 0xFF by sending the command and its complement again, without a
// synchronisation. Left-over bytes of the failed exchange must not be paired with that command.
TEST(InstrumentRecovery, AfterABadComplementTheCommandSentAgainIsServed)
{
    const struct {
        const char* name;
        QByteArray exchange; // what the host's failed exchange delivered before the 0xFF
        QByteArray late;     // and after it, before the host sends the command again
    } cases[] = {
        {"complement late, after the 0xFF", "\x1B", "\xE4"},
        {"a stray byte before the command", "\x55\x1B\xE4", ""},
        {"a garbled complement", "\x1B\x55", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SerialLink link;
        ASSERT_EQ(link.Open(), TestComPort);
        link.Port.PutCom(0x40);
        ASSERT_EQ(link.Port.ReadByteTimed(5000), 0x40);
        link.Port.PutBlock(reinterpret_cast<const uint8_t*>(c.exchange.constData()), static_cast<int>(c.exchange.size()));
        ASSERT_EQ(link.Port.ReadByteTimed(10000), 0xFF);
        EXPECT_EQ(link.Instrument.Count("bad complement 27") + link.Instrument.Count("bad complement 85"), 1);
        link.Port.PutBlock(reinterpret_cast<const uint8_t*>(c.late.constData()), static_cast<int>(c.late.size()));

        // The exchange again, as the host sends it.
        link.Port.ClearRx();
        link.Port.PutCom(27);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        link.Port.PutCom(27 ^ 0xFF);
        ASSERT_EQ(link.Port.ReadByteTimed(5000), 27);
        EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000)) << link.Instrument.EventNames().join(", ").toStdString();
        EXPECT_EQ(link.Instrument.EventNames().filter("refused").size(), 0);

        // And the instrument is in step for what follows.
        ASSERT_TRUE(link.Port.PromptSetCmd(30, 2000));
        uint8_t status[180] = {};
        EXPECT_EQ(link.Port.LoadBuffer(status, sizeof status), 180);
    }
}

TEST(InstrumentRecovery, ProbesAndHandshakesAreToldApartWhateverTheByteDelay)
{
    for (const int delay : {500, 1200}) {
        SCOPED_TRACE(delay);
        SerialLink link;
        link.Dialogs.AnswerMessage(IDOK);
        ASSERT_EQ(link.Port.Open(TestComPort, 9600, delay, {}, false, {}), TestComPort);
        EXPECT_TRUE(link.Port.SetCmd(30, 1000));
        EXPECT_EQ(link.Instrument.Count("command 30"), 1);
        link.Port.PutCom(0x1B); // not a command of the block download: leaves it
        QString name, speed;
        EXPECT_TRUE(link.Port.Identify(name, speed));
        EXPECT_EQ(name, "VARNOK 10");
        EXPECT_EQ(speed, "38400");
        const int identified = link.Instrument.Count("identified");
        EXPECT_TRUE(link.Port.SetCmd(27, 1000));
        EXPECT_TRUE(link.Instrument.WaitForEvent("escape", 5000));
        EXPECT_EQ(link.Instrument.Count("identified"), identified) << "a handshake is no longer taken for a probe";
    }
}

TEST(InstrumentRecovery, TheZeroBeforeTheFirstProbeShowsTheByteDelay)
{
    // As a connection starts: 0, the probe, then the status command, all paced by the delay.
    SerialLink link;
    link.Dialogs.AnswerMessage(IDOK);
    ASSERT_EQ(link.Port.Open(TestComPort, 9600, 300, {}, false, {}), TestComPort);
    link.Port.PutCom(0);
    QString name, speed;
    ASSERT_TRUE(link.Port.Identify(name, speed));
    uint8_t capability[4];
    link.Port.GetBlock(capability, 4);
    EXPECT_TRUE(link.Port.PromptSetCmd(30, 1000));
    EXPECT_EQ(link.Instrument.Count("command 30"), 1);
    EXPECT_EQ(link.Instrument.Count("identified"), 1) << "the first handshake is not taken for a probe";
}

TEST(InstrumentRecovery, LogsKeepTheLatestEntries)
{
    TInstrumentSetup setup;
    setup.EventLogLimit = 8;
    setup.ByteLogLimit = 16;
    SerialLink link(setup);
    ASSERT_EQ(link.Open(), TestComPort);
    ASSERT_TRUE(link.Port.SetCmd(27, 2000));
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(link.Port.PromptSetCmd(27, 2000)) << i;
    ASSERT_TRUE(link.Port.WaitPrompt());
    const QStringList names = link.Instrument.EventNames();
    EXPECT_LE(names.size(), 10);
    EXPECT_GE(names.size(), 8);
    EXPECT_EQ(names.last(), "escape");
    EXPECT_LE(link.Instrument.Received().size(), 20);
    EXPECT_TRUE(link.Instrument.Received().endsWith(QByteArray("\x1B\xE4", 2)));
    EXPECT_LE(link.Instrument.Sent().size(), 20);
    EXPECT_TRUE(link.Instrument.Sent().endsWith(":>"));
}

} // namespace
