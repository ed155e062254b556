#pragma once
#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

// A terminal descriptor whose other end has gone (a hang-up) or that went bad, asked without
// waiting: such a terminal polls readable at once with nothing to read.
bool DescriptorHungUp(int fd);

// The serial-port control over POSIX termios. It is polled: it raises no events, and the
// link asks it for the queue counts and reads bytes with or without a timeout.
//
// Port codes map to device paths: 1..4 are COM1..COM4 (/dev/ttyS0../dev/ttyS3), other codes
// are Bluetooth serial ports (/dev/rfcomm<n>); the environment variable QUOREL_COM<n>
// overrides the path of code n (a pseudo-terminal of the test instrument, for instance).
//
// On a pseudo-terminal the modem-line calls are refused by the kernel; the control then keeps
// the values it was given and reads DSR and the line errors as 0.
class TPortCtl : public QObject {
    Q_OBJECT
public:
    explicit TPortCtl(QObject* owner = nullptr);
    ~TPortCtl() override;

    // Properties 1 to 10. A line setting changed while the port is open applies at once; the
    // port number takes effect at the next Open.
    int PortNumber() const { return portNumber_; }
    void SetPortNumber(int port) { portNumber_ = port; }
    int BaudRate() const { return baudRate_; }
    void SetBaudRate(int speed);
    int Parity() const { return parity_; } // 0 none, 1 odd, 2 even, 3 mark, 4 space
    void SetParity(int parity);
    int DataBits() const { return dataBits_; }
    void SetDataBits(int bits);
    int StopBits() const { return stopBits_; } // 1 or 2
    void SetStopBits(int code);
    bool XonXoff() const { return xonXoff_; }
    void SetXonXoff(bool on);
    bool DtrDsr() const { return dtrDsr_; } // kept only: termios has no DTR/DSR handshake
    void SetDtrDsr(bool on);
    bool RtsCts() const { return rtsCts_; }
    void SetRtsCts(bool on);
    bool Dtr() const { return dtr_; }
    void SetDtr(bool on);
    bool Rts() const { return rts_; }
    void SetRts(bool on);

    // Property 14: DSR line state.
    int Dsr() const;
    // Properties 15 to 18: line errors seen since the last ClearLineStatus.
    int CommBreak() const;   // 15
    int CommFrame() const;   // 16
    int CommOverrun() const; // 17
    int CommRxParity() const;// 18
    // Property 28: received bytes waiting; property 29: bytes waiting to be sent.
    int InBufferCount() const;
    int OutBufferCount() const;

    // Properties 41 to 48: event switches. The control never raises events; they are kept.
    enum EventSwitch { BreakDetect, CtsChange, DsrChange, LineStatusError, Ring, CdChange, RxData, RxTrigger };
    void SetIssueEvent(EventSwitch which, bool on) { events_[which] = on; }
    bool IssueEvent(EventSwitch which) const { return events_[which]; }

    // Opens the port of PortNumber; a handle, 0 or -1 on failure.
    int Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Why the last Open failed, as the system gave it ("No such file or directory", "not a
    // serial line"); empty after an Open that succeeded.
    QString OpenError() const { return openError_; }
    // The open device hung up: an adapter pulled, the other end of the line gone. Nothing more
    // can pass through it; only opening the device again can bring the line back.
    bool HungUp() const;
    int ReadByte();
    int ReadByteTimed(int timeoutMs);
    int WriteByte(int value);
    int WriteByteBuffer(const char* data, int length);
    int ReadByteBufferTimed(uint8_t* buffer, int count, int timeoutMs);
    void ClearLineStatus();
    void ClearTxBuffer();

    // Blocks until received bytes may be waiting or timeoutMs passed, so that polling
    // callers do not spin.
    void WaitReadable(int timeoutMs);

    QString DevicePath() const { return PortDevicePath(portNumber_); }
    static QString PortDevicePath(int port);

private:
    bool fill(int timeoutMs);
    size_t buffered() const { return rx_.size() - rxPos_; }
    void applyLine();
    void applyModemLines();
    struct Counts { uint32_t brk = 0, frame = 0, overrun = 0, parity = 0; };
    Counts counts() const;

    int portNumber_ = 1;
    int baudRate_ = 9600;
    int parity_ = 0;
    int dataBits_ = 8;
    int stopBits_ = 1;
    bool xonXoff_ = false, dtrDsr_ = false, rtsCts_ = false, dtr_ = false, rts_ = false;
    bool events_[8] = {};
    int fd_ = -1;
    QString openError_;
    std::vector<uint8_t> rx_;
    size_t rxPos_ = 0;
    Counts baseline_;
};

// Line speed of a terminal in Bd, any value (also those without a termios constant).
bool SetTermiosSpeed(int fd, int baud);
int TermiosSpeed(int fd);
// Raw mode with the given framing: 8 or 7 data bits, parity 0..4, 1 or 2 stop bits.
bool SetTermiosRaw(int fd, int dataBits, int parity, int stopBits, bool rtsCts, bool xonXoff);
