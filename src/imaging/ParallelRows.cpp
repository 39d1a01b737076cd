#include "ParallelRows.h"

#include "Cancel.h"
#include "ImagingResult.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace imaging {
namespace {

constexpr std::size_t kMinPieceBytes = 256 * 1024;
constexpr int kPiecesPerThread = 4; // evens out pieces that cost more than others
constexpr int kMaxThreads = 16;

thread_local bool tSingleThread = false;
thread_local bool tPoolThread = false;

int runPiece(const RowBody& body, const RowRange& piece)
{
    try {
        return body(piece);
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
}

// One job: the pieces are taken in order by whoever is free.
struct Job
{
    const std::vector<RowRange>* pieces = nullptr;
    const RowBody* body = nullptr;
    const CancelFlag* cancel = nullptr;
    std::atomic<std::size_t> next{0};
    std::atomic<int> result{Success};

    void fail(int failure)
    {
        int expected = Success;
        result.compare_exchange_strong(expected, failure, std::memory_order_relaxed);
    }

    void work()
    {
        const CancelScope scope(cancel);
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= pieces->size() || result.load(std::memory_order_relaxed) != Success)
                return;
            if (cancelRequested())
                return fail(Cancelled);
            if (const int r = runPiece(*body, (*pieces)[i]); r != Success)
                return fail(r);
        }
    }
};

class Pool
{
public:
    static Pool& instance()
    {
        static Pool pool;
        return pool;
    }

    ~Pool()
    {
        {
            const std::lock_guard lock(mMutex);
            mStopping = true;
        }
        mWake.notify_all();
        for (std::thread& thread : mThreads)
            thread.join();
    }

    int threadCount() const { return int(mThreads.size()) + 1; }

    // False when the pool cannot take the job now; the caller then does it alone.
    bool tryRun(Job& job)
    {
        if (mThreads.empty() || tPoolThread)
            return false;
        const std::unique_lock running(mRunning, std::try_to_lock);
        if (!running.owns_lock())
            return false;
        {
            const std::lock_guard lock(mMutex);
            mJob = &job;
            ++mGeneration;
        }
        mWake.notify_all();
        job.work();
        std::unique_lock lock(mMutex);
        mJob = nullptr; // a thread that wakes only now has nothing left to do
        mIdle.wait(lock, [this] { return mBusy == 0; });
        return true;
    }

private:
    Pool()
    {
        const int cores = int(std::thread::hardware_concurrency());
        const int helpers = std::clamp(cores, 1, kMaxThreads) - 1;
        try {
            for (int i = 0; i < helpers; ++i)
                mThreads.emplace_back([this] { threadMain(); });
        } catch (const std::system_error&) {
            // Fewer helpers than cores; the work still gets done.
        }
    }

    void threadMain()
    {
        tPoolThread = true;
        std::uint64_t seen = 0;
        std::unique_lock lock(mMutex);
        for (;;) {
            mWake.wait(lock, [&] { return mStopping || (mJob && mGeneration != seen); });
            if (mStopping)
                return;
            seen = mGeneration;
            Job* job = mJob;
            ++mBusy;
            lock.unlock();
            job->work();
            lock.lock();
            if (--mBusy == 0)
                mIdle.notify_all();
        }
    }

    std::mutex mRunning; // one job at a time
    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mIdle;
    Job* mJob = nullptr;
    std::uint64_t mGeneration = 0;
    int mBusy = 0;
    bool mStopping = false;
    std::vector<std::thread> mThreads;
};

} // namespace

std::vector<RowRange> splitRows(int begin, int end, std::size_t bytesPerRow)
{
    const int rows = end - begin;
    if (rows <= 0)
        return {};
    int count = 1;
    if (!tSingleThread) {
        const std::size_t bytes = std::size_t(rows) * std::max<std::size_t>(bytesPerRow, 1);
        const std::size_t bySize = std::max<std::size_t>(1, bytes / kMinPieceBytes);
        const int threads = Pool::instance().threadCount();
        const int wanted = threads > 1 ? threads * kPiecesPerThread : 1;
        count = int(std::min<std::size_t>({bySize, std::size_t(wanted), std::size_t(rows)}));
    }
    std::vector<RowRange> pieces(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        pieces[std::size_t(i)].begin = begin + int(std::int64_t(rows) * i / count);
        pieces[std::size_t(i)].end = begin + int(std::int64_t(rows) * (i + 1) / count);
        pieces[std::size_t(i)].index = i;
    }
    return pieces;
}

int runRows(const std::vector<RowRange>& pieces, const RowBody& body)
{
    Job job;
    job.pieces = &pieces;
    job.body = &body;
    job.cancel = registeredCancelFlag();
    if (pieces.size() < 2 || tSingleThread || !Pool::instance().tryRun(job))
        job.work();
    return job.result.load(std::memory_order_relaxed);
}

int parallelRows(int begin, int end, std::size_t bytesPerRow, const RowBody& body)
{
    return runRows(splitRows(begin, end, bytesPerRow), body);
}

SingleThreadScope::SingleThreadScope() : mPrevious(tSingleThread)
{
    tSingleThread = true;
}

SingleThreadScope::~SingleThreadScope()
{
    tSingleThread = mPrevious;
}

} // namespace imaging
