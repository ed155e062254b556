// The survey's exchange with the test instrument, as the survey loop runs it over the link.
#include "TestInstrument.h"
#include "InstrumentOptions.h"
#include "SurveyLine.h"
#include "link/Portcom.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

using namespace Instrument;

namespace {

struct Survey {
    explicit Survey(TInstrumentSetup setup = {}) : Instrument(std::move(setup))
    {
        TestApp();
        qputenv("QUOREL_COM8", Instrument.DevicePath().toLocal8Bit());
        Dialogs.AnswerMessage(IDOK);
        Opened = Port.Open(8, 9600, 0, {}, false, {});
        // An instrument that stops answering would keep a wait going for ever: close the link
        // under it (every wait lets timers run), so the test fails instead of hanging.
        Watchdog.setSingleShot(true);
        QObject::connect(&Watchdog, &QTimer::timeout, [this] {
            ADD_FAILURE() << "still waiting after 90 s: the link was closed under the wait";
            Port.SetState(0);
        });
        Watchdog.start(90000);
    }
    // Status, measurement command, parameter block, switch word and tables.
    void Program(uint8_t command, bool switchUnit)
    {
        ASSERT_TRUE(Port.SetCmd(30, 2000));
        uint8_t status[180];
        ASSERT_EQ(Port.LoadBuffer(status, sizeof status), 180);
        std::memcpy(&Channels, status, 4);
        ASSERT_TRUE(Port.PromptSetCmd(command, 2000));
        const float volts = 12.5f;
        const uint16_t time = 25, delay = 3;
        Port.PutBlock(reinterpret_cast<const uint8_t*>(&volts), 4);
        Port.PutBlock(reinterpret_cast<const uint8_t*>(&time), 2);
        Port.PutBlock(reinterpret_cast<const uint8_t*>(&delay), 2);
        const int16_t word = switchUnit ? 29 : 0;
        Port.PutBlock(reinterpret_cast<const uint8_t*>(&word), 2);
        if (switchUnit) {
            int16_t tables[26];
            for (int i = 0; i < 26; ++i)
                tables[i] = static_cast<int16_t>(i < 13 ? (i < 2 ? 0 : i - 1) : (i < 15 ? 0 : i - 4));
            Port.PutBlock(reinterpret_cast<const uint8_t*>(tables), sizeof tables);
        }
    }
    QByteArray Sentence()
    {
        uint8_t length[4] = {};
        if (Port.GetComBuffer(length, 4, 3500) < 4)
            return "(no length)";
        int32_t n = 0;
        std::memcpy(&n, length, 4);
        if (n < 1 || n > 80)
            return {};
        QByteArray s(n, 0);
        Port.GetBlock(reinterpret_cast<uint8_t*>(s.data()), n);
        return s;
    }
    std::vector<float> Floats(int count)
    {
        std::vector<float> v(static_cast<size_t>(count));
        Port.GetBlock(reinterpret_cast<uint8_t*>(v.data()), count * 4);
        return v;
    }

