#include "platform/DeviceMonitor.h"
#include "support/TestApp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Notices on a pipe, as udev's socket gives them: 'u' a USB device came or went, 'x' anything
// else.
class PipeSource {
public:
    PipeSource()
    {
        EXPECT_EQ(pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0);
        previous_ = TDeviceMonitor::SetSourceFactory([this]() -> std::optional<TDeviceMonitor::TSource> {
            TDeviceMonitor::TSource s;
            s.Name = "pipe";
            s.Fd = fds_[0];
            s.Take = [this] {
                char c = 0;
                if (::read(fds_[0], &c, 1) != 1)
                    return -1;
                return c == 'u' ? 1 : 0;
            };
            s.Close = [this] { ++closed; };
            return s;
        });
    }
    ~PipeSource()
    {
        TDeviceMonitor::SetSourceFactory(previous_);
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void Send(const char* notices) { ASSERT_GT(::write(fds_[1], notices, strlen(notices)), 0); }
    int closed = 0;

private:
    int fds_[2] = {-1, -1};
    TDeviceMonitor::TSourceFactory previous_;
};

// Runs the event loop until changes reach count or timeoutMs passed.
int runUntil(const int& changes, int count, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (changes < count && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return changes;
}

TEST(DeviceMonitor, NoticesOnTheSocketAreToldAtOnce)
{
    TestApp();
    PipeSource pipe;
    {
        TDeviceMonitor monitor([] { return 0; });
        EXPECT_EQ(monitor.Source(), "pipe");
        EXPECT_EQ(monitor.findChild<QObject*>("DevicePoll"), nullptr) << "no poll beside the socket";
        int changes = 0;
        QObject::connect(&monitor, &TDeviceMonitor::Changed, [&] { ++changes; });

        pipe.Send("x");
        runUntil(changes, 1, 200);
        EXPECT_EQ(changes, 0) << "a notice about something else changes nothing";
        QElapsedTimer t;
        t.start();
        pipe.Send("xuu"); // what waits together is told once
        EXPECT_EQ(runUntil(changes, 1, 1000), 1);
        EXPECT_LT(t.elapsed(), 1000);
        runUntil(changes, 2, 100);
        EXPECT_EQ(changes, 1);
        pipe.Send("u");
        EXPECT_EQ(runUntil(changes, 2, 1000), 2);
    }
    EXPECT_EQ(pipe.closed, 1);
}

TEST(DeviceMonitor, WithoutASourceTheDeviceCountIsPolled)
{
    TestApp();
    const auto previous = TDeviceMonitor::SetSourceFactory([] { return std::optional<TDeviceMonitor::TSource>{}; });
    int devices = 0;
    {
        TDeviceMonitor monitor([&] { return devices; });
        EXPECT_EQ(monitor.Source(), "poll");
        int changes = 0;
        QObject::connect(&monitor, &TDeviceMonitor::Changed, [&] { ++changes; });
        EXPECT_EQ(runUntil(changes, 1, 5000), 1); // the first count is news
        devices = 1;
        EXPECT_EQ(runUntil(changes, 2, 5000), 2);
        runUntil(changes, 3, 2500);
        EXPECT_EQ(changes, 2) << "an unchanged count is not told";
    }
    TDeviceMonitor::SetSourceFactory(previous);
}

} // namespace
