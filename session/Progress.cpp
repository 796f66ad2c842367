#include "Progress.h"

#include <QCoreApplication>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

TWorkListener Listener;
Clock::time_point LastNotified;

} // namespace

TWorkListener SetWorkListener(TWorkListener listener)
{
    TWorkListener previous = std::move(Listener);
    Listener = std::move(listener);
    LastNotified = {};
    return previous;
}

TWorkListener PostingTo(QObject* window)
{
    return [window](int32_t workCount) { QCoreApplication::postEvent(window, new TPop3WorkEvent(workCount)); };
}

void ProcessPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void NotifyWork(int32_t workCount)
{
    const Clock::time_point now = Clock::now();
    if (now - LastNotified < std::chrono::milliseconds(NotifyIntervalMs))
        return;
    LastNotified = now;
    if (Listener)
        Listener(workCount);
    ProcessPendingEvents();
}
