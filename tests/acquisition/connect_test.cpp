// Power On against the test instrument on a pseudo-terminal, with the window offscreen and
// every question answered by script.
#include "InstrumentFixture.h"
#include "acquisition/Main.h"
#include "instrument/TestInstrument.h"
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "platform/Application.h"
#include "platform/CommandLine.h"
#include "platform/Ftd2xxFake.h"
#include "platform/Registry.h"
#include "support/InsideWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <cstring>
#include <gtest/gtest.h>

using Acquisition::TMainFrm;
using Instrument::TInstrumentSetup;
using Instrument::TTestInstrument;

namespace {

constexpr int Port = 7; // QUOREL_COM7 points at the instrument

class ConnectTest : public InstrumentTest {
protected:
    ConnectTest() : InstrumentTest(Port) {}

    // A new run of the program: the window and its port go before their driver.
    void drop()
    {
        DropWindow();
        if (usbDriver_) {
            SetFtd2xx(previousDriver_);
            usbDriver_.reset();
        }
    }
    TMainFrm& start(int port = Port, int speed = 9600)
    {
        Remember(WriteFile("setup.ini", QString("[Communication]\r\nPort=%1\r\nSpeed=%2\r\n").arg(port).arg(speed).toLatin1()));
        NewWindow().FormCreate(frm.get());
        return *frm;
    }
    // Presses Power; once the link is established, runs inside() from the survey's message
    // processing and presses Power again, as the user does.
    void connectThenPowerOff(std::function<void()> inside)
    {
        entered = false;
        const auto powerOff = WhenInsideWait([this] { return established(); }, [this, inside] {
            entered = true;
            inside();
            frm->ConnectBtnClick(frm->PowerOnOffBtn);
        });
        dialogs.AnswerMessage(IDOK); // the connect prompt
        frm->PowerAction->trigger();
    }
    uint32_t statusWord() const
    {
        uint32_t w;
        std::memcpy(&w, frm->InstrumentStatus.data(), 4);
        return w;
    }
    void expectDisconnectedWindow()
    {
        EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_FALSE(frm->PowerOnOffBtn->isChecked());
        EXPECT_FALSE(frm->ConnectGb->isHidden());
        EXPECT_TRUE(frm->NewSurveyBtn->isHidden());
        EXPECT_FALSE(frm->RsOffImg->isHidden());
        EXPECT_TRUE(frm->RsOnImg->isHidden());
        EXPECT_TRUE(frm->Image2->isEnabled());
        EXPECT_FALSE(frm->Animate1->Active());
        EXPECT_TRUE(frm->Animate1->isHidden());
        EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
    }

    bool entered = false;

    // The instrument behind the fake USB driver, for a setup file on port 99.
    void serveUsb(TInstrumentSetup setup = {})
    {
        serve(std::move(setup));
        usbDriver_ = std::make_unique<TFakeFtd2xx>(instrument->DevicePath());
        previousDriver_ = SetFtd2xx(usbDriver_.get());
    }
    void TearDown() override
    {
        drop();
        InstrumentTest::TearDown();
    }

private:
    std::unique_ptr<TFakeFtd2xx> usbDriver_;
    TFtd2xx* previousDriver_ = nullptr;
};

TEST_F(ConnectTest, ConnectsShowsTheInstrumentAndPowerOffTakesTheLinkDown)
{
    TInstrumentSetup setup;
    setup.SpeedLine = "115200";
    setup.NameLine = "VARNOK 10 v2.1";
    setup.Channels = 12;
    serve(setup);
    TMainFrm& w = start();
    connectThenPowerOff([&] {
        // Inside the survey: identified, status downloaded, waiting for Start.
        EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 v2.1 at 115200 Bds");
        EXPECT_EQ(statusWord(), 12u);
        EXPECT_EQ(ActivePort->GetState(), Port);
        EXPECT_TRUE(w.PowerOnOffBtn->isChecked());
        EXPECT_TRUE(w.ConnectGb->isHidden());
        EXPECT_TRUE(w.RsOffImg->isHidden());
        EXPECT_FALSE(w.RsOnImg->isHidden());
        EXPECT_FALSE(w.Image2->isEnabled());
        EXPECT_TRUE(w.Animate1->isHidden());
        EXPECT_EQ(w.ModelTagFound, 0);
        EXPECT_TRUE(w.TxVoltageCheckBtn->isEnabled());
    });
    EXPECT_TRUE(entered);
    ASSERT_EQ(dialogs.Calls.size(), 1u) << dialogs.Unexpected.join(" | ").toStdString();
    EXPECT_EQ(dialogs.Calls[0].Caption, "Communication");
    EXPECT_TRUE(instrument->WaitForEvent("escape", 5000)) << instrument->EventNames().join(", ").toStdString();
    expectDisconnectedWindow();
    EXPECT_EQ(w.MainGB->text(), "");
    EXPECT_EQ(w.StopRequested, 1);
    // On the wire: zero byte, identification, status command, framed block.
    const QStringList events = instrument->EventNames();
    const auto at = [&](const QString& name) { return events.indexOf(name); };
    EXPECT_GE(at("identified"), 0);
    EXPECT_GT(at("command 30"), at("identified"));
    EXPECT_GT(at("block start"), at("command 30"));
    EXPECT_GT(instrument->Count("escape"), 0);
    EXPECT_TRUE(shell.Calls.empty());
}

// The status command waits minutes for a busy instrument; if the line goes silent then, Power
// off must still take the link down at once instead of the window freezing for that time.
TEST_F(ConnectTest, PowerOffEndsTheStatusCommandsLongWaitOnASilentLine)
{
    serve();
    instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Command, 0, -1, 30});
    start();
    QElapsedTimer clock;
    const auto powerOff = WhenInsideWait([this] { return instrument->Count("command 30") > 0; }, [this, &clock] {
        clock.start();
        frm->ConnectBtnClick(frm->PowerOnOffBtn);
    });
    dialogs.AnswerMessage(IDOK); // the connect prompt
    frm->PowerAction->trigger();
    ASSERT_TRUE(clock.isValid()) << instrument->EventNames().join(", ").toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
    expectDisconnectedWindow();
    EXPECT_EQ(frm->MainGB->text(), "");
}

