#pragma once
// Quorel's window against the test instrument on a pseudo-terminal: QUOREL_COM<port> points
// the window's port at the instrument, and a watchdog ends a wait that would hang the test.
#include "WindowFixture.h"
#include "instrument/TestInstrument.h"
#include "link/Portvirt.h"

#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

class InstrumentTest : public WindowTest {
protected:
    explicit InstrumentTest(int port) : port_(port) {}

    void TearDown() override
    {
        watchdog_.stop();
        WindowTest::TearDown();
        instrument.reset();
    }

    void serve(Instrument::TInstrumentSetup setup = {})
    {
        instrument = std::make_unique<Instrument::TTestInstrument>(std::move(setup));
        qputenv(QByteArray("QUOREL_COM") + QByteArray::number(port_), instrument->DevicePath().toLocal8Bit());
    }

    bool established() const { return frm->PowerOnOffBtn->property("Tag").toInt() == 1; }

    // After ms, fails the test with message and runs unblock, which must end the wait.
    void guard(int ms, const char* message, std::function<void()> unblock)
    {
        watchdog_.setSingleShot(true);
        watchdog_.disconnect();
        QObject::connect(&watchdog_, &QTimer::timeout, [message, unblock] {
            ADD_FAILURE() << message;
            unblock();
        });
        watchdog_.start(ms);
    }

    std::unique_ptr<Instrument::TTestInstrument> instrument;

private:
    const int port_;
    QTimer watchdog_;
};
