#include "TCreateThumbThread.h"

#include "GridMessages.h"
#include "QtImage.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <utility>

TCreateThumbThread::TCreateThumbThread(WindowMessenger::Handler handler, Loader loader, int boxSize,
                                       imaging::ColorRef background, int decoders)
    : WorkerThread(std::move(handler)), mLoader(std::move(loader)), mBoxSize(boxSize),
      mBackground(background), mDecoderCount(std::max(1, decoders))
{}

TCreateThumbThread::~TCreateThumbThread()
{
    stop();
}

int TCreateThumbThread::defaultDecoderCount()
{
    return std::max(1, QThread::idealThreadCount());
}

std::vector<TCreateThumbThread::Job> TCreateThumbThread::replaceQueue(std::vector<Job> jobs)
{
    std::vector<Job> replaced;
    {
        const std::lock_guard lock(mMutex);
        replaced.assign(std::make_move_iterator(mQueue.begin()),
                        std::make_move_iterator(mQueue.end()));
        mQueue.assign(std::make_move_iterator(jobs.begin()), std::make_move_iterator(jobs.end()));
    }
    mWorkReady.notify_all();
    return replaced;
}

int TCreateThumbThread::wantedJobs() const
{
    const std::lock_guard lock(mMutex);
    return std::max(0, kQueuedPerDecoder * mDecoderCount - int(mQueue.size()));
}

void TCreateThumbThread::cancelAll()
{
    const std::lock_guard lock(mMutex);
    mQueue.clear();
    mDone.clear();
    ++mGeneration;
    for (const auto& decoder : mDecoders)
        decoder->cancel.store(1);
}

bool TCreateThumbThread::stopping() const
{
    return mStopping || isTerminated();
}

void TCreateThumbThread::wakeUp()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
        for (const auto& decoder : mDecoders) {
            decoder->cancel.store(1);
            // An idle thread could starve on a busy machine while the window waits for it.
            setNativeThreadPriority(decoder->thread.native_handle(), QThread::HighPriority);
        }
    }
    mWorkReady.notify_all();
    mResultReady.notify_all();
}

void TCreateThumbThread::execute()
{
    std::unique_lock lock(mMutex);
    if (stopping())
        return;
    for (int i = 0; i < mDecoderCount; ++i) {
        auto decoder = std::make_unique<Decoder>();
        Decoder& d = *decoder;
        try {
            decoder->thread = std::thread([this, &d] { decode(d); });
        } catch (const std::system_error&) {
            break; // out of threads: carry on with those that started
        }
        mDecoders.push_back(std::move(decoder));
    }

    std::chrono::steady_clock::time_point lastBatch;
    while (!stopping()) {
        mResultReady.wait(lock, [this] { return stopping() || !mDone.empty(); });
        // Gather for the rest of the frame, unless nothing more is coming.
        mResultReady.wait_until(lock, lastBatch + kBatchInterval,
                                [this] { return stopping() || (mBusy == 0 && mQueue.empty()); });
        if (stopping())
            break;
        if (mDone.empty())
            continue; // cancelled meanwhile
        mBatch = std::move(mDone);
        mDone.clear();
        lock.unlock();
        send(WM_THUMB_DONE);
        mBatch.clear();
        lastBatch = std::chrono::steady_clock::now();
        lock.lock();
    }
    // Taken out under the lock, so that a late cancelAll or stop never touches a joined thread.
    const auto decoders = std::exchange(mDecoders, {});
    lock.unlock();
    for (const auto& decoder : decoders)
        decoder->thread.join();
}

void TCreateThumbThread::decode(Decoder& decoder)
{
    setNativeThreadPriority(pthread_self(), QThread::IdlePriority);
    const imaging::CancelScope scope(&decoder.cancel);
    std::unique_lock lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock, [this] { return stopping() || !mQueue.empty(); });
        if (stopping())
            return;
        const Job job = std::move(mQueue.front());
        mQueue.pop_front();
        const quint64 generation = mGeneration;
        decoder.cancel.store(0);
        ++mBusy;
        lock.unlock();
        Result result = make(job);
        lock.lock();
        --mBusy;
        // A folder left meanwhile: nobody wants it.
        if (generation == mGeneration && !stopping())
            mDone.push_back(std::move(result));
        mResultReady.notify_one();
    }
}

TCreateThumbThread::Result TCreateThumbThread::make(const Job& job) const
{
    Result result;
    result.id = job.id;
    result.stamp = fileStampOf(job.path);
    std::optional<QByteArray> stream;
    try {
        stream = mLoader(job.path, mBoxSize, mBackground);
    } catch (...) {
        // A loader that throws makes no thumbnail; the thread goes on.
    }
    if (stream) {
        result.picture = imaging::decodeImage(*stream);
        if (!result.picture.isNull())
            result.jpeg = std::move(*stream);
    }
    return result;
}
