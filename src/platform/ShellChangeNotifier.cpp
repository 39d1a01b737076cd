#include "ShellChangeNotifier.h"

#include "InotifyEventMapper.h"
#include "MountTable.h"
#include "ShellNamespace.h"
#include "ShellPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>

namespace {

constexpr quint32 kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                               IN_CLOSE_WRITE | IN_ONLYDIR | IN_EXCL_UNLINK;
// How long a move waits for its partner when it ends a read.
constexpr int kMovePartnerWaitMs = 15;
constexpr int kMaxReadsPerWakeUp = 16;
constexpr quint32 kVolumeEvents =
    ShcneMediaInserted | ShcneMediaRemoved | ShcneDriveRemoved | ShcneDriveAdd;

std::mutex gInstanceMutex;
std::unique_ptr<QObject> gInstanceOwner; // deleted by a post routine of the application
ShellChangeNotifier* gInstance = nullptr;

void destroyInstance()
{
    std::unique_ptr<QObject> owner;
    {
        const std::lock_guard lock(gInstanceMutex);
        gInstance = nullptr;
        owner = std::move(gInstanceOwner);
    }
}

bool isRename(quint32 event)
{
    return event == ShcneRenameItem || event == ShcneRenameFolder;
}

// Which root an alias goes through, so that a rename pairs old and new lists of one kind.
int rootKey(const ShellItemIdList& id)
{
    if (id.isEmpty()) {
        return -1;
    }
    const ShellItem first = id.item(0);
    if (first.kind == ShellItemKind::Entry) {
        return 0;
    }
    return first.name == ShellVirtualName::MyDocuments ? 1 : 2;
}

// The list of the other side of a rename that goes through the same root.
const ShellItemIdList* partnerOf(const std::vector<ShellItemIdList>& ids, const ShellItemIdList& id)
{
    const auto it = std::find_if(ids.begin(), ids.end(), [&](const ShellItemIdList& other) {
        return rootKey(other) == rootKey(id);
    });
    return it == ids.end() ? nullptr : &*it;
}

} // namespace

ShellChangeMessage::ShellChangeMessage(int messageNumber, quint32 event, ShellItemIdList first,
                                       ShellItemIdList second)
    : QEvent(QEvent::Type(messageNumber)), mEvent(event), mFirst(std::move(first)),
      mSecond(std::move(second))
{}

struct ShellChangeNotifier::Private
{
    struct WatchDescriptor
    {
        QByteArray path;
        int references = 0;
    };
    struct Watch
    {
        ShellItemIdList folder;
        QByteArray path; // empty for folders with nothing on disk to watch
        int wd = -1;
    };
    struct Client
    {
        QPointer<QObject> receiver;
        int messageNumber = 0;
        ShellItemIdList folder;
        bool recursive = false;
        quint32 events = 0;
        quint64 watchToken = 0;
    };

    explicit Private(ShellChangeNotifier* owner) : q(owner) {}

    ShellChangeNotifier* q;
    bool started = false;
    int inotifyFd = -1;
    QSocketNotifier* inotifyNotifier = nullptr; // children of q
    QTimer* moveTimer = nullptr;
    InotifyEventMapper mapper;
    std::unordered_map<int, WatchDescriptor> descriptors;
    std::unordered_map<quint64, Watch> watches;
    std::map<Registration, Client> clients;
    quint64 nextToken = 1;
    Registration nextRegistration = 1;

    QString mountTable;
    int mountFd = -1;
    QSocketNotifier* mountNotifier = nullptr;
    QFileSystemWatcher* mountFileWatcher = nullptr;

    void start();
    quint64 addWatch(const ShellItemIdList& folder);
    void release(quint64 token);
    int addDescriptor(const QByteArray& path);
    void unreference(int wd);
    QByteArray watchPathOf(const ShellItemIdList& folder) const;

    void readEvents();
    void flushMoves();
    void handle(const std::vector<FileSystemChange>& changes);
    void dropDescriptor(int wd);
    void movePaths(const QByteArray& from, const QByteArray& to);
    void reportOverflow();

    bool matches(const Client& client, const ShellItemIdList& id) const;
    void post(const Client& client, quint32 event, const ShellItemIdList& first,
              const ShellItemIdList& second = ShellItemIdList()) const;
    void deliverPaths(quint32 event, const QByteArray& path, const QByteArray& secondPath);
    void deliverRename(quint32 event, const std::vector<ShellItemIdList>& from,
                       const std::vector<ShellItemIdList>& to);
    void deliverList(quint32 event, const ShellItemIdList& first, const ShellItemIdList& second);