// An instrument that stops answering while the line stays open (its battery flat, its radio
// link lost): Power off and closing the window give the escape up after some seconds of silence
// instead of holding the window a minute, and the connection line says why.
TEST_F(ConnectTest, SilentInstrumentAtPowerOffOrCloseEndsWithinSeconds)
{
    for (const bool usb : {false, true}) {
        for (const bool closeWindow : {false, true}) {
            SCOPED_TRACE(std::string(usb ? "usb" : "serial") + (closeWindow ? ", window closed" : ", Power off"));
            drop();
            if (usb)
                serveUsb();
            else
                serve();
            TMainFrm& w = usb ? start(99, 9600) : start();
            QElapsedTimer clock;
            const auto silence = WhenInsideWait([this] { return established(); }, [&] {
                instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Any, 0, -1});
                clock.start();
                if (closeWindow)
                    w.close();
                else
                    w.ConnectBtnClick(w.PowerOnOffBtn);
            });
            dialogs.AnswerMessage(IDOK); // the connect prompt
            w.PowerAction->trigger();
            ASSERT_TRUE(clock.isValid()) << instrument->EventNames().join(", ").toStdString();
            EXPECT_LT(clock.elapsed(), 15000);
            EXPECT_TRUE(w.MainGB->text().contains("did not answer")) << w.MainGB->text().toStdString();
            EXPECT_LE(ActivePort->GetState(), 0);
            EXPECT_EQ(instrument->Count("escape"), 0);
            if (closeWindow) {
                EXPECT_TRUE(w.isHidden());
            } else {
                expectDisconnectedWindow();
            }
        }
    }
}

TEST_F(ConnectTest, CapabilityCodeSetsTheIpAndRangeControls)
{
    const struct {
        uint32_t code;
        bool ipChecked;       // IpDataChk checked before connecting
        bool ipEnabledBefore;
        bool rangeEnabled;
        bool ipEnabledAfter;
        bool ipCheckedAfter;
    } cases[] = {
        {0x10000001, true, true, false, false, false},
        {0x10000002, false, false, false, true, false},
        {0x10000003, true, false, true, false, true}, // the IP box is left as it was
        {0x12345678, true, true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.code);
        drop();
        TInstrumentSetup setup;
        setup.Capability = c.code;
        serve(setup);
        TMainFrm& w = start();
        w.IpDataChk->setChecked(c.ipChecked);
        // As an earlier connection left it: the window keeps whether IP is usable apart from the
        // box, which the end of every survey disables with the other parameters.
        w.IpDataUsable = c.ipEnabledBefore;
        w.IpDataChk->setEnabled(c.ipEnabledBefore);
        connectThenPowerOff([&] {
            EXPECT_EQ(w.Range15Rb->isEnabled(), c.rangeEnabled);
            EXPECT_EQ(w.Range5Rb->isEnabled(), c.rangeEnabled);
            EXPECT_EQ(w.RangeLbl->isEnabled(), c.rangeEnabled);
            EXPECT_EQ(w.IpDataChk->isEnabled(), c.ipEnabledAfter);
            EXPECT_EQ(w.IpDataChk->isChecked(), c.ipCheckedAfter);
        });
        EXPECT_TRUE(entered);
    }
}

