#include "Ftd2xxReal.h"

#include "Ftd2xxReceiver.h"

#include <chrono>
#include <libftdi1/ftdi.h>
#include <libusb.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One opened device; its receiver's reader thread keeps fetching what the adapter receives.
struct Device {
    ftdi_context* ctx = nullptr;
    std::unique_ptr<TFtdiReceiver> rx;
    ULONG readTimeoutMs = 0;
};

class TLibFtdi : public TFtd2xx {
public:
    FT_STATUS FT_ListDevices(void* arg1, void*, DWORD flags) override
    {
        if (!(flags & FT_LIST_NUMBER_ONLY) || !arg1)
            return FT_INVALID_PARAMETER;
        ftdi_context* ctx = ftdi_new();
        if (!ctx)
            return FT_OTHER_ERROR;
        ftdi_device_list* list = nullptr;
        const int n = ftdi_usb_find_all(ctx, &list, 0, 0);
        if (list)
            ftdi_list_free(&list);
        ftdi_free(ctx);
        if (n < 0)
            return FT_OTHER_ERROR;
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(n);
        return FT_OK;
    }

    FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override
    {
        ftdi_context* ctx = ftdi_new();
        if (!ctx)
            return FT_OTHER_ERROR;
        ftdi_device_list* list = nullptr;
        const int n = ftdi_usb_find_all(ctx, &list, 0, 0);
        ftdi_device_list* entry = list;
        for (int i = 0; entry && i < deviceNumber; ++i)
            entry = entry->next;
        const int opened = (n > 0 && entry) ? ftdi_usb_open_dev(ctx, entry->dev) : -1;
        if (list)
            ftdi_list_free(&list);
        if (opened < 0) {
            ftdi_free(ctx);
            return n > 0 ? FT_DEVICE_NOT_OPENED : FT_DEVICE_NOT_FOUND;
        }
        ftdi_set_latency_timer(ctx, 2);
        // A read with nothing to take returns after the adapter's latency; the timeout only
        // bounds how long the reader holds the device when the adapter stops answering.
        ctx->usb_read_timeout = 100;
        auto* dev = new Device;
        dev->ctx = ctx;
        dev->rx = std::make_unique<TFtdiReceiver>(
            TFtdiReceiver::Device{
                LibFtdiFetch([ctx](unsigned char* buffer, int size) { return ftdi_read_data(ctx, buffer, size); }),
                [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }},
            true);
        *handle = dev;
        return FT_OK;
    }

