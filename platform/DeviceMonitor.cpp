#include "DeviceMonitor.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cstring>

#ifdef QUOREL_HAVE_UDEV
#include <libudev.h>
#endif

namespace {

TDeviceMonitor::TSourceFactory& installedFactory()
{
    static TDeviceMonitor::TSourceFactory factory;
    return factory;
}

std::optional<TDeviceMonitor::TSource> udevSource()
{
#ifdef QUOREL_HAVE_UDEV
    // Without the daemon a udev monitor never hears of anything: poll instead.
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")))
        return std::nullopt;
    udev* u = udev_new();
    if (!u)
        return std::nullopt;
    udev_monitor* monitor = udev_monitor_new_from_netlink(u, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        udev_unref(u);
        return std::nullopt;
    }
    TDeviceMonitor::TSource source;
    source.Name = QStringLiteral("udev");
    source.Fd = udev_monitor_get_fd(monitor);
    source.Take = [monitor] {
        udev_device* device = udev_monitor_receive_device(monitor);
        if (!device)
            return -1;
        const char* action = udev_device_get_action(device);
        const bool change = action && (!std::strcmp(action, "add") || !std::strcmp(action, "remove"));
        udev_device_unref(device);
        return change ? 1 : 0;
    };
    source.Close = [u, monitor] {
        udev_monitor_unref(monitor);
        udev_unref(u);
    };
    return source;
#else
    return std::nullopt;
#endif
}

} // namespace

TDeviceMonitor::TSourceFactory TDeviceMonitor::SetSourceFactory(TSourceFactory factory)
{
    TSourceFactory previous = std::move(installedFactory());
    installedFactory() = std::move(factory);
    return previous;
}

TDeviceMonitor::TDeviceMonitor(std::function<int()> deviceCount, QObject* owner)
    : QObject(owner), deviceCount_(std::move(deviceCount))
{
    source_ = installedFactory() ? installedFactory()() : udevSource();
    if (source_ && source_->Fd >= 0) {
        notifier_ = new QSocketNotifier(static_cast<qintptr>(source_->Fd), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &TDeviceMonitor::readNotices);
        return;
    }
    if (source_ && source_->Close)
        source_->Close();
    source_.reset();
    poll_ = new QTimer(this);
    poll_->setObjectName("DevicePoll");
    poll_->setInterval(2000);
    connect(poll_, &QTimer::timeout, this, [this] {
        const int count = deviceCount_ ? deviceCount_() : 0;
        if (count != lastCount_) {
            lastCount_ = count;
            emit Changed();
        }
    });
    poll_->start();
}

TDeviceMonitor::~TDeviceMonitor()
{
    delete notifier_;
    if (source_ && source_->Close)
        source_->Close();
}

void TDeviceMonitor::readNotices()
{
    bool changed = false;
    for (int notice; (notice = source_->Take()) >= 0;)
        changed = changed || notice > 0;
    if (changed)
        emit Changed();
}
