#pragma once
// What an open descriptor names, for test stand-ins that act on some files only.
#include <QByteArray>
#include <unistd.h>

// The descriptor is open on a binary acquisition file (a name ending in ".bin").
inline bool NamesBinaryFile(int fd)
{
    char link[4096] = {};
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(self.constData(), link, sizeof link - 1);
    return n > 0 && QByteArray(link, int(n)).endsWith(".bin");
}
