#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

// Waits until `condition` holds or `deadlineMs` passed; true when it held.
// Events of this thread are processed in between.
inline bool waitUntil(const std::function<bool()>& condition, int deadlineMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() >= deadlineMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}
