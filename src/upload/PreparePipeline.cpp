#include "PreparePipeline.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace upload {

PreparePipeline::PreparePipeline(QStringList files, int maxWidth, int maxHeight, qint64 maxBytes,
                                 int threads, PreparedHandler prepared, FinishedHandler finished,
                                 QObject* parent)
    : QObject(parent), mFiles(std::move(files)), mMaxWidth(maxWidth), mMaxHeight(maxHeight),
      mMaxBytes(maxBytes), mThreads(std::max(1, threads)), mPrepared(std::move(prepared)),
      mFinished(std::move(finished))
{}

PreparePipeline::~PreparePipeline()
{
    cancel();
}

void PreparePipeline::start()
{
    if (mStarted)
        return;
    mStarted = true;
    if (mFiles.isEmpty()) {
        // Still asynchronous, like every other outcome.
        QMetaObject::invokeMethod(
            this, [this] { handOver(); }, Qt::QueuedConnection);
        return;
    }
    startWorkers();
}

void PreparePipeline::cancel()
{
    mCancelled = true;
    // All flags first, so the workers wind down together rather than one after another.
    for (auto& [index, worker] : mRunning)
        worker->requestStop();
    for (auto& [index, worker] : mRunning)
        worker->stop();
    mRunning.clear();
    mReady.clear();
    mAnswered.clear();
}

void PreparePipeline::startWorkers()
{
    // Results waiting to be handed over count too, so memory stays bounded by the threads.
    while (!mCancelled && mNextToStart < mFiles.size() &&
           int(mRunning.size() - mAnswered.size() + mReady.size()) < mThreads) {
        const int index = mNextToStart++;
        ResizeJob job{mFiles[index], ResizeMode::MainImage, mMaxWidth, mMaxHeight, mMaxBytes};
        auto worker = std::make_unique<TResizeImageThread>(
            [this, index](const WindowMessage&) -> qintptr {
                const auto it = mRunning.find(index);
                if (it == mRunning.end())
                    return 0;
                mReady[index] = it->second->takeResult();
                mAnswered.insert(index);
                // The worker is still inside this message; it is joined once it returns.
                QMetaObject::invokeMethod(
                    this, [this] { handOver(); }, Qt::QueuedConnection);
                return 0;
            },
            std::move(job));
        TResizeImageThread* started = worker.get();
        mRunning.emplace(index, std::move(worker));
        // Every core works on photos; the idle class leaves the GUI thread its turn at once.
        if (!started->start(QThread::IdlePriority)) {
            mRunning.erase(index);
            mReady[index] = std::nullopt;
            QMetaObject::invokeMethod(
                this, [this] { handOver(); }, Qt::QueuedConnection);
        }
    }
}

void PreparePipeline::handOver()
{
    if (mCancelled || mDone || mHandingOver)
        return;
    mHandingOver = true;
    // Workers that answered have nothing left to do but return.
    for (const int index : std::exchange(mAnswered, {}))
        mRunning.erase(index); // its destructor joins it
    while (!mCancelled) {
        const auto it = mReady.find(mNextToHandOver);
        if (it == mReady.end())
            break;
        const std::optional<UploadImage> image = std::move(it->second);
        mReady.erase(it);
        const int index = mNextToHandOver++;
        // Next photos start before the handler runs, so the cores stay busy meanwhile.
        startWorkers();
        if (mPrepared)
            mPrepared(index, image);
    }
    mHandingOver = false;
    if (mCancelled)
        return;
    startWorkers();
    if (mNextToHandOver >= mFiles.size()) {
        mDone = true;
        if (mFinished)
            mFinished();
    }
}

} // namespace upload
