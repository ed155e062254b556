// The real USB driver's reception without an adapter: its reader thread is driven by a scripted
// libftdi read in place of ftdi_read_data.
#include "platform/Ftd2xxReal.h"
#include "platform/Ftd2xxReceiver.h"

#include <QByteArray>
#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <libusb.h>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// An adapter whose reads give, one by one, the scripted bytes or libftdi results, then nothing
// (as a quiet adapter does after its latency).
class ScriptedAdapter {
public:
    struct Step {
        std::string bytes;
        int result = 0; // used when bytes is empty
    };
    explicit ScriptedAdapter(std::deque<Step> steps) : steps_(std::move(steps)) {}

    int Read(unsigned char* buffer, int size)
    {
        std::lock_guard lock(mutex_);
        if (steps_.empty())
            return 0;
        const Step step = steps_.front();
        steps_.pop_front();
        if (step.bytes.empty())
            return step.result;
        const int n = std::min<int>(size, static_cast<int>(step.bytes.size()));
        std::copy_n(step.bytes.begin(), n, buffer);
        return n;
    }

private:
    std::mutex mutex_;
    std::deque<Step> steps_;
};

TFtdiReceiver::Device DeviceOver(ScriptedAdapter& adapter)
{
    return {LibFtdiFetch([&adapter](unsigned char* b, int n) { return adapter.Read(b, n); }),
            [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }};
}

template <class F>
bool Within(std::chrono::milliseconds limit, F done)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// An unplugged adapter (libftdi has no device left, or the read finds none) fails the receiver,
// and from then on the queue check reports it at once, even with received bytes nobody has
// taken yet: they are still counted and still readable, and nothing after the loss is read.
TEST(RealUsbReception, AnUnpluggedAdapterFailsTheQueueCheckAtOnce)
{
    for (const int gone : {int{LIBUSB_ERROR_NO_DEVICE}, -666}) {
        SCOPED_TRACE(gone);
        ScriptedAdapter adapter({{"abc"}, {{}, gone}, {"late"}});
        TFtdiReceiver rx(DeviceOver(adapter), true);
        EXPECT_TRUE(Within(std::chrono::seconds(5), [&] { return rx.Failed(); }));
        DWORD waiting = 0;
        EXPECT_EQ(LibFtdiQueueStatus(rx, &waiting), FT_IO_ERROR);
        EXPECT_EQ(waiting, 3u);

        uint8_t got[8] = {};
        DWORD read = 0;
        EXPECT_EQ(rx.Read(got, 3, 0, &read), FT_OK);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got), static_cast<int>(read)), "abc");
        EXPECT_EQ(rx.Read(got, 1, 1000, &read), FT_IO_ERROR);
        EXPECT_EQ(read, 0u);
        EXPECT_EQ(LibFtdiQueueStatus(rx, &waiting), FT_IO_ERROR);
        EXPECT_EQ(waiting, 0u);
        rx.Stop();
    }
}

// A read that timed out (the adapter did not answer within the USB timeout), was interrupted or
// met a transfer error leaves the adapter plugged in: the reader goes on, and what comes next
// is received.
TEST(RealUsbReception, ATransientReadErrorIsNoLoss)
{
    for (const int transient : {int{LIBUSB_ERROR_TIMEOUT}, int{LIBUSB_ERROR_INTERRUPTED}, int{LIBUSB_ERROR_IO}}) {
        SCOPED_TRACE(transient);
        ScriptedAdapter adapter({{"abc"}, {{}, transient}, {{}, transient}, {"de"}});
        TFtdiReceiver rx(DeviceOver(adapter), true);
        EXPECT_TRUE(Within(std::chrono::seconds(5), [&] { return rx.Waiting() == 5 || rx.Failed(); }));
        EXPECT_FALSE(rx.Failed());
        DWORD waiting = 0;
        EXPECT_EQ(LibFtdiQueueStatus(rx, &waiting), FT_OK);
        EXPECT_EQ(waiting, 5u);
        uint8_t got[8] = {};
        DWORD read = 0;
        EXPECT_EQ(rx.Read(got, 5, 1000, &read), FT_OK);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(got), static_cast<int>(read)), "abcde");
        rx.Stop();
    }
}

} // namespace
