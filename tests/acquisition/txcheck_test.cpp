// The transmitter voltage check against the test instrument on a pseudo-terminal: the window
// connects, and the check runs from the survey's wait for Start, as the user runs it.
#include "InstrumentFixture.h"
#include "acquisition/Main.h"
#include "instrument/TestInstrument.h"
#include "link/Portvirt.h"
#include "platform/Application.h"
#include "support/InsideWait.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <gtest/gtest.h>

using Acquisition::TMainFrm;
using Instrument::TCycleReadings;
using Instrument::TFault;
using Instrument::TFaultKind;
using Instrument::TInstrumentSetup;
using Instrument::TPoint;
using Instrument::TTestInstrument;
using Instrument::TTransmitter;

namespace {

constexpr int Port = 9; // QUOREL_COM9 points at the instrument

// At 1 mA the first dipole reads +-firstDipole mV, the others +-1 mV: the transmitter rescales
// them to the current it injects.
Instrument::TInstrumentSetup groundSetup(TTransmitter transmitter, const std::atomic<float>& firstDipole)
{
    TInstrumentSetup setup;
    setup.Transmitter = transmitter;
    setup.Readings = [&firstDipole](const Instrument::TSurveyProgram&, int) {
        TCycleReadings r;
        for (int set = 0; set < 2; ++set) {
            r.PlusV[set].assign(10, 1.0f);
            r.MinusV[set].assign(10, -1.0f);
            r.PlusV[set][0] = firstDipole;
            r.MinusV[set][0] = -firstDipole;
            r.PlusIp[set].assign(10, 2.0f);
            r.MinusIp[set].assign(10, -2.0f);
            r.PlusI[set] = 1.0f;
            r.MinusI[set] = -1.0f;
        }
        return r;
    };
    return setup;
}

class TxCheckTest : public InstrumentTest {
protected:
    TxCheckTest() : InstrumentTest(Port) {}

    TMainFrm& start()
    {
        Remember(WriteFile("setup.ini", QString("[Communication]\r\nPort=%1\r\nSpeed=9600\r\n").arg(Port).toLatin1()));
        NewWindow().FormCreate(frm.get());
        // A check that waits for ever on a silent link fails instead of hanging the test.
        guard(30000, "still waiting after 30 s: the link was closed under the wait", [] {
            if (ActivePort)
                ActivePort->Close();
        });
        return *frm;
    }
    // The survey waits for Start: the link is established and the survey's own exchange (the
    // status download that starts it) is over, so the link has been quiet for a while.
    std::function<bool()> waitingForStart()
    {
        auto quietTicks = std::make_shared<int>(0);
        auto lastCount = std::make_shared<size_t>(0);
        return [this, quietTicks, lastCount] {
            const size_t n = instrument->Events().size();
            const bool quiet = established() && ScreenCursor() == TCursor::crDefault && n == *lastCount;
            *lastCount = n;
            *quietTicks = quiet ? *quietTicks + 1 : 0;
            return *quietTicks >= 3;
        };
    }
    // Connects, runs inside() from the survey's wait for Start, then leaves it: with Stop when
    // the link is gone or a stop was asked for inside, else with Power off.
    void inSurvey(std::function<void()> inside)
    {
        entered = false;
        const auto run = WhenInsideWait(waitingForStart(), [this, inside] {
            entered = true;
            inside();
            if (ActivePort->GetState() > 0 && frm->StopRequested != 1)
                frm->ConnectBtnClick(frm->PowerOnOffBtn);
            else
                frm->Action4->trigger();
        });
        dialogs.AnswerMessage(IDOK); // the connect prompt
        frm->PowerAction->trigger();
        EXPECT_TRUE(entered);
    }
    // Presses "Tx Voltage Check", answers its question with vmax and the message boxes that
    // follow with OK; remembers where the instrument's record of the check starts.
    void check(const QString& vmax, int messageBoxes = 0)
    {
        firstEvent = instrument->Events().size();
        dialogs.Calls.clear();
        dialogs.AnswerInput(vmax);
        for (int i = 0; i < messageBoxes; ++i)
            dialogs.AnswerMessage(IDOK);
        frm->TxVoltageCheckBtn->click();
    }
    // The check's exchange as the instrument saw it.
    std::vector<Instrument::TInstrumentEvent> checkEvents() const
    {
        const auto all = instrument->Events();
        return {all.begin() + std::min<size_t>(all.size(), firstEvent), all.end()};
    }
    QList<float> voltagesTried() const
    {
        QList<float> volts;
        for (const auto& e : checkEvents()) {
            Instrument::TSurveyProgram p;
            if (e.What == "program" && Instrument::DecodeParameterBlock(e.Bytes.left(8), p))
                volts << p.TxVoltage;
        }
        return volts;
    }
    int count(const QString& name) const
    {
        int n = 0;
        for (const auto& e : checkEvents())
            n += e.Name() == name ? 1 : 0;
        return n;
    }
    void expectReadyForStart()
    {
        EXPECT_EQ(frm->AcquisitionMode, 0);
        EXPECT_TRUE(frm->TxVoltageCheckBtn->isEnabled());
        EXPECT_TRUE(frm->NewGpsBtn->isEnabled());
        EXPECT_FALSE(frm->TxCheckRunning);
    }

