#pragma once
// The one thread that runs the window's server operations (check, download, deletion and
// the idle QUIT of a download's connection), one at a time, in the order they came. The
// operations stay plain blocking functions, which kormoran-cli calls directly; here they
// run away from the window's thread, so the window never waits on the network. What an
// operation leaves behind reaches the window's thread as a queued call once it has ended.

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TServerWorker {
public:
    using TJob = std::function<void()>;
    // Runs on the receiver's thread after the job, with what the job raised (nullptr when
    // it succeeded).
    using TDone = std::function<void(std::exception_ptr failure)>;

    // receiver: where the results go. The worker must end before it does.
    explicit TServerWorker(QObject* receiver);
    // Cancels the running operation, drops the waiting ones and ends the thread.
    ~TServerWorker();
    TServerWorker(const TServerWorker&) = delete;
    TServerWorker& operator=(const TServerWorker&) = delete;

    // Queues an operation of the user's. Work of the program's own that runs now is cut
    // short for it, so the user never waits for it.
    void Run(TJob job, TDone done);
    // Work of the program's own (the idle QUIT): runs after delay, once no operation of
    // the user's waits. Its failures go nowhere.
    void RunLater(std::chrono::milliseconds delay, TJob job);
    // The running operation of the user's raises EOperationCancelled at its next wait on
    // the network; the waiting ones are dropped and their done hears EOperationCancelled.
    void Cancel();
    // Waits, running no events, until no operation runs or waits; false after timeout.
    // The done of what ran has been queued to the receiver by then.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

    // The worker whose thread calls this; nullptr on any other thread.
    static TServerWorker* Current();

private:
    using Clock = std::chrono::steady_clock;
    struct TQueued {
        TJob Job;
        TDone Done;
    };
    struct TDelayed {
        Clock::time_point Due;
        TJob Job;
    };

    void Loop();
    // Takes the next job under the lock; false when the thread is to end.
    bool TakeNext(std::unique_lock<std::mutex>& lock, TQueued& next, bool& own);
    void Deliver(TDone done, std::exception_ptr failure);

    QObject* FReceiver;
    std::mutex FLock;   // guards everything below
    std::condition_variable FChanged;
    std::deque<TQueued> FQueue;
    std::vector<TDelayed> FDelayed;
    bool FRunning = false;
    bool FRunningOwn = false;
    bool FStopping = false;
    std::thread FThread;   // started last, when everything above is ready
};
