// The viewer's worker: one picture file fitted into the picture area off the window's thread,
// handed back as JPEG bytes and, decoded, as the picture to show.
#pragma once

#include "WorkerThread.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>
#include <utility>

namespace viewer {

// The worker's only message: the fitted picture is ready (or the file could not be read).
inline constexpr int WM_RESIZE_IMAGE_DONE = WM_USER + 1;

class TResizeImageThread final : public WorkerThread
{
public:
    // The box is in device pixels. start() begins the load.
    TResizeImageThread(WindowMessenger::Handler handler, QString path, QSize box);
    ~TResizeImageThread() override;

    const QString& path() const { return mPath; }
    QSize box() const { return mBox; }

    // Inside the handler of WM_RESIZE_IMAGE_DONE only, while the worker waits: the picture's
    // upright size in the file, and the fitted JPEG stream decoded here, so that the window
    // only shows it (null when the file could not be read).
    QSize storedSize() const { return mStoredSize; }
    QImage takePicture() { return std::exchange(mPicture, QImage()); }

protected:
    void execute() override;

private:
    const QString mPath;
    const QSize mBox;
    QImage mPicture;
    QSize mStoredSize;
};

} // namespace viewer