    std::atomic<float> firstDipole{0.5f}; // mV at 1 mA
    size_t firstEvent = 0;
    bool entered = false;
};

TEST_F(TxCheckTest, DoublesUntilTheCurrentSaturatesOrTheFirstDipoleLeavesItsRange)
{
    // The transmitter gives 1 mA per volt up to 210 V: 200 mA at 200 V, 210 mA (5 % more) at
    // 400 V.
    serve(groundSetup({1.0, 210.0}, firstDipole));
    const struct {
        const char* what;
        float v1;            // first dipole at 1 mA
        bool range15, ip;
        bool noFirstCurrent; // the first measurement injects nothing
        QString vmax, time;
        QList<float> tried;
        QString box;
        float volts;
        int command;
        QString timeShown;
        int pulse;
        int stepEnds;        // steps ended by themselves (the check's end adds one more)
    } cases[] = {
        {"saturates above 200 V", 0.5f, true, true, false, "400", "5",
         {6.25f, 12.5f, 25, 50, 100, 200, 400}, "200", 200, 47, "150", 15, 6},
        {"15 V range: 2600 mV at 50 V", 26, true, false, false, "400", "250",
         {6.25f, 12.5f, 25, 50}, "50", 50, 34, "250", 25, 3},
        {"5 V range: 2600 mV at 50 V is within it", 26, false, true, false, "400", "250",
         {6.25f, 12.5f, 25, 50, 100, 200}, "200", 200, 49, "250", 25, 5},
        {"no current at once", 0.5f, false, false, true, "400", "250",
         {6.25f}, "3", 3.125f, 48, "250", 25, 0},
        {"Vmax 10 tries only 10 V", 0.5f, true, false, false, "10", "9000",
         {10}, "10", 10, 34, "8000", 800, 1},
    };
    TMainFrm& w = start();
    inSurvey([&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            firstDipole = c.v1;
            if (c.noFirstCurrent)
                instrument->AddFault({TFaultKind::NoCurrent, TPoint::Readings, 0, 1, instrument->Cycles()});
            w.SwitchEnabled = 1;
            w.Range15Rb->setChecked(c.range15);
            w.Range5Rb->setChecked(!c.range15);
            w.IpDataChk->setChecked(c.ip);
            w.TimeEdt->setText(c.time);
            check(c.vmax);
            EXPECT_EQ(voltagesTried(), c.tried);
            EXPECT_EQ(w.TxVoltageEdt->text(), c.box);
            EXPECT_EQ(w.RemoteTxVoltage, c.volts);
            EXPECT_EQ(w.TimeEdt->text(), c.timeShown);
            EXPECT_EQ(w.RemoteTime, c.pulse);
            EXPECT_EQ(w.SwitchEnabled, 0);
            EXPECT_EQ(instrument->Program().Command, c.command);
            EXPECT_EQ(instrument->Program().PulseTime, c.pulse);
            EXPECT_FALSE(instrument->Program().Switch());
            EXPECT_EQ(count("trigger 85"), c.tried.size()); // no GPS, no sounder
            // A step's end and the check's end each send the stop byte, await the prompt and
            // download the status again.
            EXPECT_EQ(count("command 30"), 1 + c.stepEnds + 1);
            EXPECT_EQ(count("stop"), c.tried.size()); // the check's end stops a step it broke off
            expectReadyForStart();
            EXPECT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join(" | ").toStdString();
        }
    });
}

