#include "TCreateThumbThread.h"

#include "GridMessages.h"

#include <chrono>
#include <thread>

TCreateThumbThread::TCreateThumbThread(WindowMessenger::Handler handler, Loader loader, int boxSize,
                                       imaging::ColorRef background)
    : WorkerThread(std::move(handler)), mLoader(std::move(loader)), mBoxSize(boxSize),
      mBackground(background)
{}

TCreateThumbThread::~TCreateThumbThread()
{
    stop();
}

void TCreateThumbThread::setNextFile(const QString& file)
{
    const std::lock_guard lock(mNextMutex);
    mNextFile = file;
}

bool TCreateThumbThread::isIdle() const
{
    const std::lock_guard lock(mNextMutex);
    return mNextFile.isEmpty();
}

QString TCreateThumbThread::nextFile() const
{
    const std::lock_guard lock(mNextMutex);
    return mNextFile;
}

void TCreateThumbThread::execute()
{
    while (!isTerminated()) {
        // The file stays set while it is being made; the grid replaces it in WM_THUMB_DONE.
        const QString file = nextFile();
        if (file.isEmpty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        mResult = mLoader(file, mBoxSize, mBackground);
        if (!isTerminated())
            send(WM_THUMB_DONE);
        mResult.reset();
    }
}
