// Helpers for the worker and messenger tests: a worker with a lambda body and a watchdog that turns
// a deadlock into a failure instead of a hang.
#pragma once

#include "EventLoopWait.h"
#include "WorkerThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

class LambdaWorker : public WorkerThread
{
public:
    using Body = std::function<void(LambdaWorker&)>;

    LambdaWorker(Body body, WindowMessenger::Handler handler)
        : WorkerThread(std::move(handler)), mBody(std::move(body))
    {}
    ~LambdaWorker() override { stop(); }

    using WorkerThread::send;

protected:
    void execute() override { mBody(*this); }

private:
    const Body mBody;
};

// Ends the process when a test does not finish in time (a deadlock would otherwise stall the
// whole run until the harness gives up).
class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit = 20s)
        : mThread([this, limit] {
              std::unique_lock lock(mMutex);
              if (!mDone.wait_for(lock, limit, [this] { return mFinished; })) {
                  std::fprintf(stderr, "Watchdog: test deadlocked\n");
                  std::_Exit(3);
              }
          })
    {}
    ~Watchdog()
    {
        {
            const std::lock_guard lock(mMutex);
            mFinished = true;
        }
        mDone.notify_all();
        mThread.join();
    }

    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mMutex;
    std::condition_variable mDone;
    bool mFinished = false;
    std::thread mThread;
};
