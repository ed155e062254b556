#pragma once
#include "Portvirt.h"
#include "platform/Ftd2xx.h"

// The USB link port over the USB-serial driver functions (platform/Ftd2xx.h: the real
// driver, or the fake one behind which the test instrument answers). The protocol
// operations are TPortVirt's, with the USB particulars in its rules.
class TPortUSB : public TPortVirt {
public:
    TPortUSB();
    ~TPortUSB() override;

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
    void SetLinkOption(int option) override;
    int MaxBaudRate() override;
    void LinkName(QString& name) override;
    QString DeviceGone() override;

    FT_HANDLE GetHandle() const { return Handle; }

private:
    bool open() const { return State >= 1; }
    void setFlow(int32_t& field, bool on, USHORT mode);
    void applyDataCharacteristics();
    DWORD timedRead(uint8_t* buffer, int count, int timeoutMs);

    FT_HANDLE Handle = nullptr;
    int32_t DataBits = 8;
    int32_t StopBits = 0;
    int32_t Parity = 0;
    int32_t XonXoff = 0;
    int32_t DtrDsr = 0;
    int32_t RtsCts = 0;
    int32_t NoFlow = 1;
    int32_t State = 0;
    int32_t Dtr = 0;
    int32_t Rts = 0;
};

// Number of attached USB link devices; 0 when the driver cannot tell.
int UsbDeviceCount();
