#include "Ftd2xxReceiver.h"

#include <algorithm>
#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int IdleMs = 2; // between fetches that got nothing; the adapter's latency is as short
} // namespace

TFtdiReceiver::TFtdiReceiver(Device device, bool background) : device_(std::move(device)), background_(background)
{
    if (background_)
        thread_ = std::thread([this] { run(); });
}

TFtdiReceiver::~TFtdiReceiver() { Stop(); }

void TFtdiReceiver::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    arrived_.notify_all();
}

void TFtdiReceiver::run()
{
    while (!stop_) {
        bool got = false;
        {
            std::lock_guard lock(mutex_);
            const size_t before = queue_.size();
            if (!fetchLocked()) {
                arrived_.notify_all();
                return; // unplugged: what was received stays readable
            }
            got = queue_.size() > before;
        }
        if (got)
            arrived_.notify_all();
        else
            device_.Await(IdleMs);
    }
}

bool TFtdiReceiver::fetchLocked()
{
    if (failed_)
        return false;
    std::vector<uint8_t> bytes;
    const bool ok = device_.Fetch(bytes);
    // What came before the device failed was received: it stays readable.
    queue_.insert(queue_.end(), bytes.begin(), bytes.end());
    if (!ok)
        failed_ = true;
    return ok;
}

DWORD TFtdiReceiver::take(uint8_t* buffer, DWORD count)
{
    const auto n = static_cast<DWORD>(std::min<size_t>(count, queue_.size()));
    std::copy_n(queue_.begin(), n, buffer);
    queue_.erase(queue_.begin(), queue_.begin() + n);
    return n;
}

FT_STATUS TFtdiReceiver::Read(uint8_t* buffer, DWORD count, ULONG timeoutMs, DWORD* read)
{
    *read = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    if (background_) {
        arrived_.wait_until(lock, deadline, [&] { return queue_.size() >= count || failed_ || stop_; });
    } else {
        // Bytes come in only while the program is in here.
        while (fetchLocked() && queue_.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                break;
            lock.unlock();
            device_.Await(static_cast<int>(std::min<long long>(left, IdleMs)));
            lock.lock();
        }
    }
    *read = take(buffer, count);
    return *read < count && failed_ ? FT_IO_ERROR : FT_OK;
}

DWORD TFtdiReceiver::Waiting()
{
    std::lock_guard lock(mutex_);
    if (!background_)
        fetchLocked();
    return static_cast<DWORD>(queue_.size());
}

bool TFtdiReceiver::Failed()
{
    std::lock_guard lock(mutex_);
    return failed_;
}

void TFtdiReceiver::Purge(const std::function<void()>& flush)
{
    std::lock_guard lock(mutex_);
    if (flush)
        flush();
    queue_.clear();
}
