#pragma once
#include "Portvirt.h"



// The USB link port over the USB-serial driver.
class TPortUSB : public TPortVirt {
public:
    TPortUSB();
    ~TPortUSB() override;

    int GetCom() override;
    void Close() override;
    bool GetString(QString& text, int maxCount, int timeoutMs) override;
    bool WaitPrompt() override;
    int Open(int port, int speed, int delayMs, const QString& modemConfig, bool waitDsr,
             const QString& dialNumber) override;
    bool SetCmd(uint8_t command, int timeoutMs) override;
    bool PromptSetCmd(uint8_t command, int timeoutMs) override;
    bool WaitText(const QString& text) override;
    void PutCom(uint8_t byte) override;
    int GetComBuffer(uint8_t* buffer, int count, int timeoutMsPerByte) override;
    bool Identify(QString& name, QString& speed) override;
    void GetBlock(uint8_t* buffer, int count) override;
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

private:
    int State = 0;
    int PortNumber = 1;
    int BaudRate = 9600;
};

// Number of attached USB link devices.
int UsbDeviceCount();
