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

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
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

    // Runs action from the opening's message processing, while it holds DTR and RTS off.
    [[nodiscard]] std::unique_ptr<QTimer> insideTheOpening(std::function<void()> action)
    {
        return WhenInsideWait([] { return ActivePort && ActivePort->GetState() == -1; }, std::move(action));
    }
    // A connection that went on in spite of the user is ended after ms, failing the test.
    void endAConnectionLeftRunning(int ms, const char* message)
    {
        guard(ms, message, [this] {
            frm->StopRequested = 1;
            ActivePort->SetState(0);
            QCoreApplication::exit(1);
        });
    }
    // Points QUOREL_COM<Port> at a name of its own that leads to the instrument's terminal, as
    // a device node leads to the adapter plugged in under it.
    void serveUnder(const QString& name, Instrument::TInstrumentSetup setup = {})
    {
        serve(std::move(setup));
        QFile::remove(name);
        ASSERT_TRUE(QFile::link(instrument->DevicePath(), name));
        qputenv(QByteArray("QUOREL_COM") + QByteArray::number(Port), name.toLocal8Bit());
    }

    bool entered = false;

    // What the instrument has received, once nothing more has come for 300 ms (5 s at most).
    QByteArray receivedSettled() const
    {
        QElapsedTimer clock;
        clock.start();
        QByteArray got = instrument->Received();
        for (;;) {
            QThread::msleep(300);
            const QByteArray again = instrument->Received();
            if (again.size() == got.size() || clock.elapsed() > 5000)
                return again;
            got = again;
        }
    }

    // Spoils the line once connected, then Power off or closes the window, on both ports: each
    // ends within 15 s, says that the instrument did not answer and leaves the link closed.
    void expectPowerOffAndCloseEndInTime(const std::function<void()>& spoil)
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
                const auto spoiled = WhenInsideWait([this] { return established(); }, [&] {
                    spoil();
                    clock.start();
                    if (closeWindow)
                        w.close();
                    else
                        w.ConnectBtnClick(w.PowerOnOffBtn);
                });
                guard(40000, "Power off or the close went on", [] { ActivePort->SetState(0); });
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
    expectPowerOffAndCloseEndInTime(
        [this] { instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Any, 0, -1}); });
}

// A bad line, whatever it sends, holds neither Power off nor the close: the escape ends in its
// time and the line says that the instrument did not answer.
TEST_F(ConnectTest, ALineAnsweringFFToEverythingAtPowerOffOrCloseEndsWithinSeconds)
{
    expectPowerOffAndCloseEndInTime([this] { instrument->SetLine(Instrument::TLine::AnswerFF); });
}

TEST_F(ConnectTest, ATricklingLineAtPowerOffOrCloseEndsWithinSeconds)
{
    expectPowerOffAndCloseEndInTime([this] { instrument->SetLine(Instrument::TLine::Trickle); });
}

