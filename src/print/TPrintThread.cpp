#include "TPrintThread.h"

#include "CupsJob.h"
#include "PhotoPlacement.h"
#include "PrintLayout.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cmath>
#include <exception>
#include <memory>

qintptr answerPrintJob(const TPrintPageList& pages, int page, int index, TPrintJob& job)
{
    if (page < 0 || page >= int(pages.size()))
        return kPrintNoMore;
    const TPrintPhotoList& photos = pages[std::size_t(page)].photos;
    if (index < 0 || index >= int(photos.size()))
        return page + 1 < int(pages.size()) ? kPrintNextPage : kPrintNoMore;
    const TPrintPhoto& slot = photos[std::size_t(index)];
    job.fileName = slot.photo ? slot.photo->fileName() : QString();
    job.slot = slot.slot;
    job.rotateAllowed = slot.rotateAllowed;
    job.fill = slot.fill;
    job.enlarge = slot.enlarge;
    job.cropPosition = slot.photo ? slot.photo->cropPosition() : 0.5;
    return index;
}

TPrintThread::TPrintThread(WindowMessenger::Handler handler, PrintSettings settings,
                           PrintTarget target, bool nPerPage, bool preferRotation,
                           double screenPpiX, double screenPpiY)
    : WorkerThread(std::move(handler)), mSettings(std::move(settings)), mTarget(std::move(target)),
      mNPerPage(nPerPage), mPreferRotation(preferRotation), mScreenPpiX(screenPpiX),
      mScreenPpiY(screenPpiY)
{}

TPrintThread::~TPrintThread()
{
    stop();
}

void TPrintThread::execute()
{
    try {
        mResult = run();
    } catch (const std::exception& error) {
        mErrorText = QString::fromLocal8Bit(error.what());
        mResult = PrintError;
    } catch (...) {
        mResult = PrintError;
    }
    if (!isTerminated())
        send(WM_PRINT_RESULT, mResult);
}

bool TPrintThread::stopping()
{
    return isTerminated() || cancelFlag().load() != 0;
}

PrintResult TPrintThread::run()
{
    // The document is written beside its destination and only renamed into place when
    // complete; for a queue it is a private temporary file that CUPS copies.
    std::unique_ptr<QFileDevice> file;
    QSaveFile* saveFile = nullptr;
    if (mTarget.kind == PrintTarget::Kind::PdfFile) {
        auto owned = std::make_unique<QSaveFile>(mTarget.name);
        saveFile = owned.get();
        file = std::move(owned);
        if (!saveFile->open(QIODevice::WriteOnly)) {
            mErrorText = saveFile->errorString();
            return PrintError;
        }
    } else {
        auto temporary = std::make_unique<QTemporaryFile>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("velko-print-XXXXXX.pdf")));
        if (!temporary->open()) {
            mErrorText = temporary->errorString();
            return PrintError;
        }
        file = std::move(temporary);
    }

    const int resolution = mSettings.resolution > 0 ? mSettings.resolution : 300;
    {
        QPdfWriter writer(file.get());
        writer.setResolution(resolution);
        writer.setPageLayout(mSettings.runLayout(mNPerPage));
        writer.setTitle(mTarget.title);
        QPainter painter;
        if (!painter.begin(&writer)) {
            mErrorText = QStringLiteral("The PDF document could not be started.");
            if (saveFile)
                saveFile->cancelWriting();
            return PrintError;
        }
        printPages(painter, writer, resolution);
        painter.end();
    }

    if (stopping()) {
        if (saveFile)
            saveFile->cancelWriting();
        return PrintCancelled;
    }
    if (saveFile) {
        if (!saveFile->commit()) {
            mErrorText = saveFile->errorString();
            return PrintError;
        }
        return PrintDone;
    }
    if (!file->flush()) {
        mErrorText = file->errorString();
        return PrintError;
    }
    // The queue is told the orientation of the pages as printed, which is portrait for one,
    // two and four per page whatever the entry says.
    PrintSettings printed = mSettings;
    printed.pageLayout = mSettings.runLayout(mNPerPage);
    CupsJob job;
    if (!job.submit(mTarget.name, file->fileName(), mTarget.title, printed)) {
        mErrorText = job.errorText();
        return PrintError;
    }
    mCupsJobId = job.jobId();
    if (stopping()) {
        job.cancel();
        return PrintCancelled;
    }
    return PrintDone;
}

void TPrintThread::printPages(QPainter& painter, QPdfWriter& writer, int resolution)
{
    int page = 0;
    int index = 0;
    while (!stopping()) {
        const std::optional<qintptr> answer = send(WM_PRINT_NEXT_JOB, page, index);
        if (!answer || *answer == kPrintNoMore)
            return;
        if (*answer == kPrintNextPage) {
            writer.newPage();
            ++page;
            index = 0;
            continue;
        }
        PlacementRequest request;
        request.fileName = mJob.fileName;
        request.slot = mJob.slot;
        request.rotateAllowed = mJob.rotateAllowed;
        request.enlarge = mJob.enlarge;
        request.fill = mJob.fill;
        request.cropPosition = mJob.cropPosition;
        request.ppiX = resolution;
        request.ppiY = resolution;
        request.mode = PlacementMode::Print;
        request.preferRotation = mPreferRotation;
        request.screenPpiX = mScreenPpiX;
        request.screenPpiY = mScreenPpiY;
        // A photo that cannot be rendered stays blank and still counts.
        const std::optional<PlacedPhoto> placed = PlacePhoto(request, &cancelFlag());
        if (placed && !stopping()) {
            const int left = pixelsFromMicrometres(placed->left, resolution);
            const int top = pixelsFromMicrometres(placed->top, resolution);
            const int right = pixelsFromMicrometres(placed->right, resolution);
            const int bottom = pixelsFromMicrometres(placed->bottom, resolution);
            painter.drawImage(QRect(left, top, right - left, bottom - top), placed->image);
        }
        ++index;
        mPrinted.fetch_add(1);
    }
}
