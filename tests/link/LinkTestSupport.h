#pragma once
// A link port connected to the test instrument over a real pseudo-terminal.
#include "instrument/TestInstrument.h"
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "platform/Ftd2xxFake.h"
#include "support/InsideWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>
#include <gtest/gtest.h>
#include <memory>

inline constexpr int TestComPort = 7; // QUOREL_COM7 points at the instrument

// Closes the link under whatever wait is still running when a test has taken this long, so a
// fault that keeps a wait going (every wait lets timers run) fails the test instead of hanging it.
class LinkWatchdog {
public:
    static constexpr int LimitMs = 90000;
    explicit LinkWatchdog(TPortVirt& port)
    {
        TestApp();
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [&port] {
            ADD_FAILURE() << "still waiting after " << LimitMs / 1000 << " s: the link was closed under the wait";
            port.SetState(0);
        });
        timer_.start(LimitMs);
    }

private:
    QTimer timer_;
};

struct SerialLink {
    explicit SerialLink(Instrument::TInstrumentSetup setup = {}) : Instrument(std::move(setup))
    {
        TestApp();
        qputenv("QUOREL_COM7", Instrument.DevicePath().toLocal8Bit());
    }
    // Opens COM7 at the given speed, answering the connect prompt with OK.
    int Open(int speed = 9600, const QString& modemConfig = {}, const QString& dial = {})
    {
        Dialogs.AnswerMessage(IDOK);
        return Port.Open(TestComPort, speed, 0, modemConfig, false, dial);
    }
    Instrument::TTestInstrument Instrument;
    ScriptedDialogs Dialogs;
    TPortCOM Port{nullptr};
    LinkWatchdog Watchdog{Port};
};

struct UsbLink {
    explicit UsbLink(Instrument::TInstrumentSetup setup = {}) : Instrument(std::move(setup)), Driver(Instrument.DevicePath())
    {
        TestApp();
        previous_ = SetFtd2xx(&Driver);
    }
    ~UsbLink() { SetFtd2xx(previous_); }
    int Open(int speed = 9600)
    {
        Dialogs.AnswerMessage(IDOK);
        return Port.Open(99, speed, 0, {}, false, {});
    }
    Instrument::TTestInstrument Instrument;
    TFakeFtd2xx Driver;
    ScriptedDialogs Dialogs;
    TPortUSB Port;
    LinkWatchdog Watchdog{Port};

private:
    TFtd2xx* previous_ = nullptr;
};

// What the instrument has received once `enough` holds of it (10 s at most) and nothing more
// came for 100 ms. The host's writes are done, but on a loaded machine the instrument's thread
// may not have read them all yet.
inline QByteArray ReceivedOnce(const Instrument::TTestInstrument& instrument,
                               const std::function<bool(const QByteArray&)>& enough)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QByteArray got = instrument.Received();
    while (!enough(got) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        got = instrument.Received();
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const QByteArray again = instrument.Received();
        if (again.size() == got.size() || std::chrono::steady_clock::now() >= deadline)
            return again;
        got = again;
    }
}

inline QByteArray PatternBlock(int size)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return b;
}
