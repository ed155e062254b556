#include "Portusb.h"

// Skeleton: the link comes with the protocol and port work.

TPortUSB::TPortUSB() { Buffer = new TMemoryStream; }
TPortUSB::~TPortUSB() { delete Buffer; }
int TPortUSB::GetCom() { if (State <= 0) throw Exception(PortErrGetcom); return -1; }
void TPortUSB::Close() { State = 0; }
bool TPortUSB::GetString(QString&, int, int) { if (State <= 0) throw Exception(PortErrGetstring); return false; }
bool TPortUSB::WaitPrompt() { return WaitText(":>"); }
int TPortUSB::Open(int, int, int, const QString&, bool, const QString&) { return 0; }
bool TPortUSB::SetCmd(uint8_t, int) { if (State <= 0) throw Exception(PortErrSetcmd); return false; }
bool TPortUSB::PromptSetCmd(uint8_t command, int timeoutMs) { return WaitPrompt() ? SetCmd(command, timeoutMs) : false; }
bool TPortUSB::WaitText(const QString&) { return false; }
void TPortUSB::PutCom(uint8_t) { if (State <= 0) throw Exception(PortErrPutcom); }
int TPortUSB::GetComBuffer(uint8_t*, int, int) { if (State <= 0) throw Exception(PortErrGetcom); return 0; }
bool TPortUSB::Identify(QString&, QString&) { return false; }
void TPortUSB::GetBlock(uint8_t* buffer, int count) { for (int i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>(GetCom()); }
void TPortUSB::ClearRx() {  }
void TPortUSB::ClearTx() {  }
int TPortUSB::WriteByte(uint8_t) { return -1; }
int TPortUSB::ReadBuffer(uint8_t*, int, int) { return -1; }
int TPortUSB::ReadByteTimed(int) { return -1; }
int TPortUSB::ReadByte() { return -1; }
void TPortUSB::SetState(int state) { State = state; if (state > 0) Configured = 1; }
void TPortUSB::SetPortNumber(int port) { PortNumber = port; }
void TPortUSB::SetBaudRate(int speed) { BaudRate = speed; }
void TPortUSB::SetParity(int) {  }
void TPortUSB::SetDataBits(int) {  }
void TPortUSB::SetStopBits(int) {  }
void TPortUSB::SetXonXoff(bool) {  }
void TPortUSB::SetDtrDsr(bool) {  }
void TPortUSB::SetRtsCts(bool) {  }
void TPortUSB::SetDtr(bool) {  }
void TPortUSB::SetRts(bool) {  }
int TPortUSB::RxCount() { return -1; }
int TPortUSB::TxCount() { return -1; }
int TPortUSB::GetState() { return State; }
int TPortUSB::GetPortNumber() { return PortNumber; }
int TPortUSB::GetBaudRate() { return BaudRate; }
int TPortUSB::GetDataBits() { return 8; }
int TPortUSB::GetStopBits() { return 0; }
bool TPortUSB::GetXonXoff() { return false; }
int TPortUSB::GetParity() { return 0; }
bool TPortUSB::GetDtrDsr() { return false; }
bool TPortUSB::GetRtsCts() { return false; }
bool TPortUSB::GetDtr() { return false; }
bool TPortUSB::GetRts() { return false; }
int TPortUSB::GetDsr() { return 0; }
int TPortUSB::MaxBaudRate() { return 273000; }
void TPortUSB::LinkName(QString& name) { name = "USB"; }

int UsbDeviceCount() { return 0; }