// F2, then F2 again or a close while the escape is under way (a silent line): the second joins
// the first, no second escape is sent, and the connection line keeps what the escape found. A
// Start (F3) while the window closes opens no file dialog, which would hold the program open.
TEST_F(ConnectTest, APowerPressOrCloseDuringTheEscapeJoinsIt)
{
    enum Second { None, Power, Close, Start };
    const struct {
        const char* what;
        bool closeFirst;
        Second second;
    } rows[] = {
        {"Power off alone", false, None},
        {"Power off, then Power", false, Power},
        {"Power off, then closing", false, Close},
        {"closing, then Power", true, Power},
        {"closing, then Start", true, Start},
    };
    qsizetype loneSyncs = -1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        drop();
        dialogs.Calls.clear();
        serve();
        TMainFrm& w = start();
        QElapsedTimer clock;
        qsizetype before = 0;
        const auto silence = WhenInsideWait([this] { return established(); }, [&] {
            instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Any, 0, -1});
            before = instrument->Received().size();
            clock.start();
            if (row.second != None)
                QTimer::singleShot(1500, &w, [&w, &row] {
                    if (row.second == Close)
                        w.close();
                    else if (row.second == Start)
                        w.Action2->trigger();
                    else
                        w.PowerAction->trigger();
                });
            if (row.closeFirst)
                w.close();
            else
                w.ConnectBtnClick(w.PowerOnOffBtn);
        });
        guard(40000, "the escape went on", [] { ActivePort->SetState(0); });
        dialogs.AnswerMessage(IDOK); // the connect prompt
        w.PowerAction->trigger();
        ASSERT_TRUE(clock.isValid()) << instrument->EventNames().join(", ").toStdString();
        EXPECT_LT(clock.elapsed(), 15000);
        EXPECT_EQ(w.MainGB->text(), "The instrument did not answer");
        EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_EQ(dialogs.Calls.size(), 1u) << "no second connection: " << dialogs.Unexpected.join(" | ").toStdString();
        if (row.second == Close || row.closeFirst) {
            EXPECT_TRUE(w.isHidden());
        } else {
            expectDisconnectedWindow();
        }
        // The synchronisations the host sent after the first press: those of one escape.
        const qsizetype syncs = receivedSettled().mid(before).count('@');
        if (loneSyncs < 0)
            loneSyncs = syncs;
        else
            EXPECT_LE(syncs, loneSyncs) << "a second escape was sent";
        EXPECT_GE(syncs, 1);
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

