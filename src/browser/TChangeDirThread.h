// The folder-scan worker of a grid: lists the photo files of the requested folder and
// reports them one at a time.
#pragma once

#include "ShellItemIdList.h"
#include "WorkerThread.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class TChangeDirThread : public WorkerThread
{
public:
    // What the grid asks to be scanned. A new request object (another folder, or a rescan
    // of the same one) starts a new scan; its serial travels with every message, so the
    // grid drops what an older scan still reports.
    struct Request
    {
        std::shared_ptr<const ShellItemIdList> folder;
        int serial = 0;
    };

    explicit TChangeDirThread(WindowMessenger::Handler handler);
    ~TChangeDirThread() override;

    // Window thread, at any time; the worker drops the listing in progress and starts on it.
    void setRequest(std::shared_ptr<const Request> request);
    std::shared_ptr<const Request> request() const;

    // Valid inside the handler of WM_SCAN_ITEM (the worker waits meanwhile): the photos found
    // since the last one, in listing order. Sent in batches so that a folder of thousands
    // does not cost a round trip each.
    const QStringList& foundPaths() const { return mFoundPaths; }

    // A batch goes out when it is this full, or this old.
    static constexpr int kBatchSize = 256;
    static constexpr std::chrono::milliseconds kBatchInterval{16};

protected:
    void execute() override;
    void wakeUp() override;

private:
    void scan(const Request& request);
    bool stillWanted(const Request& request) const;
    void sendFound(const Request& request);

    // A mutex, not std::atomic<shared_ptr>: libstdc++ builds that one on fences, which
    // ThreadSanitizer cannot follow.
    mutable std::mutex mRequestMutex;
    std::condition_variable mRequestChanged;
    std::shared_ptr<const Request> mRequested;
    QStringList mFoundPaths;
};