    FT_STATUS FT_Close(FT_HANDLE handle) override
    {
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        dev->rx->Stop();
        ftdi_usb_close(dev->ctx);
        ftdi_free(dev->ctx);
        delete dev;
        return FT_OK;
    }

    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* read) override
    {
        *read = 0;
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        return dev->rx->Read(static_cast<uint8_t*>(buffer), count, dev->readTimeoutMs, read);
    }

    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written) override
    {
        *written = 0;
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        const int n = dev->rx->Locked([&] {
            return ftdi_write_data(dev->ctx, static_cast<const unsigned char*>(buffer), static_cast<int>(count));
        });
        if (n < 0)
            return FT_IO_ERROR;
        *written = static_cast<DWORD>(n);
        return FT_OK;
    }

    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baud) override
    {
        return status(handle, [&](ftdi_context* c) { return ftdi_set_baudrate(c, static_cast<int>(baud)); });
    }

    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) override
    {
        return status(handle, [&](ftdi_context* c) {
            return ftdi_set_line_property(c, wordLength == 7 ? BITS_7 : BITS_8,
                                          stopBits == FT_STOP_BITS_2 ? STOP_BIT_2 : STOP_BIT_1,
                                          static_cast<ftdi_parity_type>(parity <= 4 ? parity : 0));
        });
    }

    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT mode, UCHAR xon, UCHAR xoff) override
    {
        return status(handle, [&](ftdi_context* c) {
            if (mode == FT_FLOW_XON_XOFF)
                return ftdi_setflowctrl_xonxoff(c, xon, xoff);
            return ftdi_setflowctrl(c, mode);
        });
    }

    FT_STATUS FT_SetDtr(FT_HANDLE h) override { return status(h, [](ftdi_context* c) { return ftdi_setdtr(c, 1); }); }
    FT_STATUS FT_ClrDtr(FT_HANDLE h) override { return status(h, [](ftdi_context* c) { return ftdi_setdtr(c, 0); }); }
    FT_STATUS FT_SetRts(FT_HANDLE h) override { return status(h, [](ftdi_context* c) { return ftdi_setrts(c, 1); }); }
    FT_STATUS FT_ClrRts(FT_HANDLE h) override { return status(h, [](ftdi_context* c) { return ftdi_setrts(c, 0); }); }

    FT_STATUS FT_GetModemStatus(FT_HANDLE handle, ULONG* status) override
    {
        *status = 0;
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        unsigned short s = 0;
        if (dev->rx->Locked([&] { return ftdi_poll_modem_status(dev->ctx, &s); }) < 0)
            return FT_IO_ERROR;
        *status = s & 0xFF; // CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80 as the driver gives them
        return FT_OK;
    }

    FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) override
    {
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        int r = 0;
        if (mask & FT_PURGE_RX)
            dev->rx->Purge([&] { r |= ftdi_tciflush(dev->ctx); });
        if (mask & FT_PURGE_TX)
            r |= dev->rx->Locked([&] { return ftdi_tcoflush(dev->ctx); });
        return r < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG) override
    {
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        dev->readTimeoutMs = readTimeoutMs;
        return FT_OK;
    }

    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) override
    {
        *rxBytes = 0;
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        return LibFtdiQueueStatus(*dev->rx, rxBytes);
    }

    FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus) override
    {
        *txBytes = *eventStatus = 0; // libftdi writes synchronously: nothing waits to be sent
        return FT_GetQueueStatus(handle, rxBytes);
    }

    FT_STATUS FT_LinkOption(FT_HANDLE handle, ULONG) override
    {
        return handle ? FT_NOT_SUPPORTED : FT_INVALID_HANDLE;
    }

private:
    template <class F>
    static FT_STATUS status(FT_HANDLE handle, F call)
    {
        auto* dev = static_cast<Device*>(handle);
        if (!dev)
            return FT_INVALID_HANDLE;
        return dev->rx->Locked([&] { return call(dev->ctx); }) < 0 ? FT_IO_ERROR : FT_OK;
    }
};

} // namespace

std::function<bool(std::vector<uint8_t>& out)> LibFtdiFetch(LibFtdiRead read)
{
    return [read = std::move(read)](std::vector<uint8_t>& out) {
        unsigned char chunk[4096];
        const int n = read(chunk, sizeof chunk);
        if (n > 0)
            out.insert(out.end(), chunk, chunk + n);
        // Only a device that is no more fails: libftdi without one (-666), or a read that found
        // none (an adapter unplugged). A timeout or a transfer error leaves the adapter there,
        // and the next read tells whether it is still; failing on it would end the reception
        // for good on an adapter still plugged in.
        return n >= 0 || (n != -666 && n != LIBUSB_ERROR_NO_DEVICE);
    };
}

FT_STATUS LibFtdiQueueStatus(TFtdiReceiver& rx, DWORD* rxBytes)
{
    // The check fails as soon as the reader found the device gone, even with bytes not yet
    // taken: a link resting between exchanges (the wait for Start) reads nothing, and would never
    // hear of the loss. The bytes are still counted, and FT_Read still gives them.
    *rxBytes = rx.Waiting();
    return rx.Failed() ? FT_IO_ERROR : FT_OK;
}

std::unique_ptr<TFtd2xx> MakeRealFtd2xx() { return std::make_unique<TLibFtdi>(); }
