#include "TResizeImageThread.h"

#include "FittedJpeg.h"
#include "QtImage.h"

#include <utility>

namespace viewer {

TResizeImageThread::TResizeImageThread(WindowMessenger::Handler handler, QString path, QSize box)
    : WorkerThread(std::move(handler)), mPath(std::move(path)), mBox(box)
{}

TResizeImageThread::~TResizeImageThread()
{
    stop();
}

void TResizeImageThread::execute()
{
    FittedJpegDetails details;
    const std::optional<QByteArray> stream =
        LoadFittedJpeg(mPath, mBox.width(), mBox.height(), 0, true, &cancelFlag(), details);
    mStoredSize = QSize(details.storedWidth, details.storedHeight);
    if (stream && !isTerminated())
        mPicture = imaging::decodeImage(*stream).convertToFormat(QImage::Format_RGB32);
    // A stopped worker's stream is dropped with it.
    if (!isTerminated())
        send(WM_RESIZE_IMAGE_DONE);
}

} // namespace viewer
