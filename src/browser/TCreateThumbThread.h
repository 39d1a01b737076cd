// The thumbnail worker of a grid: makes one thumbnail at a time, at idle priority, for the
// file the grid gives it.
#pragma once

#include "Bitmap.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

class TCreateThumbThread : public WorkerThread
{
public:
    // Wide path, box size, background colour → JPEG bytes, or none.
    using Loader = std::function<std::optional<QByteArray>(const QString&, int, imaging::ColorRef)>;

    TCreateThumbThread(WindowMessenger::Handler handler, Loader loader, int boxSize,
                       imaging::ColorRef background);
    ~TCreateThumbThread() override;

    // Empty means idle. The grid sets it inside WM_THUMB_DONE or while the worker is idle.
    void setNextFile(const QString& file);
    bool isIdle() const;

    // Valid inside the handler of WM_THUMB_DONE: the loader's result for the last file.
    const std::optional<QByteArray>& result() const { return mResult; }

protected:
    void execute() override;

private:
    QString nextFile() const;

    const Loader mLoader;
    const int mBoxSize;
    const imaging::ColorRef mBackground;
    // The one hand-over that happens while the worker polls rather than waits in a send.
    mutable std::mutex mNextMutex;
    QString mNextFile;
    std::optional<QByteArray> mResult;
};
