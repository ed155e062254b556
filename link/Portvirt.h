#pragma once
#include "platform/Exception.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <cstdint>
#include <functional>

// Fixed messages of the link's exceptions.
inline constexpr const char* PortErrGetcom = "Port err. Getcom";
inline constexpr const char* PortErrPutcom = "Port err. putcom";
inline constexpr const char* PortErr = "Port err.";
inline constexpr const char* PortErrGetstring = "Port err. getstring";
inline constexpr const char* PortErrSetcmd = "Port err. Setcmd";
inline constexpr const char* PortWaitError = "Wait error";
inline constexpr const char* PortErrXbtCload = "Port err. xbtCload";
// Messages that the link shows itself.
inline constexpr const char* UnknownBaudrateMessage = "Unknown Baudrate";
inline constexpr const char* ErrBufferMessage = "Err. Buffer";

// The bytes of the last block download.
using TMemoryStream = QByteArray;

// The abstract link port. The serial port (TPortCOM) and the USB port (TPortUSB) fill these
// operations in this order; the protocol (byte and text waits, handshake, prompt,
// identification, block download) is built here once on the raw byte operations. The link
// state is the port number while open (>0), 0 when closed, -1 while opening or after a
// cancelled connect prompt.
//
// Every wait lets window messages run, so a user action (Power off, closing the window) can
// close the link inside it; the wait then ends through the closed link. Between polls the
// waits block briefly on the port instead of spinning.
class TPortVirt {
public:
    TPortVirt() = default;
    TPortVirt(const TPortVirt&) = delete;
    TPortVirt& operator=(const TPortVirt&) = delete;

    TMemoryStream* Buffer = nullptr; // created and freed by the derived class
    int32_t Configured = 0;          // 1 once a link has been opened; never cleared
    // Why the last opening failed, in words for the connection line (the device and the
    // system's reason); empty when it opened or the user gave it up.
    QString OpenFailure;

    virtual ~TPortVirt();
    // Waits for a received byte (processing messages) and reads it; raises on a closed link.
    virtual int GetCom();
    virtual void Close() = 0;
    // Reads one line ended by LF (CR is counted, not kept) of at most maxCount bytes, with
    // timeoutMs for each byte. The text changes only when the line was read.
    virtual bool GetString(QString& text, int maxCount, int timeoutMs);
    virtual bool WaitPrompt();
    virtual int Open(int port, int speed, int delayMs, const QString& modemConfig, bool waitDsr,
                     const QString& dialNumber) = 0;
    // Command handshake; true when the instrument accepted the command. Escape is given up
    // within seconds whatever the line sends.
    virtual bool SetCmd(uint8_t command, int timeoutMs);
    virtual bool PromptSetCmd(uint8_t command, int timeoutMs);
    // Waits without time limit for the text; ends early only through a closed link.
    virtual bool WaitText(const QString& text);
    virtual void PutCom(uint8_t byte);
    virtual int GetComBuffer(uint8_t* buffer, int count, int timeoutMsPerByte);
    // Identification exchange: the instrument's first line goes to speed, its second to name.
    // A failure shows "Unknown Baudrate", except when the link was closed under the exchange
    // (Power off, the window closed): the user ended it, and nothing failed.
    virtual bool Identify(QString& name, QString& speed);
    virtual void GetBlock(uint8_t* buffer, int count);
    virtual void ClearRx() = 0;
    virtual void ClearTx() = 0;
    virtual int WriteByte(uint8_t value) = 0;
    virtual int ReadBuffer(uint8_t* buffer, int count, int timeoutMs) = 0;
    virtual int ReadByteTimed(int timeoutMs) = 0;
    virtual int ReadByte() = 0;
    virtual void SetState(int state) = 0;
    virtual void SetPortNumber(int port) = 0;
    virtual void SetBaudRate(int speed) = 0;
    virtual void SetParity(int parity) = 0;
    virtual void SetDataBits(int bits) = 0;
    virtual void SetStopBits(int code) = 0;
    virtual void SetXonXoff(bool on) = 0;
    virtual void SetDtrDsr(bool on) = 0;
    virtual void SetRtsCts(bool on) = 0;
    virtual void SetDtr(bool on) = 0;
    virtual void SetRts(bool on) = 0;
    virtual int RxCount() = 0;
    virtual int TxCount() = 0;
    virtual int GetState() = 0;
    virtual int GetPortNumber() = 0;
    virtual int GetBaudRate() = 0;
    virtual int GetDataBits() = 0;
    virtual int GetStopBits() = 0;
    virtual bool GetXonXoff() = 0;
    virtual int GetParity() = 0;
    virtual bool GetDtrDsr() = 0;
    virtual bool GetRtsCts() = 0;
    virtual bool GetDtr() = 0;
    virtual bool GetRts() = 0;
    virtual int GetDsr() = 0;
    virtual void SetLinkOption(int option);
    virtual int MaxBaudRate() = 0;
    virtual void LinkName(QString& name) = 0;
    // The device of the open link went away (an adapter pulled, the line's other end gone):
    // its name for the user; empty while it is there or the link is closed.
    virtual QString DeviceGone() { return {}; }

