// A survey keeps going, or ends cleanly, through what happens on a boat: a line that goes
// away, a garbled line, an instrument that reports another channel count, an acquisition
// folder that cannot be written, a full disk.
#include "SurveyFixture.h"
#include "acquisition/AcquisitionFiles.h"
#include "acquisition/Main.h"
#include "instrument/InstrumentCodec.h"
#include "link/Portcom.h"
#include "platform/Ftd2xxFake.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using Acquisition::TMainFrm;
using Instrument::TCycleReadings;
using Instrument::TFault;
using Instrument::TFaultKind;
using Instrument::TInstrumentSetup;
using Instrument::TPoint;
using Instrument::TTestInstrument;

namespace {

class ReliabilityTest : public SurveyTest {
protected:
    // Every file on disk is whole: the binary file is its header, whole records and the final
    // zero byte; every text line is a whole row. Gives the number of stored cycles.
    int expectWholeFiles(const QString& base, int channels)
    {
        const QByteArray bin = fileBytes(base + ".bin");
        if (bin.size() <= 1029) {
            EXPECT_EQ(bin.size(), 1029) << "no header";
            return 0;
        }
        EXPECT_EQ((bin.size() - 1030) % (304 * channels), 0) << bin.size();
        EXPECT_EQ(bin.back(), '\0');
        const int stored = static_cast<int>((bin.size() - 1030) / (304 * channels));
        const QList<QByteArray> lines = fileBytes(base + ".txt").split('\n');
        const int rows = channels > 10 ? 2 : 1;
        EXPECT_EQ(lines.size(), 1 + rows * stored + 1) << "header, the rows of each stored cycle, nothing after";
        for (qsizetype i = 1; i + 1 < lines.size(); ++i)
            EXPECT_EQ(lines[i].count(';'), 61) << "row " << i;
        return stored;
    }
    // No record of the binary file holds a reading of absurd size, as readings shifted by a few
    // bytes give (1e31 and more).
    void expectPlausibleReadings(const QString& base, int channels)
    {
        const QByteArray bin = fileBytes(base + ".bin");
        for (qsizetype at = 1029; at + 304 <= bin.size() - 1; at += 304) {
            DipoleRecord d;
            std::memcpy(&d, bin.constData() + at, sizeof d);
            for (const float v : {d.Sp, d.Vp, d.In, d.Rho, d.M})
                EXPECT_TRUE(std::isfinite(v) && std::fabs(v) < 1e6f)
                    << "record " << (at - 1029) / 304 << ", channel " << (at - 1029) / 304 % channels + 1 << ": " << v;
        }
    }
    // line: what the connection line says at the end.
    void expectDisconnected(const TMainFrm& w, bool byPower = true, const QString& line = {})
    {
        EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_FALSE(w.PowerOnOffBtn->isChecked());
        EXPECT_FALSE(w.ConnectGb->isHidden());
        EXPECT_TRUE(w.NewSurveyBtn->isHidden());
        EXPECT_EQ(w.MainGB->text(), line);
        if (byPower) { // closing the window ends the program: the Power command just returns
            EXPECT_EQ(w.PowerOnOffBtn->property("Tag").toInt(), 0);
        }
    }
    // How long after the line went away `t` came; -1 when it did not go.
    int64_t msAfterHangup(std::chrono::steady_clock::time_point t) const
    {
        for (const auto& e : instrument->Events())
            if (e.What == "hangup")
                return std::chrono::duration_cast<std::chrono::milliseconds>(t - e.At).count();
        return -1;
    }
    // The last record of channel 1 holds the readings that the instrument sent for `cycle`.
    // The line once the instrument's terminal went away (the adapter pulled).
    QString linkLost() const { return "The link to the instrument was lost: " + instrument->DevicePath() + " went away"; }
    void expectLastRecordFromCycle(const QString& base, int channels, int cycle, uint32_t instrumentChannels)
    {
        const QByteArray bin = fileBytes(base + ".bin");
        ASSERT_GT(bin.size(), 1029 + 304 * channels);
        DipoleRecord d;
        std::memcpy(&d, bin.constData() + bin.size() - 1 - 304 * channels, sizeof d);
        const TCycleReadings r = TTestInstrument::DefaultReadings({}, instrumentChannels, cycle);
        EXPECT_FLOAT_EQ(d.Vp, static_cast<float>((double(r.PlusV[0][0]) - r.MinusV[0][0]) / 2));
        EXPECT_FLOAT_EQ(d.In, static_cast<float>((double(r.PlusI[0]) - r.MinusI[0]) / 2));
    }
    // For each stored cycle, the instrument's cycle (counted from 0, below `cycles`) whose
    // readings its first record holds; -1 when they are no cycle's.
    std::vector<int> recordsFromCycles(const QString& base, int channels, int cycles, uint32_t instrumentChannels)
    {
        const QByteArray bin = fileBytes(base + ".bin");
        std::vector<int> from;
        for (qsizetype at = 1029; at + 304 * channels < bin.size(); at += 304 * channels) {
            DipoleRecord d;
            std::memcpy(&d, bin.constData() + at, sizeof d);
            int cycle = -1;
            for (int c = 0; c < cycles && cycle < 0; ++c) {
                const TCycleReadings r = TTestInstrument::DefaultReadings({}, instrumentChannels, c);
                if (d.Vp == static_cast<float>((double(r.PlusV[0][0]) - r.MinusV[0][0]) / 2) &&
                    d.In == static_cast<float>((double(r.PlusI[0]) - r.MinusI[0]) / 2))
                    cycle = c;
            }
            from.push_back(cycle);
        }
        return from;
    }
};

// The cable is pulled in the middle of a cycle (the instrument sent the sentences, then
// nothing) and Power off or closing the window follows at once, before the survey has seen the
// loss: either ends the survey within that cycle.
TEST_F(ReliabilityTest, LineDroppedInACycleThenPowerOffOrClose)
{
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "window closed" : "Power off");
        DropWindow();
        serve();
        // Cycle 3's readings do not come: the survey is inside that cycle's read when the line goes.
        instrument->AddFault({TFaultKind::Silence, TPoint::Readings, 3, 1});
        TMainFrm& w = start();
        const QString base = dir.File(closeWindow ? "closed" : "powered");
        QElapsedTimer clock;
        run({startWith(base), {[this] { return cycles() >= 4; }, [&] {
                 instrument->DropLine();
                 clock.start();
                 if (closeWindow)
                     w.close();
                 else
                     w.PowerAction->trigger();
             }}});
        powerOn();
        ASSERT_TRUE(clock.isValid());
        EXPECT_LT(clock.elapsed(), 10000);
        // The close ends the program: its line is not looked at.
        if (!closeWindow)
            expectDisconnected(w, true, linkLost());
        else
            EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_EQ(instrument->Cycles(), 4);
        // Cycle 3 lost its readings with the line: it is not stored.
        EXPECT_EQ(expectWholeFiles(base, 10), 3);
        EXPECT_EQ(recordsFromCycles(base, 10, 4, 10), (std::vector<int>{0, 1, 2}));
        if (closeWindow) {
            EXPECT_EQ(Remembered(), setupPath);
        }
        // Power On works again once the instrument is back.
        if (!closeWindow) {
            serve(); // the instrument switched on again, on a new terminal
            delete ActivePort;
            ActivePort = new TPortCOM(&w);
            run({{[this] { return waitingForStart(); }, [&] { w.PowerAction->trigger(); }}});
            powerOn();
            EXPECT_TRUE(instrument->WaitForEvent("escape", 3000));
            expectDisconnected(w);
        }
    }
}

