// Stands for the imaging library's status callback: long operations poll the cancel flag
// that the calling thread registered and stop with Cancelled.
#pragma once

#include <atomic>

namespace imaging {

// The worker's cancel cell (WorkerThread::cancelFlag()); non-zero asks to stop.
using CancelFlag = std::atomic<int>;

// Registers a cancel flag for the current thread while it lives, and puts the previous
// registration back at the end. Null registers none.
class CancelScope
{
public:
    explicit CancelScope(const CancelFlag* flag);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    const CancelFlag* mPrevious;
};

// The flag the current thread registered, or null. Loaders that take an optional flag fall
// back to it, so a worker's registration reaches every call below it.
const CancelFlag* registeredCancelFlag();

// True when the current thread's registered flag is set. Cheap enough to call once a row.
bool cancelRequested();

} // namespace imaging
