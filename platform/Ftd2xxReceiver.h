#pragma once
#include "Ftd2xx.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The receive side of one opened USB-serial device, as the driver keeps it: a reader thread
// moves whatever the device receives into a queue without bound, so that bytes arriving while
// the program is busy elsewhere (a byte-delay sleep, a modal dialog) are not lost in the
// adapter's few hundred bytes of buffer. FT_Read and FT_GetQueueStatus are served from the
// queue. This thread is the only one the programs run besides the user-interface thread; one
// mutex guards the queue and every use of the device, and FT_Close stops the thread.
class TFtdiReceiver {
public:
    struct Device {
        // Appends what the device has received to out; false when the device failed (what it
        // appended before the failure is kept). Runs with the lock held.
        std::function<bool(std::vector<uint8_t>& out)> Fetch;
        // Waits up to ms for the device to have bytes; runs without the lock.
        std::function<void(int ms)> Await;
    };

    // background false: no thread; bytes are fetched only while the program calls in (the
    // test driver uses it to show what the thread prevents).
    TFtdiReceiver(Device device, bool background);
    ~TFtdiReceiver();
    TFtdiReceiver(const TFtdiReceiver&) = delete;
    TFtdiReceiver& operator=(const TFtdiReceiver&) = delete;

    // Stops the thread; the device may then be closed.
    void Stop();

    // Up to count bytes, waiting up to timeoutMs for all of them; FT_IO_ERROR when the device
    // failed before count bytes came.
    FT_STATUS Read(uint8_t* buffer, DWORD count, ULONG timeoutMs, DWORD* read);
    // Bytes waiting to be read.
    DWORD Waiting();
    // Whether the device has failed (unplugged): nothing more will come from it, though what
    // came before stays readable.
    bool Failed();
    // Empties the queue, with flush (the device's own buffer) under the same lock.
    void Purge(const std::function<void()>& flush);

    // Runs f with the device lock held: every other use of the device goes through here.
    template <class F>
    auto Locked(F&& f)
    {
        std::lock_guard lock(mutex_);
        return f();
    }

private:
    void run();
    bool fetchLocked();
    DWORD take(uint8_t* buffer, DWORD count);

    Device device_;
    const bool background_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<uint8_t> queue_;
    bool failed_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