    void syncMountMonitor();
    void stopMountMonitor();
    void rewatchMountTableFile();
    void rescanMounts();
    void refreshWatchesUnder(const std::vector<QByteArray>& mountPoints);
};

// ---- watches ----

void ShellChangeNotifier::Private::start()
{
    if (started) {
        return;
    }
    started = true;
    inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd >= 0) {
        inotifyNotifier = new QSocketNotifier(inotifyFd, QSocketNotifier::Read, q);
        QObject::connect(inotifyNotifier, &QSocketNotifier::activated, q, [this] { readEvents(); });
    }
    moveTimer = new QTimer(q);
    moveTimer->setSingleShot(true);
    moveTimer->setInterval(kMovePartnerWaitMs);
    QObject::connect(moveTimer, &QTimer::timeout, q, [this] { flushMoves(); });
    syncMountMonitor();
}

QByteArray ShellChangeNotifier::Private::watchPathOf(const ShellItemIdList& folder) const
{
    const ShellNamespace& ns = ShellNamespace::instance();
    if (folder.isEmpty()) {
        return ns.roots().desktop;
    }
    return ns.pathOf(folder).value_or(QByteArray());
}

int ShellChangeNotifier::Private::addDescriptor(const QByteArray& path)
{
    if (inotifyFd < 0 || path.isEmpty()) {
        return -1;
    }
    const int wd = inotify_add_watch(inotifyFd, path.constData(), kWatchMask);
    if (wd < 0) {
        return -1; // gone, not a folder, or out of watches: the folder just goes unwatched
    }
    WatchDescriptor& descriptor = descriptors[wd];
    descriptor.path = path; // a folder renamed and watched again keeps its descriptor
    ++descriptor.references;
    return wd;
}

void ShellChangeNotifier::Private::unreference(int wd)
{
    const auto it = descriptors.find(wd);
    if (it == descriptors.end()) {
        return;
    }
    if (--it->second.references <= 0) {
        inotify_rm_watch(inotifyFd, wd);
        descriptors.erase(it);
    }
}

quint64 ShellChangeNotifier::Private::addWatch(const ShellItemIdList& folder)
{
    start();
    Watch watch;
    watch.folder = folder;
    watch.path = watchPathOf(folder);
    watch.wd = addDescriptor(watch.path);
    const quint64 token = nextToken++;
    watches.emplace(token, std::move(watch));
    return token;
}

void ShellChangeNotifier::Private::release(quint64 token)
{
    const auto it = watches.find(token);
    if (it == watches.end()) {
        return;
    }
    if (it->second.wd >= 0) {
        unreference(it->second.wd);
    }
    watches.erase(it);
}

void ShellChangeNotifier::Private::dropDescriptor(int wd)
{
    // The kernel removed the watch (folder deleted or unmounted); a later watch may reuse
    // the number, so no handle may keep referring to it.
    descriptors.erase(wd);
    for (auto& [token, watch] : watches) {
        if (watch.wd == wd) {
            watch.wd = -1;
        }
    }
}

void ShellChangeNotifier::Private::movePaths(const QByteArray& from, const QByteArray& to)
{
    const auto moved = [&](QByteArray& path) {
        if (ShellPaths::isAtOrUnder(path, from)) {
            path = to + path.mid(from.size());
        }
    };
    for (auto& [wd, descriptor] : descriptors) {
        moved(descriptor.path);
    }
    for (auto& [token, watch] : watches) {
        if (watch.wd >= 0) {
            moved(watch.path);
        }
    }
}

// ---- inotify events ----

void ShellChangeNotifier::Private::readEvents()
{
    if (inotifyFd < 0) {
        return;
    }
    alignas(inotify_event) char buffer[64 * 1024];
    const auto pathOf = [this](int wd) {
        const auto it = descriptors.find(wd);
        return it == descriptors.end() ? QByteArray() : it->second.path;
    };
    // A bounded share per wake-up, so that a folder filling without pause cannot starve the
    // GUI; the notifier fires again for the rest.
    for (int reads = 0; reads < kMaxReadsPerWakeUp; ++reads) {
        const ssize_t size = read(inotifyFd, buffer, sizeof buffer);
        if (size <= 0) {
            break; // EAGAIN: drained
        }
        handle(mapper.feed(buffer, size_t(size), pathOf));
    }
    if (mapper.hasPendingMoves() && !moveTimer->isActive()) {
        moveTimer->start();
    }
}

