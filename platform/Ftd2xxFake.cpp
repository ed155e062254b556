#include "Ftd2xxFake.h"

#include "PortCtl.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

TFakeFtd2xx::TFakeFtd2xx(const QString& devicePath) : DevicePath(devicePath) {}

TFakeFtd2xx::~TFakeFtd2xx()
{
    if (rx_)
        rx_->Stop();
    if (fd_ >= 0)
        ::close(fd_);
}

void TFakeFtd2xx::log(const QString& call)
{
    Calls << call;
    if (CallLogLimit > 0 && Calls.size() > CallLogLimit)
        Calls.remove(0, Calls.size() - CallLogLimit);
}

// What the terminal holds now is what reached the adapter since the last fetch; beyond the
// chip's buffer it was lost. A terminal that hung up (its other end gone, as an adapter pulled
// out) reports the device failed, as the driver does for an unplugged one: the reader then
// stops instead of polling a terminal that stays readable with nothing to read.
bool TFakeFtd2xx::fetch(std::vector<uint8_t>& out)
{
    size_t got = 0;
    for (;;) {
        uint8_t chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK; // EIO: the other end has gone
        if (n == 0)
            return !DescriptorHungUp(fd_); // nothing to read now (a raw terminal), or hung up
        for (ssize_t i = 0; i < n; ++i, ++got) {
            if (ChipBuffer == 0 || got < ChipBuffer) {
                out.push_back(chunk[i]);
                ++fetched_;
            }
            else
                ++lost_;
        }
    }
}

void TFakeFtd2xx::await(int ms)
{
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, ms);
    // A hung-up terminal polls ready at once: sleep instead, so the reader does not spin.
    if (r > 0 && !(p.revents & POLLIN))
        ::poll(nullptr, 0, ms);
}

QStringList TFakeFtd2xx::CallsOf(const QString& prefix) const
{
    QStringList out;
    for (const QString& c : Calls)
        if (c.startsWith(prefix))
            out << c;
    return out;
}

bool TFakeFtd2xx::valid(FT_HANDLE handle, const char* call)
{
    if (fd_ >= 0 && reinterpret_cast<uintptr_t>(handle) == token_)
        return true;
    log(QStringLiteral("%1 invalid handle").arg(QLatin1String(call)));
    return false;
}

