#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

// Runs action from the message processing of a wait once condition holds (checked every 20 ms).
// Keep the result for as long as the wait runs: it stops the check, so a condition that never
// held cannot reach into a finished test.
[[nodiscard]] inline std::unique_ptr<QTimer> WhenInsideWait(std::function<bool()> condition,
                                                            std::function<void()> action)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(20);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, condition, action] {
        if (!condition())
            return;
        t->stop();
        action();
    });
    t->start();
    return timer;
}