TEST_F(ReliabilityTest, LineDroppedWhileWaitingForStartThenPowerOff)
{
    serve();
    TMainFrm& w = start();
    run({{[this] { return waitingForStart(); }, [this] { instrument->DropLine(); }},
         {[] { return true; }, [&] { w.PowerAction->trigger(); }}});
    powerOn();
    expectDisconnected(w, true, linkLost());
    EXPECT_EQ(instrument->Cycles(), 0);
}

// The device goes away while the survey rests between cycles, in a long off time or paused: the
// survey ends within seconds all the same, and no cycle is counted lost, as none was measured.
TEST_F(ReliabilityTest, ADevicePulledBetweenCyclesEndsTheSurvey)
{
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "off time");
        DropWindow();
        serve();
        SurveySetup s;
        s.DelayTime = paused ? 0 : 20; // 19 s between cycles
        TMainFrm& w = start(s, 30000);
        const QString base = dir.File(paused ? "paused" : "resting");
        int seen = 0;
        QElapsedTimer still;
        std::vector<Step> steps{startWith(base)};
        if (paused) {
            steps.push_back({[this] { return cycles() >= 2; }, [&] {
                                 w.PauseBtn->setChecked(true);
                                 seen = cycles();
                                 still.start();
                             }});
            // No trigger for 500 ms: the survey stands in its pause.
            steps.push_back({[&] {
                                 if (cycles() != seen) {
                                     seen = cycles();
                                     still.restart();
                                 }
                                 return still.elapsed() >= 500;
                             },
                             [this] { instrument->DropLine(); }});
        } else {
            // The first cycle is in both files: its off time has begun.
            steps.push_back({[&] { return fileBytes(base + ".txt").count('\n') >= 2; }, [this] { instrument->DropLine(); }});
        }
        run(steps);
        powerOn();
        const int64_t endedMs = msAfterHangup(std::chrono::steady_clock::now());
        ASSERT_GE(endedMs, 0) << w.MainGB->text().toStdString();
        ASSERT_LT(endedMs, 3000) << "the survey went on over the gone device";
        const int stored = expectWholeFiles(base, 10);
        EXPECT_GE(stored, paused ? 2 : 1);
        expectDisconnected(w, true,
                           linkLost() + QString("  -  %1 cycle%2 stored, 0 lost").arg(stored).arg(stored == 1 ? "" : "s"));
        w.PauseBtn->setChecked(false);
    }
}

// Noise before a sentence and a length word that does not match its sentence: the cycles
// concerned are given up or hold wrong readings, the link finds its step again, and the
// electrode coordinates are never overwritten.
TEST_F(ReliabilityTest, NoiseAndAWrongLengthDoNotStopTheSurvey)
{
    serve();
    instrument->AddFault({TFaultKind::Noise, TPoint::Gps, 2, 1, -1, QByteArray("\x07\x07\x07", 3)});
    const QByteArray shortLength = Instrument::Le32(10) + "$SDDBT,41.0,f,12.50,M,6.8,F*00\r\n";
    instrument->AddFault({TFaultKind::Garbage, TPoint::Sounder, 5, 1, -1, shortLength});
    TMainFrm& w = start();
    const QString base = dir.File("noisy");
    run({startWith(base), stopAfter(10)});
    powerOn();
    const int cycles = instrument->Cycles();
    ASSERT_GE(cycles, 10);
    EXPECT_GE(expectWholeFiles(base, 10), 1);
    for (int k = 0; k < 13; ++k)
        EXPECT_EQ(w.Workspace[124 + k], k == 0 ? 0.0f : 2.0f * k) << k;
    expectLastRecordFromCycle(base, 10, cycles - 1, 10);
}

