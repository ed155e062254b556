#include "LinkLog.h"

#include <QByteArray>

Q_LOGGING_CATEGORY(lcLinkBytes, "quorel.link.bytes", QtInfoMsg)

void LogLinkBytes(const char* direction, const uint8_t* data, int count)
{
    if (count <= 0 || !lcLinkBytes().isDebugEnabled())
        return;
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(data), count).toHex(' ');
    qCDebug(lcLinkBytes).noquote() << direction << hex;
}
