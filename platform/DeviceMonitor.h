#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QSocketNotifier;
class QTimer;

// Tells when a USB device is plugged in or removed. Where udev runs, its monitor's socket is
// watched by the event loop and a change is told at once; where it does not (not built in, or
// no udev daemon), the attached-device count is polled every 2 seconds and a change of it told.
class TDeviceMonitor : public QObject {
    Q_OBJECT
public:
    // deviceCount: the attached-device count that the slow poll compares.
    TDeviceMonitor(std::function<int()> deviceCount, QObject* owner = nullptr);
    ~TDeviceMonitor() override;

    // Where changes come from: "udev", "poll", or the name of an installed source.
    QString Source() const { return source_ ? source_->Name : QStringLiteral("poll"); }

    // A descriptor that turns readable when devices change, with what takes one notice off it:
    // 1 for a USB device plugged in or removed, 0 for a notice of no interest, -1 when none is
    // left.
    struct TSource {
        QString Name;
        int Fd = -1;
        std::function<int()> Take;
        std::function<void()> Close;
    };
    using TSourceFactory = std::function<std::optional<TSource>()>;
    // The sources of monitors made from now on (tests); an empty factory gives udev's again.
    // Returns the factory it replaces.
    static TSourceFactory SetSourceFactory(TSourceFactory factory);

signals:
    void Changed();

private:
    void readNotices();

    std::function<int()> deviceCount_;
    std::optional<TSource> source_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* poll_ = nullptr;
    int lastCount_ = -1;
};