void ShellChangeNotifier::Private::flushMoves()
{
    readEvents(); // a partner that came meanwhile still pairs
    handle(mapper.flushPendingMoves());
}

void ShellChangeNotifier::Private::handle(const std::vector<FileSystemChange>& changes)
{
    for (const FileSystemChange& change : changes) {
        switch (change.kind) {
        case FileSystemChange::Kind::Path:
            if (change.event == ShcneRenameFolder) {
                movePaths(change.path, change.secondPath);
            }
            deliverPaths(change.event, change.path, change.secondPath);
            break;
        case FileSystemChange::Kind::Overflow:
            reportOverflow();
            break;
        case FileSystemChange::Kind::WatchGone:
            dropDescriptor(change.wd);
            break;
        }
    }
}

void ShellChangeNotifier::Private::reportOverflow()
{
    std::vector<ShellItemIdList> folders;
    const auto add = [&](const ShellItemIdList& id) {
        for (const ShellItemIdList& known : folders) {
            if (sameFolderId(known, id)) {
                return;
            }
        }
        folders.push_back(id);
    };
    for (const auto& [token, watch] : watches) {
        if (watch.wd >= 0) {
            add(watch.folder);
        }
    }
    for (const auto& [wd, descriptor] : descriptors) {
        for (const ShellItemIdList& id : ShellNamespace::instance().idsOfPath(descriptor.path)) {
            add(id);
        }
    }
    for (const ShellItemIdList& folder : folders) {
        deliverList(ShcneUpdateDir, folder, ShellItemIdList());
    }
}

// ---- delivery ----

bool ShellChangeNotifier::Private::matches(const Client& client, const ShellItemIdList& id) const
{
    const int folderCount = client.folder.itemCount();
    const int count = id.itemCount();
    if (count < folderCount || (!client.recursive && count > folderCount + 1)) {
        return false;
    }
    return sameFolderId(id.first(folderCount), client.folder);
}

void ShellChangeNotifier::Private::post(const Client& client, quint32 event,
                                        const ShellItemIdList& first,
                                        const ShellItemIdList& second) const
{
    if (!(client.events & event) || !client.receiver) {
        return;
    }
    auto message = std::make_unique<ShellChangeMessage>(client.messageNumber, event, first, second);
    QCoreApplication::postEvent(client.receiver, message.release()); // the queue owns it
}

void ShellChangeNotifier::Private::deliverList(quint32 event, const ShellItemIdList& first,
                                               const ShellItemIdList& second)
{
    for (const auto& [id, client] : clients) {
        if (matches(client, first) || (!second.isEmpty() && matches(client, second))) {
            post(client, event, first, second);
        }
    }
}

void ShellChangeNotifier::Private::deliverPaths(quint32 event, const QByteArray& path,
                                                const QByteArray& secondPath)
{
    const ShellNamespace& ns = ShellNamespace::instance();
    const std::vector<ShellItemIdList> first = ns.idsOfPath(path);
    if (isRename(event) && !secondPath.isEmpty()) {
        deliverRename(event, first, ns.idsOfPath(secondPath));
        return;
    }
    const std::vector<ShellItemIdList> second =
        secondPath.isEmpty() ? std::vector<ShellItemIdList>() : ns.idsOfPath(secondPath);
    for (const ShellItemIdList& id : first) {
        const ShellItemIdList* partner = partnerOf(second, id);
        deliverList(event, id, partner ? *partner : ShellItemIdList());
    }
}

void ShellChangeNotifier::Private::deliverRename(quint32 event,
                                                 const std::vector<ShellItemIdList>& from,
                                                 const std::vector<ShellItemIdList>& to)
{
    const bool folder = event == ShcneRenameFolder;
    const quint32 removal = folder ? ShcneRmDir : ShcneDelete;
    const quint32 creation = folder ? ShcneMkDir : ShcneCreate;
    for (const auto& [registration, client] : clients) {
        for (const ShellItemIdList& oldId : from) {
            const ShellItemIdList* newId = partnerOf(to, oldId);
            const bool seesOld = matches(client, oldId);
            const bool seesNew = newId && matches(client, *newId);
            if (seesOld && seesNew) {
                post(client, event, oldId, *newId);
            } else if (seesOld) {
                post(client, removal, oldId); // moved out of what this client sees
            } else if (seesNew) {
                post(client, creation, *newId);
            }
        }
        for (const ShellItemIdList& newId : to) {
            if (!partnerOf(from, newId) && matches(client, newId)) {
                post(client, creation, newId);
            }
        }
    }
}

