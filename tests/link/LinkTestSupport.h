#pragma once
// A link port connected to the test instrument over a real pseudo-terminal.
#include "instrument/TestInstrument.h"
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "platform/Ftd2xxFake.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

inline constexpr int TestComPort = 7; // QUOREL_COM7 points at the instrument

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

private:
    TFtd2xx* previous_ = nullptr;
};

// Runs action from the message processing of a wait once condition holds (checked every 20 ms).
inline void WhenInsideWait(std::function<bool()> condition, std::function<void()> action)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

inline QByteArray PatternBlock(int size)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return b;
}
