#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

// Runs the event loop until the condition holds or the deadline passes;
// true when it holds.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    const QDeadlineTimer timer(deadline);
    QEventLoop loop;
    while (!condition()) {
        if (timer.hasExpired())
            return false;
        // Short turns of a real event loop: timers and sockets keep running.
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
