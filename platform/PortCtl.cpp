#include "PortCtl.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// What poll reports of a line whose other end has gone, or of a descriptor gone bad.
constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;

using Clock = std::chrono::steady_clock;

// The kernel's termios2 (it carries the speed as a number, so any speed can be set); defined
// here because its header clashes with the C library's termios.
struct KernelTermios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
constexpr unsigned long GetTermios2 = _IOR('T', 0x2A, KernelTermios2);
constexpr unsigned long SetTermios2 = _IOW('T', 0x2B, KernelTermios2);
constexpr tcflag_t KernelCbaud = 0010017;
constexpr tcflag_t KernelBother = 0010000;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

bool SetTermiosSpeed(int fd, int baud)
{
    if (baud <= 0)
        return false;
    KernelTermios2 t{};
    if (ioctl(fd, GetTermios2, &t) != 0)
        return false;
    t.c_cflag = (t.c_cflag & ~KernelCbaud) | KernelBother;
    t.c_cflag &= ~(KernelCbaud << 16); // input speed follows the output speed
    t.c_ispeed = t.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, SetTermios2, &t) == 0;
}

int TermiosSpeed(int fd)
{
    KernelTermios2 t{};
    if (ioctl(fd, GetTermios2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
}

bool SetTermiosRaw(int fd, int dataBits, int parity, int stopBits, bool rtsCts, bool xonXoff)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= dataBits == 7 ? CS7 : CS8;
    switch (parity) {
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (parity != 0)
        t.c_iflag |= INPCK;
    if (stopBits == 2)
        t.c_cflag |= CSTOPB;
    if (rtsCts)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (xonXoff) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 17;
        t.c_cc[VSTOP] = 19;
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

TPortCtl::TPortCtl(QObject* owner) : QObject(owner) {}

TPortCtl::~TPortCtl() { Close(); }

QString TPortCtl::PortDevicePath(int port)
{
    const QByteArray override = qgetenv(("QUOREL_COM" + QByteArray::number(port)).constData());
    if (!override.isEmpty())
        return QString::fromLocal8Bit(override);
    if (port >= 1 && port <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    return QStringLiteral("/dev/rfcomm%1").arg(port);
}

void TPortCtl::SetBaudRate(int speed)
{
    baudRate_ = speed;
    if (fd_ >= 0)
        SetTermiosSpeed(fd_, speed);
}

void TPortCtl::SetParity(int parity) { parity_ = parity; applyLine(); }
void TPortCtl::SetDataBits(int bits) { dataBits_ = bits; applyLine(); }
void TPortCtl::SetStopBits(int code) { stopBits_ = code; applyLine(); }
void TPortCtl::SetXonXoff(bool on) { xonXoff_ = on; applyLine(); }
void TPortCtl::SetDtrDsr(bool on) { dtrDsr_ = on; }
void TPortCtl::SetRtsCts(bool on) { rtsCts_ = on; applyLine(); }
void TPortCtl::SetDtr(bool on) { dtr_ = on; applyModemLines(); }
void TPortCtl::SetRts(bool on) { rts_ = on; applyModemLines(); }

void TPortCtl::applyLine()
{
    if (fd_ < 0)
        return;
    SetTermiosRaw(fd_, dataBits_, parity_, stopBits_, rtsCts_, xonXoff_);
    SetTermiosSpeed(fd_, baudRate_);
}

void TPortCtl::applyModemLines()
{
    if (fd_ < 0)
        return;
    // A pseudo-terminal has no modem lines: the kernel refuses and nothing changes.
    int bits = TIOCM_DTR;
    ioctl(fd_, dtr_ ? TIOCMBIS : TIOCMBIC, &bits);
    bits = TIOCM_RTS;
    ioctl(fd_, rts_ ? TIOCMBIS : TIOCMBIC, &bits);
}

int TPortCtl::Dsr() const
{
    int bits = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCMGET, &bits) != 0)
        return 0;
    return (bits & TIOCM_DSR) ? 1 : 0;
}

TPortCtl::Counts TPortCtl::counts() const
{
    Counts c;
    serial_icounter_struct ic{};
    if (fd_ >= 0 && ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
        c.brk = static_cast<uint32_t>(ic.brk);
        c.frame = static_cast<uint32_t>(ic.frame);
        c.overrun = static_cast<uint32_t>(ic.overrun + ic.buf_overrun);
        c.parity = static_cast<uint32_t>(ic.parity);
    }
    return c;
}

int TPortCtl::CommBreak() const { return counts().brk != baseline_.brk ? 1 : 0; }
int TPortCtl::CommFrame() const { return counts().frame != baseline_.frame ? 1 : 0; }
int TPortCtl::CommOverrun() const { return counts().overrun != baseline_.overrun ? 1 : 0; }
int TPortCtl::CommRxParity() const { return counts().parity != baseline_.parity ? 1 : 0; }
void TPortCtl::ClearLineStatus() { baseline_ = counts(); }

int TPortCtl::InBufferCount() const
{
    if (fd_ < 0)
        return 0;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0)
        waiting = 0;
    return static_cast<int>(buffered()) + waiting;
}

int TPortCtl::OutBufferCount() const
{
    int waiting = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &waiting) != 0 || waiting < 0)
        return 0;
    return waiting;
}

