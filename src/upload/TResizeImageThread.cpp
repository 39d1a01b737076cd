#include "TResizeImageThread.h"

#include "FittedJpeg.h"
#include "ImagingResult.h"

#include <utility>

namespace upload {

namespace {

bool isJpegData(const QByteArray& bytes)
{
    return bytes.size() >= 3 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xD8 &&
           quint8(bytes[2]) == 0xFF;
}

bool cancelled(const imaging::CancelFlag* cancel)
{
    return cancel != nullptr && cancel->load() != 0;
}

} // namespace

std::optional<UploadImage> makeUploadImage(const ResizeJob& job, const imaging::CancelFlag* cancel)
{
    QByteArray file;
    if (readPictureFile(job.fileName, file) != imaging::Success)
        return std::nullopt;

    bool originalSize = job.maxWidth == 0 && job.maxHeight == 0;
    std::optional<QByteArray> ownSize; // the picture re-encoded at its own size
    FittedJpegDetails details;
    if (!originalSize || job.mode != ResizeMode::MainImage) {
        std::optional<QByteArray> fitted =
            fitPictureBytes(file, job.maxWidth, job.maxHeight, 0, true, cancel, details);
        if (!fitted || cancelled(cancel))
            return std::nullopt;
        if (details.unchanged) {
            // No display copy or thumbnail for a photo that already fits.
            if (job.mode != ResizeMode::MainImage)
                return std::nullopt;
            if (fitted->size() >= file.size()) {
                originalSize = true;
                ownSize = std::move(fitted);
            }
        }
        if (!originalSize) {
            if (fitted->size() > job.maxBytes)
                return std::nullopt;
            return UploadImage{*std::move(fitted), details.resultWidth, details.resultHeight};
        }
    }

    // Re-encoding an unchanged picture gives the same bytes again; only its size is wanted.
    if (!ownSize) {
        ownSize = fitPictureBytes(file, 0, 0, 1, true, cancel, details);
        if (!ownSize || cancelled(cancel))
            return std::nullopt;
    }
    const int width = details.resultWidth;
    const int height = details.resultHeight;
    if (isJpegData(file) && file.size() <= job.maxBytes)
        return UploadImage{std::move(file), width, height};
    if (ownSize->size() <= job.maxBytes)
        return UploadImage{*std::move(ownSize), width, height};
    return std::nullopt;
}

TResizeImageThread::TResizeImageThread(WindowMessenger::Handler handler, ResizeJob job)
    : WorkerThread(std::move(handler)), mJob(std::move(job))
{}

TResizeImageThread::~TResizeImageThread()
{
    stop();
}

std::optional<UploadImage> TResizeImageThread::takeResult()
{
    return std::exchange(mResult, std::nullopt);
}

void TResizeImageThread::execute()
{
    try {
        mResult = makeUploadImage(mJob, &cancelFlag());
    } catch (...) {
        mResult.reset();
    }
    // The wizard waits for every worker's answer, with or without an image.
    if (!isTerminated())
        send(WM_UPLOAD_IMAGE_READY);
    mResult.reset();
}

} // namespace upload
