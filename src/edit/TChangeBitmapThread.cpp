#include "TChangeBitmapThread.h"

#include "Cancel.h"
#include "TEditImage.h"

TChangeBitmapThread::TChangeBitmapThread(TEditImage& owner, bool preview,
                                         WindowMessenger::Handler handler)
    : WorkerThread(std::move(handler)), mOwner(owner), mPreview(preview)
{}

TChangeBitmapThread::~TChangeBitmapThread()
{
    stop();
}

quint64 TChangeBitmapThread::post(const EditAction& request)
{
    const std::lock_guard lock(mMutex);
    mPending = request;
    if (mPreview)
        cancelFlag().store(1);
    mEvent.notify_one();
    return ++mSerial;
}

quint64 TChangeBitmapThread::latestSerial() const
{
    const std::lock_guard lock(mMutex);
    return mSerial;
}

bool TChangeBitmapThread::isIdle() const
{
    const std::lock_guard lock(mMutex);
    return !mBusy && mPending.kind == EditNone;
}

void TChangeBitmapThread::wakeUp()
{
    const std::lock_guard lock(mMutex);
    mEvent.notify_all();
}

void TChangeBitmapThread::execute()
{
    // Apply mode registers it too, so that stopping the engine cuts a long call short.
    const imaging::CancelScope cancelScope(&cancelFlag());
    std::unique_lock lock(mMutex);
    while (!isTerminated()) {
        if (mPending.kind == EditNone) {
            mEvent.wait(lock);
            continue;
        }
        const EditAction request = mPending;
        const quint64 serial = mSerial;
        mPending = EditAction();
        cancelFlag().store(0);
        mBusy = true;
        lock.unlock();
        try {
            mOwner.processRequest(request, serial);
        } catch (...) {
            // A failed request shows nothing new; the worker carries on.
        }
        lock.lock();
        mBusy = false;
    }
}

void TChangeBitmapThread::bitmapsReleased()
{
    const std::lock_guard lock(mMutex);
    mBusy = false;
}
