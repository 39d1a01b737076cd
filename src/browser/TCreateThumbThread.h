// The thumbnail worker of a grid: makes thumbnails on one decoding thread per core, at idle
// priority, in the order the grid asks for, and hands them back in batches.
#pragma once

#include "Bitmap.h"
#include "Cancel.h"
#include "TPhoto.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class TCreateThumbThread : public WorkerThread
{
public:
    // Wide path, box size, background colour → JPEG bytes, or none. Runs on several threads
    // at once, each with its cancel flag registered (imaging::CancelScope).
    using Loader = std::function<std::optional<QByteArray>(const QString&, int, imaging::ColorRef)>;

    // One thumbnail to make; the id lets the grid match the result to its photo, and a result
    // for a job it no longer knows is simply dropped.
    struct Job
    {
        quint64 id = 0;
        QString path;
    };
    struct Result
    {
        quint64 id = 0;
        QByteArray jpeg; // empty when the file could not be read
        QImage picture;  // jpeg decoded, so the GUI thread need not
        FileStamp stamp; // the file as it was before loading
    };

    // At most one result batch every this long, so the GUI thread wakes about once a frame.
    static constexpr std::chrono::milliseconds kBatchInterval{16};

    TCreateThumbThread(WindowMessenger::Handler handler, Loader loader, int boxSize,
                       imaging::ColorRef background, int decoders = defaultDecoderCount());
    ~TCreateThumbThread() override;

    static int defaultDecoderCount();
    int decoderCount() const { return mDecoderCount; }

    // Window thread. Replaces the jobs not yet begun by these (first ones first) and returns
    // the replaced ones, which will never produce a result.
    std::vector<Job> replaceQueue(std::vector<Job> jobs);
    // How many more jobs keep the decoders busy through a round trip to the window; cheap
    // ones (cached thumbnails) take a millisecond or two each.
    int wantedJobs() const;
    static constexpr int kQueuedPerDecoder = 32;
    // Drops the queue and stops the jobs in work at once; their results never arrive.
    void cancelAll();

    // Valid inside the handler of WM_THUMB_DONE: the results since the last batch.
    const std::vector<Result>& results() const { return mBatch; }

protected:
    void execute() override;
    void wakeUp() override;

private:
    struct Decoder
    {
        std::thread thread;
        imaging::CancelFlag cancel{0};
    };

    void decode(Decoder& decoder);
    Result make(const Job& job) const;
    bool stopping() const;

    const Loader mLoader;
    const int mBoxSize;
    const imaging::ColorRef mBackground;
    const int mDecoderCount;

    mutable std::mutex mMutex;
    std::condition_variable mWorkReady;   // decoders wait for jobs
    std::condition_variable mResultReady; // the worker waits for results
    std::deque<Job> mQueue;               // next job at the front
    std::vector<Result> mDone;            // made since the last batch
    std::vector<Result> mBatch;           // handed to the window inside WM_THUMB_DONE
    quint64 mGeneration = 0;              // raised by cancelAll
    int mBusy = 0;                        // decoders inside the loader
    bool mStopping = false;
    std::vector<std::unique_ptr<Decoder>> mDecoders;
};
