#include "TCopyFilesThread.h"

#include "ShellChangeNotifier.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <sys/stat.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

// Byte counts travel whole in the message parameters, so files above 4 GB show true progress.
static_assert(sizeof(qintptr) >= sizeof(qint64));

namespace {

// Private to the worker: its handler wrapper announces a copied file (wParam the event,
// text the path) and never passes it on to the window.
constexpr int kAnnounceCopied = WM_USER + 100;

// The notifier lives on the window's thread. Announcing there, through the messenger, hands
// the path over through a lock ThreadSanitizer can follow, unlike a queued call through Qt's.
WindowMessenger::Handler withAnnouncements(WindowMessenger::Handler handler)
{
    return [handler = std::move(handler)](const WindowMessage& message) -> qintptr {
        if (message.id != kAnnounceCopied)
            return handler(message);
        ShellChangeNotifier::instance().announcePath(quint32(message.wParam),
                                                     QFile::encodeName(message.text));
        return 1;
    };
}

bool pathExists(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Files copied ahead of their flush: enough to keep the disk busy while others are flushed
// and read back, and to flush several in one go; few enough that a stop throws little away.
constexpr size_t kFilesAhead = 6;

} // namespace

struct TCopyFilesThread::Staged
{
    int index = 0;
    bool replace = false; // the user agreed to replace a file of that name
    bool existed = false; // a file of that name was there when the copy began
    StagedCopy copy;
    bool committed = false;
    CopyFileFailure failure;
};

// Flushes, reads back and names the staged copies on a thread of its own, in the order they
// were staged, while the worker copies the next files. One flush of the folder covers the
// names given in one go. After a failure it names nothing more until the worker has asked
// the user about that file (resume()), so no later file gets its name before the answer.
class TCopyFilesThread::Committer
{
public:
    Committer(const std::atomic<int>& cancel, std::function<bool()> stopping, QString folder)
        : mCancel(cancel), mStopping(std::move(stopping)), mFolder(std::move(folder))
    {}
    ~Committer() { finish(); }

    void start()
    {
        mThread = std::thread([this] { run(); });
    }

    // Ends the thread. The staged copies it has not named are removed; those it named and
    // nobody took yet are returned.
    std::deque<Staged> finish()
    {
        {
            const std::lock_guard lock(mMutex);
            mEnding = true;
        }
        mChanged.notify_all();
        if (mThread.joinable())
            mThread.join();
        const std::lock_guard lock(mMutex);
        mWaiting.clear();
        mOnTheirWay = 0;
        return std::exchange(mFinished, {});
    }

    void push(Staged staged)
    {
        {
            const std::lock_guard lock(mMutex);
            mWaiting.push_back(std::move(staged));
            ++mOnTheirWay;
        }
        mChanged.notify_all();
    }

    // The next finished copy, named or failed, in the order they were pushed. Waits for one
    // while at least whileAtLeast are on their way; none once fewer are, or when stopping.
    std::optional<Staged> take(size_t whileAtLeast)
    {
        std::unique_lock lock(mMutex);
        mChanged.wait(lock, [&] {
            return !mFinished.empty() || mOnTheirWay < whileAtLeast || mEnding || mStopping();
        });
        if (mFinished.empty())
            return std::nullopt;
        std::optional<Staged> staged(std::move(mFinished.front()));
        mFinished.pop_front();
        --mOnTheirWay;
        return staged;
    }

    // The user has been asked about a failed copy.
    void resume()
    {
        {
            const std::lock_guard lock(mMutex);
            if (mHeld > 0)
                --mHeld;
        }
        mChanged.notify_all();
    }

    // The worker's flags changed: whoever waits looks at them again.
    void wake()
    {
        // Under the lock, so the notification cannot fall between a waiter's check and its sleep.
        const std::lock_guard lock(mMutex);
        mChanged.notify_all();
    }

private:
    void run()
    {
        std::unique_lock lock(mMutex);
        for (;;) {
            mChanged.wait(
                lock, [&] { return mEnding || (!mWaiting.empty() && mHeld == 0 && !mStopping()); });
            if (mEnding)
                return;
            std::vector<Staged> batch(std::make_move_iterator(mWaiting.begin()),
                                      std::make_move_iterator(mWaiting.end()));
            mWaiting.clear();
            lock.unlock();
            const size_t handled = commit(batch);
            lock.lock();
            for (size_t i = 0; i < handled; ++i) {
                mHeld += batch[i].committed ? 0 : 1;
                mFinished.push_back(std::move(batch[i]));
            }
            for (size_t i = batch.size(); i-- > handled;)
                mWaiting.push_front(std::move(batch[i]));
            mChanged.notify_all();
        }
    }

