#pragma once
#include <QString>
#include <cstdint>
#include <memory>

// The USB-serial driver functions that the USB link port uses, with the driver's names,
// argument orders and status values. One table is in use at a time: the real one over
// libftdi1, or a fake one (tests, or a person without the device) that talks to the test
// instrument through a terminal device.
using FT_HANDLE = void*;
using FT_STATUS = uint32_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using UCHAR = uint8_t;
using USHORT = uint16_t;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INVALID_PARAMETER = 6,
    FT_OTHER_ERROR = 18,
    FT_NOT_SUPPORTED = 17,
};
inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr ULONG FT_PURGE_RX = 1;
inline constexpr ULONG FT_PURGE_TX = 2;
inline constexpr USHORT FT_FLOW_NONE = 0x0000;
inline constexpr USHORT FT_FLOW_RTS_CTS = 0x0100;
inline constexpr USHORT FT_FLOW_DTR_DSR = 0x0200;
inline constexpr USHORT FT_FLOW_XON_XOFF = 0x0400;
inline constexpr UCHAR FT_BITS_7 = 7, FT_BITS_8 = 8;
inline constexpr UCHAR FT_STOP_BITS_1 = 0, FT_STOP_BITS_2 = 2;
inline constexpr ULONG FT_MODEM_STATUS_DSR = 0x20;

class TFtd2xx {
public:
    virtual ~TFtd2xx() = default;
    // With FT_LIST_NUMBER_ONLY: arg1 receives the number of attached devices.
    virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) = 0;
    virtual FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
    // Returns after count bytes or the read timeout, with the count actually read.
    virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* read) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) = 0;
    virtual FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baud) = 0;
    virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT mode, UCHAR xon, UCHAR xoff) = 0;
    virtual FT_STATUS FT_SetDtr(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_ClrDtr(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_SetRts(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_ClrRts(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_GetModemStatus(FT_HANDLE handle, ULONG* status) = 0;
    virtual FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) = 0;
    virtual FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) = 0;
    virtual FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) = 0;
    // The link option of the port (driver function 29); nothing uses it.
    virtual FT_STATUS FT_LinkOption(FT_HANDLE handle, ULONG value) = 0;
};

// The one factory: an empty choice (or "libftdi") gives the real driver; any other text is
// the path of a terminal device behind which the test instrument answers, and gives the
// fake driver connected to it.
std::unique_ptr<TFtd2xx> MakeFtd2xx(const QString& choice);

// The table in use. At first use it is made from the environment variable QUOREL_FTD2XX.
TFtd2xx& Ftd2xx();
// Installs another table (not owned; tests); nullptr goes back to the one made at first use.
TFtd2xx* SetFtd2xx(TFtd2xx* table);