    // Shared, not virtual.
    static void Wait(int seconds);
    void PutBlock(const uint8_t* data, int count);
    static uint16_t Checksum(const uint8_t* data, uint32_t count);
    // Framed block download into Buffer; raises on a closed link. False (Buffer empty) when it
    // was given up: the line brought no step of the download for seconds, silent or sending
    // bytes of its own, or stopAsked (when given) held while the download stood still.
    bool XbtCLoad(const std::function<bool()>& stopAsked = {});
    // Downloads a block and copies at most destinationSize bytes of it; 0 when nothing was
    // copied, -1 when the download was given up (XbtCLoad).
    int LoadBuffer(void* destination, int destinationSize, const std::function<bool()>& stopAsked = {});
    // The handshake of SetCmd, given up once the instrument has sent nothing at all for
    // silentMs, as when its battery is flat or its radio link lost while the line stays open,
    // and once deadlineMs have passed, whatever the line sends (0: neither), or once stopAsked
    // (when given) holds, as at a deadline. gaveUp (when given) tells whether it was given up so.
    bool Handshake(uint8_t command, int timeoutMs, int deadlineMs, int silentMs, bool* gaveUp = nullptr,
                   const std::function<bool()>& stopAsked = {});

protected:
    // Where the shared protocol differs between the two ports.
    struct TLinkRules {
        // USB: the handshake fails unless the synchronisation came back within 20 sends and
        // makes at most 6 exchanges; WaitText raises on a closed link; identification drains
        // only what the driver reports, and a failed Escape ends it.
        bool Usb = false;
        int DrainMsPerByte = 5000;
        int ProbeReplyMs = 5000;
        int FallbackSpeed = 38400;
    };
    TLinkRules Rules;
    int32_t ByteDelay = 0;  // pause in ms after each byte of PutCom
    int32_t OpenSpeed = 0;  // speed given to the last opening; identification restores it
    // Blocks until a byte may be waiting or ms passed (the ports' poll), so waits don't spin.
    std::function<void(int ms)> AwaitInput;
    // Serial identification: true when the line reported an error, which is then cleared.
    std::function<bool()> TakeLineError;

    bool IsOpen() { return GetState() > 0; }
    // PutCom that gives up (false) once the deadline has passed.
    bool putWithin(uint8_t byte, const QDeadlineTimer& deadline);
    // GetCom, but -1 once `over` says so while nothing came.
    int getComUntil(const std::function<bool()>& over);
    // A reply of the command handshake. A short time-out is a plain timed read; a long one (the
    // status command waits minutes for a busy instrument) lets window messages run while it
    // waits, so that Power off and closing the window still work on a line that went silent, and
    // ends at once when the link is closed. -1 when nothing came.
    int HandshakeRead(int timeoutMs);
};

// The one current link port of the program.
extern TPortVirt* ActivePort;

// Lets window messages run; the byte loops call it often, so it lets them run at most once
// a millisecond.
void LinkProcessMessages();
