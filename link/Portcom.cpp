#include "Portcom.h"

#include "LinkLog.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/PortCtl.h"

#include <QFileInfo>

TPortCOM::TPortCOM(QObject* owner)
{
    try {
        Buffer = new TMemoryStream;
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    try {
        Port = new TPortCtl(owner);
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    Rules.Usb = false;
    Rules.DrainMsPerByte = 5000;
    Rules.ProbeReplyMs = 5000;
    Rules.FallbackSpeed = 38400;
    AwaitInput = [this](int ms) {
        if (Port)
            Port->WaitReadable(ms);
        else
            Sleep(ms);
    };
    // Overrun, parity, framing, break: the order in which the line errors are examined.
    TakeLineError = [this] {
        if (!Port)
            return false;
        if (Port->CommOverrun() || Port->CommRxParity() || Port->CommFrame() || Port->CommBreak()) {
            Port->ClearLineStatus();
            return true;
        }
        return false;
    };
}

TPortCOM::~TPortCOM()
{
    delete Port.data();
    delete Buffer;
}

void TPortCOM::Close()
{
    if (State <= 0)
        return;
    SetDtr(false);
    SetRts(false);
    Wait(1);
    State = 0;
    SetScreenCursor(TCursor::crDefault);
    // The control's port stays open: a configured link keeps its port for the whole run. Not a
    // device that hung up (an adapter pulled): held open, it keeps its name from the adapter
    // plugged back, which the system then names otherwise; the next opening opens it again.
    if (Port && Port->HungUp())
        Port->Close();
}

int TPortCOM::Open(int port, int speed, int delayMs, const QString& modemConfig, bool waitDsr,
                   const QString& dialNumber)
{
    // A code below 1 is a link state (0 closed, -1 opening), never a port: nothing is opened.
    if (port < 1)
        return 0;
    OpenFailure.clear();
    if (Configured != 1) {
        ByteDelay = delayMs;
        if (Port) {
            Port->Close();
            Port->SetPortNumber(port);
            Port->SetRtsCts(false);
            Port->SetDtrDsr(false);
            Port->SetRts(false);
            Port->SetDtr(false);
            Port->SetXonXoff(false);
            for (auto which : {TPortCtl::BreakDetect, TPortCtl::CtsChange, TPortCtl::DsrChange, TPortCtl::CdChange,
                               TPortCtl::LineStatusError, TPortCtl::Ring, TPortCtl::RxData, TPortCtl::RxTrigger})
                Port->SetIssueEvent(which, false);
        }
        State = 0;
    }
    if (Port)
        Port->SetBaudRate(speed);
    OpenSpeed = speed;

    const QString prompt = "Connect Serial link < COM " + QString::number(port) +
                           " > between computer and VARNOK or OBRAN click <OK Button>";
    if (Dialogs().MessageBox(prompt, "Communication", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
        State = -1;
        return 0;
    }
    // A configured port keeps the port it first opened, as it was. Only a device that has gone
    // (an adapter pulled and plugged back, the line hung up, an opening given up) is opened
    // again under the same port; and with a dial number the lines are raised and the number
    // dialled again, because the last Close dropped DTR, which hangs a modem up.
    const bool lineLost = !Port || !Port->IsOpen() || Port->HungUp();
    if (Configured == 1 && !lineLost && dialNumber.isEmpty()) {
        SetState(port);
        return port;
    }

    if (Configured != 1 || lineLost) {
        const int handle = Port ? Port->Open() : -1;
        if (handle == 0 || handle == -1) {
            ClearTx();
            ClearRx();
            OpenFailure = "Serial link < COM " + QString::number(port) + " > could not be opened";
            if (Port)
                OpenFailure += " (" + Port->DevicePath() + "): " + Port->OpenError();
            return 0;
        }
    }
    State = -1;
    SetDtr(false);
    SetRts(false);
    ClearTx();
    ClearRx();
    Wait(1);
    TApplication::ProcessMessages();
    if (State != -1) {
        // Power or the window's close came meanwhile and gave the opening up: the device is let
        // go, and the next opening opens it afresh.
        if (Port)
            Port->Close();
        return 0;
    }
    SetRts(true);
    SetDtr(true);
    if (waitDsr) {
        while (GetDsr() == 0) {
            if (State <= 0)
                return 0;
            LinkProcessMessages();
            Sleep(5);
        }
    }
    SetState(port);
    if (dialNumber.isEmpty()) {
        ClearTx();
        ClearRx();
        return port;
    }

    if (!ModemLine("ATZ", "OK"))
        return 0;
    if (!modemConfig.isEmpty() && !ModemLine(modemConfig, "OK"))
        return 0;
    if (!ModemLine("ATDT" + dialNumber, "CONNECT"))
        return 0;
    Wait(1);
    ClearTx();
    ClearRx();
    return port;
}

bool TPortCOM::ModemLine(const QString& line, const QString& answer)
{
    WriteText(line + "\r\n");
    return WaitText(answer) && WaitText("\n");
}

int TPortCOM::WriteText(const QString& text)
{
    if (State <= 0 || !Port)
        return -1;
    const QByteArray bytes = text.toLatin1();
    LogLinkBytes("tx", reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()));
    return Port->WriteByteBuffer(bytes.constData(), static_cast<int>(bytes.size()));
}

void TPortCOM::ClearRx()
{
    while (State > 0 && Port && Port->InBufferCount() >= 1) {
        LogLinkByte("rx (discarded)", Port->ReadByte());
        LinkProcessMessages();
    }
}

void TPortCOM::ClearTx()
{
    if (Port)
        Port->ClearTxBuffer();
}

int TPortCOM::WriteByte(uint8_t value)
{
    if (State <= 0 || !Port)
        return -1;
    const int r = Port->WriteByte(value);
    if (r != -1)
        LogLinkByte("tx", value);
    return r;
}

int TPortCOM::ReadBuffer(uint8_t* buffer, int count, int timeoutMs)
{
    if (State <= 0 || !Port)
        return -1;
    const int n = Port->ReadByteBufferTimed(buffer, count, timeoutMs);
    LogLinkBytes("rx", buffer, n);
    return n;
}

int TPortCOM::ReadByteTimed(int timeoutMs)
{
    if (State <= 0 || !Port)
        return -1;
    const int b = Port->ReadByteTimed(timeoutMs);
    LogLinkByte("rx", b);
    return b;
}

int TPortCOM::ReadByte()
{
    if (State <= 0 || !Port)
        return -1;
    const int b = Port->ReadByte();
    LogLinkByte("rx", b);
    return b;
}

void TPortCOM::SetState(int state)
{
    State = state;
    if (state > 0)
        Configured = 1;
}

void TPortCOM::SetPortNumber(int port) { if (Port) Port->SetPortNumber(port); }
void TPortCOM::SetBaudRate(int speed) { if (Port) Port->SetBaudRate(speed); }
void TPortCOM::SetParity(int parity) { if (Port) Port->SetParity(parity); }
void TPortCOM::SetDataBits(int bits) { if (Port) Port->SetDataBits(bits); }
void TPortCOM::SetStopBits(int code) { if (Port) Port->SetStopBits(code); }
void TPortCOM::SetXonXoff(bool on) { if (Port) Port->SetXonXoff(on); }
void TPortCOM::SetDtrDsr(bool on) { if (Port) Port->SetDtrDsr(on); }
void TPortCOM::SetRtsCts(bool on) { if (Port) Port->SetRtsCts(on); }
void TPortCOM::SetDtr(bool on) { if (Port) Port->SetDtr(on); }
void TPortCOM::SetRts(bool on) { if (Port) Port->SetRts(on); }

int TPortCOM::RxCount() { return State <= 0 || !Port ? -1 : Port->InBufferCount(); }
int TPortCOM::TxCount() { return State <= 0 || !Port ? -1 : Port->OutBufferCount(); }
int TPortCOM::GetState() { return State; }
int TPortCOM::GetPortNumber() { return Port ? Port->PortNumber() : 0; }
int TPortCOM::GetBaudRate() { return Port ? Port->BaudRate() : 0; }
int TPortCOM::GetDataBits() { return Port ? Port->DataBits() : 0; }
int TPortCOM::GetStopBits() { return Port ? Port->StopBits() : 0; }
bool TPortCOM::GetXonXoff() { return Port && Port->XonXoff(); }
int TPortCOM::GetParity() { return Port ? Port->Parity() : 0; }
bool TPortCOM::GetDtrDsr() { return Port && Port->DtrDsr(); }
bool TPortCOM::GetRtsCts() { return Port && Port->RtsCts(); }
bool TPortCOM::GetDtr() { return Port && Port->Dtr(); }
bool TPortCOM::GetRts() { return Port && Port->Rts(); }
int TPortCOM::GetDsr() { return Port ? Port->Dsr() : 0; }
int TPortCOM::MaxBaudRate() { return 115200; }
void TPortCOM::LinkName(QString& name) { name = "RS232"; }

QString TPortCOM::DeviceGone()
{
    if (State <= 0 || !Port || !Port->IsOpen())
        return {};
    // A pulled adapter hangs its open device up, and its node goes from the system.
    const QString path = Port->DevicePath();
    if (Port->HungUp() || !QFileInfo::exists(path))
        return path;
    return {};
}