TEST_F(TxCheckTest, ShowsTheLastCompleteStepsReadings)
{
    firstDipole = 40;
    serve(groundSetup({2.0, 1000.0}, firstDipole)); // 12.5 V: 25 mA, first dipole +-1000 mV
    TMainFrm& w = start();
    inSurvey([&] {
        w.Workspace[42] = 7;
        w.Workspace[53] = 3;
        check("12.5");
        EXPECT_EQ(voltagesTried(), (QList<float>{6.25f, 12.5f}));
        EXPECT_EQ(w.InLblx->text(), "25.00");
        EXPECT_EQ(w.VLblx[0]->text(), "1000.00");
        EXPECT_EQ(w.VLblx[9]->text(), "25.00");
        EXPECT_EQ(w.VLblx[10]->text(), "2.00"); // the second cable set is not measured
        EXPECT_EQ(w.TxVoltageEdt->text(), "13");
        expectReadyForStart();
    });
}

// An instrument of fewer than ten channels sends fewer values: the labels of the channels it
// does not have show nothing of an earlier measurement.
TEST_F(TxCheckTest, ChannelsTheInstrumentLacksShowNoEarlierReading)
{
    firstDipole = 40;
    TInstrumentSetup setup = groundSetup({2.0, 1000.0}, firstDipole);
    setup.Channels = 8;
    serve(setup);
    TMainFrm& w = start();
    inSurvey([&] {
        w.Workspace[8] = 70; // as an earlier survey of a larger cable left them
        w.Workspace[19] = 30;
        check("12.5");
        EXPECT_EQ(w.InLblx->text(), "25.00");
        EXPECT_EQ(w.VLblx[7]->text(), "25.00");
        EXPECT_EQ(w.VLblx[8]->text(), ".00");
        expectReadyForStart();
    });
}

TEST_F(TxCheckTest, RefusesAMaximumThatIsNotAPositiveNumberAndACancelledQuestionDoesNothing)
{
    serve(groundSetup({1.0, 1000.0}, firstDipole));
    TMainFrm& w = start(); // not connected: nothing may reach the link
    w.TxVoltageEdt->setText("77");
    w.TimeEdt->setText("5");
    w.SwitchEnabled = 1;
    for (const QString text : {"abc", "", "0", "-5", "1e39", "inf", "nan", "1e-40", "1,5"}) {
        SCOPED_TRACE(text.toStdString());
        dialogs.Calls.clear();
        dialogs.AnswerInput(text);
        w.TxVoltageCheckBtnClick(nullptr);
        ASSERT_EQ(dialogs.Calls.size(), 2u);
        EXPECT_EQ(dialogs.Calls[0].Caption, "Test max current");
        EXPECT_EQ(dialogs.Calls[0].Text, "Maximun Tx Voltage to check");
        EXPECT_EQ(dialogs.Messages(), QStringList{"Input error"});
    }
    dialogs.Calls.clear();
    dialogs.AnswerInput("400", false);
    w.TxVoltageCheckBtnClick(nullptr);
    EXPECT_TRUE(dialogs.Messages().isEmpty());
    // Nothing changed.
    EXPECT_EQ(w.TxVoltageEdt->text(), "77");
    EXPECT_EQ(w.TimeEdt->text(), "5");
    EXPECT_EQ(w.SwitchEnabled, 1);
    EXPECT_EQ(w.AcquisitionMode, 0);
    EXPECT_TRUE(instrument->Received().isEmpty());
}

TEST_F(TxCheckTest, ALineDroppedDuringTheCheckEndsItWithoutStartAndWithoutAnUntestedVoltage)
{
    const struct {
        int stepsBeforeDrop;
        QString box; // the box as the check leaves it
        float volts;
    } cases[] = {
        {0, "77", 77},    // nothing measured: the box keeps what it held
        {2, "13", 12.5f}, // the last voltage measured, not the one it was trying
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stepsBeforeDrop);
        DropWindow();
        dialogs.Calls.clear();
        serve(groundSetup({1.0, 1000.0}, firstDipole));
        instrument->AddFault({TFaultKind::DropLine, TPoint::Readings, c.stepsBeforeDrop});
        TMainFrm& w = start();
        inSurvey([&] {
            w.TxVoltageEdt->setText("77");
            w.RemoteTxVoltage = 77;
            // The line is gone: the link is taken down under the check's wait.
            const auto close = WhenInsideWait([this] { return instrument->Count("hangup") > 0; },
                                              [] { ActivePort->Close(); });
            check("400", 1); // the link's error is shown
            EXPECT_EQ(w.TxVoltageEdt->text(), c.box);
            EXPECT_EQ(w.RemoteTxVoltage, c.volts);
            // The survey waiting for Start keeps waiting; Start and the check stay off until
            // the link is connected again.
            EXPECT_EQ(w.AcquisitionMode, 0);
            EXPECT_FALSE(w.TxVoltageCheckBtn->isEnabled());
            EXPECT_FALSE(w.NewGpsBtn->isEnabled());
            EXPECT_FALSE(w.TxCheckRunning);
            const QStringList messages = dialogs.Messages();
            ASSERT_EQ(messages.size(), 1) << messages.join(" | ").toStdString();
            EXPECT_EQ(messages[0], "Nothing could be sent to the instrument.");
        });
    }
    // The survey did not take the check for Start: it ended on Stop without measuring.
    EXPECT_EQ(frm->AcquisitionMode, 0);
}

