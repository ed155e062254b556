#include "Portusb.h"

#include "LinkLog.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"

#include <QElapsedTimer>

int UsbDeviceCount()
{
    DWORD count = 0;
    if (Ftd2xx().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK)
        return 0;
    return static_cast<int>(count);
}

TPortUSB::TPortUSB()
{
    try {
        Buffer = new TMemoryStream;
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    Rules.Usb = true;
    Rules.DrainMsPerByte = 100;
    Rules.ProbeReplyMs = 2000;
    Rules.FallbackSpeed = 115200;
    // The driver offers nothing to block on; a short sleep keeps the polls cheap.
    AwaitInput = [](int) { Sleep(1); };
}

TPortUSB::~TPortUSB() { delete Buffer; }

void TPortUSB::Close()
{
    if (State < 1)
        return;
    SetDtr(false);
    SetRts(false);
    Wait(1);
    Ftd2xx().FT_Close(Handle);
    Handle = nullptr; // never closed twice
    State = 0;
    SetScreenCursor(TCursor::crDefault);
}

int TPortUSB::Open(int port, int speed, int delayMs, const QString&, bool, const QString&)
{
    // A code below 1 is a link state (0 closed, -1 opening), never a port: nothing is opened.
    if (port < 1)
        return 0;
    TFtd2xx& d = Ftd2xx();
    OpenFailure.clear();
    ByteDelay = delayMs;
    OpenSpeed = speed;
    if (Handle) {
        d.FT_Close(Handle);
        Handle = nullptr;
    }
    State = -1;
    do {
        if (Dialogs().MessageBox("Connect USB link between computer and VARNOK or OBRAN click <OK Button>",
                                 "Communication", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
            return 0;
    } while (UsbDeviceCount() == 0);

    FT_HANDLE handle = nullptr;
    if (const FT_STATUS status = d.FT_Open(0, &handle); status != FT_OK) {
        OpenFailure = QString("USB link could not be opened: the driver refused the device (status %1)").arg(status);
        return 0; // nothing was opened: the lines are not touched
    }
    Handle = handle;
    d.FT_ClrDtr(Handle);
    d.FT_ClrRts(Handle);
    Wait(1);
    d.FT_SetBaudRate(Handle, static_cast<ULONG>(speed));
    d.FT_SetTimeouts(Handle, 500, 500);
    SetState(port);
    d.FT_SetDtr(Handle);
    d.FT_SetRts(Handle);
    Sleep(400);
    return State;
}

void TPortUSB::ClearRx()
{
    if (Handle)
        Ftd2xx().FT_Purge(Handle, FT_PURGE_RX);
    LinkProcessMessages();
}

void TPortUSB::ClearTx()
{
    if (open())
        Ftd2xx().FT_Purge(Handle, FT_PURGE_TX);
}

int TPortUSB::WriteByte(uint8_t value)
{
    if (!open())
        return -1;
    DWORD written = 0;
    if (Ftd2xx().FT_Write(Handle, &value, 1, &written) != FT_OK || written != 1)
        return -1;
    LogLinkByte("tx", value);
    return 0;
}

// A device that failed (pulled out) answers every read at once with nothing: the read then
// holds its time all the same, as a timed read on a hung-up serial line does, so that the waits
// that poll with short reads do not spin a core.
DWORD TPortUSB::timedRead(uint8_t* buffer, int count, int timeoutMs)
{
    TFtd2xx& d = Ftd2xx();
    d.FT_SetTimeouts(Handle, static_cast<ULONG>(timeoutMs), 500);
    QElapsedTimer clock;
    clock.start();
    DWORD read = 0;
    if (d.FT_Read(Handle, buffer, static_cast<DWORD>(count), &read) != FT_OK && read == 0) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left > 0)
            Sleep(static_cast<int>(left));
    }
    LogLinkBytes("rx", buffer, static_cast<int>(read));
    return read;
}

int TPortUSB::ReadBuffer(uint8_t* buffer, int count, int timeoutMs)
{
    if (!open())
        return -1;
    if (count <= 0)
        return 0;
    return static_cast<int>(timedRead(buffer, count, timeoutMs));
}

int TPortUSB::ReadByteTimed(int timeoutMs)
{
    if (!open())
        return -1;
    uint8_t b = 0;
    if (timedRead(&b, 1, timeoutMs) != 1)
        return -1;
    return b;
}

int TPortUSB::ReadByte()
{
    if (!open())
        return -1;
    uint8_t b = 0;
    DWORD read = 0;
    Ftd2xx().FT_Read(Handle, &b, 1, &read);
    if (read != 1)
        return -1;
    LogLinkByte("rx", b);
    return b;
}

void TPortUSB::SetState(int state)
{
    State = state;
    if (state > 0)
        Configured = 1;
}

void TPortUSB::SetPortNumber(int) {}

void TPortUSB::SetBaudRate(int speed)
{
    if (open())
        Ftd2xx().FT_SetBaudRate(Handle, static_cast<ULONG>(speed));
}

void TPortUSB::applyDataCharacteristics()
{
    Ftd2xx().FT_SetDataCharacteristics(Handle, static_cast<UCHAR>(DataBits), static_cast<UCHAR>(StopBits),
                                       static_cast<UCHAR>(Parity));
}

void TPortUSB::SetParity(int parity)
{
    if (!open())
        return;
    Parity = parity >= 1 && parity <= 4 ? parity : 0;
    applyDataCharacteristics();
}

void TPortUSB::SetDataBits(int bits)
{
    if (!open())
        return;
    DataBits = bits == 7 ? 7 : 8;
    applyDataCharacteristics();
}

void TPortUSB::SetStopBits(int code)
{
    if (!open())
        return;
    StopBits = code == 2 ? 2 : 0;
    applyDataCharacteristics();
}

void TPortUSB::setFlow(int32_t& field, bool on, USHORT mode)
{
    if (!open())
        return;
    XonXoff = DtrDsr = RtsCts = 0;
    TFtd2xx& d = Ftd2xx();
    if (on) {
        field = 1;
        NoFlow = 0;
        if (mode == FT_FLOW_XON_XOFF)
            d.FT_SetFlowControl(Handle, mode, 17, 19);
        else
            d.FT_SetFlowControl(Handle, mode, 0, 0);
    } else {
        NoFlow = 1;
        d.FT_SetFlowControl(Handle, FT_FLOW_NONE, 0, 0);
    }
}

void TPortUSB::SetXonXoff(bool on) { setFlow(XonXoff, on, FT_FLOW_XON_XOFF); }
void TPortUSB::SetDtrDsr(bool on) { setFlow(DtrDsr, on, FT_FLOW_DTR_DSR); }
void TPortUSB::SetRtsCts(bool on) { setFlow(RtsCts, on, FT_FLOW_RTS_CTS); }

void TPortUSB::SetDtr(bool on)
{
    if (!open())
        return;
    Dtr = on ? 1 : 0;
    if (on)
        Ftd2xx().FT_SetDtr(Handle);
    else
        Ftd2xx().FT_ClrDtr(Handle);
}

void TPortUSB::SetRts(bool on)
{
    if (!open())
        return;
    Rts = on ? 1 : 0;
    if (on)
        Ftd2xx().FT_SetRts(Handle);
    else
        Ftd2xx().FT_ClrRts(Handle);
}

int TPortUSB::RxCount()
{
    if (!open())
        return -1;
    DWORD n = 0;
    Ftd2xx().FT_GetQueueStatus(Handle, &n);
    return static_cast<int>(n);
}

int TPortUSB::TxCount()
{
    if (!open())
        return -1;
    DWORD rx = 0, tx = 0, events = 0;
    Ftd2xx().FT_GetStatus(Handle, &rx, &tx, &events);
    return static_cast<int>(tx);
}

int TPortUSB::GetState() { return State; }
int TPortUSB::GetPortNumber() { return 0; }
int TPortUSB::GetBaudRate() { return 0; }
int TPortUSB::GetDataBits() { return DataBits == 7 ? 7 : 8; }
int TPortUSB::GetStopBits() { return StopBits == 2 ? 2 : 1; }
bool TPortUSB::GetXonXoff() { return XonXoff != 0; }
int TPortUSB::GetParity() { return Parity >= 1 && Parity <= 4 ? Parity : 0; }
bool TPortUSB::GetDtrDsr() { return DtrDsr != 0; }
bool TPortUSB::GetRtsCts() { return RtsCts != 0; }
bool TPortUSB::GetDtr() { return Dtr != 0; }
bool TPortUSB::GetRts() { return Rts != 0; }

int TPortUSB::GetDsr()
{
    ULONG status = 0;
    if (!Handle || Ftd2xx().FT_GetModemStatus(Handle, &status) != FT_OK)
        return 0;
    return (status & FT_MODEM_STATUS_DSR) ? 1 : 0;
}

void TPortUSB::SetLinkOption(int option)
{
    if (Handle)
        Ftd2xx().FT_LinkOption(Handle, static_cast<ULONG>(option));
}

int TPortUSB::MaxBaudRate() { return 273000; }
void TPortUSB::LinkName(QString& name) { name = "USB"; }

QString TPortUSB::DeviceGone()
{
    if (!open())
        return {};
    // The driver refuses every call on a device that was unplugged.
    DWORD n = 0;
    return Ftd2xx().FT_GetQueueStatus(Handle, &n) == FT_OK ? QString() : QStringLiteral("the USB adapter");
}