FT_STATUS TFakeFtd2xx::FT_ListDevices(void* arg1, void*, DWORD flags)
{
    const int count = listCalls_ < DeviceScript.size() ? DeviceScript[listCalls_] : Devices;
    ++listCalls_;
    if (LogPolls)
        log(QStringLiteral("FT_ListDevices %1").arg(count));
    if (!(flags & FT_LIST_NUMBER_ONLY) || !arg1)
        return FT_INVALID_PARAMETER;
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(count);
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_Open(int deviceNumber, FT_HANDLE* handle)
{
    log(QStringLiteral("FT_Open %1").arg(deviceNumber));
    if (OpenStatus != FT_OK)
        return OpenStatus;
    if (fd_ >= 0 || deviceNumber != 0)
        return FT_DEVICE_NOT_OPENED;
    const QByteArray path = DevicePath.toLocal8Bit();
    fd_ = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    hungUpAt_ = {};
    if (fd_ < 0)
        return FT_DEVICE_NOT_FOUND;
    SetTermiosRaw(fd_, 8, 0, 1, false, false);
    tcflush(fd_, TCIOFLUSH);
    rx_ = std::make_unique<TFtdiReceiver>(
        TFtdiReceiver::Device{[this](std::vector<uint8_t>& out) { return fetch(out); }, [this](int ms) { await(ms); }},
        BackgroundReader);
    token_ = nextToken_++;
    *handle = reinterpret_cast<FT_HANDLE>(token_);
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_Close(FT_HANDLE handle)
{
    if (!valid(handle, "FT_Close"))
        return FT_INVALID_HANDLE;
    log("FT_Close");
    rx_->Stop();
    rx_.reset();
    ::close(fd_);
    fd_ = -1;
    token_ = 0;
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* read)
{
    *read = 0;
    if (!valid(handle, "FT_Read"))
        return FT_INVALID_HANDLE;
    const FT_STATUS status = rx_->Read(static_cast<uint8_t*>(buffer), count, readTimeoutMs_, read);
    if (*read > 0 || LogPolls)
        log(QStringLiteral("FT_Read %1 %2").arg(count).arg(*read));
    return status;
}

FT_STATUS TFakeFtd2xx::FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written)
{
    *written = 0;
    if (!valid(handle, "FT_Write"))
        return FT_INVALID_HANDLE;
    const QByteArray bytes(static_cast<const char*>(buffer), static_cast<int>(count));
    log(QStringLiteral("FT_Write %1").arg(QString::fromLatin1(bytes.toHex(' '))));
    if (FailWrites)
        return FT_IO_ERROR;
    if (ShortWrites)
        return FT_OK;
    const ssize_t n = ::write(fd_, buffer, count);
    if (n < 0)
        return FT_IO_ERROR;
    *written = static_cast<DWORD>(n);
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_SetBaudRate(FT_HANDLE handle, ULONG baud)
{
    if (!valid(handle, "FT_SetBaudRate"))
        return FT_INVALID_HANDLE;
    log(QStringLiteral("FT_SetBaudRate %1").arg(baud));
    // The test instrument reads the speed of its terminal; 0 is kept as no change.
    if (baud != 0)
        rx_->Locked([&] { return SetTermiosSpeed(fd_, static_cast<int>(baud)); });
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity)
{
    if (!valid(handle, "FT_SetDataCharacteristics"))
        return FT_INVALID_HANDLE;
    log(QStringLiteral("FT_SetDataCharacteristics %1 %2 %3").arg(wordLength).arg(stopBits).arg(parity));
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_SetFlowControl(FT_HANDLE handle, USHORT mode, UCHAR xon, UCHAR xoff)
{
    if (!valid(handle, "FT_SetFlowControl"))
        return FT_INVALID_HANDLE;
    log(QStringLiteral("FT_SetFlowControl 0x%1 %2 %3").arg(mode, 0, 16).arg(xon).arg(xoff));
    return FT_OK;
}

#define FAKE_LINE_CALL(name)                        \
    FT_STATUS TFakeFtd2xx::name(FT_HANDLE handle)   \
    {                                               \
        if (!valid(handle, #name))                  \
            return FT_INVALID_HANDLE;               \
        log(QStringLiteral(#name));                 \
        return FT_OK;                               \
    }
FAKE_LINE_CALL(FT_SetDtr)
FAKE_LINE_CALL(FT_ClrDtr)
FAKE_LINE_CALL(FT_SetRts)
FAKE_LINE_CALL(FT_ClrRts)
#undef FAKE_LINE_CALL

FT_STATUS TFakeFtd2xx::FT_GetModemStatus(FT_HANDLE handle, ULONG* status)
{
    if (!valid(handle, "FT_GetModemStatus"))
        return FT_INVALID_HANDLE;
    log("FT_GetModemStatus");
    *status = ModemStatus;
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_Purge(FT_HANDLE handle, ULONG mask)
{
    if (!valid(handle, "FT_Purge"))
        return FT_INVALID_HANDLE;
    log(QStringLiteral("FT_Purge %1").arg(mask));
    if (mask & FT_PURGE_RX)
        rx_->Purge([this] { tcflush(fd_, TCIFLUSH); });
    if (mask & FT_PURGE_TX)
        tcflush(fd_, TCOFLUSH);
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs)
{
    if (!valid(handle, "FT_SetTimeouts"))
        return FT_INVALID_HANDLE;
    if (LogPolls || readTimeoutMs != readTimeoutMs_)
        log(QStringLiteral("FT_SetTimeouts %1 %2").arg(readTimeoutMs).arg(writeTimeoutMs));
    readTimeoutMs_ = readTimeoutMs;
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes)
{
    *rxBytes = 0;
    if (!valid(handle, "FT_GetQueueStatus"))
        return FT_INVALID_HANDLE;
    *rxBytes = rx_->Waiting();
    if (LogPolls)
        log(QStringLiteral("FT_GetQueueStatus %1").arg(*rxBytes));
    // As the driver does for an unplugged adapter, once what it had received is taken, or once
    // it has been gone a moment with bytes that nothing takes.
    if (DescriptorHungUp(fd_)) {
        const auto now = std::chrono::steady_clock::now();
        if (hungUpAt_ == std::chrono::steady_clock::time_point{})
            hungUpAt_ = now;
        if (*rxBytes == 0 || now - hungUpAt_ >= std::chrono::seconds(1))
            return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus)
{
    *rxBytes = *txBytes = *eventStatus = 0;
    if (!valid(handle, "FT_GetStatus"))
        return FT_INVALID_HANDLE;
    *rxBytes = rx_->Waiting();
    int waiting = 0;
    if (ioctl(fd_, TIOCOUTQ, &waiting) == 0 && waiting > 0)
        *txBytes = static_cast<DWORD>(waiting);
    if (LogPolls)
        log(QStringLiteral("FT_GetStatus %1 %2").arg(*rxBytes).arg(*txBytes));
    return FT_OK;
}

FT_STATUS TFakeFtd2xx::FT_LinkOption(FT_HANDLE handle, ULONG value)
{
    if (!valid(handle, "FT_LinkOption"))
        return FT_INVALID_HANDLE;
    log(QStringLiteral("FT_LinkOption %1").arg(value));
    return FT_OK;
}
