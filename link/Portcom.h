#pragma once
#include "Portvirt.h"
#include "platform/PortCtl.h"

#include <QPointer>

// The serial link port (COM1..COM4, Bluetooth serial ports, optionally through a modem),
// over the serial-port control TPortCtl. The protocol operations are TPortVirt's.
class TPortCOM : public TPortVirt {
public:
    explicit TPortCOM(QObject* owner);
    ~TPortCOM() override;

    void Close() override;
    int Open(int port, int speed, int delayMs, const QString& modemConfig, bool waitDsr,
             const QString& dialNumber) override;
    void ClearRx() override;
    void ClearTx() override;
    int WriteByte(uint8_t value) override;
    int ReadBuffer(uint8_t* buffer, int count, int timeoutMs) override;
    int ReadByteTimed(int timeoutMs) override;
    int ReadByte() override;
    void SetState(int state) override;
    void SetPortNumber(int port) override;
    void SetBaudRate(int speed) override;
    void SetParity(int parity) override;
    void SetDataBits(int bits) override;
    void SetStopBits(int code) override;
    void SetXonXoff(bool on) override;
    void SetDtrDsr(bool on) override;
    void SetRtsCts(bool on) override;
    void SetDtr(bool on) override;
    void SetRts(bool on) override;
    int RxCount() override;
    int TxCount() override;
    int GetState() override;
    int GetPortNumber() override;
    int GetBaudRate() override;
    int GetDataBits() override;
    int GetStopBits() override;
    bool GetXonXoff() override;
    int GetParity() override;
    bool GetDtrDsr() override;
    bool GetRtsCts() override;
    bool GetDtr() override;
    bool GetRts() override;
    int GetDsr() override;
    int MaxBaudRate() override;
    void LinkName(QString& name) override;
    QString DeviceGone() override;

    // The control (tests look at its lines); null when it could not be created or its owner
    // has gone.
    TPortCtl* Control() const { return Port; }

private:
    // Text write of the modem dialling: -1 on a closed link.
    int WriteText(const QString& text);
    bool ModemLine(const QString& line, const QString& answer);

    int32_t State = 0;
    QPointer<TPortCtl> Port;
};
