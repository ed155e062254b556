#pragma once
#include "Ftd2xx.h"
#include "Ftd2xxReceiver.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

// A driver table without a device: the "device" is a terminal (the pseudo-terminal of the
// test instrument), so the bytes travel exactly as they would over the USB-serial adapter.
// Reception runs as in the real driver: a reader thread fills the receive queue (see
// TFtdiReceiver). Every call is logged with its arguments; the queries that polling loops
// repeat (FT_GetQueueStatus, FT_GetStatus, reads that got nothing) only when LogPolls is set.
// The log keeps the last CallLogLimit calls, so a driver can serve a survey for hours.
class TFakeFtd2xx : public TFtd2xx {
public:
    explicit TFakeFtd2xx(const QString& devicePath);
    ~TFakeFtd2xx() override;

    QString DevicePath;
    // Attached devices reported by FT_ListDevices: each call takes the next scripted value,
    // then Devices for ever.
    std::vector<int> DeviceScript;
    int Devices = 1;
    FT_STATUS OpenStatus = FT_OK;  // anything else: FT_Open fails with it
    bool FailWrites = false;       // FT_Write reports FT_IO_ERROR
    bool ShortWrites = false;      // FT_Write reports success with 0 bytes written
    ULONG ModemStatus = FT_MODEM_STATUS_DSR;
    bool LogPolls = false;
    // Reception, set before FT_Open. ChipBuffer (0: no limit) is the adapter's own buffer:
    // whatever the terminal holds beyond it when the driver next fetches has overflowed it and
    // is lost. BackgroundReader false fetches only while the program calls in.
    size_t ChipBuffer = 0;
    bool BackgroundReader = true;
    size_t LostBytes() const { return lost_; }
    // Bytes the driver has taken from the adapter so far (kept, not lost).
    size_t FetchedBytes() const { return fetched_; }

    QStringList Calls;
    qsizetype CallLogLimit = 20000;
    int OpenHandles() const { return fd_ >= 0 ? 1 : 0; }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) override;
    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* read) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT mode, UCHAR xon, UCHAR xoff) override;
    FT_STATUS FT_SetDtr(FT_HANDLE handle) override;
    FT_STATUS FT_ClrDtr(FT_HANDLE handle) override;
    FT_STATUS FT_SetRts(FT_HANDLE handle) override;
    FT_STATUS FT_ClrRts(FT_HANDLE handle) override;
    FT_STATUS FT_GetModemStatus(FT_HANDLE handle, ULONG* status) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) override;
    FT_STATUS FT_LinkOption(FT_HANDLE handle, ULONG value) override;

    // The calls whose text starts with prefix.
    QStringList CallsOf(const QString& prefix) const;

private:
    bool valid(FT_HANDLE handle, const char* call);
    void log(const QString& call);
    bool fetch(std::vector<uint8_t>& out);
    void await(int ms);

    int fd_ = -1;
    uintptr_t token_ = 0; // handle given out for the open device
    uintptr_t nextToken_ = 0x1000;
    ULONG readTimeoutMs_ = 0;
    size_t listCalls_ = 0;
    std::unique_ptr<TFtdiReceiver> rx_;
    // When the queue check first found the terminal hung up; zero while it has not.
    std::chrono::steady_clock::time_point hungUpAt_{};
    std::atomic<size_t> lost_{0};
    std::atomic<size_t> fetched_{0};
};
