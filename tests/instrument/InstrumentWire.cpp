#include "InstrumentWire.h"

#include "platform/PortCtl.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Instrument {

TPtyWire::TPtyWire()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        Hangup();
        return;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        Hangup();
        return;
    }
    path_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ >= 0)
        SetTermiosRaw(slave_, 8, 0, 1, false, false);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
}

TPtyWire::~TPtyWire()
{
    Hangup();
    for (int& fd : wake_)
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
}

int TPtyWire::Read(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stopped_ || master_ < 0)
            return -2;
        if (rxPos_ < rx_.size())
            return rx_[rxPos_++];
        rx_.clear();
        rxPos_ = 0;
        uint8_t chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            rx_.assign(chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            return -2;
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return -1;
            wait = static_cast<int>(left);
        }
        if (wake_[0] < 0 && (wait < 0 || wait > 50))
            wait = 50; // no wake-up pipe: look at the stop request often instead
        pollfd p[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int r = ::poll(p, wake_[0] >= 0 ? 2 : 1, wait);
        if (r > 0 && (p[0].revents & (POLLHUP | POLLERR)) && !(p[0].revents & POLLIN)) {
            // No slave open except ours cannot happen; a hang-up here means the wire went.
            ::poll(nullptr, 0, 5);
        }
    }
}

bool TPtyWire::Write(const QByteArray& bytes)
{
    // The instrument's answers and a test's SendNow come from two threads, and a dropped line
    // closes the descriptor: one at a time, so no write goes to a closed (or reused) one.
    std::lock_guard lock(writeMutex_);
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (stopped_ || master_ < 0)
            return false;
        const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
        ::poll(p, wake_[0] >= 0 ? 2 : 1, 100);
    }
    return true;
}

int TPtyWire::Speed() const { return master_ >= 0 ? TermiosSpeed(master_) : 0; }

void TPtyWire::Hangup()
{
    std::lock_guard lock(writeMutex_);
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void TPtyWire::Stop()
{
    stopped_ = true;
    if (wake_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
    }
}

} // namespace Instrument
