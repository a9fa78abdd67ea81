#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

// Runs the event loop until done() holds or the time is up. The loop sleeps between events instead
// of the caller sleeping, so peers in this process keep moving at full speed meanwhile. A condition
// on kernel state has no event of its own: the tick makes sure it is looked at now and then.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000, int tickMs = 20)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(tickMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