    TTestInstrument Instrument;
    ScriptedDialogs Dialogs;
    TPortCOM Port{nullptr};
    QTimer Watchdog;
    int Opened = 0;
    uint32_t Channels = 0;
};

TEST(SurveyExchange, ProgrammingCyclesAndStop)
{
    Survey s;
    ASSERT_EQ(s.Opened, 8);
    s.Program(47, true);
    ASSERT_EQ(s.Channels, 10u);
    ASSERT_TRUE(s.Instrument.WaitForEvent("program 47", 2000));
    const TSurveyProgram p = s.Instrument.Program();
    EXPECT_FLOAT_EQ(p.TxVoltage, 12.5f);
    EXPECT_EQ(p.PulseTime, 25);
    EXPECT_EQ(p.Delay, 3);
    EXPECT_EQ(p.SwitchWord, 29);
    EXPECT_EQ(p.Table1[2], 1);
    EXPECT_EQ(p.Table1[12], 11);
    EXPECT_EQ(p.Table2[2], 11);
    EXPECT_EQ(p.Table2[12], 21);

    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        s.Port.PutCom(0xAA);
        EXPECT_EQ(s.Sentence(), TTestInstrument::DefaultGpsSentence(cycle));
        EXPECT_EQ(s.Sentence(), TTestInstrument::DefaultSounderSentence(cycle));
        const TCycleReadings r = TTestInstrument::DefaultReadings(p, 10, cycle);
        for (int set = 0; set < 2; ++set) {
            auto plus = r.PlusV[set];
            plus.push_back(r.PlusI[set]);
            auto minus = r.MinusV[set];
            minus.push_back(r.MinusI[set]);
            EXPECT_EQ(s.Floats(11), plus);
            EXPECT_EQ(s.Floats(10), r.PlusIp[set]);
            EXPECT_EQ(s.Floats(11), minus);
            EXPECT_EQ(s.Floats(10), r.MinusIp[set]);
        }
        EXPECT_EQ(s.Port.RxCount(), 0); // 336 bytes, nothing more
    }
    s.Port.PutCom(0);
    EXPECT_TRUE(s.Port.WaitPrompt());
    EXPECT_EQ(s.Instrument.Cycles(), 3);
    EXPECT_TRUE(s.Instrument.WaitForEvent("stop", 5000));
    EXPECT_TRUE(TTestInstrument::DefaultGpsSentence(0).startsWith("$GPGGA,120000.00,4807.0380,N,01131.0000,E,"));
    EXPECT_TRUE(TTestInstrument::DefaultGpsSentence(61).startsWith("$GPGGA,120101.00,4807.0709,N,"));
}

TEST(SurveyExchange, FaultsOfACycle)
{
    Survey s;
    ASSERT_EQ(s.Opened, 8);
    s.Instrument.AddFault({TFaultKind::SilentGps, TPoint::Gps, 0, 1});
    s.Instrument.AddFault({TFaultKind::NoCurrent, TPoint::Readings, 1, 1});
    s.Instrument.AddFault({TFaultKind::Garbage, TPoint::Sounder, 0, 1, -1, QByteArray("\x63\x00\x00\x00", 4)});
    s.Program(48, false); // 5 V, no IP, no switch unit: 88 bytes a cycle

    s.Port.PutCom(0x5A); // GPS only: its length is 0
    EXPECT_EQ(s.Sentence(), QByteArray());
    EXPECT_EQ(s.Floats(22).size(), 22u);
    s.Port.PutCom(0x55); // neither sentence; no current
    const auto plus = s.Floats(11), minus = s.Floats(11);
    EXPECT_EQ(plus[10], 0.0f);
    EXPECT_EQ(minus[10], 0.0f);
    EXPECT_NE(plus[0], 0.0f);
    s.Port.PutCom(0xA5); // sounder only: a length of 99 is out of range
    EXPECT_EQ(s.Sentence(), QByteArray());
    s.Floats(22);
    s.Port.PutCom(0);
    EXPECT_TRUE(s.Port.WaitPrompt());
    EXPECT_EQ(s.Instrument.Program().SwitchWord, 0);
}

// A cycle lasts a positive and a negative pulse for each cable set measured, whatever else
// is programmed.
TEST(SurveyExchange, CycleLastsItsPulses)
{
    const struct {
        uint8_t command;
        uint16_t pulse; // units of 10 ms
        int16_t switchWord;
        int ms;
    } cases[] = {
        {48, 15, 0, 300}, {48, 50, 0, 1000}, {47, 25, 0, 500}, {34, 25, 29, 1000}, {49, 800, 29, 32000}, {48, 800, 0, 16000},
    };
    for (const auto& c : cases) {
        TSurveyProgram p;
        p.Command = c.command;
        p.PulseTime = c.pulse;
        p.SwitchWord = c.switchWord;
        EXPECT_EQ(CycleDurationMs(p), c.ms) << int(c.command) << " " << c.pulse << " " << c.switchWord;
    }
}

