#include "TVelkoScrollTimerThread.h"

#include <algorithm>

TVelkoScrollTimerThread::TVelkoScrollTimerThread(WindowMessenger::Handler handler,
                                                 Direction direction, int step,
                                                 std::chrono::milliseconds interval)
    : WorkerThread(std::move(handler)), mDirection(direction), mStep(std::max(step, kMinStep)),
      mInterval(interval)
{
    start();
}

TVelkoScrollTimerThread::~TVelkoScrollTimerThread()
{
    stop();
}

void TVelkoScrollTimerThread::wakeUp()
{
    // Under the mutex, so that the worker cannot miss it between its check and its wait.
    {
        const std::lock_guard lock(mMutex);
    }
    mStopAsked.notify_all();
}

void TVelkoScrollTimerThread::execute()
{
    const int message =
        mDirection == Direction::TowardStart ? WM_SCROLL_ARROW_FIRST : WM_SCROLL_ARROW_SECOND;
    while (!isTerminated()) {
        send(message, mStep / 10);
        std::unique_lock lock(mMutex);
        if (mStopAsked.wait_for(lock, mInterval, [this] { return isTerminated(); }))
            return;
    }
}
