#pragma once
// A whole survey in Quorel against the test instrument on a pseudo-terminal: the window is
// offscreen, every question is answered by script, and what the user does during the survey
// (Start, Stop, marks, pause, Power) is a list of steps run from the survey's own waits.
#include "InstrumentFixture.h"
#include "platform/Application.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <vector>

struct SurveySetup {
    int Channels = 10;
    bool Ip = false;
    bool Gps = true;
    bool Sounder = true;
    bool AddDistance = true;
    QString MinDistance = "0";
    QString DepthOffset = "0";
    int RelayboxEnabled = 0;
    int DelayTime = 0;
    int RemoteTime = 15; // pulse time, in units of 10 ms
    int RemoteDelay = 12; // delay before each pulse, in units of 10 ms
    QString Relaybox; // further lines of the switch-unit section, each ending in CR LF
    bool Usb = false; // port 99: the USB port, whose driver the test installs
};


class SurveyTest : public InstrumentTest {
protected:
    static constexpr int Port = 7; // QUOREL_COM7 points at the instrument

    SurveyTest() : InstrumentTest(Port) {}

    // One thing the user does once `when` holds; steps run in order, one at a time.
    struct Step {
        std::function<bool()> When;
        std::function<void()> Then;
    };

    void TearDown() override
    {
        script_.stop();
        InstrumentTest::TearDown();
    }

    QString setupText(const SurveySetup& s) const
    {
        QString t = "[Parameters]\r\n";
        t += QString("Channel=%1\r\nIpData=%2\r\nGpsConnected=%3\r\nSounderConnected=%4\r\nAddDistance=%5\r\n")
                 .arg(s.Channels).arg(s.Ip ? 1 : 0).arg(s.Gps ? 1 : 0).arg(s.Sounder ? 1 : 0).arg(s.AddDistance ? 1 : 0);
        t += QString("MinDistance=%1\r\nDepthOffset=%2\r\nDelayTime=%3\r\nRemoteTime=%4\r\nRemoteTxVoltage=24\r\n")
                 .arg(s.MinDistance, s.DepthOffset).arg(s.DelayTime).arg(s.RemoteTime);
        t += QString("RemoteDelay=%1\r\n").arg(s.RemoteDelay);
        for (int k = 2; k <= 11; ++k) // P12 to P21 continue the cable every 2 m
            t += QString("ComSpacing2%1=%2\r\n").arg(k).arg(2 * (k + 10) + 2);
        t += QString("[Relaybox]\r\nRelyaboxEnabled=%1\r\n").arg(s.RelayboxEnabled) + s.Relaybox;
        t += QString("[Communication]\r\nPort=%1\r\nSpeed=9600\r\n").arg(s.Usb ? 99 : Port);
        return t;
    }

    // `guardMs`: how long the survey may run before the test ends it as failed.
    Acquisition::TMainFrm& start(const SurveySetup& s = SurveySetup(), int guardMs = 60000)
    {
        setupPath = WriteFile("setup.ini", setupText(s).toLatin1());
        Remember(setupPath);
        NewWindow().FormCreate(frm.get());
        // A survey that is still running after this long is ended as the user would end it,
        // by closing the window, so that the test fails instead of hanging. (A link closed
        // without a stop request is no way out: the program never makes one, and the survey's
        // waits do not look for it.)
        guard(guardMs, "the survey was still running when its time was up", [this] {
            if (frm)
                frm->close();
        });
        return *frm;
    }

    // Waiting for Start: the status was downloaded again and nothing is programmed yet. The
    // instrument notes the download's end before the survey has read it: a Start given then
    // still comes during the download, which keeps it.
    bool waitingForStart() const
    {
        int downloads = 0;
        for (const QString& e : instrument->EventNames())
            downloads += e.startsWith("block end") ? 1 : 0;
        return established() && downloads >= 2 && frm->AcquisitionMode == 0;
    }
    int cycles() const { return instrument->Cycles(); }

    void run(std::vector<Step> steps)
    {
        steps_ = std::move(steps);
        next_ = 0;
        script_.disconnect();
        script_.setInterval(10);
        QObject::connect(&script_, &QTimer::timeout, [this] {
            if (next_ >= steps_.size()) {
                script_.stop();
                return;
            }
            if (!steps_[next_].When())
                return;
            const auto then = steps_[next_++].Then;
            then();
        });
        script_.start();
    }

    // Power On, with the connect prompt confirmed; returns once the survey (and the Power
    // command) has ended.
    void powerOn()
    {
        dialogs.AnswerMessage(IDOK);
        frm->PowerAction->trigger();
    }

    // Start (F3) with the acquisition file chosen in the dialog.
    Step startWith(const QString& fileName)
    {
        return {[this] { return waitingForStart(); }, [this, fileName] {
                    dialogs.AnswerSave(fileName);
                    frm->Action2->trigger();
                }};
    }
    Step stopAfter(int n)
    {
        return {[this, n] { return cycles() >= n; }, [this] { frm->Action4->trigger(); }};
    }
    // The same, keeping the connection line as it read just before Stop.
    Step stopAfter(int n, QString& line)
    {
        return {[this, n] { return cycles() >= n; }, [this, &line] {
                    line = frm->MainGB->text();
                    frm->Action4->trigger();
                }};
    }

    QByteArray fileBytes(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString setupPath;

private:
    QTimer script_;
    std::vector<Step> steps_;
    size_t next_ = 0;
};