// A noisy cable or radio link spoils a cycle now and then: the cycle is cut short, gets stray
// bytes, a wrong sentence length, flipped bits, or a sentence of garbage. The survey goes on by
// itself, back in step with the instrument, every stored cycle is whole in both files and holds
// some cycle's own readings (none shifted by stray bytes), and a cycle given up for want of its
// bytes, or whose readings cannot be told apart, shows in the connection line for the rest of
// the survey.
TEST_F(ReliabilityTest, SpoiledCyclesAreGivenUpAndTheSurveyGoesOn)
{
    // Sentences whose bytes hold a ";" and a line feed where the parsers do not look.
    const auto garbled = [](QByteArray sentence) { return Instrument::EncodeSentence(sentence.insert(sentence.indexOf('*'), ";\n;")); };
    const auto blanked = [](QByteArray sentence) { return sentence.insert(sentence.indexOf('*'), "   "); };
    const TFault stray{TFaultKind::Noise, TPoint::Readings, 2, 1, -1, QByteArray("\x07;\n", 3)};
    const struct {
        const char* name;
        std::vector<TFault> faults;
        bool gps, sounder;
        // Why the cycle is not stored and is counted lost, as the line says it: its bytes stop
        // coming (given up once the instrument stays quiet), or a flipped length word or stray
        // bytes leave its readings unknown; nullptr: it is stored.
        const char* lostAs;
        QByteArray inText = {}; // what the text file holds of the spoiled cycle
    } cases[] = {
        {"cut short", {{TFaultKind::CutShort, TPoint::Readings, 2, 1}}, true, true, "no answer"},
        {"wrong sentence length", {{TFaultKind::WrongLength, TPoint::Gps, 2, 1}}, true, false, "no answer"},
        {"stray bytes", {stray}, false, false, "garbled readings"},
        {"stray bytes, GPS and sounder", {stray}, true, true, "garbled readings"},
        {"flipped bits", {{TFaultKind::FlipBits, TPoint::Readings, 2, 1}}, true, true, "garbled sentence"},
        {"garbled sentences",
         {{TFaultKind::Garbage, TPoint::Gps, 2, 1, -1, garbled(TTestInstrument::DefaultGpsSentence(2))},
          {TFaultKind::Garbage, TPoint::Sounder, 2, 1, -1, garbled(TTestInstrument::DefaultSounderSentence(2))}},
         true, true, nullptr, blanked(TTestInstrument::DefaultGpsSentence(2)).chopped(1) + ";" +
                                blanked(TTestInstrument::DefaultSounderSentence(2)).chopped(4) + ";\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        serve();
        for (const TFault& f : c.faults)
            instrument->AddFault(f);
        SurveySetup s;
        s.Gps = c.gps;
        s.Sounder = c.sounder;
        TMainFrm& w = start(s);
        const QString base = dir.File(QString(c.name).replace(' ', '-').remove(','));
        QString line;
        run({startWith(base), {[this] { return cycles() >= 6; }, [&] {
                                   line = w.MainGB->text();
                                   w.Action4->trigger();
                               }}});
        powerOn();
        const int cycles = instrument->Cycles();
        ASSERT_GE(cycles, 6);
        const QString lost = c.lostAs ? QString("1 cycle lost: ") + c.lostAs : QString();
        EXPECT_EQ(line.contains("1 cycle lost"), c.lostAs != nullptr) << line.toStdString();
        EXPECT_TRUE(line.endsWith(lost)) << line.toStdString();
        EXPECT_LE(w.MainGB->fontMetrics().horizontalAdvance(line), w.MainGB->width()) << "the line is cut: " << line.toStdString();
        // After Stop the line still says what was lost, until the next survey starts.
        EXPECT_TRUE(w.MainGB->text().startsWith("Connected to VARNOK 10 at 38400 Bds")) << w.MainGB->text().toStdString();
        EXPECT_EQ(w.MainGB->text().contains("1 cycle lost"), c.lostAs != nullptr) << w.MainGB->text().toStdString();
        EXPECT_TRUE(w.MainGB->text().endsWith(lost)) << w.MainGB->text().toStdString();
        const int stored = expectWholeFiles(base, 10);
        EXPECT_GE(stored, 4);
        EXPECT_TRUE(fileBytes(base + ".txt").contains(c.inText));
        expectLastRecordFromCycle(base, 10, cycles - 1, 10);
        const std::vector<int> from = recordsFromCycles(base, 10, cycles, 10);
        EXPECT_EQ(std::count(from.begin(), from.end(), -1), 0) << "records with no cycle's readings";
        expectPlausibleReadings(base, 10);
    }
}

// A record holds only what the instrument sent in its own cycle. The first cycle of a survey whose
// GPS sentence does not come (its length 0) stores its own readings, which come once its pulses
// are over, not those the window held from before (the last survey's, or the Tx-voltage check's at
// its test voltage); one whose length word does not come at all cannot be told apart from the
// rest, and is lost, not stored. The instrument is paced as on the water.
TEST_F(ReliabilityTest, TheFirstCycleStoresOnlyItsOwnReadings)
{
    TInstrumentSetup paced;
    paced.RealTime = true;
    const struct {
        const char* name;
        bool txCheck;      // a Tx-voltage check before the survey, else a whole survey before it
        TFaultKind fault;  // on the survey's first GPS sentence
        bool stored;       // the first cycle is stored
    } cases[] = {
        {"second survey, its first GPS sentence silent", false, TFaultKind::SilentGps, true},
        {"second survey, its first length word missing", false, TFaultKind::Silence, false},
        {"Tx-voltage check, then the first length word missing", true, TFaultKind::Silence, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        serve(paced);
        // Each case's first cycle loses its length word and is drained for the cycle's quiet
        // bound (over 10 s) before the pace is known, after a Tx check or a whole survey.
        TMainFrm& w = start({}, 150000);
        const QString base = dir.File(QString(c.name).replace(' ', '-').remove(','));
        int first = 0; // the instrument's count of the survey's first cycle
        const auto fault = [&] {
            first = cycles();
            instrument->AddFault({c.fault, TPoint::Gps, 0, 1, c.fault == TFaultKind::SilentGps ? first : -1});
        };
        QString line;
        if (c.txCheck) {
            run({{[this] { return waitingForStart(); }, [&] {
                      dialogs.AnswerInput("12.5");
                      w.TxVoltageCheckBtn->click();
                      fault();
                  }},
                 startWith(base), {[&] { return cycles() >= first + 4; }, [&] {
                     line = w.MainGB->text();
                     w.Action4->trigger();
                 }}});
            powerOn();
            ASSERT_GT(first, 0) << "the check measured";
        } else {
            // A file of its own: one left by an earlier case would ask to be overwritten.
            run({startWith(base + "-before"), stopAfter(3)});
            powerOn();
            fault();
            ASSERT_GT(first, 0) << "the survey before measured";
            run({startWith(base), {[&] { return cycles() >= first + 4; }, [&] {
                     line = w.MainGB->text();
                     w.Action4->trigger();
                 }}});
            w.NewSurveyBtn->click();
        }
        const int cycles = instrument->Cycles();
        std::vector<int> expected;
        for (int k = c.stored ? first : first + 1; k < cycles; ++k)
            expected.push_back(k);
        EXPECT_EQ(recordsFromCycles(base, 10, cycles, 10), expected);
        EXPECT_EQ(expectWholeFiles(base, 10), static_cast<int>(expected.size()));
        EXPECT_EQ(line.contains("1 cycle lost"), !c.stored) << line.toStdString();
        w.PowerAction->trigger();
    }
}

// The line falls silent for 45 s with the link open, GPS and sounder on, the instrument paced as
// on the water: each cycle's sentences time out and nothing of it comes. Nothing is stored while
// the silence lasts (no copy of the last readings with depth 0), the lost cycles are said, and
// once the instrument answers again the survey goes on.
TEST_F(ReliabilityTest, ASilentLineStoresNothingWhileItLasts)
{
    TInstrumentSetup paced;
    paced.RealTime = true;
    serve(paced);
    TMainFrm& w = start({}, 120000);
    const QString base = dir.File("silent");
    QElapsedTimer silent;
    int storedBefore = -1, storedDuring = -1, answeringFrom = 0;
    QString line;
    run({startWith(base),
         {[this] { return cycles() >= 3; }, [&] {
              instrument->AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
              silent.start();
              storedBefore = static_cast<int>((fileBytes(base + ".bin").size() - 1030) / 3040);
          }},
         {[&] { return silent.isValid() && silent.elapsed() >= 45000; }, [&] {
              storedDuring = static_cast<int>((fileBytes(base + ".bin").size() - 1030) / 3040);
              line = w.MainGB->text();
              instrument->ClearFaults();
              answeringFrom = cycles();
          }},
         {[&] { return storedDuring >= 0 && cycles() >= answeringFrom + 4; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    EXPECT_LE(storedDuring, storedBefore + 1) << "cycles stored while the line was silent";
    EXPECT_TRUE(line.contains(" cycles lost: no answer")) << line.toStdString();
    const int cycles = instrument->Cycles();
    const std::vector<int> from = recordsFromCycles(base, 10, cycles, 10);
    EXPECT_EQ(expectWholeFiles(base, 10), static_cast<int>(from.size()));
    for (size_t k = 1; k < from.size(); ++k)
        EXPECT_GT(from[k], from[k - 1]) << "record " << k << " holds no new cycle's readings";
    EXPECT_GE(from.size(), 6u) << "the survey went on after the silence";
}

// At 1500 ms pulses (3 s a cycle, paced as on the water) one GPS length word that cannot be
// counted costs about one cycle, not the generous quiet bound: the next trigger comes once the
// pace's cycle is over, and every later cycle is stored with its own readings.
TEST_F(ReliabilityTest, OneSpoiledLengthWordCostsAboutOneCycle)
{
    constexpr int Spoiled = 2;
    TInstrumentSetup setup;
    setup.RealTime = true;
    serve(setup);
    instrument->AddFault({TFaultKind::Garbage, TPoint::Gps, Spoiled, 1, -1, QByteArray("\xC8\0\0\0", 4)});
    SurveySetup s;
    s.RemoteTime = 150;
    TMainFrm& w = start(s, 90000);
    const QString base = dir.File("spoiled-length");
    QString line;
    run({startWith(base), {[this] { return cycles() >= Spoiled + 4; }, [&] {
                               line = w.MainGB->text();
                               w.Action4->trigger();
                           }}});
    powerOn();
    std::vector<std::chrono::steady_clock::time_point> triggers;
    for (const Instrument::TInstrumentEvent& e : instrument->Events())
        if (e.What == "trigger")
            triggers.push_back(e.At);
    ASSERT_GE(triggers.size(), size_t(Spoiled + 4));
    const auto normal = triggers[Spoiled] - triggers[Spoiled - 1];
    EXPECT_LE(triggers[Spoiled + 1] - triggers[Spoiled], 2 * normal + std::chrono::seconds(3))
        << "the spoiled cycle took " << std::chrono::duration_cast<std::chrono::milliseconds>(triggers[Spoiled + 1] - triggers[Spoiled]).count()
        << " ms, a normal one " << std::chrono::duration_cast<std::chrono::milliseconds>(normal).count();
    EXPECT_TRUE(line.contains("1 cycle lost")) << line.toStdString();
    const int cycles = instrument->Cycles();
    std::vector<int> expected;
    for (int k = 0; k < cycles; ++k)
        if (k != Spoiled)
            expected.push_back(k);
    EXPECT_EQ(recordsFromCycles(base, 10, cycles, 10), expected);
    EXPECT_EQ(expectWholeFiles(base, 10), cycles - 1);
}

// Stop ends the survey in time whatever the line sends: noise during the drain of a spoiled
// cycle, a line cut with a delay parameter that would stretch our model of the cycle to a
// minute, or a line that sends a byte a second in place of the prompt. That last one is no link
// to go on with: the line says the instrument did not answer and Power On is ready.
TEST_F(ReliabilityTest, StopEndsInTimeWhateverTheLineSends)
{
    enum class Line { NoiseInADrain, CutWithALongDelay, TrickleForThePrompt };
    const struct {
        const char* name;
        Line line;
        int withinMs;
    } cases[] = {
        {"noise every 50 ms during a drain", Line::NoiseInADrain, 20000},
        {"RemoteDelay 3000, line cut", Line::CutWithALongDelay, 20000},
        {"a byte a second in place of the prompt", Line::TrickleForThePrompt, 15000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        serve();
        SurveySetup s;
        if (c.line == Line::CutWithALongDelay)
            s.RemoteDelay = 3000;
        if (c.line == Line::NoiseInADrain) // the third cycle's GPS length is out of range
            instrument->AddFault({TFaultKind::Garbage, TPoint::Gps, 2, 1, -1, QByteArray("\xC8\0\0\0", 4)});
        TMainFrm& w = start(s, 120000);
        QTimer noise;
        QObject::connect(&noise, &QTimer::timeout, [this] { instrument->SendNow(QByteArray(1, '\x55')); });
        QElapsedTimer clock;
        const auto stop = [&] {
            clock.start();
            w.Action4->trigger();
        };
        std::vector<Step> steps{startWith(dir.File(QString(c.name).replace(' ', '-')))};
        switch (c.line) {
        case Line::NoiseInADrain:
            steps.push_back({[this] { return cycles() >= 3; }, [&] { noise.start(50); }});
            steps.push_back({[&] { return !w.GpsDisconnectLbl->isHidden(); }, stop});
            break;
        case Line::CutWithALongDelay:
            steps.push_back({[this] { return cycles() >= 3; }, [&] {
                                 instrument->AddFault({TFaultKind::Silence, TPoint::Any, 0, -1});
                                 stop();
                             }});
            break;
        case Line::TrickleForThePrompt:
            steps.push_back({[this] { return cycles() >= 3; }, [&] {
                                 instrument->SetLine(Instrument::TLine::Trickle);
                                 stop();
                             }});
            break;
        }
        run(steps);
        powerOn();
        noise.stop();
        ASSERT_TRUE(clock.isValid());
        EXPECT_LT(clock.elapsed(), c.withinMs);
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        if (c.line == Line::TrickleForThePrompt) {
            EXPECT_EQ(w.MainGB->text(), "The instrument did not answer");
            EXPECT_LE(ActivePort->GetState(), 0);
            EXPECT_FALSE(w.PowerOnOffBtn->isChecked());
            EXPECT_FALSE(w.ConnectGb->isHidden());
        } else {
            EXPECT_FALSE(w.NewSurveyBtn->isHidden());
        }
    }
}

// The status never comes: at the connection a silent start of the download, in the survey a
// line that trickles a byte a second once connected (as seen in the field). The download is
// given up, the link taken down and the line says so; a Start given meanwhile makes no file,
// the survey never waits for Start with no status.
TEST_F(ReliabilityTest, AStatusThatNeverComesIsSaidAndTheLinkTakenDown)
{
    const struct {
        const char* name;
        bool atConnection;
        int withinMs; // from Power On
    } cases[] = {
        {"silent download at the connection", true, 20000},
        {"trickling line in the survey", false, 45000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        TInstrumentSetup setup;
        if (!c.atConnection)
            setup.LineAfterConnect = Instrument::TLine::Trickle;
        serve(setup);
        if (c.atConnection)
            instrument->AddFault({TFaultKind::Silence, TPoint::BlockStart, 0, -1});
        TMainFrm& w = start(SurveySetup(), 60000);
        const QString base = dir.File(QString(c.name).replace(' ', '-'));
        run({{[this] { return established(); }, [&] {
                  EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds");
                  dialogs.AnswerSave(base);
                  w.Action2->trigger();
              }}});
        QElapsedTimer clock;
        clock.start();
        powerOn();
        EXPECT_LT(clock.elapsed(), c.withinMs);
        expectDisconnected(w, true, "The instrument did not answer");
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        EXPECT_FALSE(w.NewGpsBtn->isEnabled());
        EXPECT_FALSE(w.StopBtn->isEnabled());
        EXPECT_FALSE(QFile::exists(base + ".txt"));
        EXPECT_FALSE(QFile::exists(base + ".bin"));
        EXPECT_EQ(instrument->Cycles(), 0);
    }
}

// Stop while the survey's status exchange gets nothing from the line: during the command on a
// line that trickles, or during the download when the start echo comes back as other bytes.
// The survey ends within seconds, says that the instrument did not answer, and Power On
// connects again from the window it leaves.
TEST_F(ReliabilityTest, StopDuringTheStatusExchangeOnABadLineEndsTheSurvey)
{
    const struct {
        const char* name;
        bool trickle;
    } cases[] = {
        {"trickle, Stop in the status command", true},
        {"other bytes for the start echo, Stop in the download", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        TInstrumentSetup setup;
        if (c.trickle)
            setup.LineAfterConnect = Instrument::TLine::Trickle;
        serve(setup);
        if (!c.trickle) { // the connection's download goes through, the survey's does not
            instrument->AddFault({TFaultKind::Garbage, TPoint::BlockStart, 1, -1, -1, "\x55"});
            instrument->AddFault({TFaultKind::Silence, TPoint::BlockTotal, 1, -1});
        }
        TMainFrm& w = start(SurveySetup(), 60000);
        QElapsedTimer clock;
        run({{[&] { return c.trickle ? established() : instrument->Count("block start") >= 3; }, [&] {
                  clock.start();
                  w.Action4->trigger();
              }}});
        powerOn();
        ASSERT_TRUE(clock.isValid());
        EXPECT_LT(clock.elapsed(), 10000);
        expectDisconnected(w, true, "The instrument did not answer");
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        EXPECT_FALSE(w.StopBtn->isEnabled());
        EXPECT_TRUE(w.PowerAction->isEnabled());
        if (c.trickle)
            continue;
        instrument->ClearFaults();
        QString line;
        // Waiting for Start: the new connection's download and the survey's have ended.
        run({{[&] { return established() && instrument->EventNames().filter("block end").size() >= 3; }, [&] {
                  line = w.MainGB->text();
                  w.PowerAction->trigger();
              }}});
        powerOn();
        EXPECT_EQ(line, "Connected to VARNOK 10 at 38400 Bds");
        EXPECT_TRUE(instrument->WaitForEvent("escape", 5000));
        expectDisconnected(w);
    }
}

// After Stop the instrument sends other bytes for more than the prompt wait's quiet (5 s, a byte
// every 250 ms) before its prompt: the prompt is still seen, nothing is left on the line, and the
// next survey's status download and cycles go as usual.
TEST_F(ReliabilityTest, BytesBeforeThePromptAtStopLeaveNothingForTheNextSurvey)
{
    serve();
    TMainFrm& w = start();
    QTimer chatter;
    QElapsedTimer since;
    QObject::connect(&chatter, &QTimer::timeout, [&] {
        if (since.elapsed() < 5000) {
            instrument->SendNow("~");
        } else {
            chatter.stop();
            instrument->SendNow(":>");
        }
    });
    run({startWith(dir.File("first")),
         {[this] { return cycles() >= 3; }, [&] {
              instrument->AddFault({TFaultKind::Silence, TPoint::Prompt, 0, 1});
              w.Action4->trigger();
          }},
         {[this] { return instrument->Count("stop") > 0; }, [&] {
              since.start();
              chatter.start(250);
          }}});
    powerOn();
    EXPECT_FALSE(chatter.isActive()) << "the survey ended before the prompt came";
    EXPECT_GE(since.elapsed(), 5000);
    EXPECT_EQ(ActivePort->GetState(), Port);
    ASSERT_FALSE(w.NewSurveyBtn->isHidden());
    const int downloads = instrument->Count("command 30");
    const QString second = dir.File("second");
    run({startWith(second), stopAfter(instrument->Cycles() + 3)});
    w.NewSurveyBtn->click();
    EXPECT_EQ(instrument->Count("command 30"), downloads + 1);
    EXPECT_EQ(instrument->Count("bad complement"), 0);
    EXPECT_GE(expectWholeFiles(second, 10), 3);
    EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds");
    w.PowerAction->trigger();
}

// The same over the USB port: the fake driver behind which the instrument answers.
class UsbReliabilityTest : public ReliabilityTest {
protected:
    void serveUsb()
    {
        serve();
        driver_ = std::make_unique<TFakeFtd2xx>(instrument->DevicePath());
        previous_ = SetFtd2xx(driver_.get());
    }

    // The instrument's device goes away in a cycle (the adapter pulled, the instrument's
    // terminal gone): the open link can never pass a cycle again, so the survey ends by itself
    // within seconds, as Power off leaves it; the line says that the link was lost and what the
    // survey stored and lost, the files hold every stored cycle whole, and Power On connects
    // once the device is back.
    void expectAPulledDeviceEndsTheSurvey(bool usb)
    {
        if (usb)
            serveUsb();
        else
            serve();
        const QString device = usb ? QString("the USB adapter") : instrument->DevicePath();
        // The line goes in place of cycle 3's readings, the sentences sent.
        instrument->AddFault({TFaultKind::DropLine, TPoint::Readings, 3, 1});
        SurveySetup s;
        s.Usb = usb;
        TMainFrm& w = start(s, 30000);
        const QString base = dir.File("pulled");
        run({startWith(base)});
        powerOn(); // back once the survey has ended
        const int64_t endedMs = msAfterHangup(std::chrono::steady_clock::now());
        ASSERT_GE(endedMs, 0) << w.MainGB->text().toStdString();
        ASSERT_LT(endedMs, 3000) << "the survey went on over the gone device";
        expectDisconnected(w, true, "The link to the instrument was lost: " + device + " went away  -  3 cycles stored, 1 lost");
        EXPECT_FALSE(w.RsOffImg->isHidden());
        EXPECT_TRUE(w.RsOnImg->isHidden());
        EXPECT_TRUE(w.Image2->isEnabled());
        EXPECT_FALSE(w.StopBtn->isEnabled());
        EXPECT_FALSE(w.PauseBtn->isEnabled());
        EXPECT_EQ(expectWholeFiles(base, 10), 3);
        EXPECT_EQ(recordsFromCycles(base, 10, 4, 10), (std::vector<int>{0, 1, 2}));

        // The instrument back on its device: Power On connects.
        serve();
        if (usb)
            driver_->DevicePath = instrument->DevicePath();
        QString connected;
        guard(30000, "Power On after the device was back did not connect", [this] { frm->close(); });
        run({{[this] { return waitingForStart(); }, [&] {
                 connected = w.MainGB->text();
                 w.PowerAction->trigger();
             }}});
        powerOn();
        EXPECT_TRUE(connected.startsWith("Connected to VARNOK 10")) << connected.toStdString();
        EXPECT_TRUE(instrument->WaitForEvent("escape", 3000));
        expectDisconnected(w);
    }
    void TearDown() override
    {
        ReliabilityTest::TearDown(); // the window and its port go before their driver
        SetFtd2xx(previous_);
        driver_.reset();
    }

private:
    std::unique_ptr<TFakeFtd2xx> driver_;
    TFtd2xx* previous_ = nullptr;
};

TEST_F(UsbReliabilityTest, ASerialDevicePulledInACycleEndsTheSurvey) { expectAPulledDeviceEndsTheSurvey(false); }
TEST_F(UsbReliabilityTest, AUsbAdapterPulledInACycleEndsTheSurvey) { expectAPulledDeviceEndsTheSurvey(true); }

// A cycle cut short on its way over USB: the reads that get nothing give the cycle up, so it is
// never stored with zeros in place of the readings that did not come, and the survey goes on.
TEST_F(UsbReliabilityTest, ACutCycleIsGivenUpNotStoredAsZeros)
{
    constexpr int Cut = 2;
    serveUsb();
    instrument->AddFault({TFaultKind::CutShort, TPoint::Readings, Cut, 1});
    SurveySetup s;
    s.Usb = true;
    start(s);
    const QString base = dir.File("usb-cut");
    run({startWith(base), stopAfter(Cut + 4)});
    powerOn();
    const int cycles = instrument->Cycles();
    ASSERT_GE(cycles, Cut + 4);
    const int stored = expectWholeFiles(base, 10);
    EXPECT_GE(stored, 3);
    EXPECT_LT(stored, cycles) << "the cut cycle was stored";
    // Every stored cycle holds what the instrument sent for one of its whole cycles.
    for (const int from : recordsFromCycles(base, 10, cycles, 10)) {
        EXPECT_GE(from, 0) << "a record holds no cycle's readings";
        EXPECT_NE(from, Cut);
    }
    expectLastRecordFromCycle(base, 10, cycles - 1, 10);
}

// An instrument whose status reports another channel count: every block is read whole, only the
// Workspace map's places are written.
TEST_F(ReliabilityTest, OtherChannelCountsKeepTheWorkspaceAndTheLinkInStep)
{
    for (const uint32_t n : {12u, 8u, 0u}) {
        SCOPED_TRACE(n);
        DropWindow();
        TInstrumentSetup setup;
        setup.Channels = n;
        serve(setup);
        SurveySetup s;
        s.Channels = 12;
        s.Ip = true;
        TMainFrm& w = start(s);
        const QString base = dir.File(QString("n%1").arg(n));
        run({startWith(base), stopAfter(4)});
        powerOn();
        const int cycles = instrument->Cycles();
        ASSERT_GE(cycles, 4);
        EXPECT_EQ(instrument->Program().SwitchWord, 29);
        for (int k = 0; k < 13; ++k)
            EXPECT_EQ(w.Workspace[124 + k], k == 0 ? 0.0f : 2.0f * k) << k;
        EXPECT_EQ(w.Workspace[157], 0.0f);
        EXPECT_EQ(w.Workspace[169], 44.0f);
        const TCycleReadings r = TTestInstrument::DefaultReadings({}, n, cycles - 1);
        EXPECT_EQ(w.Workspace[10], r.PlusI[0]);
        EXPECT_EQ(w.Workspace[21], r.MinusI[0]);
        EXPECT_EQ(w.Workspace[52], r.PlusI[1]);
        EXPECT_EQ(w.Workspace[63], r.MinusI[1]);
        for (uint32_t k = 0; k < std::min(n, 10u); ++k) {
            EXPECT_EQ(w.Workspace[k], r.PlusV[0][k]);
            EXPECT_EQ(w.Workspace[11 + k], r.MinusV[0][k]);
            EXPECT_EQ(w.Workspace[114 + k], r.MinusIp[1][k]);
        }
        EXPECT_EQ(expectWholeFiles(base, 12), cycles);
        if (n > 0)
            expectLastRecordFromCycle(base, 12, cycles - 1, n);
    }
}

// The instrument loses step with the host and never sends what the host waits for: readings
// that do not come in a cycle, a measurement command it did not take (it then ignores the
// triggers and the end byte), or the prompt before that command. Stop (F4) still ends the
// survey once the instrument stays quiet, and "New survey" is offered again.
TEST_F(ReliabilityTest, StopEndsASurveyWhoseInstrumentLostStep)
{
    enum class Wait { Readings, Programmed, Prompt };
    const struct {
        const char* name;
        TFault fault;
        Wait stopIn;
    } cases[] = {
        {"readings never come", {TFaultKind::Silence, TPoint::Readings, 2, 1}, Wait::Readings},
        {"measurement command refused", {TFaultKind::RefuseCommand, TPoint::Command, 2, 1}, Wait::Programmed},
        {"prompt before the command never comes", {TFaultKind::Silence, TPoint::Prompt, 2, 1}, Wait::Prompt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        serve();
        instrument->AddFault(c.fault);
        SurveySetup s;
        s.Gps = s.Sounder = c.stopIn == Wait::Readings; // without sentences the readings are awaited at once
        TMainFrm& w = start(s);
        const QString base = dir.File(c.name);
        QElapsedTimer clock;
        const auto ready = [&] {
            const QStringList events = instrument->EventNames();
            switch (c.stopIn) {
            case Wait::Readings: return cycles() >= 3;
            case Wait::Programmed: return !events.filter("refused").isEmpty();
            case Wait::Prompt: return w.AcquisitionMode != 0 && !w.NewGpsBtn->isEnabled();
            }
            return false;
        };
        run({startWith(base), {ready, [&] {
                                   clock.start();
                                   w.Action4->trigger();
                               }}});
        powerOn();
        ASSERT_TRUE(clock.isValid());
        EXPECT_LT(clock.elapsed(), 15000);
        EXPECT_EQ(ActivePort->GetState(), Port) << "the link stays up";
        EXPECT_FALSE(w.NewSurveyBtn->isHidden());
        EXPECT_TRUE(w.NewSurveyBtn->isEnabled());
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
        if (c.stopIn == Wait::Readings) {
            EXPECT_GE(expectWholeFiles(base, 10), 2);
        } else { // no cycle got its readings: the text file holds its header alone
            EXPECT_TRUE(instrument->EventNames().filter("program").isEmpty());
            EXPECT_FALSE(QFile::exists(base + ".bin"));
            EXPECT_EQ(fileBytes(base + ".txt").count('\n'), 1);
        }
    }
}

// The acquisition folder cannot be written: the connection line says so (no box), the cycles
// go on, and once the folder can be written the files are made and filled.
TEST_F(ReliabilityTest, UnwritableFolderIsShownAndTriedAgainEachCycle)
{
    serve();
    TMainFrm& w = start();
    const QString blocked = WriteFile("blocked", "a file where the folder should be");
    const QString base = blocked + "/survey";
    int fixedAt = 0;
    run({startWith(base),
         {[this] { return cycles() >= 3; }, [&] {
              EXPECT_TRUE(w.MainGB->text().startsWith("Connected to ")) << w.MainGB->text().toStdString();
              EXPECT_NE(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds");
              EXPECT_FALSE(w.FileProblem.isEmpty());
              QFile::remove(blocked);
              QDir().mkpath(blocked);
              fixedAt = cycles();
          }},
         {[&] { return fixedAt > 0 && cycles() >= fixedAt + 3; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    // After Stop the line still counts the cycles each file did not get; both lack the same.
    EXPECT_EQ(w.MainGB->text(), QString("Connected to VARNOK 10 at 38400 Bds  -  survey.bin lacks %1 cycles, survey.txt lacks %1 cycles")
                                    .arg(w.Survey.CyclesToStore - w.Survey.Files.CyclesHeld));
    EXPECT_GE(w.Survey.CyclesToStore - w.Survey.Files.CyclesHeld, 2);
    EXPECT_TRUE(w.FileProblem.isEmpty());
    EXPECT_EQ(expectWholeFiles(base, 10), w.Survey.Files.CyclesHeld);
    EXPECT_EQ(dialogs.Messages().size(), 1) << dialogs.Messages().join(" | ").toStdString(); // the connect prompt only
}

// The text file is replaced by a folder for some cycles (another program, a user on the stick):
// those cycles reach the binary file only. The line counts the rows the text file lacks, and at
// Stop says that the two files hold different numbers of cycles, which stays after Stop. A
// survey that went on in a further binary file counts its binary files together.
TEST_F(ReliabilityTest, FilesThatDisagreeAreSaidAtStop)
{
    for (const bool further : {false, true}) {
        SCOPED_TRACE(further ? "a folder in place of the first binary file" : "one binary file");
        DropWindow();
        serve();
        TMainFrm& w = start();
        const QString base = dir.File(further ? "further" : "disagree");
        const QString name = QFileInfo(base).fileName();
        if (further)
            ASSERT_TRUE(QDir().mkpath(base + ".bin"));
        int backAt = 0;
        QString during;
        run({startWith(base),
             {[this] { return cycles() >= 3; }, [&] {
                  ASSERT_TRUE(QFile::rename(base + ".txt", base + ".kept"));
                  ASSERT_TRUE(QDir().mkpath(base + ".txt"));
              }},
             {[this] { return cycles() >= 6; }, [&] {
                  during = w.MainGB->text();
                  ASSERT_TRUE(QDir(base + ".txt").removeRecursively());
                  ASSERT_TRUE(QFile::rename(base + ".kept", base + ".txt"));
                  backAt = cycles();
              }},
             {[&] { return backAt > 0 && cycles() >= backAt + 3; }, [&] { w.Action4->trigger(); }}});
        powerOn();
        const int bin = w.Survey.Files.CyclesHeld, text = w.Survey.Text.CyclesHeld();
        EXPECT_EQ(bin, w.Survey.CyclesToStore);
        EXPECT_LE(text, bin - 2);
        EXPECT_TRUE(during.contains(name + ".txt lacks ")) << during.toStdString();
        const QString notice = further ? "  -  " + w.Survey.FileNotice : QString();
        EXPECT_EQ(w.MainGB->text(), QString("Connected to VARNOK 10 at 38400 Bds%1  -  %2.txt lacks %3 cycles, the files differ: "
                                            "%4 %5 cycles, %2.txt %6 cycles")
                                        .arg(notice, name)
                                        .arg(bin - text)
                                        .arg(further ? QString("the binary files hold") : name + ".bin holds")
                                        .arg(bin)
                                        .arg(text))
            << w.MainGB->text().toStdString();
        EXPECT_EQ(fileBytes(base + ".txt").count('\n'), 1 + text);
        if (further)
            continue;
        // The adapter pulled after Stop: why the link came down comes first, and what the
        // survey said stays.
        const QString said = w.MainGB->text().mid(QString("Connected to VARNOK 10 at 38400 Bds").size());
        instrument->DropLine();
        QElapsedTimer clock;
        clock.start();
        while (ActivePort->GetState() > 0 && clock.elapsed() < 10000)
            TApplication::ProcessMessages(50);
        EXPECT_EQ(w.MainGB->text(), linkLost() + said) << w.MainGB->text().toStdString();
    }
}

// A second survey stopped while its instrument's prompt is awaited stored nothing, in no file:
// the line says nothing of the first survey's files under the second's names.
TEST_F(ReliabilityTest, AStopBeforeASecondSurveyIsProgrammedSaysNothingOfTheFirstsFiles)
{
    serve();
    TMainFrm& w = start();
    run({startWith(dir.File("first")), stopAfter(3)});
    powerOn();
    ASSERT_FALSE(w.NewSurveyBtn->isHidden());
    const QString caption = "Connected to VARNOK 10 at 38400 Bds";
    ASSERT_EQ(w.MainGB->text(), caption);
    const int cycles = instrument->Cycles();
    // The prompt after the new survey's status download never comes.
    instrument->AddFault({TFaultKind::Silence, TPoint::Prompt, 0, 1});
    const QString second = dir.File("second");
    run({startWith(second), {[&] { return QFile::exists(second + ".txt"); }, [&] { w.Action4->trigger(); }}});
    w.NewSurveyBtn->click();
    EXPECT_EQ(w.MainGB->text(), caption) << w.MainGB->text().toStdString();
    EXPECT_EQ(instrument->Cycles(), cycles);
    EXPECT_FALSE(QFile::exists(second + ".bin"));
    EXPECT_EQ(fileBytes(second + ".txt").count('\n'), 1);
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
    w.PowerAction->trigger();
}

// The line sends everything but the prompt at Stop, so the link is taken down: what the survey
// said of its files stays in the line, after why the link came down.
TEST_F(ReliabilityTest, ALinkTakenDownAtStopKeepsWhatTheSurveySaid)
{
    serve();
    TMainFrm& w = start();
    const QString blocked = WriteFile("blocked", "a file where the folder should be");
    run({startWith(blocked + "/survey"), {[this] { return cycles() >= 3; }, [&] {
                                              instrument->SetLine(Instrument::TLine::Trickle);
                                              w.Action4->trigger();
                                          }}});
    powerOn();
    const QString line = w.MainGB->text();
    EXPECT_TRUE(line.startsWith("The instrument did not answer  -  ")) << line.toStdString();
    EXPECT_FALSE(w.FileProblem.isEmpty());
    EXPECT_TRUE(line.contains(w.FileProblem)) << line.toStdString();
    EXPECT_GE(w.Survey.CyclesToStore, 2);
    EXPECT_TRUE(line.endsWith(QString("survey.bin lacks %1 cycles, survey.txt lacks %1 cycles").arg(w.Survey.CyclesToStore)))
        << line.toStdString();
    EXPECT_LE(ActivePort->GetState(), 0);
    EXPECT_FALSE(w.ConnectGb->isHidden());
}

// The acquisition folder goes away after the third cycle (a memory stick pulled) and comes back
// empty after the fifth: from then on every cycle is stored again, in both files, each made
// anew with its header, and the connection line said what was wrong only while it was.
TEST_F(ReliabilityTest, RemovedFolderThatComesBackIsStoredInAgain)
{
    serve();
    TMainFrm& w = start();
    const QString folder = dir.File("stick");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString base = folder + "/survey";
    int backAt = 0;
    bool problemShown = false;
    run({startWith(base),
         {[this] { return cycles() >= 3; }, [&] { ASSERT_TRUE(QDir(folder).removeRecursively()); }},
         {[this] { return cycles() >= 5; }, [&] {
              problemShown = !w.FileProblem.isEmpty();
              ASSERT_TRUE(QDir().mkpath(folder));
              backAt = cycles();
          }},
         {[&] { return backAt > 0 && cycles() >= backAt + 4; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    EXPECT_TRUE(problemShown);
    EXPECT_TRUE(w.FileProblem.isEmpty());
    // Said after Stop: the text file made again (the last notice), and what each file lacks.
    const int lacks = w.Survey.CyclesToStore - w.Survey.Files.CyclesHeld;
    EXPECT_GE(lacks, 4); // those of the old files, and those while the folder was away
    EXPECT_EQ(w.Survey.Text.CyclesHeld(), w.Survey.Files.CyclesHeld);
    const QString line = w.MainGB->text();
    EXPECT_TRUE(line.startsWith("Connected to VARNOK 10 at 38400 Bds  -  survey.txt was made again, without ")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(QString(" cycles written in it  -  survey.bin lacks %1 cycles, survey.txt lacks %1 cycles")
                                  .arg(lacks))) << line.toStdString();

    const QByteArray bin = fileBytes(base + ".bin");
    const auto header = Acquisition::BinFileHeaderBytes(w.BinHeaderText);
    ASSERT_GE(bin.size(), 1029);
    EXPECT_EQ(bin.left(1029), QByteArray(reinterpret_cast<const char*>(header.data()), 1029));
    const QByteArray text = fileBytes(base + ".txt");
    EXPECT_TRUE(text.startsWith(QByteArray(Acquisition::TextHeaderLine) + "\r\n")) << text.left(80).toStdString();
    const int stored = expectWholeFiles(base, 10);
    EXPECT_GE(stored, 3);

    // The first cycle in the files is one from after the folder came back, the last one the
    // last cycle; the text file's first row carries the readings of the same cycle.
    const int lastCycle = cycles() - 1;
    expectLastRecordFromCycle(base, 10, lastCycle, 10);
    DipoleRecord first;
    std::memcpy(&first, bin.constData() + 1029, sizeof first);
    int firstCycle = -1;
    for (int k = backAt - 1; k <= lastCycle && firstCycle < 0; ++k) {
        const TCycleReadings r = TTestInstrument::DefaultReadings({}, 10, k);
        if (first.Vp == static_cast<float>((double(r.PlusV[0][0]) - r.MinusV[0][0]) / 2))
            firstCycle = k;
    }
    ASSERT_GE(firstCycle, 0) << "the first record is from a cycle after the folder came back";
    const QList<QByteArray> row = text.split('\n').value(1).split(';');
    ASSERT_GE(row.size(), 40);
    EXPECT_EQ(row[39].toStdString(),
              QString::number(TTestInstrument::DefaultReadings({}, 10, firstCycle).PlusV[0][0], 'f', 4).toStdString());
}

// Another program cuts the binary file inside a record, or puts a folder in its place, after the
// fourth cycle: no later cycle is lost. They go into survey#1.bin, with this survey's header and
// their text rows; the file that could not be continued stays as it was left; the connection
// line says which file the survey goes on in, and still says it after Stop.
TEST_F(ReliabilityTest, ABinaryFileThatCannotBeContinuedIsLeftAndTheSurveyGoesOnInANewFile)
{
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "a folder in its place" : "cut inside a record");
        DropWindow();
        serve();
        TMainFrm& w = start();
        const QString base = dir.File(folder ? "folder" : "cut");
        QByteArray left;
        int storedBefore = 0, brokenAt = 0;
        QString line;
        run({startWith(base),
             {[this] { return cycles() >= 4; }, [&] {
                  const QByteArray bin = fileBytes(base + ".bin");
                  storedBefore = int((bin.size() - 1030) / (10 * 304));
                  ASSERT_TRUE(QFile::remove(base + ".bin"));
                  if (folder) {
                      ASSERT_TRUE(QDir().mkpath(base + ".bin"));
                  } else {
                      left = bin.left(bin.size() - 100);
                      QFile f(base + ".bin");
                      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                      f.write(left);
                  }
                  brokenAt = cycles();
              }},
             {[&] { return brokenAt > 0 && cycles() >= brokenAt + 5; }, [&] {
                  line = w.MainGB->text();
                  w.Action4->trigger();
              }}});
        powerOn();
        ASSERT_GT(storedBefore, 0);
        EXPECT_TRUE(line.contains("the survey goes on in " + QFileInfo(base).fileName() + "#1.bin")) << line.toStdString();
        EXPECT_TRUE(line.contains(QFileInfo(base).fileName() + ".bin cannot be continued")) << line.toStdString();
        EXPECT_TRUE(w.MainGB->text().contains("the survey goes on in")) << "kept after Stop";
        if (folder)
            EXPECT_TRUE(QFileInfo(base + ".bin").isDir());
        else
            EXPECT_EQ(fileBytes(base + ".bin"), left) << "the cut file stays as it was left";

        const QByteArray next = fileBytes(base + "#1.bin");
        const auto header = Acquisition::BinFileHeaderBytes(w.BinHeaderText);
        ASSERT_GT(next.size(), 1029);
        EXPECT_EQ(next.left(1029), QByteArray(reinterpret_cast<const char*>(header.data()), 1029));
        EXPECT_EQ((next.size() - 1030) % (10 * 304), 0);
        EXPECT_EQ(next.back(), '\0');
        const int storedAfter = int((next.size() - 1030) / (10 * 304));
        EXPECT_GE(storedAfter, 4);
        EXPECT_FALSE(QFile::exists(base + "#2.bin"));

        // Every cycle is in both files: the text file has a row for each, and the last record is
        // the last cycle's.
        const QList<QByteArray> lines = fileBytes(base + ".txt").split('\n');
        EXPECT_EQ(lines.size(), 1 + storedBefore + storedAfter + 1);
        EXPECT_EQ(storedBefore + storedAfter, cycles()) << "no cycle lost";
        DipoleRecord d;
        std::memcpy(&d, next.constData() + next.size() - 1 - 10 * 304, sizeof d);
        const TCycleReadings r = TTestInstrument::DefaultReadings({}, 10, cycles() - 1);
        EXPECT_FLOAT_EQ(d.Vp, static_cast<float>((double(r.PlusV[0][0]) - r.MinusV[0][0]) / 2));
    }
}

// A folder already has the binary file's name at Start: the file cannot be made, but no cycle
// is lost: from the first cycle on they go into survey#1.bin, each with its text row.
TEST_F(ReliabilityTest, AFolderInPlaceOfTheFirstBinaryFileLosesNoCycle)
{
    serve();
    TMainFrm& w = start();
    const QString base = dir.File("taken");
    ASSERT_TRUE(QDir().mkpath(base + ".bin"));
    QString line;
    run({startWith(base), stopAfter(4, line)});
    powerOn();
    EXPECT_TRUE(line.contains("the survey goes on in taken#1.bin")) << line.toStdString();
    EXPECT_TRUE(QFileInfo(base + ".bin").isDir());
    const QByteArray next = fileBytes(base + "#1.bin");
    EXPECT_EQ(next.size(), 1029 + cycles() * 10 * 304 + 1) << "every cycle stored";
    EXPECT_EQ(fileBytes(base + ".txt").count('\n'), 1 + cycles());
    EXPECT_FALSE(QFile::exists(base + "#2.bin"));
    EXPECT_EQ(w.Survey.Files.FileIndex, 1);
}

// The disk fills (a file-size limit): the cycles that do not fit are lost whole, what was stored
// stays as it was, and storing goes on once there is room again.
TEST_F(ReliabilityTest, FullDiskKeepsWhatWasStored)
{
    serve();
    TMainFrm& w = start();
    const QString base = dir.File("full");
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QByteArray storedBefore;
    int fullAt = 0, problemsSeen = 0;
    run({startWith(base),
         {[this] { return cycles() >= 3; }, [&] {
              storedBefore = fileBytes(base + ".bin");
              struct rlimit limit = saved;
              limit.rlim_cur = static_cast<rlim_t>(storedBefore.size() + 100); // not one more cycle
              setrlimit(RLIMIT_FSIZE, &limit);
              fullAt = cycles();
          }},
         {[&] { return cycles() >= fullAt + 4; }, [&] {
              problemsSeen = w.FileProblem.isEmpty() ? 0 : 1;
              const QByteArray now = fileBytes(base + ".bin");
              EXPECT_GE(now.size(), storedBefore.size() - 1);
              EXPECT_LE(now.size(), storedBefore.size() + 100);
              setrlimit(RLIMIT_FSIZE, &saved);
              fullAt = cycles();
          }},
         {[&] { return cycles() >= fullAt + 3; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(problemsSeen, 1);
    EXPECT_TRUE(w.FileProblem.isEmpty());
    const QByteArray after = fileBytes(base + ".bin");
    ASSERT_GT(after.size(), storedBefore.size());
    EXPECT_EQ(after.left(storedBefore.size() - 1), storedBefore.left(storedBefore.size() - 1));
    expectWholeFiles(base, 10);
}

} // namespace
