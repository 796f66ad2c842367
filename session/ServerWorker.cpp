#include "ServerWorker.h"

#include "udm.h"

#include <algorithm>

namespace {

thread_local TServerWorker* CurrentWorker = nullptr;

// Results are queued under this lock, and the receiver's thread takes it before it looks at
// one: what the job wrote is then seen complete, also by ThreadSanitizer, which does not
// see into the framework's own queue.
std::mutex ResultHandOver;

} // namespace

TServerWorker::TServerWorker(QObject* receiver) : FReceiver(receiver), FThread([this] { Loop(); }) {}

TServerWorker::~TServerWorker()
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FStopping = true;
        FQueue.clear();
        FDelayed.clear();
        if (FRunning)
            CancelServerOperation();
    }
    FChanged.notify_all();
    FThread.join();
}

TServerWorker* TServerWorker::Current()
{
    return CurrentWorker;
}

void TServerWorker::Run(TJob job, TDone done)
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FQueue.push_back({std::move(job), std::move(done)});
        if (FRunning && FRunningOwn)
            CancelServerOperation();
    }
    FChanged.notify_all();
}

void TServerWorker::RunLater(std::chrono::milliseconds delay, TJob job)
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FDelayed.push_back({Clock::now() + delay, std::move(job)});
    }
    FChanged.notify_all();
}

void TServerWorker::Cancel()
{
    std::lock_guard<std::mutex> guard(FLock);
    for (TQueued& queued : FQueue)
        Deliver(std::move(queued.Done), std::make_exception_ptr(EOperationCancelled()));
    FQueue.clear();
    if (FRunning && !FRunningOwn)
        CancelServerOperation();
}

bool TServerWorker::WaitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, timeout, [this] { return !FRunning && FQueue.empty(); });
}

bool TServerWorker::TakeNext(std::unique_lock<std::mutex>& lock, TQueued& next, bool& own)
{
    for (;;) {
        if (FStopping)
            return false;
        if (!FQueue.empty()) {
            next = std::move(FQueue.front());
            FQueue.pop_front();
            own = false;
            return true;
        }
        if (FDelayed.empty()) {
            FChanged.wait(lock);
            continue;
        }
        auto earliest = std::min_element(FDelayed.begin(), FDelayed.end(),
                                         [](const TDelayed& a, const TDelayed& b) { return a.Due < b.Due; });
        if (earliest->Due > Clock::now()) {
            FChanged.wait_until(lock, earliest->Due);
            continue;
        }
        next = {std::move(earliest->Job), {}};
        FDelayed.erase(earliest);
        own = true;
        return true;
    }
}

void TServerWorker::Loop()
{
    CurrentWorker = this;
    std::unique_lock<std::mutex> lock(FLock);
    TQueued next;
    bool own = false;
    while (TakeNext(lock, next, own)) {
        FRunning = true;
        FRunningOwn = own;
        lock.unlock();
        std::exception_ptr failure;
        try {
            next.Job();
        } catch (...) {
            failure = std::current_exception();
        }
        next.Job = {};
        lock.lock();
        if (!own)
            Deliver(std::move(next.Done), failure);
        next = {};
        FRunning = false;
        // A cancel meant for this operation must not reach the next one.
        ForgetServerCancel();
        FChanged.notify_all();
    }
}

void TServerWorker::Deliver(TDone done, std::exception_ptr failure)
{
    if (!done)
        return;
    std::lock_guard<std::mutex> guard(ResultHandOver);
    QMetaObject::invokeMethod(
        FReceiver,
        [done = std::move(done), failure] {
            { std::lock_guard<std::mutex> handedOver(ResultHandOver); }
            done(failure);
        },
        Qt::QueuedConnection);
}