int TPortCtl::Open()
{
    Close();
    const QByteArray path = DevicePath().toLocal8Bit();
    const auto failed = [this](const QString& why) {
        openError_ = why;
        return -1;
    };
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    if (fd == 0) { // 0 means failure to the caller
        const int other = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        const int error = errno;
        ::close(fd);
        fd = other;
        if (fd < 0)
            return failed(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (!isatty(fd)) {
        ::close(fd);
        return failed(QStringLiteral("not a serial line"));
    }
    openError_.clear();
    fd_ = fd;
    applyLine();
    applyModemLines();
    tcflush(fd_, TCIOFLUSH);
    rx_.clear();
    rxPos_ = 0;
    baseline_ = counts();
    return fd_;
}

bool DescriptorHungUp(int fd)
{
    if (fd < 0)
        return false;
    // Asked for nothing, poll still reports a hang-up or a descriptor gone bad.
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & HangUpEvents) != 0;
}

bool TPortCtl::HungUp() const { return DescriptorHungUp(fd_); }

void TPortCtl::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    rx_.clear();
    rxPos_ = 0;
}

bool TPortCtl::fill(int timeoutMs)
{
    if (fd_ < 0)
        return false;
    if (rxPos_ == rx_.size()) {
        rx_.clear();
        rxPos_ = 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool hungUp = false;
    for (;;) {
        uint8_t chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            rx_.insert(rx_.end(), chunk, chunk + n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int left = remainingMs(deadline);
        if (left <= 0)
            return false;
        if (hungUp) {
            // The other end went away and what it left has been read: nothing can come, and a
            // hung-up terminal polls readable at once, so hold for the time asked, not spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r == 0)
            return false;
        if (r > 0 && (!(p.revents & POLLIN) || (p.revents & HangUpEvents)))
            hungUp = true; // one more read takes what may still be waiting
    }
}

int TPortCtl::ReadByte()
{
    if (buffered() == 0 && !fill(0))
        return -1;
    return rx_[rxPos_++];
}

int TPortCtl::ReadByteTimed(int timeoutMs)
{
    if (buffered() == 0 && !fill(timeoutMs))
        return -1;
    return rx_[rxPos_++];
}

int TPortCtl::ReadByteBufferTimed(uint8_t* buffer, int count, int timeoutMs)
{
    if (fd_ < 0 || count <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int got = 0;
    while (got < count) {
        if (buffered() == 0 && !fill(remainingMs(deadline)))
            break;
        const size_t take = std::min<size_t>(buffered(), static_cast<size_t>(count - got));
        std::memcpy(buffer + got, rx_.data() + rxPos_, take);
        rxPos_ += take;
        got += static_cast<int>(take);
    }
    return got;
}

int TPortCtl::WriteByte(int value)
{
    const char byte = static_cast<char>(value);
    return WriteByteBuffer(&byte, 1) == 1 ? 0 : -1;
}

int TPortCtl::WriteByteBuffer(const char* data, int length)
{
    if (fd_ < 0)
        return -1;
    int done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0 && (p.revents & POLLOUT))
                continue;
        }
        break;
    }
    return done > 0 ? done : -1;
}

void TPortCtl::ClearTxBuffer()
{
    if (fd_ >= 0)
        tcflush(fd_, TCOFLUSH);
}

void TPortCtl::WaitReadable(int timeoutMs)
{
    if (fd_ < 0 || buffered() > 0) {
        if (fd_ < 0 && timeoutMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    // A hung-up line polls at once (readable too, with nothing to read): don't spin on it.
    const bool hungUp = (p.revents & HangUpEvents) && InBufferCount() == 0;
    if (r > 0 && (!(p.revents & POLLIN) || hungUp) && timeoutMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}