// ---- mount table ----

void ShellChangeNotifier::Private::stopMountMonitor()
{
    // Either may be the sender of the signal being handled now: delete it later.
    if (mountNotifier) {
        mountNotifier->setEnabled(false);
        QObject::disconnect(mountNotifier, nullptr, q, nullptr);
        mountNotifier->deleteLater();
        mountNotifier = nullptr;
    }
    if (mountFileWatcher) {
        QObject::disconnect(mountFileWatcher, nullptr, q, nullptr);
        mountFileWatcher->deleteLater();
        mountFileWatcher = nullptr;
    }
    if (mountFd >= 0) {
        close(mountFd);
        mountFd = -1;
    }
}

void ShellChangeNotifier::Private::syncMountMonitor()
{
    const QString table = ShellNamespace::instance().roots().mountTable;
    if (table == mountTable) {
        return;
    }
    stopMountMonitor();
    mountTable = table;
    if (table.startsWith(QLatin1String("/proc/"))) {
        // The kernel flags a changed mount table as an exceptional condition (POLLPRI).
        mountFd = open(QFile::encodeName(table).constData(), O_RDONLY | O_CLOEXEC);
        if (mountFd >= 0) {
            mountNotifier = new QSocketNotifier(mountFd, QSocketNotifier::Exception, q);
            QObject::connect(mountNotifier, &QSocketNotifier::activated, q,
                             [this] { rescanMounts(); });
        }
        return;
    }
    mountFileWatcher = new QFileSystemWatcher(q);
    rewatchMountTableFile();
    const auto changed = [this] {
        rewatchMountTableFile();
        rescanMounts();
    };
    QObject::connect(mountFileWatcher, &QFileSystemWatcher::fileChanged, q, changed);
    QObject::connect(mountFileWatcher, &QFileSystemWatcher::directoryChanged, q, changed);
}

void ShellChangeNotifier::Private::rewatchMountTableFile()
{
    // Editors and atomic writers replace the file, which ends a watch on it; the folder's
    // watch sees the new one arrive.
    if (!mountFileWatcher) {
        return;
    }
    const QString dir = QFileInfo(mountTable).absolutePath();
    if (!mountFileWatcher->directories().contains(dir)) {
        mountFileWatcher->addPath(dir);
    }
    if (!mountFileWatcher->files().contains(mountTable) && QFileInfo::exists(mountTable)) {
        mountFileWatcher->addPath(mountTable);
    }
}

void ShellChangeNotifier::Private::rescanMounts()
{
    syncMountMonitor();
    const auto [before, after] = ShellNamespace::instance().reloadVolumes();
    const std::vector<MountTable::VolumeChange> changes = MountTable::diff(before, after);
    if (changes.empty()) {
        return;
    }
    std::vector<QByteArray> mountPoints;
    for (const MountTable::VolumeChange& change : changes) {
        mountPoints.push_back(change.mountPoint);
    }
    refreshWatchesUnder(mountPoints);
    const ShellItemIdList myComputer = ShellNamespace::instance().myComputer();
    for (const MountTable::VolumeChange& change : changes) {
        const ShellItemIdList volume =
            myComputer + ShellItemIdList(ShellItem{ShellItemKind::Volume, change.mountPoint});
        deliverList(change.event, volume, ShellItemIdList());
    }
}

void ShellChangeNotifier::Private::refreshWatchesUnder(const std::vector<QByteArray>& mountPoints)
{
    // A mount covers the folder that was watched, an unmount uncovers it: watch whatever
    // the path names now.
    for (auto& [token, watch] : watches) {
        const bool affected =
            std::any_of(mountPoints.begin(), mountPoints.end(), [&](const QByteArray& mountPoint) {
                return ShellPaths::isAtOrUnder(watch.path, mountPoint);
            });
        if (!affected || watch.path.isEmpty()) {
            continue;
        }
        const int wd = addDescriptor(watch.path);
        if (watch.wd >= 0) {
            unreference(watch.wd);
        }
        watch.wd = wd;
    }
}