// Cycles spoiled on the line, each way on its own cycle; a fault with a period acts on every
// other cycle from its first.
TEST(SurveyExchange, SpoiledCycles)
{
    Survey s;
    ASSERT_EQ(s.Opened, 8);
    s.Instrument.AddFault({TFaultKind::CutShort, TPoint::Readings, 0, 1});
    s.Instrument.AddFault({TFaultKind::WrongLength, TPoint::Gps, 1, 1});
    s.Instrument.AddFault({TFaultKind::WrongLength, TPoint::Gps, 0, 1, 4}); // cycle 4: no sentence to act on
    s.Instrument.AddFault({TFaultKind::FlipBits, TPoint::Readings, 2, 1});
    const QByteArray stray("\x07;\n", 3);
    s.Instrument.AddFault({TFaultKind::Noise, TPoint::Readings, 3, 2, -1, stray, 2});
    s.Program(48, false); // 5 V, no IP, no switch unit: 88 bytes of readings
    const TSurveyProgram p = s.Instrument.Program();
    const auto readings = [&p](int cycle) {
        const TCycleReadings r = TTestInstrument::DefaultReadings(p, 10, cycle);
        auto plus = r.PlusV[0], minus = r.MinusV[0];
        plus.push_back(r.PlusI[0]);
        minus.push_back(r.MinusI[0]);
        return Floats(plus) + Floats(minus);
    };
    const auto received = [&s](int count, int byteMs = 3000) {
        QByteArray b(count, 0);
        b.resize(s.Port.GetComBuffer(reinterpret_cast<uint8_t*>(b.data()), count, byteMs));
        return b;
    };

    s.Port.PutCom(0x5A); // cut short: half the readings, then nothing
    EXPECT_EQ(s.Sentence(), TTestInstrument::DefaultGpsSentence(0));
    EXPECT_EQ(received(88), readings(0).left(44));

    s.Port.PutCom(0x5A); // the length word claims 8 bytes more than the sentence has
    const QByteArray gps = EncodeSentence(TTestInstrument::DefaultGpsSentence(1));
    const QByteArray cycle1 = received(gps.size() + 88);
    EXPECT_EQ(cycle1.left(4), Le32(static_cast<uint32_t>(gps.size() - 4 + 8)));
    EXPECT_EQ(cycle1.mid(4), gps.mid(4) + readings(1));
    EXPECT_EQ(s.Port.RxCount(), 0);

    s.Port.PutCom(0x5A); // a bit of every eighth byte flipped, the length word's first
    const QByteArray sentence2 = EncodeSentence(TTestInstrument::DefaultGpsSentence(2));
    QByteArray expected = sentence2 + readings(2);
    for (qsizetype i = 0; i < expected.size(); ++i)
        if ((i < sentence2.size() ? i : i - sentence2.size()) % 8 == 0)
            expected[i] = static_cast<char>(expected[i] ^ 0x10);
    EXPECT_EQ(received(int(expected.size())), expected);
    EXPECT_EQ(s.Port.RxCount(), 0);

    for (int cycle = 3; cycle < 6; ++cycle) { // stray bytes in cycles 3 and 5
        SCOPED_TRACE(cycle);
        s.Port.PutCom(0x55);
        const QByteArray want = (cycle == 4 ? QByteArray() : stray) + readings(cycle);
        EXPECT_EQ(received(int(want.size())), want);
        EXPECT_EQ(s.Port.RxCount(), 0);
    }
    s.Port.PutCom(0);
    EXPECT_TRUE(s.Port.WaitPrompt());
}