TEST_F(ConnectTest, ModelTagHidesTheTxVoltageUntilAnotherInstrumentConnects)
{
    TInstrumentSetup halvo;
    halvo.NameLine = "Halvo 20";
    serve(halvo);
    TMainFrm& w = start();
    connectThenPowerOff([&] {
        EXPECT_EQ(w.ModelTagFound, 1);
        EXPECT_TRUE(w.TxVoltage->isHidden());
        EXPECT_TRUE(w.TxVoltageEdt->isHidden());
        EXPECT_TRUE(w.TxVoltageCheckBtn->isHidden());
    });
    ASSERT_TRUE(entered);
    // Another instrument on a new port object; the window keeps what the first one did.
    serve();
    delete ActivePort;
    ActivePort = new TPortCOM(&w);
    connectThenPowerOff([&] {
        EXPECT_EQ(w.ModelTagFound, 0);
        EXPECT_FALSE(w.TxVoltage->isHidden());
        EXPECT_FALSE(w.TxVoltageEdt->isHidden());
        EXPECT_FALSE(w.TxVoltageCheckBtn->isHidden());
        EXPECT_TRUE(w.TxVoltageCheckBtn->isEnabled());
    });
    EXPECT_TRUE(entered);
}

TEST_F(ConnectTest, StopWhileWaitingForStartKeepsTheLinkAndOffersANewSurvey)
{
    serve();
    TMainFrm& w = start();
    const auto stop = WhenInsideWait([this] { return established(); }, [&w] { w.Action4->trigger(); }); // F4
    dialogs.AnswerMessage(IDOK);
    w.PowerAction->trigger();
    EXPECT_EQ(ActivePort->GetState(), Port);
    EXPECT_FALSE(w.NewSurveyBtn->isHidden());
    EXPECT_TRUE(w.NewSurveyBtn->isEnabled());
    EXPECT_TRUE(w.ConnectGb->isHidden());
    // Power now takes the open link down.
    w.PowerAction->trigger();
    expectDisconnectedWindow();
    EXPECT_TRUE(instrument->WaitForEvent("escape", 5000)) << "the established link is left with Escape";
}

TEST_F(ConnectTest, PortThatDoesNotOpenBringsTheConnectControlsBack)
{
    // USB without a device: the prompt repeats after OK; Cancel gives up and the USB check
    // program is started from the program's folder, without waiting.
    {
        TFakeFtd2xx driver(QString{});
        driver.Devices = 0;
        TFtd2xx* previous = SetFtd2xx(&driver);
        TMainFrm& w = start(99, 115200);
        dialogs.AnswerMessage(IDOK);
        dialogs.AnswerMessage(IDCANCEL);
        w.PowerAction->trigger();
        SetFtd2xx(previous);
        EXPECT_EQ(dialogs.Calls.size(), 2u);
        ASSERT_EQ(shell.Calls.size(), 1u);
        EXPECT_EQ(shell.Calls[0].What, "StartDetached");
        EXPECT_EQ(shell.Calls[0].Program, TApplication::ExeDir() + "LinkTest");
        expectDisconnectedWindow();
    }
    // A serial port that cannot be opened: nothing is started.
    drop();
    shell.Calls.clear();
    dialogs.Calls.clear();
    qputenv("QUOREL_COM3", dir.File("no-such-device").toLocal8Bit());
    TMainFrm& w = start(3);
    dialogs.AnswerMessage(IDOK);
    w.PowerAction->trigger();
    EXPECT_TRUE(shell.Calls.empty());
    EXPECT_EQ(ActivePort->GetState(), 0);
    expectDisconnectedWindow();
}

TEST_F(ConnectTest, InstrumentThatNeverSendsItsLinesFailsAfterFourIdentifications)
{
    serve();
    instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Identification, 0, -1});
    TMainFrm& w = start();
    dialogs.AnswerMessage(IDOK);
    w.PowerAction->trigger();
    EXPECT_FALSE(established());
    EXPECT_EQ(ActivePort->GetState(), 0);
    expectDisconnectedWindow();
    EXPECT_EQ(w.MainGB->text(), "");
    // The first identification and three more, each after an Escape handshake.
    EXPECT_EQ(instrument->Count("escape"), 3) << instrument->EventNames().join(", ").toStdString();
}

} // namespace