// F2, Enter, then Alt+F4 within the second in which the opening holds DTR and RTS off.
TEST_F(ConnectTest, ClosingTheWindowWhileThePortOpensEndsTheProgram)
{
    serve();
    TMainFrm& w = start();
    w.show();
    const auto closeWindow = insideTheOpening([&w] { w.close(); });
    endAConnectionLeftRunning(60000, "the connection went on without its window");
    QTimer::singleShot(0, &w, [&] {
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(TestApp().exec(), 0) << "the program's message loop did not end with its window";
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_FALSE(w.isVisible());
    EXPECT_LE(ActivePort->GetState(), 0);
    EXPECT_FALSE(static_cast<TPortCOM*>(ActivePort)->Control()->IsOpen()) << "the device is let go";
    EXPECT_EQ(instrument->Count("sync"), 0) << instrument->EventNames().join(", ").toStdString();
    EXPECT_EQ(dialogs.Calls.size(), 1u) << dialogs.Unexpected.join(" | ").toStdString();
}

// F2 again within that second: the opening is given up, and the next Power On connects.
TEST_F(ConnectTest, PowerWhileThePortOpensGivesTheOpeningUp)
{
    serve();
    TMainFrm& w = start();
    {
        const auto powerAgain = insideTheOpening([&w] { w.PowerAction->trigger(); });
        endAConnectionLeftRunning(60000, "the first connection went on");
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
    }
    EXPECT_EQ(dialogs.Calls.size(), 1u) << "no second connect prompt: " << dialogs.Unexpected.join(" | ").toStdString();
    expectDisconnectedWindow();
    EXPECT_EQ(w.MainGB->text(), "");
    EXPECT_EQ(instrument->Count("sync"), 0) << instrument->EventNames().join(", ").toStdString();
    connectThenPowerOff([&] { EXPECT_EQ(ActivePort->GetState(), Port); });
    EXPECT_TRUE(entered);
    expectDisconnectedWindow();
}

// An adapter pulled while connected and plugged back under the same name.
TEST_F(ConnectTest, ALineThatHungUpConnectsAgainOnceItsDeviceIsBack)
{
    const QString name = dir.File("ttyQuorel7");
    serveUnder(name);
    start();
    connectThenPowerOff([&] { instrument->DropLine(); });
    ASSERT_TRUE(entered);
    expectDisconnectedWindow();
    // Power off cannot send its Escape: the line says why, never nothing.
    EXPECT_EQ(frm->MainGB->text(), "The link to the instrument was lost: " + name + " went away");
    serveUnder(name);
    connectThenPowerOff([&] { EXPECT_EQ(frm->MainGB->text(), "Connected to VARNOK 10 at 38400 Bds"); });
    EXPECT_TRUE(entered) << frm->MainGB->text().toStdString();
    EXPECT_TRUE(instrument->WaitForEvent("escape", 5000));
}

// An adapter pulled while the survey waits for Start, with nothing sent: the link's own device
// is seen gone within seconds, the link is closed and said, and Power On connects again once
// the adapter is back.
TEST_F(ConnectTest, AnAdapterPulledWhileWaitingForStartIsSaidWithinSeconds)
{
    for (const bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "usb" : "serial");
        drop();
        const QString name = dir.File("ttyQuorel7");
        if (usb)
            serveUsb();
        else
            serveUnder(name);
        TMainFrm& w = usb ? start(99, 9600) : start();
        qint64 noticedMs = -1;
        // Pulled in the wait for Start: the survey's status download is over (the instrument
        // has ended two downloads) and nothing is programmed yet.
        const auto waitingForStart = [this] {
            int downloads = 0;
            for (const QString& e : instrument->EventNames())
                downloads += e.startsWith("block end") ? 1 : 0;
            return established() && downloads >= 2 && frm->AcquisitionMode == 0;
        };
        const auto pull = WhenInsideWait(waitingForStart, [&] {
            instrument->DropLine();
            QElapsedTimer clock;
            clock.start();
            while (ActivePort->GetState() > 0 && clock.elapsed() < 10000)
                TApplication::ProcessMessages(50);
            if (ActivePort->GetState() <= 0)
                noticedMs = clock.elapsed();
            else
                frm->StopRequested = 1; // not noticed: the wait for Start is ended here
        });
        endAConnectionLeftRunning(60000, "the wait for Start went on");
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
        ASSERT_GE(noticedMs, 0) << w.MainGB->text().toStdString();
        EXPECT_LT(noticedMs, 5000); // a check a second, with room for a loaded machine
        EXPECT_EQ(w.MainGB->text(), "The link to the instrument was lost: " + (usb ? QString("the USB adapter") : name) + " went away");
        expectDisconnectedWindow();
        if (usb) {
            drop();
            serveUsb();
            start(99, 9600);
        } else {
            serveUnder(name);
        }
        connectThenPowerOff([&] { EXPECT_TRUE(frm->MainGB->text().startsWith("Connected to VARNOK 10")); });
        EXPECT_TRUE(entered) << frm->MainGB->text().toStdString();
    }
}

// Power off drops DTR, which hangs the modem up: the next Power On dials again.
TEST_F(ConnectTest, EveryConnectionOfAModemLinkDials)
{
    TInstrumentSetup modem;
    modem.Modem = true;
    serve(modem);
    Remember(WriteFile("setup.ini", QString("[Communication]\r\nPort=%1\r\nDialNumber=0123456\r\n").arg(Port).toLatin1()));
    NewWindow().FormCreate(frm.get());
    for (int connection = 1; connection <= 2; ++connection) {
        SCOPED_TRACE(connection);
        endAConnectionLeftRunning(60000, "no connection");
        connectThenPowerOff([] {});
        EXPECT_TRUE(entered);
        EXPECT_TRUE(instrument->WaitForEvent("escape", 5000));
        instrument->OnHook();
    }
    QList<QByteArray> lines;
    for (const auto& e : instrument->Events())
        if (e.What == "modem")
            lines << e.Bytes;
    EXPECT_EQ(lines, QList<QByteArray>({"ATZ", "ATDT0123456", "ATZ", "ATDT0123456"}));
}

// What the user ended is no failure: no "Unknown Baudrate", nothing in the connection line,
// and the close does not wait for a box.
TEST_F(ConnectTest, PowerOffOrClosingDuringTheIdentificationShowsNoFailure)
{
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closing the window" : "Power off");
        drop();
        dialogs.Calls.clear();
        serve();
        // The instrument does not answer the probe: the identification goes on trying.
        instrument->AddFault({Instrument::TFaultKind::Silence, Instrument::TPoint::Sync, 0, -1});
        TMainFrm& w = start();
        const auto end = WhenInsideWait([this] { return instrument->Count("sync") >= 2; }, [&w, closeWindow] {
            if (closeWindow)
                w.close();
            else
                w.ConnectBtnClick(w.PowerOnOffBtn);
        });
        endAConnectionLeftRunning(60000, "the identification went on");
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
        EXPECT_EQ(dialogs.Calls.size(), 1u) << dialogs.Messages().join(" | ").toStdString();
        EXPECT_FALSE(dialogs.Messages().contains(UnknownBaudrateMessage));
        expectDisconnectedWindow();
        EXPECT_EQ(w.MainGB->text(), "");
    }
}

