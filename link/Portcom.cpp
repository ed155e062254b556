#include "Portcom.h"

// Skeleton: the link comes with the protocol and port work.

TPortCOM::TPortCOM(QObject*) { Buffer = new TMemoryStream; }
TPortCOM::~TPortCOM() { delete Buffer; }
int TPortCOM::GetCom() { if (State <= 0) throw Exception(PortErrGetcom); return -1; }
void TPortCOM::Close() { State = 0; }
bool TPortCOM::GetString(QString&, int, int) { if (State <= 0) throw Exception(PortErrGetstring); return false; }
bool TPortCOM::WaitPrompt() { return WaitText(":>"); }
int TPortCOM::Open(int, int, int, const QString&, bool, const QString&) { return 0; }
bool TPortCOM::SetCmd(uint8_t, int) { if (State <= 0) throw Exception(PortErrSetcmd); return false; }
bool TPortCOM::PromptSetCmd(uint8_t command, int timeoutMs) { return WaitPrompt() ? SetCmd(command, timeoutMs) : false; }
bool TPortCOM::WaitText(const QString&) { return false; }
void TPortCOM::PutCom(uint8_t) { if (State <= 0) throw Exception(PortErrPutcom); }
int TPortCOM::GetComBuffer(uint8_t*, int, int) { if (State <= 0) throw Exception(PortErrGetcom); return 0; }
bool TPortCOM::Identify(QString&, QString&) { return false; }
void TPortCOM::GetBlock(uint8_t* buffer, int count) { for (int i = 0; i < count; ++i) buffer[i] = static_cast<uint8_t>(GetCom()); }
void TPortCOM::ClearRx() {  }
void TPortCOM::ClearTx() {  }
int TPortCOM::WriteByte(uint8_t) { return -1; }
int TPortCOM::ReadBuffer(uint8_t*, int, int) { return -1; }
int TPortCOM::ReadByteTimed(int) { return -1; }
int TPortCOM::ReadByte() { return -1; }
void TPortCOM::SetState(int state) { State = state; if (state > 0) Configured = 1; }
void TPortCOM::SetPortNumber(int port) { PortNumber = port; }
void TPortCOM::SetBaudRate(int speed) { BaudRate = speed; }
void TPortCOM::SetParity(int) {  }
void TPortCOM::SetDataBits(int) {  }
void TPortCOM::SetStopBits(int) {  }
void TPortCOM::SetXonXoff(bool) {  }
void TPortCOM::SetDtrDsr(bool) {  }
void TPortCOM::SetRtsCts(bool) {  }
void TPortCOM::SetDtr(bool) {  }
void TPortCOM::SetRts(bool) {  }
int TPortCOM::RxCount() { return -1; }
int TPortCOM::TxCount() { return -1; }
int TPortCOM::GetState() { return State; }
int TPortCOM::GetPortNumber() { return PortNumber; }
int TPortCOM::GetBaudRate() { return BaudRate; }
int TPortCOM::GetDataBits() { return 8; }
int TPortCOM::GetStopBits() { return 0; }
bool TPortCOM::GetXonXoff() { return false; }
int TPortCOM::GetParity() { return 0; }
bool TPortCOM::GetDtrDsr() { return false; }
bool TPortCOM::GetRtsCts() { return false; }
bool TPortCOM::GetDtr() { return false; }
bool TPortCOM::GetRts() { return false; }
int TPortCOM::GetDsr() { return 0; }
int TPortCOM::MaxBaudRate() { return 115200; }
void TPortCOM::LinkName(QString& name) { name = "RS232"; }

