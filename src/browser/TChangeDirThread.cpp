#include "TChangeDirThread.h"

#include "GridMessages.h"
#include "ShellDirectory.h"
#include "ShellNamespace.h"
#include "TPhoto.h"

#include <QFile>

#include <chrono>
#include <thread>

TChangeDirThread::TChangeDirThread(WindowMessenger::Handler handler)
    : WorkerThread(std::move(handler))
{}

TChangeDirThread::~TChangeDirThread()
{
    stop();
}

void TChangeDirThread::setRequest(std::shared_ptr<const Request> request)
{
    const std::lock_guard lock(mRequestMutex);
    mRequested = std::move(request);
}

std::shared_ptr<const TChangeDirThread::Request> TChangeDirThread::request() const
{
    const std::lock_guard lock(mRequestMutex);
    return mRequested;
}

bool TChangeDirThread::stillWanted(const Request& request) const
{
    return !isTerminated() && this->request().get() == &request;
}

void TChangeDirThread::execute()
{
    std::shared_ptr<const Request> scanning;
    while (!isTerminated()) {
        std::shared_ptr<const Request> requested = request();
        if (requested && requested != scanning) {
            scanning = requested;
            scan(*scanning);
        }
        if (!isTerminated())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void TChangeDirThread::scan(const Request& request)
{
    // A virtual folder has no path and holds no photos.
    if (const auto path = ShellNamespace::instance().pathOf(*request.folder)) {
        QByteArray folder = *path;
        if (!folder.endsWith('/'))
            folder += '/';
        ShellDirectory::list(folder, EnumNonFolders, [&](const QByteArray& name, bool) {
            if (!stillWanted(request))
                return;
            const QString found = QFile::decodeName(folder + name);
            if (!isPhotoPath(found))
                return;
            mFoundPath = found;
            send(WM_SCAN_ITEM, request.serial);
        });
    }
    if (stillWanted(request))
        send(WM_SCAN_DONE, request.serial);
}
