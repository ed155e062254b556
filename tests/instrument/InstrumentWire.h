#pragma once
// Moving the instrument's bytes: the master side of a pseudo-terminal whose slave is the
// device the host opens (as a serial port, or behind the fake USB driver). Nothing here
// knows what the bytes mean.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <vector>

namespace Instrument {

class TPtyWire {
public:
    TPtyWire();
    ~TPtyWire();
    TPtyWire(const TPtyWire&) = delete;
    TPtyWire& operator=(const TPtyWire&) = delete;

    bool Ok() const { return master_ >= 0; }
    // The device path the host opens.
    QString DevicePath() const { return path_; }

    // One received byte, -1 when none came within timeoutMs (negative: wait for ever),
    // -2 when the wire was stopped or hung up.
    int Read(int timeoutMs);
    bool Write(const QByteArray& bytes);
    // The line speed the host set on its side, in Bd.
    int Speed() const;
    // Drops the line: the host's side sees a hang-up.
    void Hangup();
    // Makes a blocked Read return -2 (from another thread).
    void Stop();
    bool Stopped() const { return stopped_; }

private:
    int master_ = -1;
    int slave_ = -1; // held open so the terminal lives while the host closes and reopens it
    int wake_[2] = {-1, -1};
    QString path_;
    std::vector<uint8_t> rx_;
    size_t rxPos_ = 0;
    std::atomic<bool> stopped_{false};
    std::mutex writeMutex_;
};

} // namespace Instrument
