#pragma once
#include <cstdint>
#include <cstddef>
#include <cstring>

// Instrument command bytes that more than one place sends.
inline constexpr uint8_t CmdEscape = 27;
inline constexpr uint8_t CmdStatus = 30;

// Sends Escape (27) through the active port; true when the instrument took it. False when it
// was given up (nothing heard for some seconds, or its deadline passed whatever the line sent)
// or answered by a byte that is not the instrument's echo.
bool SendEscape();

#pragma pack(push, 1)
// One channel of one stored cycle as the binary acquisition file holds it (little-endian).
struct DipoleRecord {
    // Measurement part, bytes 0 to 247.
    int16_t Kind = 0;           // 12 with the sounder, else 10
    int16_t Version = 0;        // 3
    float PulseTimeMs = 0;
    uint8_t Reserved8[4] = {};
    int16_t One = 0;            // 1
    int16_t Zero14 = 0;
    float X[4] = {};            // A, B, M, N along the line, plus the total distance
    float Y[4] = {};
    float Z[4] = {};
    float Sp = 0;
    float Vp = 0;
    float In = 0;
    float Rho = 0;
    float M = 0;
    float Reserved84 = 0;
    float Reserved88[20] = {};
    float Reserved168[20] = {};
    // Position and time part, bytes 248 to 303.
    uint8_t Channel = 0;        // low 4 bits: channel index mod 10
    uint8_t Flags = 0;
    int16_t Reserved250 = 0;
    uint8_t Reserved252[12] = {};
    float Latitude = 0;
    float Longitude = 0;
    float Mark = 0;
    float Reserved276 = 0;
    float TxVoltage = 0;
    uint8_t Reserved284[12] = {};
    double DateTime = 0;        // days since 30 December 1899, local time
};
#pragma pack(pop)
static_assert(sizeof(DipoleRecord) == 304, "a dipole record is 304 bytes on disk");
static_assert(offsetof(DipoleRecord, One) == 12);
static_assert(offsetof(DipoleRecord, X) == 16);
static_assert(offsetof(DipoleRecord, Z) == 48);
static_assert(offsetof(DipoleRecord, Sp) == 64);
static_assert(offsetof(DipoleRecord, M) == 80);
static_assert(offsetof(DipoleRecord, Reserved168) == 168);
static_assert(offsetof(DipoleRecord, Channel) == 248);
static_assert(offsetof(DipoleRecord, Latitude) == 264);
static_assert(offsetof(DipoleRecord, Mark) == 272);
static_assert(offsetof(DipoleRecord, TxVoltage) == 280);
static_assert(offsetof(DipoleRecord, DateTime) == 296);
