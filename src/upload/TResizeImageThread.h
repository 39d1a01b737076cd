// The upload wizard's worker: one photo made into the main image, the display copy or the
// thumbnail that the site receives, as JPEG bytes within the site's byte limit.
#pragma once

#include "Cancel.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace upload {

// The worker's only message to the wizard: its image is ready (or could not be made). The
// HTTP component reports through a messenger of its own, so the numbers never meet.
inline constexpr int WM_UPLOAD_IMAGE_READY = WM_USER + 1;

enum class ResizeMode
{
    MainImage = 0,
    DisplayCopy = 1,
    Thumbnail = 2,
};

struct UploadImage
{
    QByteArray bytes;
    int width = 0;
    int height = 0;
};

struct ResizeJob
{
    QString fileName;
    ResizeMode mode = ResizeMode::MainImage;
    // Both 0: the photo keeps its own size (main image only).
    int maxWidth = 0;
    int maxHeight = 0;
    qint64 maxBytes = 0;
};

// The work of one job, on the calling thread. None when the picture cannot be read, the
// cancel flag stops it, the image would be larger than the limit, or a display copy or
// thumbnail would be no smaller than the photo itself. A JPEG that already fits is sent as
// the file's own bytes when re-encoding would not make it smaller; any other file is always
// sent re-encoded, because the site stores and shows JPEG photos.
std::optional<UploadImage> makeUploadImage(const ResizeJob& job, const imaging::CancelFlag* cancel);

class TResizeImageThread final : public WorkerThread
{
public:
    TResizeImageThread(WindowMessenger::Handler handler, ResizeJob job);
    ~TResizeImageThread() override;

    const ResizeJob& job() const { return mJob; }

    // Inside the handler of WM_UPLOAD_IMAGE_READY only, while the worker waits.
    std::optional<UploadImage> takeResult();

protected:
    void execute() override;

private:
    const ResizeJob mJob;
    std::optional<UploadImage> mResult;
};

} // namespace upload
