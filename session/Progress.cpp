#include "Progress.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// The window installs its listener on its own thread; the worker thread notifies.
std::mutex ListenerLock;
TWorkListener Listener;
Clock::time_point LastNotified;

} // namespace

TWorkListener SetWorkListener(TWorkListener listener)
{
    std::lock_guard<std::mutex> guard(ListenerLock);
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
    // A worker thread has no events of its own; the window's are the window's to run.
    QCoreApplication* application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread())
        QCoreApplication::processEvents();
}

void NotifyWork(int32_t workCount)
{
    TWorkListener listener;
    {
        std::lock_guard<std::mutex> guard(ListenerLock);
        const Clock::time_point now = Clock::now();
        if (now - LastNotified < std::chrono::milliseconds(NotifyIntervalMs))
            return;
        LastNotified = now;
        listener = Listener;
    }
    if (listener)
        listener(workCount);
    ProcessPendingEvents();
}
