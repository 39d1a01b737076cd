// Stands for the thread class the workers derive from: terminate flag, cancel flag, and the
// synchronous messages to the owning window.
#pragma once

#include "WindowMessenger.h"

#include <QThread>

#include <pthread.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Idle maps to the idle scheduling class; anything else asks for the normal class, which an
// unprivileged process may be refused (best effort). For helper threads a worker runs itself.
void setNativeThreadPriority(pthread_t thread, QThread::Priority priority);

// One run of a worker. The window's thread creates it with the window's message handler,
// start()s it and stop()s it; the worker's body is execute().
//
// Subclasses call stop() first thing in their destructor, so that execute() never runs on
// members that are already gone.
class WorkerThread
{
public:
    explicit WorkerThread(WindowMessenger::Handler handler);
    virtual ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts execute() on a new thread. One run per object: once started or stopped it
    // does nothing more. False when no thread was started.
    bool start(QThread::Priority priority = QThread::InheritPriority);
    // Idle maps to the idle scheduling class; anything else asks for the normal class,
    // which an unprivileged process may be refused (best effort).
    void setPriority(QThread::Priority priority);

    // Sets the terminate and cancel flags only: the worker ends by itself and may still send
    // (a worker that reports its own end).
    void requestStop();
    // Sets the flags, releases a send in progress and waits for the worker's end. Never
    // deadlocks with a worker waiting in send(), not even when called from inside the
    // handler of that very send (the send then returns std::nullopt). Safe to repeat and to
    // call from any thread; called by the worker itself it does not wait.
    void stop();

    // True from start() until execute() has returned. Once false, everything the worker
    // wrote is visible to the caller.
    bool isRunning() const;
    bool isTerminated() const { return mTerminated.load(); }

    // For long library or system calls, which poll it: non-zero means stop now. The window
    // may also raise and clear it by itself (a newer request aborts the current one).
    std::atomic<int>& cancelFlag() { return *mCancel; }

protected:
    virtual void execute() = 0;
    // Called once the flags are set, on the stopping thread: a worker that sleeps on its own
    // condition or event without a time-out wakes it here.
    virtual void wakeUp() {}

    std::optional<qintptr> send(const WindowMessage& message) { return mMessenger.send(message); }
    std::optional<qintptr> send(int id, qintptr wParam = 0, qintptr lParam = 0)
    {
        return mMessenger.send(id, wParam, lParam);
    }

private:
    bool isCurrentThread() const;
    void runBody(QThread::Priority priority);

    WindowMessenger mMessenger;
    std::atomic<bool> mTerminated = false;
    // Its own heap cell, handed out by address.
    const std::unique_ptr<std::atomic<int>> mCancel;
    std::atomic<bool> mStarted = false;
    std::atomic<bool> mEnded = false;
    std::atomic<bool> mIdle = false;
    // Guards mThread: start, join and priority changes may come from different threads.
    std::mutex mThreadMutex;
    std::thread mThread;
};
