#include "TPreviewThread.h"

TPreviewThread::TPreviewThread(WindowMessenger::Handler handler, int page)
    : WorkerThread(std::move(handler)), mPage(page)
{}

TPreviewThread::~TPreviewThread()
{
    stop();
}

void TPreviewThread::execute()
{
    for (int index = 0; !isTerminated(); ++index) {
        const std::optional<qintptr> answer = send(WM_PREVIEW_NEXT_JOB, mPage, index);
        if (!answer || *answer < 0)
            return;
        mJob.mode = PlacementMode::Preview;
        mJob.cropPosition = 0;
        mJob.preferRotation = false;
        // The cancel flag stops a load that is under way as soon as the page changes.
        std::optional<PlacedPhoto> placed = PlacePhoto(mJob, &cancelFlag());
        if (placed && !isTerminated()) {
            mResult = std::move(*placed);
            send(WM_PREVIEW_DONE, mPage, index);
            mResult = PlacedPhoto();
        }
    }
}