// Failures the user must act on are said in the connection line.
TEST_F(ConnectTest, AFailedConnectionSaysWhyInTheConnectionLine)
{
    const QString missing = dir.File("no-such-device");
    const QString plain = WriteFile("plain-file", "not a terminal");
    const struct {
        const char* what;
        QString device; // empty: the instrument's terminal
        QString line;
    } cases[] = {
        {"missing device", missing,
         "Serial link < COM 7 > could not be opened (" + missing + "): No such file or directory"},
        {"not a serial line", plain, "Serial link < COM 7 > could not be opened (" + plain + "): not a serial line"},
    }; // an instrument that never identifies: InstrumentThatNeverSendsItsLinesFailsAfterFourIdentifications
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        drop();
        serve();
        qputenv("QUOREL_COM7", c.device.toLocal8Bit());
        TMainFrm& w = start();
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
        expectDisconnectedWindow();
        EXPECT_EQ(w.MainGB->text(), c.line);
        // Once the device is there, the next Power On connects and the line says so.
        qputenv("QUOREL_COM7", instrument->DevicePath().toLocal8Bit());
        connectThenPowerOff([&] { EXPECT_EQ(w.MainGB->text(), "Connected to VARNOK 10 at 38400 Bds"); });
        EXPECT_TRUE(entered);
    }
    // The adapter is pulled as the instrument would identify itself, on both ports: the link
    // that failed by itself is taken down, ready for Power On, and the line says that the
    // device went away, in words, with no "Unknown Baudrate" box (the line did not answer
    // gibberish, it went).
    // Pulled at the probe's echo or at the instrument's lines.
    for (const auto at : {Instrument::TPoint::Sync, Instrument::TPoint::Identification})
    for (const bool usb : {false, true}) {
        SCOPED_TRACE(std::string(usb ? "usb" : "serial") + (at == Instrument::TPoint::Sync ? ", probe" : ", lines"));
        drop();
        dialogs.Calls.clear();
        if (usb)
            serveUsb();
        else
            serve();
        instrument->AddFault({Instrument::TFaultKind::DropLine, at, 0, 1});
        const QString device = usb ? QString("the USB adapter") : instrument->DevicePath();
        TMainFrm& w = usb ? start(99, 9600) : start();
        endAConnectionLeftRunning(60000, "the connection over a dropped line went on");
        dialogs.AnswerMessage(IDOK);
        w.PowerAction->trigger();
        expectDisconnectedWindow();
        EXPECT_EQ(w.MainGB->text(), "The connection failed (the link to the instrument was lost: " + device + " went away)");
        EXPECT_FALSE(dialogs.Messages().contains(UnknownBaudrateMessage)) << dialogs.Messages().join(" | ").toStdString();
    }
    // USB: the driver refuses the device.
    drop();
    serve();
    TFakeFtd2xx driver(instrument->DevicePath());
    driver.OpenStatus = FT_DEVICE_NOT_OPENED;
    TFtd2xx* previous = SetFtd2xx(&driver);
    TMainFrm& w = start(99, 115200);
    dialogs.AnswerMessage(IDOK);
    w.PowerAction->trigger();
    SetFtd2xx(previous);
    expectDisconnectedWindow();
    EXPECT_EQ(w.MainGB->text(),
              QString("USB link could not be opened: the driver refused the device (status %1)").arg(FT_DEVICE_NOT_OPENED));
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
    EXPECT_EQ(w.MainGB->text(), "The instrument did not answer");
    // The first identification and three more, each after an Escape handshake.
    EXPECT_EQ(instrument->Count("escape"), 3) << instrument->EventNames().join(", ").toStdString();
}

} // namespace
