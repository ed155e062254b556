#pragma once
// What the bytes on the instrument link mean: the instrument's side of the protocol, apart
// from moving the bytes (InstrumentWire.h) and from deciding what to answer
// (TestInstrument.cpp). All multi-byte values are little-endian.
#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace Instrument {

// What the host programmed with the measurement command and the bytes that follow it.
struct TSurveyProgram {
    uint8_t Command = 0;     // 34, 47 (15 V with IP), 48 (5 V), 49 (5 V with IP)
    float TxVoltage = 0;     // V
    uint16_t PulseTime = 0;  // units of 10 ms
    uint16_t Delay = 0;
    int16_t SwitchWord = 0;  // 29 when the switch unit is used
    std::array<int16_t, 13> Table1{}, Table2{};
    bool Ip() const { return Command == 47 || Command == 49; }
    bool Switch() const { return SwitchWord == 29; }
};

// Command exchange: the command byte, then its complement.
//   1e e1      command 30 (status), complement 0x1e ^ 0xff
// Gives the command, or nothing when the second byte is not the complement.
std::optional<uint8_t> DecodeCommand(uint8_t command, uint8_t complement);

// Parameter block after a measurement command, 8 bytes.
//   00 00 48 41   float 12.5 V
//   19 00         pulse time 25 (x 10 ms = 250 ms)
//   00 00         delay 0
// Writes TxVoltage, PulseTime and Delay; false when the block is not 8 bytes.
bool DecodeParameterBlock(const QByteArray& bytes, TSurveyProgram& program);

// Switch word, 2 bytes: 1d 00 = 29 (the switch unit follows with two tables), 00 00 = none.
int16_t DecodeSwitchWord(const QByteArray& bytes);

// Switch-unit channel table, 13 signed 16-bit values for A, B, P1..P11 (26 bytes).
//   00 00 00 00 01 00 02 00 ... 0b 00   A=0, B=0, P1=1, P2=2 ... P11=11
bool DecodeSwitchTable(const QByteArray& bytes, std::array<int16_t, 13>& table);

// Frame request (and block end word) from the host, 2 bytes: 01 00 = frame 1, 7f 00 = 127.
uint16_t DecodeFrameNumber(const QByteArray& bytes);

// A frame as the instrument sends it for request N:
//   01 00            echo of N = 1
//   00 84            length word: 528 << 6 = 0x8400 (the low six bits are not part of it)
//   <528 data bytes>
//   xx xx            checksum: the bytes of the 16-bit length (10 02) plus the data bytes
// lengthWord, when given, replaces the word that the length makes; the checksum still
// covers the length the host will use.
QByteArray EncodeFrame(uint16_t number, const QByteArray& data, std::optional<uint16_t> lengthWord = {},
                       uint16_t checksumXor = 0);
uint16_t FrameChecksum(uint16_t length, const QByteArray& data);
// The length the host takes from a length word, limited as the host limits it.
uint32_t HostFrameLength(uint16_t lengthWord, uint32_t remaining);

QByteArray Le16(uint16_t value);
QByteArray Le32(uint32_t value);
QByteArray Floats(const std::vector<float>& values);

// A relayed sentence: signed 32-bit length, then the sentence.
//   0c 00 00 00  "$SDDBT,1,f,2"   (a length of 0 says that none came)
QByteArray EncodeSentence(const QByteArray& sentence);
// NMEA sentence with its checksum: "$" + body + "*" + two hex digits.
QByteArray NmeaSentence(const QByteArray& body);

} // namespace Instrument
