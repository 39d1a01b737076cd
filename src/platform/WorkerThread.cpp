#include "WorkerThread.h"

class WorkerThread::Runner : public QThread
{
public:
    explicit Runner(WorkerThread& owner) : mOwner(owner) {}

protected:
    void run() override { mOwner.runBody(); }

private:
    WorkerThread& mOwner;
};

WorkerThread::WorkerThread(WindowMessenger::Handler handler)
    : mMessenger(std::move(handler)), mCancel(std::make_unique<std::atomic<int>>(0))
{}

WorkerThread::~WorkerThread()
{
    if (isRunning())
        qWarning("WorkerThread destroyed while running: the subclass must stop() it first");
    stop();
}

void WorkerThread::start(QThread::Priority priority)
{
    if (mThread || isTerminated())
        return;
    mThread = std::make_unique<Runner>(*this);
    mThread->start(priority);
}

void WorkerThread::setPriority(QThread::Priority priority)
{
    if (isRunning())
        mThread->setPriority(priority);
}

void WorkerThread::requestStop()
{
    mTerminated.store(true);
    mCancel->store(1);
}

void WorkerThread::stop()
{
    requestStop();
    mMessenger.release();
    if (!mThread || QThread::currentThread() == mThread.get())
        return;
    // An idle-priority worker could starve on a busy machine while we wait for it.
    if (isRunning() && mThread->priority() == QThread::IdlePriority)
        mThread->setPriority(QThread::HighPriority);
    mThread->wait();
    // QThread::wait() orders through Qt's own futexes, which the race detector cannot see;
    // this load pairs with the store at the end of runBody().
    (void)mEnded.load(std::memory_order_acquire);
}

bool WorkerThread::isRunning() const
{
    return mThread && !mEnded.load(std::memory_order_acquire);
}

void WorkerThread::runBody()
{
    // An exception must not escape a thread; the worker simply ends.
    try {
        execute();
    } catch (...) {
    }
    mEnded.store(true, std::memory_order_release);
}
