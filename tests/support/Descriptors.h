#pragma once
// What an open descriptor names, for test stand-ins that act on some files only.
#include <QByteArray>
#include <cerrno>
#include <unistd.h>

// The descriptor is open on a binary acquisition file (a name ending in ".bin").
inline bool NamesBinaryFile(int fd)
{
    char link[4096] = {};
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(self.constData(), link, sizeof link - 1);
    return n > 0 && QByteArray(link, int(n)).endsWith(".bin");
}

// A file closer for the acquisition files' close hook: the next `Failures` closes (of binary
// files only, or of any file) report EIO after the file got all that was written, as a network
// share's deferred write error does.
struct DeferredCloseError {
    static inline int Failures = 0;
    static inline bool BinaryOnly = true;
    static int Close(int fd)
    {
        if (Failures <= 0 || (BinaryOnly && !NamesBinaryFile(fd)))
            return ::close(fd);
        --Failures;
        ::close(fd);
        errno = EIO;
        return -1;
    }
};
