#include "TChangeDirThread.h"

#include "GridMessages.h"
#include "ShellNamespace.h"
#include "TPhoto.h"

#include <QFile>

TChangeDirThread::TChangeDirThread(WindowMessenger::Handler handler)
    : WorkerThread(std::move(handler))
{}

TChangeDirThread::~TChangeDirThread()
{
    stop();
}

void TChangeDirThread::setRequest(std::shared_ptr<const Request> request)
{
    {
        const std::lock_guard lock(mRequestMutex);
        mRequested = std::move(request);
    }
    mRequestChanged.notify_all();
}

void TChangeDirThread::wakeUp()
{
    // Under the mutex, so that the worker cannot miss it between its check and its wait.
    {
        const std::lock_guard lock(mRequestMutex);
    }
    mRequestChanged.notify_all();
}

std::shared_ptr<const TChangeDirThread::Request> TChangeDirThread::request() const
{
    const std::lock_guard lock(mRequestMutex);
    return mRequested;
}

bool TChangeDirThread::stillWanted(const Request& request) const
{
    return !isTerminated() && this->request().get() == &request;
}

void TChangeDirThread::execute()
{
    std::shared_ptr<const Request> scanning;
    for (;;) {
        {
            std::unique_lock lock(mRequestMutex);
            mRequestChanged.wait(
                lock, [&] { return isTerminated() || (mRequested && mRequested != scanning); });
            if (isTerminated())
                return;
            scanning = mRequested;
        }
        scan(*scanning);
    }
}

void TChangeDirThread::scan(const Request& request)
{
    // A virtual folder has no path and holds no photos.
    if (const auto path = ShellNamespace::instance().pathOf(*request.folder)) {
        auto batchStart = std::chrono::steady_clock::now();
        listFolderFiles(QFile::decodeName(*path), [&](const QString& found, bool isPhoto) {
            if (!stillWanted(request))
                return false; // another folder was chosen, or the grid is closing
            if (isPhoto) {
                if (mFoundPaths.isEmpty())
                    batchStart = std::chrono::steady_clock::now();
                mFoundPaths.append(found);
            }
            // Also between other files, so that a few photos among thousands show at once.
            if (mFoundPaths.size() >= kBatchSize ||
                (!mFoundPaths.isEmpty() &&
                 std::chrono::steady_clock::now() - batchStart >= kBatchInterval))
                sendFound(request);
            return true;
        });
        sendFound(request);
    }
    if (stillWanted(request))
        send(WM_SCAN_DONE, request.serial);
}

void TChangeDirThread::sendFound(const Request& request)
{
    if (!mFoundPaths.isEmpty() && stillWanted(request))
        send(WM_SCAN_ITEM, request.serial);
    mFoundPaths.clear();
}