// Faults switched on together each count every cycle, whatever the others do on it: the line
// drops in the cycle it names, even one that also gets stray bytes or is spoiled.
TEST(SurveyExchange, SwitchedFaultsEachCountEveryCycle)
{
    for (const QStringList& arguments : {QStringList{"--noise", "2", "--drop-line", "4"},
                                         QStringList{"--spoil", "1", "--drop-line", "4"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        TInstrumentOptions o = ParseInstrumentOptions(QStringList(arguments) << "--at-once");
        ASSERT_EQ(o.Error, QString());
        Survey s(o.Setup);
        ASSERT_EQ(s.Opened, 8);
        for (const TFault& f : o.Faults)
            s.Instrument.AddFault(f);
        s.Program(48, false);
        for (int i = 0; i < 8; ++i)
            s.Port.PutCom(0x55); // cycles without sentences, their readings left unread
        ASSERT_TRUE(s.Instrument.WaitForEvent("hangup", 5000)) << s.Instrument.EventNames().join(", ").toStdString();
        EXPECT_EQ(s.Instrument.Cycles(), 4);
    }
}

// The line the instrument surveys looks like a real one: valid sentences that fit the relay,
// a depth and a ground that change along the line.
TEST(SurveyLine, SentencesAndGroundAlongTheLine)
{
    double lowest = 1e9, highest = -1e9;
    for (int cycle = 0; cycle < 400; cycle += 7) {
        SCOPED_TRACE(cycle);
        for (const QByteArray& s : {TTestInstrument::DefaultGpsSentence(cycle), TTestInstrument::DefaultSounderSentence(cycle)}) {
            ASSERT_LE(s.size(), 80);
            ASSERT_TRUE(s.endsWith("\r\n"));
            const QByteArray body = s.mid(1, s.indexOf('*') - 1);
            EXPECT_EQ(NmeaSentence(body) + "\r\n", s);
        }
        EXPECT_GT(LineDepth(cycle), 1.0);
        const TCycleReadings r = TTestInstrument::DefaultReadings({}, 10, cycle);
        ASSERT_EQ(r.PlusV[0].size(), 10u);
        for (int k = 0; k < 10; ++k) {
            const double rho = LineApparentResistivity(k, cycle);
            lowest = std::min(lowest, rho);
            highest = std::max(highest, rho);
        }
        EXPECT_FLOAT_EQ(r.PlusI[0], -r.MinusI[0]);
    }
    EXPECT_LT(lowest, 40.0);
    EXPECT_GT(highest, 70.0);
    EXPECT_EQ(TTestInstrument::DefaultSounderSentence(0).left(26), "$SDDBT,19.7,f,6.00,M,3.3,F");
}

TEST(Codec, AnnotatedSamples)
{
    TSurveyProgram p;
    ASSERT_TRUE(DecodeParameterBlock(QByteArray("\x00\x00\x48\x41\x19\x00\x00\x00", 8), p));
    EXPECT_FLOAT_EQ(p.TxVoltage, 12.5f);
    EXPECT_EQ(p.PulseTime, 25);
    EXPECT_FALSE(DecodeParameterBlock("short", p));
    EXPECT_EQ(DecodeSwitchWord(QByteArray("\x1d\x00", 2)), 29);
    EXPECT_EQ(DecodeCommand(0x1e, 0xe1), std::optional<uint8_t>(30));
    EXPECT_EQ(DecodeCommand(0x1e, 0xe0), std::nullopt);
    const QByteArray frame = EncodeFrame(1, QByteArray(528, 1));
    EXPECT_EQ(frame.left(4), QByteArray("\x01\x00\x00\x84", 4));
    EXPECT_EQ(frame.size(), 2 + 2 + 528 + 2);
    EXPECT_EQ(frame.right(2), Le16(static_cast<uint16_t>(0x10 + 0x02 + 528)));
    EXPECT_EQ(EncodeFrame(3, {}), QByteArray("\x03\x00\x00\x00", 4));
    EXPECT_EQ(HostFrameLength(0x8440, 1000), 528u);
    EXPECT_EQ(HostFrameLength(0x8440, 300), 300u);
    EXPECT_EQ(HostFrameLength(0x0040, 300), 1u);
    EXPECT_EQ(NmeaSentence("GPGGA,1"), "$GPGGA,1*4B");
}

} // namespace
