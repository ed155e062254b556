#pragma once
#include <QLoggingCategory>
#include <cstdint>

// Every byte the link moves, both ways, as hex ("quorel.link.bytes", off by default):
//   QT_LOGGING_RULES="quorel.link.bytes.debug=true" build/Quorel
// prints lines such as "tx 40" and "rx 40 3a 3e", enough to replay a failing exchange.
Q_DECLARE_LOGGING_CATEGORY(lcLinkBytes)

void LogLinkBytes(const char* direction, const uint8_t* data, int count);
inline void LogLinkByte(const char* direction, int value)
{
    if (value >= 0 && lcLinkBytes().isDebugEnabled()) {
        const uint8_t b = static_cast<uint8_t>(value);
        LogLinkBytes(direction, &b, 1);
    }
}
