#pragma once
#include <cstdint>

// Every multi-byte value on the instrument link is little-endian.
inline uint16_t ReadLe16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* b)
{
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}
