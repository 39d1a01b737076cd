#include "TResizeImageThread.h"

#include "Cancel.h"
#include "FittedJpeg.h"
#include "ImagingResult.h"
#include "ParallelRows.h"
#include "TViewerFile.h"

#include <QFile>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace album {

namespace {

constexpr int kThumbnailSize = 90;

struct MadePhoto
{
    std::optional<QByteArray> thumbnail; // photo viewer only
    std::optional<QByteArray> picture;
};

// One read of the file serves both images. A photo that lacks either gets neither, so a
// thumbnail never stands in the file without its picture and the numbers stay paired.
MadePhoto makePhoto(const QString& fileName, const ExportJob& job,
                    const imaging::CancelFlag* cancel)
{
    QByteArray bytes;
    if (readPictureFile(fileName, bytes) != imaging::Success)
        return {};
    FittedJpegDetails details;
    MadePhoto made;
    if (!job.slideshow) {
        made.thumbnail =
            fitPictureBytes(bytes, kThumbnailSize, kThumbnailSize, 0, false, cancel, details);
        if (!made.thumbnail)
            return {};
    }
    made.picture =
        fitPictureBytes(bytes, job.box.width(), job.box.height(), 0, true, cancel, details);
    if (!made.picture)
        return {};
    return made;
}

std::string blockName(const char* prefix, int number)
{
    return prefix + std::to_string(number);
}

} // namespace

struct TResizeImageThread::Private
{
    explicit Private(ExportJob exportJob)
        : job(std::move(exportJob)), outputFile(QFile::encodeName(job.outputFile).toStdString())
    {}

    const ExportJob job;
    const std::string outputFile;

    // Handed over while the worker waits in its message, so no lock is needed.
    QString currentFile;
    QString failure;
    std::atomic<int> written = 0;

    // The helpers that make the pictures ahead of the writer. Their own cancel cell, so the
    // worker can stop them on a failure without touching the window's.
    std::atomic<int> helperCancel = 0;
    std::mutex mutex;
    std::condition_variable work;  // helpers: a photo may be started, or stop
    std::condition_variable ready; // writer: a photo is made, or stop
    bool stopping = false;
    int nextToMake = 0;
    int nextToWrite = 0;
    int ahead = 1; // photos made or waiting at most, beyond those written
    std::map<int, MadePhoto> made;
    std::vector<std::thread> helpers;

    // Cancels what the helpers make and wakes those waiting for work.
    void signalStop()
    {
        helperCancel.store(1);
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        work.notify_all();
    }

    // After the last photo the helpers have left by themselves; before it they are cancelled.
    void endHelpers()
    {
        signalStop();
        for (std::thread& helper : helpers) {
            // An idle helper could starve on a busy machine while we wait for it.
            setNativeThreadPriority(helper.native_handle(), QThread::HighPriority);
            helper.join();
        }
        helpers.clear();
    }
};

TResizeImageThread::TResizeImageThread(WindowMessenger::Handler handler, ExportJob job)
    : WorkerThread(std::move(handler)), d(std::make_unique<Private>(std::move(job)))
{}

TResizeImageThread::~TResizeImageThread()
{
    stop();
}

void TResizeImageThread::setCurrentFile(const QString& fileName)
{
    d->currentFile = fileName;
}

int TResizeImageThread::picturesWritten() const
{
    return d->written.load();
}

QString TResizeImageThread::failure() const
{
    return d->failure;
}

void TResizeImageThread::wakeUp()
{
    d->signalStop();
    d->ready.notify_all();
}

void TResizeImageThread::execute()
{
    Private& p = *d;
    const int count = int(p.job.files.size());
    const int threads = std::clamp(p.job.threads > 0 ? p.job.threads : QThread::idealThreadCount(),
                                   1, std::max(1, count));

    const auto helper = [&p, count] {
        const imaging::CancelScope cancelScope(&p.helperCancel);
        // The helpers already keep every core busy, one photo each.
        const imaging::SingleThreadScope oneThread;
        std::unique_lock lock(p.mutex);
        for (;;) {
            p.work.wait(lock, [&] {
                return p.stopping || p.nextToMake >= count ||
                       p.nextToMake < p.nextToWrite + p.ahead;
            });
            if (p.stopping || p.nextToMake >= count)
                return;
            const int index = p.nextToMake++;
            lock.unlock();
            MadePhoto photo;
            try {
                photo = makePhoto(p.job.files[index], p.job, &p.helperCancel);
            } catch (...) {
                photo = {}; // skipped like an unreadable photo
            }
            lock.lock();
            p.made.emplace(index, std::move(photo));
            p.ready.notify_one();
        }
    };

    // However the body is left, no helper outlives it.
    struct HelperGuard
    {
        Private& p;
        ~HelperGuard() { p.endHelpers(); }
    } helperGuard{p};
    const auto fail = [&](const QString& reason) {
        p.endHelpers();
        p.failure = reason;
        if (!isTerminated())
            send(WM_EXPORT_PROGRESS, -1);
    };
    {
        const std::lock_guard lock(p.mutex);
        // Pictures decoded or waiting stay within about two per thread.
        p.ahead = 2 * threads;
    }
    if (count > 0) {
        std::string threadError;
        for (int i = 0; i < threads; ++i) {
            try {
                p.helpers.emplace_back(helper);
            } catch (const std::system_error& error) {
                threadError = error.what();
                break;
            }
            // Every core makes pictures; the idle class leaves the GUI thread its turn at once.
            setNativeThreadPriority(p.helpers.back().native_handle(), QThread::IdlePriority);
        }
        if (p.helpers.empty()) {
            fail(QString::fromLocal8Bit(threadError.c_str()));
            return;
        }
    }

    for (int i = 0; i < count; ++i) {
        p.currentFile.clear();
        const std::optional<qintptr> answered = send(WM_EXPORT_PROGRESS, i);
        if (isTerminated())
            return;
        // The pictures were started from the worker's own list, ahead of the window. Only a
        // wrong window gets either failure: the user hears of no reason beyond the failure.
        if (!answered || p.currentFile != p.job.files[i]) {
            fail(QString());
            return;
        }

        MadePhoto photo;
        {
            std::unique_lock lock(p.mutex);
            p.ready.wait(lock, [&] { return p.stopping || p.made.count(i) != 0; });
            if (p.stopping)
                return;
            photo = std::move(p.made.extract(i).mapped());
            p.nextToWrite = i + 1;
        }
        p.work.notify_all();
        if (!photo.picture || isTerminated())
            continue; // a photo that cannot be read leaves no number

        // A thumbnail and its picture go together: the cancel is looked at before the pair.
        // False only when another container was begun meanwhile, which no user can cause.
        try {
            const auto add = [&](const std::string& name, const QByteArray& bytes) {
                return AddViewerResource(p.outputFile, name, bytes.constData(),
                                         std::size_t(bytes.size()));
            };
            const int number = p.written.load();
            if ((!p.job.slideshow && !add(blockName("VELKO_THUMB", number), *photo.thumbnail)) ||
                !add(blockName("VELKO_PIC", number), *photo.picture)) {
                fail(QString());
                return;
            }
        } catch (const ContainerError& error) {
            // The user reads the file and the system's words, not the container's English.
            fail(error.errorNumber() != 0
                     ? QString::fromLocal8Bit(p.outputFile + ": " +
                                              std::strerror(error.errorNumber()))
                     : QString());
            return;
        }
        ++p.written;
    }
    p.endHelpers();
    if (!isTerminated())
        send(WM_EXPORT_PROGRESS, count);
}

} // namespace album
