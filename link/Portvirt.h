#pragma once
#include "platform/Exception.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// Fixed messages of the link's exceptions.
inline constexpr const char* PortErrGetcom = "Port err. Getcom";
inline constexpr const char* PortErrPutcom = "Port err. putcom";
inline constexpr const char* PortErr = "Port err.";
inline constexpr const char* PortErrGetstring = "Port err. getstring";
inline constexpr const char* PortErrSetcmd = "Port err. Setcmd";
inline constexpr const char* PortWaitError = "Wait error";
inline constexpr const char* PortErrXbtCload = "Port err. xbtCload";

// The bytes of the last block download.
using TMemoryStream = QByteArray;

// The abstract link port. The serial port (TPortCOM) and the USB port (TPortUSB) fill these
// operations in this order; the protocol (handshake, prompt, identification, block download)
// is built on the raw byte operations. The link state is the port number while open (>0),
// 0 when closed, -1 while opening or after a cancelled connect prompt.
class TPortVirt {
public:
    TPortVirt() = default;
    TPortVirt(const TPortVirt&) = delete;
    TPortVirt& operator=(const TPortVirt&) = delete;

    TMemoryStream* Buffer = nullptr; // created and freed by the derived class
    int32_t Configured = 0;          // 1 once a link has been opened; never cleared

    virtual ~TPortVirt();
    virtual int GetCom() = 0;
    virtual void Close() = 0;
    virtual bool GetString(QString& text, int maxCount, int timeoutMs) = 0;
    virtual bool WaitPrompt() = 0;
    virtual int Open(int port, int speed, int delayMs, const QString& modemConfig, bool waitDsr,
                     const QString& dialNumber) = 0;
    virtual bool SetCmd(uint8_t command, int timeoutMs) = 0;
    virtual bool PromptSetCmd(uint8_t command, int timeoutMs) = 0;
    virtual bool WaitText(const QString& text) = 0;
    virtual void PutCom(uint8_t byte) = 0;
    virtual int GetComBuffer(uint8_t* buffer, int count, int timeoutMsPerByte) = 0;
    virtual bool Identify(QString& name, QString& speed) = 0;
    virtual void GetBlock(uint8_t* buffer, int count) = 0;
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

    // Shared, not virtual.
    static void Wait(int seconds);
    void PutBlock(const uint8_t* data, int count);
    static uint16_t Checksum(const uint8_t* data, uint32_t count);
    bool XbtCLoad();
    // Downloads a block and copies at most destinationSize bytes of it; 0 when nothing was copied.
    int LoadBuffer(void* destination, int destinationSize);
};

// The one current link port of the program.
extern TPortVirt* ActivePort;
