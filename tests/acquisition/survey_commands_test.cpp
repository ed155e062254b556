// What the user does around and during a survey: Start and its file dialog, the acceptance
// of the window's values, Stop and "New survey", marks, pause, new reference, simulation.
#include "support/Descriptors.h"
#include "SurveyFixture.h"
#include "acquisition/AcquisitionFiles.h"
#include "acquisition/Main.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <memory>
#include <unistd.h>

using Acquisition::TMainFrm;
using Instrument::TFault;
using Instrument::TFaultKind;
using Instrument::TPoint;

namespace {

// Marks of channel 1's records, one per stored cycle.
std::vector<float> marks(const QByteArray& bin, int channels)
{
    std::vector<float> m;
    for (qsizetype at = 1029; at + 304 <= bin.size(); at += 304 * channels) {
        float v;
        std::memcpy(&v, bin.constData() + at + 272, 4);
        m.push_back(v);
    }
    return m;
}

TEST(PulseTime, EditTextToInstrumentUnits)
{
    const struct {
        const char* text;
        uint16_t current, units;
    } rows[] = {
        {"255", 0, 25}, {"90", 0, 15},     {"9000", 0, 800}, {"-250", 0, 800},
        {"655360", 0, 15}, {"abc", 30, 30}, {"", 7, 15},     {" 300 ", 0, 30},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Acquisition::PulseTimeUnits(r.text, r.current), r.units) << r.text;
    EXPECT_EQ(Acquisition::WithoutExtension("/a.b/survey.txt"), "/a.b/survey");
    EXPECT_EQ(Acquisition::WithoutExtension("/a.b/survey"), "/a.b/survey");
    EXPECT_EQ(Acquisition::WithoutExtension("/data/run.1.bin"), "/data/run.1");
}

TEST_F(SurveyTest, WindowParsersReadOnlyTheBytesReceived)
{
    TMainFrm& w = start();
    char gga[] = "$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*47";
    float lon = 1, lat = 1, lonRad = 1, latRad = 1, alt = 1;
    w.ParseGpsPosition(gga, static_cast<uint32_t>(std::strlen(gga)), lon, lat, lonRad, latRad, alt);
    EXPECT_FLOAT_EQ(lat, -4807.038f);
    EXPECT_NEAR(latRad, -0.8398054f, 1e-6);
    EXPECT_FLOAT_EQ(lon, -1131.0f);
    EXPECT_FLOAT_EQ(alt, 545.4f);
    // Cut before the altitude: nothing past the length is read, although the bytes are there.
    w.ParseGpsPosition(gga, 40, lon, lat, lonRad, latRad, alt);
    EXPECT_FLOAT_EQ(alt, 0.0f);
    char dbt[] = "$SDDBT,41.0,f,12.50,M,6.8,F*00";
    float depth = -1;
    w.ParseSounderDepth(dbt, static_cast<uint32_t>(std::strlen(dbt)), depth);
    EXPECT_FLOAT_EQ(depth, 12.5f);
    w.ParseSounderDepth(dbt, 16, depth); // "12" of "12.50"
    EXPECT_FLOAT_EQ(depth, 12.0f);
}

TEST_F(SurveyTest, StopThenNewSurveyStartsAgainFromTheStatus)
{
    serve();
    TMainFrm& w = start();
    const QString first = dir.File("first"), second = dir.File("second");
    run({startWith(first), stopAfter(3)});
    powerOn();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
    EXPECT_TRUE(w.NewSurveyBtn->isEnabled());
    EXPECT_FALSE(w.StopBtn->isEnabled());
    EXPECT_FALSE(w.ShowRho->isEnabled());
    EXPECT_EQ(ActivePort->GetState(), Port);
    const QByteArray firstBin = fileBytes(first + ".bin"), firstText = fileBytes(first + ".txt");
    const int firstCycles = instrument->Cycles();
    ASSERT_GT(firstBin.size(), 1029);

    // "New survey": the status again, Start proposes the file last used.
    const int statusBefore = instrument->Count("command 30");
    run({startWith(second), stopAfter(firstCycles + 3)});
    w.NewSurveyBtn->click();
    EXPECT_EQ(instrument->Count("command 30"), statusBefore + 1);
    EXPECT_EQ(instrument->Count("stop"), 2);
    EXPECT_EQ(fileBytes(first + ".bin"), firstBin);
    EXPECT_EQ(fileBytes(first + ".txt"), firstText);
    const QByteArray secondBin = fileBytes(second + ".bin");
    EXPECT_EQ((secondBin.size() - 1030) % (304 * 10), 0);
    EXPECT_GT(secondBin.size(), 1029);
    EXPECT_FALSE(QFileInfo::exists(second + "#1.bin"));
    const auto saves = std::count_if(dialogs.Calls.begin(), dialogs.Calls.end(), [](const auto& c) { return c.Kind == "SaveFile"; });
    ASSERT_EQ(saves, 2);
    EXPECT_EQ(dialogs.Calls.back().Request.FileName, "first"); // the setup's "AcquisitionFile"
    EXPECT_EQ(dialogs.Calls.back().Request.Filter, "Acquisition data file (*.txt,*.bin)|*.txt;*.bin");
    EXPECT_EQ(w.AcquisitionFileName, second + ".txt");

    // Power then takes the link down.
    w.PowerAction->trigger();
    EXPECT_EQ(ActivePort->GetState(), 0);
    EXPECT_FALSE(w.ConnectGb->isHidden());
}

// An instrument whose code offers the input range (and says nothing of IP) keeps "IP Data"
// usable for every survey of the connection: the end of a survey disables the parameters, and
// the next survey's preparation must not take that for the instrument's word.
TEST_F(SurveyTest, IpDataStaysUsableForEverySurveyOfTheConnection)
{
    Instrument::TInstrumentSetup setup;
    setup.Capability = 0x10000003;
    serve(setup);
    TMainFrm& w = start();
    std::vector<bool> usable;
    // Start, the user first clicking "IP Data" or not, noting whether the box could be used.
    const auto startWithIp = [&](const QString& file, bool clickIp) {
        return Step{[this] { return waitingForStart(); }, [&, this, file, clickIp] {
                        usable.push_back(w.IpDataChk->isEnabled());
                        if (clickIp)
                            w.IpDataChk->click();
                        dialogs.AnswerSave(file);
                        w.Action2->trigger();
                    }};
    };
    ASSERT_FALSE(w.IpDataChk->isChecked());
    run({startWithIp(dir.File("first"), false), stopAfter(2)});
    powerOn();
    ASSERT_TRUE(instrument->WaitForEvent("stop", 2000));
    EXPECT_FALSE(w.IpDataChk->isEnabled()); // with the other parameters, until the next survey
    run({startWithIp(dir.File("second"), true), stopAfter(instrument->Cycles() + 2)});
    w.NewSurveyBtn->click();
    EXPECT_EQ(usable, std::vector<bool>({true, true}));
    EXPECT_EQ(instrument->Count("program 34"), 1); // 15 V without IP
    EXPECT_EQ(instrument->Count("program 47"), 1); // 15 V with IP
    EXPECT_TRUE(instrument->Program().Ip());
    w.PowerAction->trigger();
}

// Stop given while the instrument is being programmed (here as soon as it has taken the
// measurement command) is not forgotten: the survey stops at the head of its first cycle,
// before any trigger.
TEST_F(SurveyTest, StopDuringProgrammingStopsBeforeTheFirstCycle)
{
    serve();
    TMainFrm& w = start();
    run({startWith(dir.File("programming")),
         {[this] { return instrument->Count("command 34") + instrument->Count("command 47") > 0; },
          [&] { w.Action4->trigger(); }}});
    powerOn();
    EXPECT_TRUE(instrument->WaitForEvent("stop", 2000)) << instrument->EventNames().join(", ").toStdString();
    EXPECT_EQ(instrument->Cycles(), 0);
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
    EXPECT_EQ(ActivePort->GetState(), Port);
}

TEST_F(SurveyTest, CancelledFileDialogEndsTheSurveyWithoutProgramming)
{
    serve();
    TMainFrm& w = start();
    run({{[this] { return waitingForStart(); }, [this] {
              dialogs.AnswerSave(QString());
              frm->Action2->trigger();
          }}});
    powerOn();
    EXPECT_EQ(w.StopRequested, 1);
    EXPECT_EQ(instrument->Count("program 34") + instrument->Count("program 47"), 0);
    EXPECT_EQ(instrument->Cycles(), 0);
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
    EXPECT_EQ(ActivePort->GetState(), Port);
}

TEST_F(SurveyTest, OverwriteQuestionNoAsksForAnotherFile)
{
    serve();
    TMainFrm& w = start();
    const QString taken = dir.File("taken"), other = dir.File("other");
    WriteFile("taken.txt", "keep me");
    run({{[this] { return waitingForStart(); }, [this, taken, other] {
              dialogs.AnswerSave(taken);
              dialogs.AnswerMessage(IDNO);  // do not overwrite
              dialogs.AnswerSave(other);    // the dialog again
              frm->Action2->trigger();
          }},
         stopAfter(2)});
    powerOn();
    EXPECT_EQ(fileBytes(taken + ".txt"), "keep me");
    EXPECT_TRUE(fileBytes(other + ".txt").startsWith("Distance;Depth;"));
    const QStringList shown = dialogs.Messages();
    ASSERT_EQ(shown.size(), 2); // the connect prompt, then the question
    EXPECT_EQ(shown[1], "Overwrite file : " + taken + ".txt");
    EXPECT_EQ(dialogs.Calls[2].Caption, "File exist");
    EXPECT_EQ(dialogs.Calls[2].Flags, unsigned(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(w.AcquisitionFileName, other + ".txt");
}

TEST_F(SurveyTest, AcceptanceRulesAndTheirMessages)
{
    serve();
    TMainFrm& w = start();
    w.TimeEdt->setText("255");
    w.ChannelEdt->setText("25");
    w.TxVoltageEdt->setText("12,5"); // a comma under a point locale
    int startsGiven = 0;
    run({{[this] { return waitingForStart(); }, [&] {
              ++startsGiven;
              dialogs.AnswerSave(dir.File("acc"));
              frm->Action2->trigger();
          }},
         // Refused: the survey waits for Start again; the voltage is corrected.
         {[&] { return frm->AcquisitionMode == 0 && dialogs.Messages().size() >= 2; }, [&] {
              EXPECT_EQ(dialogs.Messages().last(), "Verify .ini file with Quorelini, Comma not available\r\n Enter x.xx");
              EXPECT_FLOAT_EQ(w.RemoteTxVoltage, 24.0f); // read again from the setup file
              w.TxVoltageEdt->setText("12.5");
              ++startsGiven;
              dialogs.AnswerSave(dir.File("acc"));
              frm->Action2->trigger();
          }},
         stopAfter(2)});
    powerOn();
    EXPECT_EQ(startsGiven, 2);
    EXPECT_EQ(w.RemoteTime, 25);
    EXPECT_EQ(w.TimeEdt->text(), "250");
    EXPECT_EQ(w.ChannelCount, 10);
    EXPECT_EQ(w.ChannelEdt->text(), "10");
    EXPECT_TRUE(fileBytes(setupPath).contains("Channel=25\r\n")); // as typed
    EXPECT_TRUE(fileBytes(setupPath).contains("RemoteTxVoltage=12.5\r\n"));
    EXPECT_EQ(instrument->Program().PulseTime, 25);
    EXPECT_FLOAT_EQ(instrument->Program().TxVoltage, 12.5f);
}

// A base name whose later roll-over files could not be made is refused at Start, saying why,
// before any file is written; Start with a shorter name then runs the survey.
TEST_F(SurveyTest, ANameTooLongForTheRollOverFilesIsRefusedAtStart)
{
    serve();
    TMainFrm& w = start();
    const QString tooLong = dir.File(QString(250, 'a'));
    const QString shorter = dir.File("short");
    int startsGiven = 0;
    run({{[this] { return waitingForStart(); }, [&] {
              ++startsGiven;
              dialogs.AnswerSave(tooLong + ".txt");
              frm->Action2->trigger();
          }},
         {[&] { return frm->AcquisitionMode == 0 && dialogs.Messages().size() >= 2; }, [&] {
              EXPECT_TRUE(dialogs.Messages().last().contains("too long")) << dialogs.Messages().last().toStdString();
              EXPECT_TRUE(dialogs.Messages().last().contains("#99.bin")) << dialogs.Messages().last().toStdString();
              EXPECT_EQ(QDir(dir.Path()).entryList({"aaaa*"}), QStringList()) << "nothing written";
              EXPECT_TRUE(instrument->EventNames().filter("program").isEmpty());
              ++startsGiven;
              dialogs.AnswerSave(shorter);
              frm->Action2->trigger();
          }},
         stopAfter(2)});
    powerOn();
    EXPECT_EQ(startsGiven, 2);
    EXPECT_EQ(w.AcquisitionFileName, shorter + ".txt");
    EXPECT_GT(fileBytes(shorter + ".bin").size(), 1029);
    EXPECT_EQ(QDir(dir.Path()).entryList({"aaaa*"}), QStringList());
}

// Numbers that no 32-bit float holds are refused at Start like a text that is no number, also
// one just beyond the largest float, which a cast would quietly round to it.
TEST_F(SurveyTest, ValuesBeyondAFloatAreRefusedAtStart)
{
    serve();
    TMainFrm& w = start();
    const struct {
        QLineEdit* edit;
        QString text;
    } refused[] = {
        {w.TxVoltageEdt, "1e39"}, {w.CaEdt, "-1e39"}, {w.YPEdt[10], "3.4028235e38"}, {w.TxVoltageEdt, "-3.4028235e38"}};
    const QString conversionFailed = "Verify .ini file with Quorelini, Comma not available\r\n Enter x.xx";
    std::vector<Step> steps;
    for (size_t k = 0; k <= std::size(refused); ++k)
        steps.push_back({[this, k] { return waitingForStart() && dialogs.Messages().size() == qsizetype(1 + k); }, [&, k] {
                             if (k > 0) {
                                 EXPECT_EQ(dialogs.Messages().last(), conversionFailed);
                             }
                             w.TxVoltageEdt->setText("12.5");
                             w.CaEdt->setText("0");
                             w.YPEdt[10]->setText("0.5");
                             if (k < std::size(refused))
                                 refused[k].edit->setText(refused[k].text);
                             dialogs.AnswerSave(dir.File("range"));
                             frm->Action2->trigger();
                         }});
    steps.push_back(stopAfter(1));
    run(steps);
    powerOn();
    EXPECT_EQ(dialogs.Messages().count(conversionFailed), qsizetype(std::size(refused)));
    EXPECT_FLOAT_EQ(instrument->Program().TxVoltage, 12.5f);
    EXPECT_EQ(w.Workspace[124], 0.0f);
    EXPECT_EQ(w.Workspace[156], 0.5f);
}

// A failure in the outer acceptance region is said once; the survey then waits for Start
// instead of asking again for ever.
TEST_F(SurveyTest, OuterAcceptanceFailureIsShownOnceAndWaitsForStart)
{
    serve();
    TMainFrm& w = start();
    QElapsedTimer clock;
    run({{[this] { return waitingForStart(); }, [&] {
              w.SetupIni.reset(); // the write-back fails, and so does reading the voltage again
              dialogs.AnswerSave(dir.File("outer"));
              frm->Action2->trigger();
              clock.start();
          }},
         {[&] { return clock.isValid() && clock.elapsed() > 300; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    const QStringList shown = dialogs.Messages();
    EXPECT_EQ(shown.count("Input error"), 1) << shown.join(" | ").toStdString();
    EXPECT_EQ(w.AcquisitionMode, 0);
    EXPECT_EQ(instrument->Cycles(), 0);
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
}

// F3 works whatever the state of its button, but once the survey cycles it does nothing: no
// file dialog sends the later rows into another file and no cancelled one ends the survey.
// While the survey waits for Start the key starts it.
TEST_F(SurveyTest, StartKeyDuringTheCyclesChangesNoFileAndStopsNothing)
{
    for (const bool another : {true, false}) {
        SCOPED_TRACE(another ? "another file would be chosen" : "the dialog would be cancelled");
        DropWindow();
        dialogs.Calls.clear();
        dialogs.Script.clear();
        dialogs.Unexpected.clear();
        serve();
        TMainFrm& w = start();
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        const QString base = dir.File(another ? "first" : "only");
        const QString other = dir.File(another ? "other" : "never");
        int pressedAt = 0;
        run({{[this] { return waitingForStart(); }, [&] {
                  dialogs.AnswerSave(base);
                  QTest::keyClick(&w, Qt::Key_F3);
              }},
             {[this] { return cycles() >= 2; }, [&] {
                  if (another)
                      dialogs.AnswerSave(other);
                  QTest::keyClick(&w, Qt::Key_F3);
                  pressedAt = cycles();
              }},
             {[&] { return pressedAt > 0 && cycles() >= pressedAt + 3; }, [&] { w.Action4->trigger(); }}});
        powerOn();
        EXPECT_GE(cycles(), pressedAt + 3) << "the survey went on until Stop";
        EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join(" | ").toStdString();
        const auto saves = std::count_if(dialogs.Calls.begin(), dialogs.Calls.end(),
                                         [](const auto& c) { return c.Kind == "SaveFile"; });
        EXPECT_EQ(saves, 1);
        EXPECT_EQ(w.AcquisitionFileName, base + ".txt");
        EXPECT_FALSE(QFile::exists(other + ".txt"));
        EXPECT_FALSE(QFile::exists(other + ".bin"));
        // Every stored cycle is in both files of the survey, the rows under their header.
        const QByteArray bin = fileBytes(base + ".bin");
        const QList<QByteArray> lines = fileBytes(base + ".txt").split('\n');
        ASSERT_GT(bin.size(), 1029);
        const qsizetype stored = (bin.size() - 1030) / (304 * 10);
        EXPECT_GE(stored, pressedAt + 2);
        EXPECT_EQ(lines.size(), 1 + stored + 1);
        EXPECT_EQ(lines.value(0), QByteArray(Acquisition::TextHeaderLine) + "\r");
    }
}

TEST_F(SurveyTest, MarksGoIntoTheFirstRecordOfTheNextStoredCycle)
{
    serve();
    TMainFrm& w = start();
    const QString file = dir.File("marks");
    int pressedAt = 0, secondAt = 0;
    run({startWith(file),
         {[this] { return cycles() >= 2; }, [&] {
              w.Mark5->trigger();
              w.Mark9->trigger();
              pressedAt = cycles();
          }},
         {[&] { return cycles() >= pressedAt + 3; }, [&] {
              EXPECT_TRUE(w.MarkImg->isHidden());
              w.Mark9->trigger();
              secondAt = cycles();
          }},
         {[&] { return secondAt > 0 && cycles() >= secondAt + 3; }, [&] { w.Action4->trigger(); }}});
    powerOn();
    const std::vector<float> m = marks(fileBytes(file + ".bin"), 10);
    ASSERT_GE(m.size(), 8u);
    const auto at500 = std::find(m.begin(), m.end(), 500.0f);
    ASSERT_NE(at500, m.end());
    EXPECT_EQ(std::count(m.begin(), m.end(), 500.0f), 1);
    EXPECT_TRUE(std::all_of(m.begin(), at500, [](float v) { return v == 0; }));
    const auto at1002 = std::find(m.begin(), m.end(), 1002.0f);
    ASSERT_NE(at1002, m.end());
    EXPECT_TRUE(std::all_of(at500 + 1, at1002, [](float v) { return v == 1001.0f; }));
    EXPECT_GT(at1002 - at500, 1);
    EXPECT_TRUE(std::all_of(at1002, m.end(), [](float v) { return v == 1002.0f; }));
    // Only channel 1 carries it.
    const QByteArray bin = fileBytes(file + ".bin");
    float second = -1;
    std::memcpy(&second, bin.constData() + 1029 + 304 + 272, 4);
    EXPECT_EQ(second, 0.0f);
}

// The close of the cycle that takes F5 reports an error after the cycle was written: the mark
// is stored once, with that cycle, which gets its text row, and nothing says "Cannot write".
TEST_F(SurveyTest, AFailedCloseAfterACompleteWriteStoresTheMarkOnceAndTheRow)
{
    serve();
    TMainFrm& w = start();
    const QString file = dir.File("deferred");
    int pressedAt = 0;
    QString line;
    bool problem = false;
    run({startWith(file),
         {[this] { return cycles() >= 2; }, [&] {
              DeferredCloseError::Failures = 1;
              DeferredCloseError::BinaryOnly = true;
              Acquisition::SetFileCloser(&DeferredCloseError::Close);
              w.Mark5->trigger();
              pressedAt = cycles();
          }},
         {[&] {
              problem = problem || w.MainGB->text().contains("Cannot write");
              return pressedAt > 0 && cycles() >= pressedAt + 4;
          },
          [&] {
              line = w.MainGB->text();
              w.Action4->trigger();
          }}});
    powerOn();
    Acquisition::SetFileCloser(nullptr);
    EXPECT_EQ(DeferredCloseError::Failures, 0) << "the close failed";
    EXPECT_FALSE(problem);
    EXPECT_EQ(line, "Connected to VARNOK 10 at 38400 Bds");
    const std::vector<float> m = marks(fileBytes(file + ".bin"), 10);
    EXPECT_EQ(std::count(m.begin(), m.end(), 500.0f), 1);
    EXPECT_EQ(fileBytes(file + ".txt").count('\n'), 1 + qsizetype(m.size())) << "a row for every stored cycle";
}

// Each mark key, pressed once the previous mark was stored, goes into the first record of the
// next stored cycle: the one-shot codes once each, F9's running number from then on.
TEST_F(SurveyTest, EachMarkKeyGoesIntoTheNextStoredCycle)
{
    serve();
    TMainFrm& w = start();
    const QString file = dir.File("every mark");
    const struct {
        QAction* key;
        float mark;
    } keys[] = {{w.Mark5, 500}, {w.Mark6, 600}, {w.Mark7, 700}, {w.Mark8, 800}, {w.Mark9, 1001}};
    const auto stored = [&] { return static_cast<int>(marks(fileBytes(file + ".bin"), 10).size()); };
    std::vector<int> pressedAt; // stored cycles when each key was pressed
    std::vector<Step> steps = {startWith(file)};
    for (const auto& k : keys)
        steps.push_back({[&] { return pressedAt.empty() ? cycles() >= 2 : w.MarkImg->isHidden(); }, [&, key = k.key] {
                             pressedAt.push_back(stored());
                             key->trigger();
                         }});
    steps.push_back({[&] { return w.MarkImg->isHidden() && stored() >= pressedAt.back() + 2; }, [&] { w.Action4->trigger(); }});
    run(steps);
    powerOn();

    ASSERT_EQ(pressedAt.size(), std::size(keys));
    std::vector<float> expected(marks(fileBytes(file + ".bin"), 10).size(), 0.0f);
    ASSERT_GE(expected.size(), static_cast<size_t>(pressedAt.back() + 2));
    for (size_t k = 0; k < std::size(keys); ++k)
        expected[static_cast<size_t>(pressedAt[k])] = keys[k].mark;
    std::fill(expected.begin() + pressedAt.back(), expected.end(), 1001.0f);
    EXPECT_EQ(marks(fileBytes(file + ".bin"), 10), expected);
}

// The switch unit's two channel tables, from the "Relaybox" section or their defaults, sent
// as the low 16 bits of each value.
TEST_F(SurveyTest, SwitchUnitTablesFollowTheSetupFile)
{
    const struct {
        const char* name;
        int channels, enabled;
        const char* keys;
        std::vector<std::pair<int, int16_t>> first, second; // entries (A, B, P1..P11) set by the keys
    } cases[] = {
        {"defaults, more than 10 channels", 12, 0, "", {}, {}},
        {"keys set, switch unit enabled", 5, 1, "1CA=3\r\n1CB=4\r\n1P1=12\r\n1P11=-2\r\n2CA=65541\r\n2P1=31\r\n2P11=40\r\n",
         {{0, 3}, {1, 4}, {2, 12}, {12, -2}}, {{0, 5}, {2, 31}, {12, 40}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DropWindow();
        serve();
        SurveySetup s;
        s.Channels = c.channels;
        s.RelayboxEnabled = c.enabled;
        s.Relaybox = c.keys;
        start(s);
        run({startWith(dir.File(QString("tables %1").arg(c.channels))), stopAfter(1)});
        powerOn();

        std::array<int16_t, 13> first{}, second{};
        for (int16_t e = 2; e < 13; ++e) {
            first[static_cast<size_t>(e)] = static_cast<int16_t>(e - 1);   // P1..P11: 1..11
            second[static_cast<size_t>(e)] = static_cast<int16_t>(e + 9); // P1..P11: 11..21
        }
        for (const auto& [at, v] : c.first)
            first[static_cast<size_t>(at)] = v;
        for (const auto& [at, v] : c.second)
            second[static_cast<size_t>(at)] = v;
        const auto program = instrument->Program();
        EXPECT_EQ(program.SwitchWord, 29);
        EXPECT_EQ(program.Table1, first);
        EXPECT_EQ(program.Table2, second);
        EXPECT_EQ(instrument->Count("program incomplete " + QString::number(program.Command)), 0);
    }
}

// An instrument whose name carries the model tag is programmed with 0 V; the setup file keeps
// the voltage typed in the window.
TEST_F(SurveyTest, ModelTagProgramsNoVoltageAndKeepsTheTypedOne)
{
    Instrument::TInstrumentSetup setup;
    setup.NameLine = "Halvo 10";
    serve(setup);
    TMainFrm& w = start();
    run({{[this] { return waitingForStart(); }, [&] {
              w.TxVoltageEdt->setText("17.5");
              dialogs.AnswerSave(dir.File("tagged"));
              w.Action2->trigger();
          }},
         stopAfter(1)});
    powerOn();
    EXPECT_EQ(w.ModelTagFound, 1);
    EXPECT_TRUE(w.TxVoltageEdt->isHidden());
    EXPECT_EQ(instrument->Program().TxVoltage, 0.0f);
    EXPECT_TRUE(fileBytes(setupPath).contains("RemoteTxVoltage=17.5\r\n"));
}

// Start given while the survey still downloads the instrument's status is kept: the survey
// starts without a second Start. The download is held until Start has been given.
TEST_F(SurveyTest, StartGivenDuringTheStatusDownloadIsKept)
{
    serve();
    instrument->AddFault({TFaultKind::Silence, TPoint::Frame, 1, 1}); // the survey's own download
    TMainFrm& w = start();
    run({{[this] { return instrument->Count("frame 1") >= 2; }, [&] {
              dialogs.AnswerSave(dir.File("early"));
              w.Action2->trigger();
              instrument->SendNow(Instrument::EncodeFrame(1, Instrument::TTestInstrument::DefaultStatus(10)));
          }},
         stopAfter(2)});
    powerOn();
    EXPECT_GE(instrument->Cycles(), 2);
    EXPECT_EQ(w.AcquisitionFileName, dir.File("early") + ".txt");
    EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join(" | ").toStdString();
}

TEST_F(SurveyTest, PauseHoldsTheCyclesAndStopWhilePausedRunsOneMore)
{
    serve();
    TMainFrm& w = start();
    int pausedAt = 0;
    QElapsedTimer clock;
    run({startWith(dir.File("pause")),
         {[this] { return cycles() >= 2; }, [&] {
              w.PauseBtn->setChecked(true);
              clock.start();
          }},
         {[&] { return clock.elapsed() > 150; }, [&] {
              pausedAt = cycles();
              clock.restart();
          }},
         {[&] { return clock.elapsed() > 300; }, [&] {
              EXPECT_EQ(cycles(), pausedAt) << "no trigger while paused";
              EXPECT_EQ(w.Speedtxt->text(), "0");
              w.Action4->trigger(); // Stop while paused
          }}});
    powerOn();
    EXPECT_EQ(instrument->Cycles(), pausedAt + 1);
    EXPECT_TRUE(instrument->WaitForEvent("stop", 1000));
}

// "DelayTime" 2 holds each cycle 1000 ms after it; a Stop given meanwhile is seen at
// the next cycle head, so no further trigger follows it.
TEST_F(SurveyTest, OffTimeHoldsEachCycleAndStopActsAfterIt)
{
    serve();
    SurveySetup s;
    s.DelayTime = 2;
    TMainFrm& w = start(s);
    QElapsedTimer clock;
    int stoppedAt = 0;
    run({startWith(dir.File("off")),
         {[this] { return cycles() >= 1; }, [&] { clock.start(); }},
         {[this] { return cycles() >= 2; }, [&] {
              stoppedAt = cycles();
              w.Action4->trigger();
          }}});
    powerOn();
    // The first trigger may be noticed a poll step into the off time, which keeps the window
    // responsive; without an off time the next trigger follows in a few milliseconds.
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_EQ(instrument->Cycles(), stoppedAt);
}

// An off time of minutes must not freeze the window: a Stop given during it is handled at once
// and the survey ends without waiting the off time out.
TEST_F(SurveyTest, StopDuringALongOffTimeEndsTheSurveyAtOnce)
{
    serve();
    SurveySetup s;
    s.DelayTime = 600;
    TMainFrm& w = start(s);
    QElapsedTimer clock;
    run({startWith(dir.File("long")),
         {[this] { return cycles() >= 1; }, [&] {
              clock.start();
              QTimer::singleShot(300, &w, [&w] { w.Action4->trigger(); });
          }}});
    powerOn();
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(instrument->Cycles(), 1);
    EXPECT_TRUE(w.NewSurveyBtn->isEnabled());
}

TEST_F(SurveyTest, NewReferenceAndSimulationOnlySetTheirFields)
{
    serve();
    TMainFrm& w = start();
    w.BitBtn5->click();
    EXPECT_EQ(w.NewRefRequested, 1);
    const int before = w.SimulationMode;
    w.SimulationBtn->click();
    EXPECT_NE(w.SimulationMode, before);
    EXPECT_EQ(w.SimulationLbl->isHidden(), w.SimulationMode == 0);
    w.SimulationBtn->click();
    EXPECT_EQ(w.SimulationMode, 0);
    EXPECT_TRUE(w.SimulationLbl->isHidden());
    // In a survey: simulation counts fixes as the trip; a new reference restarts it.
    w.SimulationBtn->click();
    int refAt = 0;
    run({startWith(dir.File("sim")),
         {[this] { return cycles() >= 4; }, [&] {
              w.BitBtn5->click();
              refAt = w.Survey.CycleIndex;
          }},
         {[&] { return w.Survey.CycleIndex >= refAt + 3; }, [&] {
              EXPECT_EQ(w.NewRefRequested, 0);
              // The closed trip went into the offset (the fix count up to the new reference).
              EXPECT_GE(w.Survey.Track.TripOffset, float(refAt));
              EXPECT_LT(w.Survey.Track.Trip, float(w.Survey.CycleIndex - refAt + 1));
              w.Action4->trigger();
          }}});
    powerOn();
    EXPECT_GT(refAt, 0);
}

} // namespace