    // Commits in order up to the first failure; returns how many were handled. All are put on
    // the disk first: one journal commit of the file system then covers several files.
    size_t commit(std::vector<Staged>& batch)
    {
        for (Staged& staged : batch) {
            if (mStopping())
                break;
            staged.copy.flush(); // a failure is the commit's
        }
        size_t handled = 0;
        bool named = false;
        while (handled < batch.size() && !mStopping()) {
            Staged& staged = batch[handled++];
            try {
                staged.committed = staged.copy.commit(&mCancel);
                if (!staged.committed)
                    staged.failure = staged.copy.failure();
            } catch (const std::exception& error) {
                staged.copy.discard();
                staged.failure =
                    CopyFileFailure{CopyFileError::Other, 0, QString::fromLocal8Bit(error.what())};
            }
            if (!staged.committed)
                break;
            named = true;
        }
        CopyFileFailure failure;
        if (named && !flushFolder(mFolder, &failure)) {
            for (size_t i = 0; i < handled; ++i) {
                if (batch[i].committed) {
                    batch[i].committed = false;
                    batch[i].failure = failure;
                }
            }
        }
        return handled;
    }

    const std::atomic<int>& mCancel;
    const std::function<bool()> mStopping;
    const QString mFolder;
    std::thread mThread;

    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<Staged> mWaiting;  // staged, not committed yet
    std::deque<Staged> mFinished; // committed or failed, not taken yet
    size_t mOnTheirWay = 0;       // pushed and not taken yet
    int mHeld = 0;                // failures the user has not been asked about yet
    bool mEnding = false;
};

TCopyFilesThread::TCopyFilesThread(WindowMessenger::Handler handler, QString sourceFolder,
                                   QString destinationFolder, QStringList fileNames)
    : WorkerThread(withAnnouncements(std::move(handler))), mSourceFolder(std::move(sourceFolder)),
      mDestinationFolder(std::move(destinationFolder)), mFileNames(std::move(fileNames)),
      mCommitter(std::make_unique<Committer>(
          cancelFlag(), [this] { return stopping(); }, mDestinationFolder))
{}

TCopyFilesThread::~TCopyFilesThread()
{
    stop();
}

void TCopyFilesThread::wakeUp()
{
    mCommitter->wake();
}

void TCopyFilesThread::execute()
{
    mCommitter->start();
    const auto finishCommits = qScopeGuard([this] { mCommitter->finish(); });
    Outcome outcome = Outcome::Done;
    for (int index = 0; index < mFileNames.size() && outcome != Outcome::Cancelled; ++index)
        outcome = stopping() ? Outcome::Cancelled : stageOne(index);
    if (outcome != Outcome::Cancelled)
        outcome = reportCommitted(1);
    // A file that got its name before a stop is on the disk: the shell hears of it all the same.
    for (const Staged& staged : mCommitter->finish()) {
        if (staged.committed)
            reportDone(staged.index, staged.existed);
    }
    if (outcome != Outcome::Cancelled && !isTerminated())
        send(WM_COPYFINISHED);
}

// Copies one file into its temporary file and hands it to the committer. A failure is asked
// about once every earlier file is dealt with, so the questions come in the files' order.
TCopyFilesThread::Outcome TCopyFilesThread::stageOne(int index)
{
    if (reportCommitted(kFilesAhead) == Outcome::Cancelled)
        return Outcome::Cancelled;
    send(WindowMessage{WM_COPYSTART, index, 0, mFileNames.at(index)});

    // An existing file is replaced only once the user agreed to it, also on a retry after
    // another error: a camera's IMG_0001.JPG from an earlier card must never go unasked.
    Staged staged;
    staged.index = index;
    staged.replace = mReplaceAll;
    staged.existed = staged.replace && pathExists(destinationPath(index));
    const CopyFileProgress progress = [this](qint64 copied, qint64 total) {
        if (!isTerminated())
            send(WM_COPYPROGRESS, qintptr(copied), qintptr(total));
    };
    CopyFileFailure failure;
    try {
        if (staged.copy.stage(sourcePath(index), destinationPath(index), !staged.replace, progress,
                              &cancelFlag(), mOptions)) {
            mCommitter->push(std::move(staged));
            return Outcome::Done;
        }
        failure = staged.copy.failure();
    } catch (const std::exception& error) {
        // Out of memory and the like: a copy error for this file, which the user may skip.
        staged.copy.discard();
        failure = CopyFileFailure{CopyFileError::Other, 0, QString::fromLocal8Bit(error.what())};
    }
    if (stopping() || reportCommitted(1) == Outcome::Cancelled)
        return Outcome::Cancelled;
    return settle(index, staged.replace, failure);
}

// Tells the window of the copies the committer has finished, in their order, waiting for
// more while at least whileAtLeast are on their way.
TCopyFilesThread::Outcome TCopyFilesThread::reportCommitted(size_t whileAtLeast)
{
    for (;;) {
        std::optional<Staged> staged = mCommitter->take(whileAtLeast);
        if (!staged)
            return stopping() ? Outcome::Cancelled : Outcome::Done;
        if (staged->committed) {
            reportDone(staged->index, staged->existed);
            continue;
        }
        if (stopping())
            return Outcome::Cancelled;
        if (settle(staged->index, staged->replace, staged->failure) == Outcome::Cancelled)
            return Outcome::Cancelled;
        mCommitter->resume();
    }
}

// Asks about a file whose copy failed and copies it again, in one go, as long as the user
// says so. Nothing else is copied or named meanwhile.
TCopyFilesThread::Outcome TCopyFilesThread::settle(int index, bool replace,
                                                   const CopyFileFailure& failure)
{
    mFailure = failure;
    for (;;) {
        if (isTerminated() || mFailure.code == CopyFileError::Cancelled)
            return Outcome::Cancelled;
        qintptr answer = 0;
        bool again = false;
        if (mFailure.code == CopyFileError::Exists && mReplaceAll) {
            // Staged before the user said Yes to all, about an earlier file.
            replace = again = true;
        } else if (mFailure.code == CopyFileError::Exists) {
            answer = ask(WM_COPYEXISTS, index);
            if (answer == kCopyReplaceAll) {
                mReplaceAll = true;
                answer = kCopyReplace;
            }
            again = answer == kCopyReplace;
            replace = replace || again;
        } else {
            answer = ask(WM_COPYERROR, index);
            again = answer == kCopyRetry;
        }
        if (!again) {
            if (answer == kCopyCancel && !isTerminated()) {
                send(WM_COPYCANCELLED);
                return Outcome::Cancelled;
            }
            return Outcome::Skipped;
        }
        const bool existed = replace && pathExists(destinationPath(index));
        if (tryCopy(sourcePath(index), destinationPath(index), !replace)) {
            reportDone(index, existed);
            return Outcome::Done;
        }
    }
}

void TCopyFilesThread::reportDone(int index, bool existed)
{
    announce(existed ? ShcneUpdateItem : ShcneCreate, destinationPath(index));
    if (!isTerminated())
        send(WindowMessage{WM_COPYDONE, index, 0, mFileNames.at(index)});
}

void TCopyFilesThread::announce(quint32 event, const QString& path)
{
    // A window that is stopping the worker no longer answers; the notifier still hears of it.
    if (!send(WindowMessage{kAnnounceCopied, qintptr(event), 0, path}))
        ShellChangeNotifier::instance().announcePath(event, QFile::encodeName(path));
}

bool TCopyFilesThread::tryCopy(const QString& source, const QString& destination, bool failIfExists)
{
    mFailure = CopyFileFailure();
    const CopyFileProgress progress = [this](qint64 copied, qint64 total) {
        if (!isTerminated())
            send(WM_COPYPROGRESS, qintptr(copied), qintptr(total));
    };
    try {
        return CopyFileReadOnlySafe(source, destination, failIfExists, progress, &cancelFlag(),
                                    mOptions, &mFailure);
    } catch (const std::exception& error) {
        // Out of memory and the like: a copy error for this file, which the user may skip.
        mFailure = CopyFileFailure{CopyFileError::Other, 0, QString::fromLocal8Bit(error.what())};
        return false;
    }
}

qintptr TCopyFilesThread::ask(int message, int index)
{
    if (isTerminated())
        return kCopySkip;
    return send(WindowMessage{message, index, 0, mFileNames.at(index)}).value_or(kCopySkip);
}

QString TCopyFilesThread::sourcePath(int index) const
{
    return QDir(mSourceFolder).filePath(mFileNames.at(index));
}

QString TCopyFilesThread::destinationPath(int index) const
{
    return QDir(mDestinationFolder).filePath(mFileNames.at(index));
}
