#include "TCopyFilesThread.h"

#include "ShellChangeNotifier.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <exception>

// Byte counts travel whole in the message parameters, so files above 4 GB show true progress.
static_assert(sizeof(qintptr) >= sizeof(qint64));

namespace {

// Private to the worker: its handler wrapper announces a copied file (wParam the event,
// text the path) and never passes it on to the window.
constexpr int kAnnounceCopied = WM_USER + 100;

// The notifier lives on the window's thread. Announcing there, through the messenger, hands
// the path over through a lock ThreadSanitizer can follow, unlike a queued call through Qt's.
WindowMessenger::Handler withAnnouncements(WindowMessenger::Handler handler)
{
    return [handler = std::move(handler)](const WindowMessage& message) -> qintptr {
        if (message.id != kAnnounceCopied)
            return handler(message);
        ShellChangeNotifier::instance().announcePath(quint32(message.wParam),
                                                     QFile::encodeName(message.text));
        return 1;
    };
}

bool pathExists(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

TCopyFilesThread::TCopyFilesThread(WindowMessenger::Handler handler, QString sourceFolder,
                                   QString destinationFolder, QStringList fileNames)
    : WorkerThread(withAnnouncements(std::move(handler))), mSourceFolder(std::move(sourceFolder)),
      mDestinationFolder(std::move(destinationFolder)), mFileNames(std::move(fileNames))
{}

TCopyFilesThread::~TCopyFilesThread()
{
    stop();
}

void TCopyFilesThread::execute()
{
    for (int index = 0; index < mFileNames.size(); ++index) {
        if (isTerminated() || cancelFlag().load() != 0)
            return;
        if (copyOne(index) == Outcome::Cancelled)
            return;
    }
    if (!isTerminated())
        send(WM_COPYFINISHED);
}

TCopyFilesThread::Outcome TCopyFilesThread::copyOne(int index)
{
    const QString& name = mFileNames.at(index);
    send(WindowMessage{WM_COPYSTART, index, 0, name});

    const QString source = QDir(mSourceFolder).filePath(name);
    const QString destination = QDir(mDestinationFolder).filePath(name);
    // An existing file is replaced only once the user agreed to it, also on a retry after
    // another error: a camera's IMG_0001.JPG from an earlier card must never go unasked.
    bool replace = mReplaceAll;
    for (;;) {
        const bool existed = replace && pathExists(destination);
        if (tryCopy(source, destination, !replace)) {
            announce(existed ? ShcneUpdateItem : ShcneCreate, destination);
            if (!isTerminated())
                send(WindowMessage{WM_COPYDONE, index, 0, name});
            return Outcome::Copied;
        }
        if (isTerminated() || mFailure.code == CopyFileError::Cancelled)
            return Outcome::Skipped;

        qintptr answer = 0;
        if (mFailure.code == CopyFileError::Exists) {
            answer = ask(WM_COPYEXISTS, index);
            if (answer == kCopyReplaceAll) {
                mReplaceAll = true;
                answer = kCopyReplace;
            }
            if (answer == kCopyReplace) {
                replace = true;
                continue;
            }
        } else {
            answer = ask(WM_COPYERROR, index);
            if (answer == kCopyRetry)
                continue;
        }
        if (answer == kCopyCancel && !isTerminated()) {
            send(WM_COPYCANCELLED);
            return Outcome::Cancelled;
        }
        return Outcome::Skipped;
    }
}

void TCopyFilesThread::announce(quint32 event, const QString& path)
{
    // A window that is stopping the worker no longer answers; the notifier still hears of it.
    if (!send(WindowMessage{kAnnounceCopied, qintptr(event), 0, path}))
        ShellChangeNotifier::instance().announcePath(event, QFile::encodeName(path));
}

bool TCopyFilesThread::tryCopy(const QString& source, const QString& destination, bool failIfExists)
{
    mFailure = CopyFileFailure();
    const CopyFileProgress progress = [this](qint64 copied, qint64 total) {
        if (!isTerminated())
            send(WM_COPYPROGRESS, qintptr(copied), qintptr(total));
    };
    try {
        return CopyFileReadOnlySafe(source, destination, failIfExists, progress, &cancelFlag(),
                                    &mFailure);
    } catch (const std::exception& error) {
        // Out of memory and the like: a copy error for this file, which the user may skip.
        mFailure = CopyFileFailure{CopyFileError::Other, 0, QString::fromLocal8Bit(error.what())};
        return false;
    }
}

qintptr TCopyFilesThread::ask(int message, int index)
{
    if (isTerminated())
        return kCopySkip;
    return send(WindowMessage{message, index, 0, mFileNames.at(index)}).value_or(kCopySkip);
}
