#include "WorkerThread.h"

#include <pthread.h>
#include <sched.h>

#include <system_error>

// std::thread rather than QThread: its join is a pthread join, which the race detector
// understands; QThread::wait() orders through Qt's own futexes, which it cannot see.

namespace {

thread_local const WorkerThread* tCurrentWorker = nullptr;

bool isIdle(QThread::Priority priority)
{
    return priority == QThread::IdlePriority;
}

} // namespace

void setNativeThreadPriority(pthread_t thread, QThread::Priority priority)
{
    if (priority == QThread::InheritPriority)
        return;
    sched_param param{};
    param.sched_priority = 0;
    // Leaving the idle class needs privileges on Linux; a refusal leaves it idle.
    (void)pthread_setschedparam(thread, isIdle(priority) ? SCHED_IDLE : SCHED_OTHER, &param);
}

WorkerThread::WorkerThread(WindowMessenger::Handler handler)
    : mMessenger(std::move(handler)), mCancel(std::make_unique<std::atomic<int>>(0))
{}

WorkerThread::~WorkerThread()
{
    if (isRunning())
        qWarning("WorkerThread destroyed while running: the subclass must stop() it first");
    stop();
}

bool WorkerThread::start(QThread::Priority priority)
{
    const std::lock_guard lock(mThreadMutex);
    if (mStarted || isTerminated())
        return false;
    mIdle = isIdle(priority);
    mStarted = true;
    try {
        mThread = std::thread([this, priority] { runBody(priority); });
    } catch (const std::system_error&) {
        mStarted = false;
        return false;
    }
    return true;
}

void WorkerThread::setPriority(QThread::Priority priority)
{
    if (isCurrentThread()) {
        mIdle = isIdle(priority);
        setNativeThreadPriority(pthread_self(), priority);
        return;
    }
    const std::lock_guard lock(mThreadMutex);
    if (!mThread.joinable())
        return;
    mIdle = isIdle(priority);
    setNativeThreadPriority(mThread.native_handle(), priority);
}

void WorkerThread::requestStop()
{
    mTerminated.store(true);
    mCancel->store(1);
    wakeUp();
}

void WorkerThread::stop()
{
    requestStop();
    mMessenger.release();
    if (isCurrentThread())
        return;
    const std::lock_guard lock(mThreadMutex);
    if (!mThread.joinable())
        return;
    // An idle worker could starve on a busy machine while we wait for it.
    if (mIdle)
        setNativeThreadPriority(mThread.native_handle(), QThread::HighPriority);
    mThread.join();
}

bool WorkerThread::isRunning() const
{
    return mStarted.load() && !mEnded.load();
}

bool WorkerThread::isCurrentThread() const
{
    return tCurrentWorker == this;
}

void WorkerThread::runBody(QThread::Priority priority)
{
    tCurrentWorker = this;
    setNativeThreadPriority(pthread_self(), priority);
    // An exception must not escape a thread; the worker simply ends.
    try {
        execute();
    } catch (...) {
    }
    mEnded.store(true);
}