// ---- ShellChangeNotifier ----

ShellChangeNotifier& ShellChangeNotifier::instance()
{
    const std::lock_guard lock(gInstanceMutex);
    if (!gInstance) {
        gInstance = new ShellChangeNotifier();
        gInstanceOwner.reset(gInstance);
        if (QCoreApplication::instance()) {
            qAddPostRoutine(destroyInstance);
        }
    }
    return *gInstance;
}

ShellChangeNotifier* ShellChangeNotifier::existingInstance()
{
    const std::lock_guard lock(gInstanceMutex);
    return gInstance;
}

ShellChangeNotifier::ShellChangeNotifier() : d(std::make_unique<Private>(this))
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Made on a worker that announced first: live on the GUI thread, start there.
        moveToThread(app->thread());
        QMetaObject::invokeMethod(
            this, [this] { d->start(); }, Qt::QueuedConnection);
    } else {
        d->start();
    }
}

ShellChangeNotifier::~ShellChangeNotifier()
{
    d->stopMountMonitor();
    if (d->inotifyFd >= 0) {
        close(d->inotifyFd);
    }
}

ShellChangeNotifier::Registration
ShellChangeNotifier::registerClient(QObject* receiver, int messageNumber,
                                    const ShellItemIdList& folder, bool recursive, quint32 events)
{
    if (!receiver || messageNumber < QEvent::User || messageNumber > QEvent::MaxUser) {
        return 0;
    }
    const Registration registration = d->nextRegistration++;
    Private::Client client;
    client.receiver = receiver;
    client.messageNumber = messageNumber;
    client.folder = folder;
    client.recursive = recursive;
    client.events = events;
    client.watchToken = d->addWatch(folder);
    d->clients.emplace(registration, std::move(client));
    connect(receiver, &QObject::destroyed, this,
            [this, registration] { deregisterClient(registration); });
    return registration;
}

void ShellChangeNotifier::deregisterClient(Registration registration)
{
    const auto it = d->clients.find(registration);
    if (it == d->clients.end()) {
        return;
    }
    d->release(it->second.watchToken);
    d->clients.erase(it);
}

ShellFolderWatch ShellChangeNotifier::watchFolder(const ShellItemIdList& folder)
{
    return ShellFolderWatch(d->addWatch(folder));
}

void ShellChangeNotifier::releaseWatch(quint64 token)
{
    d->release(token);
}

void ShellChangeNotifier::announce(quint32 event, const ShellItemIdList& first,
                                   const ShellItemIdList& second)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, event, first, second] { announce(event, first, second); },
            Qt::QueuedConnection);
        return;
    }
    const ShellNamespace& ns = ShellNamespace::instance();
    const std::optional<QByteArray> path = ns.pathOf(first);
    const std::optional<QByteArray> secondPath =
        second.isEmpty() ? std::optional<QByteArray>(QByteArray()) : ns.pathOf(second);
    if (!(event & kVolumeEvents) && path && secondPath) {
        d->deliverPaths(event, *path, *secondPath);
    } else {
        d->deliverList(event, first, second);
    }
}

void ShellChangeNotifier::announcePath(quint32 event, const QByteArray& path,
                                       const QByteArray& secondPath)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, event, path, secondPath] { announcePath(event, path, secondPath); },
            Qt::QueuedConnection);
        return;
    }
    d->deliverPaths(event, path, secondPath);
}

void ShellChangeNotifier::rescanMounts()
{
    d->rescanMounts();
}

// ---- ShellFolderWatch ----

ShellFolderWatch::ShellFolderWatch(ShellFolderWatch&& other) noexcept
    : mToken(std::exchange(other.mToken, 0))
{}

ShellFolderWatch& ShellFolderWatch::operator=(ShellFolderWatch&& other) noexcept
{
    if (this != &other) {
        if (mToken != 0) {
            if (ShellChangeNotifier* notifier = ShellChangeNotifier::existingInstance()) {
                notifier->releaseWatch(mToken);
            }
        }
        mToken = std::exchange(other.mToken, 0);
    }
    return *this;
}

ShellFolderWatch::~ShellFolderWatch()
{
    if (mToken != 0) {
        if (ShellChangeNotifier* notifier = ShellChangeNotifier::existingInstance()) {
            notifier->releaseWatch(mToken);
        }
    }
}