// The adapter is pulled during the check and the system reports the device change while the
// check waits on the line, which on a serial line ends only with the link: the link is closed,
// the check ends, and its message names the device that went away, as the line does.
TEST_F(TxCheckTest, AnAdapterPulledDuringTheCheckIsNamedInItsMessage)
{
    serve(groundSetup({1.0, 1000.0}, firstDipole));
    instrument->AddFault({TFaultKind::DropLine, TPoint::Readings, 1});
    TMainFrm& w = start();
    const QString lost = "The link to the instrument was lost: " + instrument->DevicePath() + " went away";
    bool noticedInTheCheck = false;
    inSurvey([&] {
        const auto notice = WhenInsideWait([&] { return instrument->Count("hangup") > 0; }, [&] {
            noticedInTheCheck = w.TxCheckRunning;
            w.MainWindowProc(Acquisition::WM_DEVICECHANGE);
        });
        check("400", 1);
        ASSERT_TRUE(noticedInTheCheck);
        const QStringList messages = dialogs.Messages();
        ASSERT_EQ(messages.size(), 1) << messages.join(" | ").toStdString();
        EXPECT_TRUE(messages[0].startsWith(lost)) << messages[0].toStdString();
        EXPECT_FALSE(w.TxCheckRunning);
        EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_EQ(w.MainGB->text(), lost) << w.MainGB->text().toStdString();
        EXPECT_FALSE(w.PowerOnOffBtn->isChecked());
    });
}

// F3 works while the Start button is off: a Start given during the check must not change
// what the check asks of the instrument (GPS and sounder sentences it would not read).
TEST_F(TxCheckTest, StartKeyDuringTheCheckLeavesItsTriggerAlone)
{
    serve(groundSetup({1.0, 210.0}, firstDipole));
    TMainFrm& w = start();
    inSurvey([&] {
        w.GpsConnectedCB->setChecked(true);
        w.SounderCB->setChecked(true);
        const auto f3 = WhenInsideWait([this] { return instrument->Count("trigger 85") >= 1; },
                                       [&] { w.Action2->trigger(); });
        check("400");
        EXPECT_EQ(voltagesTried(), (QList<float>{6.25f, 12.5f, 25, 50, 100, 200, 400}));
        EXPECT_EQ(count("trigger 85"), 7);
        int triggers = 0;
        for (const auto& e : checkEvents())
            triggers += e.What == "trigger" ? 1 : 0;
        EXPECT_EQ(triggers, 7);
        EXPECT_EQ(w.TxVoltageEdt->text(), "200");
        EXPECT_EQ(w.AcquisitionMode, 0);
    });
}

TEST_F(TxCheckTest, CannotBeStartedAgainWhileItRunsAndAStopDuringItIsKept)
{
    serve(groundSetup({1.0, 210.0}, firstDipole));
    TMainFrm& w = start();
    inSurvey([&] {
        int nested = 0;
        // From a wait of the check: the check again (as from a reconnection that enabled its
        // button), then Stop.
        const auto again = WhenInsideWait([this] { return instrument->Count("trigger 85") >= 2; }, [&] {
            ++nested;
            dialogs.AnswerInput("100");
            w.TxVoltageCheckBtnClick(nullptr);
            w.Action4->trigger(); // F4
        });
        check("400");
        EXPECT_EQ(nested, 1);
        EXPECT_EQ(voltagesTried(), (QList<float>{6.25f, 12.5f, 25, 50, 100, 200, 400}));
        ASSERT_EQ(dialogs.Script.size(), 1u) << "the second check asked nothing";
        dialogs.Script.clear();
        EXPECT_EQ(w.TxVoltageEdt->text(), "200");
        EXPECT_EQ(w.AcquisitionMode, 0);
        EXPECT_EQ(w.StopRequested, 1);
        EXPECT_FALSE(w.TxVoltageCheckBtn->isEnabled());
        EXPECT_FALSE(w.NewGpsBtn->isEnabled());
    });
    EXPECT_EQ(frm->AcquisitionMode, 0) << "the survey ended on the Stop without measuring";
    EXPECT_FALSE(frm->NewSurveyBtn->isHidden());
}

} // namespace
