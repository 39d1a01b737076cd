#include "ShellChangeNotifier.h"

#include "EventLoopWait.h"
#include "InotifyEventMapper.h"
#include "ShellNamespace.h"
#include "ShellTestNamespace.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

constexpr int kMessage = 1025;

struct Message
{
    quint32 event;
    ShellItemIdList first;
    ShellItemIdList second;
};

class Recorder : public QObject
{
public:
    std::vector<Message> messages;

    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Type(kMessage)) {
            const auto* m = static_cast<ShellChangeMessage*>(e);
            messages.push_back({m->event(), m->first(), m->second()});
            return true;
        }
        return QObject::event(e);
    }

    // How many messages carry this event for this first (and second) list.
    int count(quint32 event, const ShellItemIdList& first,
              const std::optional<ShellItemIdList>& second = std::nullopt) const
    {
        return int(std::count_if(messages.begin(), messages.end(), [&](const Message& m) {
            return m.event == event && sameFolderId(m.first, first) &&
                   (!second || sameFolderId(m.second, *second));
        }));
    }
    int count(quint32 event) const
    {
        return int(std::count_if(messages.begin(), messages.end(),
                                 [&](const Message& m) { return m.event == event; }));
    }
    bool waitFor(quint32 event, const ShellItemIdList& first,
                 const std::optional<ShellItemIdList>& second = std::nullopt, int timeoutMs = 3000)
    {
        return pumpUntil([&] { return count(event, first, second) > 0; },
                         std::chrono::milliseconds(timeoutMs));
    }
};

// Lets anything still on its way arrive.
void settle(int ms = 150)
{
    pumpFor(std::chrono::milliseconds(ms));
}

ShellItemIdList below(ShellItemIdList base, const QByteArray& relative)
{
    for (const QByteArray& name : relative.split('/')) {
        base = base + ShellItemIdList(ShellItem{ShellItemKind::Entry, name});
    }
    return base;
}

ShellItemIdList myDocs(const QByteArray& relative = {})
{
    const ShellItemIdList home = ShellNamespace::instance().myDocuments();
    return relative.isEmpty() ? home : below(home, relative);
}

ShellItemIdList volume(const QByteArray& mountPoint)
{
    return ShellNamespace::instance().myComputer() +
           ShellItemIdList(ShellItem{ShellItemKind::Volume, mountPoint});
}

// The watches this process holds on all its inotify instances.
int inotifyWatchCount()
{
    int watches = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        if (::readlink(link.constData(), target, sizeof target - 1) <= 0 ||
            std::strcmp(target, "anon_inode:inotify") != 0) {
            continue;
        }
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (info.open(QIODevice::ReadOnly)) {
            watches += int(info.readAll().count("inotify wd:"));
        }
    }
    return watches;
}

class ShellChangeNotifierTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ns.isValid());
        ns.makeFolder("home/Pictures/Trip/Day1");
        ns.makeFolder("home/Other");
        ns.apply();
        notifier().rescanMounts(); // take this table as the baseline
        settle(30);
    }

    void TearDown() override
    {
        for (const auto registration : registrations) {
            notifier().deregisterClient(registration);
        }
    }

    static ShellChangeNotifier& notifier() { return ShellChangeNotifier::instance(); }

    void listen(const ShellItemIdList& folder, bool recursive, quint32 events = ShcneAllEvents)
    {
        const auto registration =
            notifier().registerClient(&recorder, kMessage, folder, recursive, events);
        ASSERT_NE(registration, 0u);
        registrations.push_back(registration);
    }

    ShellTestNamespace ns;
    Recorder recorder;
    std::vector<ShellChangeNotifier::Registration> registrations;
};

} // namespace

TEST_F(ShellChangeNotifierTest, FilesAndFoldersCreatedWrittenAndRemoved)
{
    listen(myDocs("Pictures"), false);
    ns.writeFile("home/Pictures/a.jpg", "data");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/a.jpg")));
    EXPECT_TRUE(recorder.waitFor(ShcneUpdateItem, myDocs("Pictures/a.jpg")));
    ASSERT_EQ(::unlink(ns.path("home/Pictures/a.jpg").constData()), 0);
    EXPECT_TRUE(recorder.waitFor(ShcneDelete, myDocs("Pictures/a.jpg")));
    ns.makeFolder("home/Pictures/New");
    EXPECT_TRUE(recorder.waitFor(ShcneMkDir, myDocs("Pictures/New")));
    ASSERT_EQ(::rmdir(ns.path("home/Pictures/New").constData()), 0);
    EXPECT_TRUE(recorder.waitFor(ShcneRmDir, myDocs("Pictures/New")));
}

TEST_F(ShellChangeNotifierTest, RenamesArePaired)
{
    listen(myDocs("Pictures"), false);
    ns.writeFile("home/Pictures/old.jpg");
    ASSERT_EQ(::rename(ns.path("home/Pictures/old.jpg").constData(),
                       ns.path("home/Pictures/new.jpg").constData()),
              0);
    EXPECT_TRUE(
        recorder.waitFor(ShcneRenameItem, myDocs("Pictures/old.jpg"), myDocs("Pictures/new.jpg")));
    ASSERT_EQ(::rename(ns.path("home/Pictures/Trip").constData(),
                       ns.path("home/Pictures/Journey").constData()),
              0);
    EXPECT_TRUE(
        recorder.waitFor(ShcneRenameFolder, myDocs("Pictures/Trip"), myDocs("Pictures/Journey")));
    settle();
    EXPECT_EQ(recorder.count(ShcneDelete) + recorder.count(ShcneRmDir), 0);
    EXPECT_EQ(recorder.count(ShcneCreate), 1); // old.jpg only
}

TEST_F(ShellChangeNotifierTest, MovesOutOfAndIntoTheWatchedTree)
{
    listen(myDocs("Pictures"), false);
    ASSERT_EQ(::rename(ns.path("home/Pictures/Trip").constData(), ns.path("outside").constData()),
              0);
    EXPECT_TRUE(recorder.waitFor(ShcneRmDir, myDocs("Pictures/Trip")));
    ns.writeFile("loose.jpg");
    ASSERT_EQ(
        ::rename(ns.path("loose.jpg").constData(), ns.path("home/Pictures/loose.jpg").constData()),
        0);
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/loose.jpg")));
}

TEST_F(ShellChangeNotifierTest, RenameBetweenFoldersIsARemovalAndACreationForEachSide)
{
    Recorder pictures;
    Recorder other;
    const auto a =
        notifier().registerClient(&pictures, kMessage, myDocs("Pictures"), false, ShcneAllEvents);
    const auto b =
        notifier().registerClient(&other, kMessage, myDocs("Other"), false, ShcneAllEvents);
    listen(myDocs(), true);
    ns.writeFile("home/Pictures/moving.jpg");
    ASSERT_TRUE(pictures.waitFor(ShcneCreate, myDocs("Pictures/moving.jpg")));
    ASSERT_EQ(::rename(ns.path("home/Pictures/moving.jpg").constData(),
                       ns.path("home/Other/moved.jpg").constData()),
              0);
    EXPECT_TRUE(pictures.waitFor(ShcneDelete, myDocs("Pictures/moving.jpg")));
    EXPECT_TRUE(other.waitFor(ShcneCreate, myDocs("Other/moved.jpg")));
    EXPECT_TRUE(recorder.waitFor(ShcneRenameItem, myDocs("Pictures/moving.jpg"),
                                 myDocs("Other/moved.jpg")));
    EXPECT_EQ(pictures.count(ShcneRenameItem), 0);
    EXPECT_EQ(other.count(ShcneRenameItem), 0);
    notifier().deregisterClient(a);
    notifier().deregisterClient(b);
}

TEST_F(ShellChangeNotifierTest, RecursiveAndDirectRegistrations)
{
    Recorder direct;
    const auto registration =
        notifier().registerClient(&direct, kMessage, myDocs(), false, ShcneAllEvents);
    listen(myDocs(), true);
    const ShellFolderWatch deep = notifier().watchFolder(myDocs("Pictures/Trip/Day1"));
    ns.writeFile("home/Pictures/Trip/Day1/deep.jpg");
    ns.writeFile("home/top.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/Trip/Day1/deep.jpg")));
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("top.jpg")));
    EXPECT_TRUE(direct.waitFor(ShcneCreate, myDocs("top.jpg")));
    settle();
    EXPECT_EQ(direct.count(ShcneCreate, myDocs("Pictures/Trip/Day1/deep.jpg")), 0);
    notifier().deregisterClient(registration);
}

TEST_F(ShellChangeNotifierTest, EventMaskFilters)
{
    listen(myDocs("Pictures"), false, ShcneMkDir | ShcneRmDir);
    ns.writeFile("home/Pictures/ignored.jpg");
    ns.makeFolder("home/Pictures/Seen");
    EXPECT_TRUE(recorder.waitFor(ShcneMkDir, myDocs("Pictures/Seen")));
    settle();
    EXPECT_EQ(recorder.count(ShcneCreate) + recorder.count(ShcneUpdateItem), 0);
}

TEST_F(ShellChangeNotifierTest, EachAliasGetsTheEvent)
{
    listen(ShellItemIdList(), true);
    const ShellFolderWatch desktopWatch = notifier().watchFolder(ShellItemIdList());
    ns.makeFolder("home/Desktop/Fresh");
    const QByteArray path = ns.desktop() + "/Fresh";
    const auto aliases = ShellNamespace::instance().idsOfPath(path);
    ASSERT_EQ(aliases.size(), 3u);
    for (const ShellItemIdList& alias : aliases) {
        EXPECT_TRUE(recorder.waitFor(ShcneMkDir, alias));
    }
    settle();
    EXPECT_EQ(recorder.count(ShcneMkDir), 3);
}

TEST_F(ShellChangeNotifierTest, AnnouncedChangesGoOutLikeObservedOnes)
{
    listen(ShellItemIdList(), true);
    const QByteArray path = ns.desktop() + "/Announced";
    notifier().announcePath(ShcneMkDir, path);
    for (const ShellItemIdList& alias : ShellNamespace::instance().idsOfPath(path)) {
        EXPECT_TRUE(recorder.waitFor(ShcneMkDir, alias));
    }
    // A list with a path is announced through all its aliases too.
    notifier().announce(ShcneUpdateDir, myDocs("Desktop"));
    EXPECT_TRUE(recorder.waitFor(ShcneUpdateDir,
                                 ShellNamespace::instance().idsOfPath(ns.desktop()).back()));
    const auto virtualOnly = *ShellNamespace::instance().specialFolderLocation(SpecialNetwork);
    notifier().announce(ShcneUpdateDir, virtualOnly);
    EXPECT_TRUE(recorder.waitFor(ShcneUpdateDir, virtualOnly));

    // From a worker thread, as the copy thread announces its files.
    std::thread worker([&] { notifier().announcePath(ShcneCreate, ns.home() + "/copied.jpg"); });
    worker.join();
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("copied.jpg")));
}

TEST_F(ShellChangeNotifierTest, DestroyedReceiverIsSkipped)
{
    auto doomed = std::make_unique<Recorder>();
    notifier().registerClient(doomed.get(), kMessage, myDocs("Pictures"), false, ShcneAllEvents);
    listen(myDocs("Pictures"), false);
    ns.writeFile("home/Pictures/one.jpg");
    doomed.reset();
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/one.jpg")));
    notifier().announcePath(ShcneCreate, ns.home() + "/Pictures/two.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/two.jpg")));
}

TEST_F(ShellChangeNotifierTest, RefusesBadRegistrations)
{
    EXPECT_EQ(notifier().registerClient(nullptr, kMessage, myDocs(), true, ShcneAllEvents), 0u);
    EXPECT_EQ(notifier().registerClient(&recorder, 12, myDocs(), true, ShcneAllEvents), 0u);
    notifier().deregisterClient(0);
    notifier().deregisterClient(123456);
}

TEST_F(ShellChangeNotifierTest, WatchesAreSharedAndDroppedWithTheLastHandle)
{
    const int before = inotifyWatchCount();
    ShellFolderWatch first = notifier().watchFolder(myDocs("Pictures/Trip"));
    ShellFolderWatch second = notifier().watchFolder(myDocs("Pictures/Trip"));
    // Another list for the same folder shares the watch too.
    ShellFolderWatch third = notifier().watchFolder(
        ShellNamespace::instance().idsOfPath(ns.home() + "/Pictures/Trip").back());
    EXPECT_EQ(inotifyWatchCount(), before + 1);
    third = ShellFolderWatch();
    EXPECT_TRUE(first.isActive());
    EXPECT_EQ(inotifyWatchCount(), before + 1);

    listen(myDocs("Pictures"), true, ShcneCreate);
    const int withRegistration = inotifyWatchCount();
    ns.writeFile("home/Pictures/Trip/a.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/Trip/a.jpg")));

    first = ShellFolderWatch();
    ns.writeFile("home/Pictures/Trip/b.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/Trip/b.jpg")));
    EXPECT_EQ(inotifyWatchCount(), withRegistration);

    ShellFolderWatch moved = std::move(second);
    EXPECT_FALSE(second.isActive());
    moved = ShellFolderWatch();
    EXPECT_EQ(inotifyWatchCount(), withRegistration - 1);
    ns.writeFile("home/Pictures/Trip/c.jpg");
    settle();
    EXPECT_EQ(recorder.count(ShcneCreate, myDocs("Pictures/Trip/c.jpg")), 0);
}

TEST_F(ShellChangeNotifierTest, DeletedWatchedFolderCanBeWatchedAgain)
{
    listen(myDocs("Other"), false);
    ASSERT_EQ(::rmdir(ns.path("home/Other").constData()), 0);
    settle(50);
    ns.makeFolder("home/Other");
    const ShellFolderWatch again = notifier().watchFolder(myDocs("Other"));
    ns.writeFile("home/Other/back.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Other/back.jpg")));
}

TEST_F(ShellChangeNotifierTest, RenamedWatchedFolderReportsUnderItsNewName)
{
    listen(myDocs(), true);
    const ShellFolderWatch trip = notifier().watchFolder(myDocs("Pictures/Trip"));
    const ShellFolderWatch pictures = notifier().watchFolder(myDocs("Pictures"));
    ASSERT_EQ(::rename(ns.path("home/Pictures/Trip").constData(),
                       ns.path("home/Pictures/Journey").constData()),
              0);
    ASSERT_TRUE(recorder.waitFor(ShcneRenameFolder, myDocs("Pictures/Trip")));
    ns.writeFile("home/Pictures/Journey/x.jpg");
    EXPECT_TRUE(recorder.waitFor(ShcneCreate, myDocs("Pictures/Journey/x.jpg")));
}

TEST_F(ShellChangeNotifierTest, DrivesAndMediaComeAndGo)
{
    listen(ShellItemIdList(), true);
    ns.makeFolder("media/CARD");
    ns.makeFolder("srv/disk");
    const QByteArray card = ns.media() + "/CARD";
    const QByteArray disk = ns.path("srv/disk");
    ns.writeMountTable(ShellTestNamespace::baseMounts() +
                       ShellTestNamespace::mountLine(20, card, "vfat", "/dev/sdb1") +
                       ShellTestNamespace::mountLine(21, disk, "ext4", "/dev/sdc1"));
    notifier().rescanMounts();
    ASSERT_TRUE(recorder.waitFor(ShcneMediaInserted, volume(card)));
    ASSERT_TRUE(recorder.waitFor(ShcneDriveAdd, volume(disk)));
    settle(50);
    ASSERT_EQ(recorder.messages.size(), 3u);
    EXPECT_EQ(recorder.messages[0].event, ShcneDriveAdd);
    EXPECT_TRUE(sameFolderId(recorder.messages[0].first, volume(card)));
    EXPECT_EQ(recorder.messages[1].event, ShcneMediaInserted);

    // Another card in the same slot.
    recorder.messages.clear();
    ns.writeMountTable(ShellTestNamespace::baseMounts() +
                       ShellTestNamespace::mountLine(22, card, "vfat", "/dev/sdb1") +
                       ShellTestNamespace::mountLine(21, disk, "ext4", "/dev/sdc1"));
    notifier().rescanMounts();
    ASSERT_TRUE(recorder.waitFor(ShcneMediaInserted, volume(card)));
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].event, ShcneMediaRemoved);

    recorder.messages.clear();
    ns.writeMountTable(ShellTestNamespace::baseMounts());
    notifier().rescanMounts();
    ASSERT_TRUE(recorder.waitFor(ShcneDriveRemoved, volume(card)));
    ASSERT_TRUE(recorder.waitFor(ShcneDriveRemoved, volume(disk)));
    settle(50);
    ASSERT_EQ(recorder.messages.size(), 3u);
    EXPECT_EQ(recorder.messages[0].event, ShcneMediaRemoved);
    EXPECT_EQ(recorder.messages[1].event, ShcneDriveRemoved);
    EXPECT_EQ(ShellNamespace::instance().volumes().size(), 1u);
}

TEST_F(ShellChangeNotifierTest, RewrittenMountTableIsNoticedWithoutBeingAsked)
{
    listen(ShellNamespace::instance().myComputer(), false);
    ns.makeFolder("media/USB");
    const QByteArray usb = ns.media() + "/USB";
    ns.writeMountTable(ShellTestNamespace::baseMounts() +
                       ShellTestNamespace::mountLine(30, usb, "vfat", "/dev/sdd1"));
    EXPECT_TRUE(recorder.waitFor(ShcneDriveAdd, volume(usb)));
    // Still watched after the file was replaced.
    ns.writeMountTable(ShellTestNamespace::baseMounts());
    EXPECT_TRUE(recorder.waitFor(ShcneDriveRemoved, volume(usb)));
    // A table that goes missing keeps the volumes as they were.
    ASSERT_EQ(::unlink(ns.mountTable().constData()), 0);
    notifier().rescanMounts();
    EXPECT_EQ(ShellNamespace::instance().volumes().size(), 1u);
}

namespace {

// A mount made in this thread's own mount namespace, read-only, and always undone: the
// test bind-mounts "/", which a recursive delete of the test folder must never reach.
class PrivateMount
{
public:
    static bool enterPrivateNamespace()
    {
        return ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    explicit PrivateMount(const QByteArray& target) : mTarget(target)
    {
        mMounted = ::mount("/", target.constData(), nullptr, MS_BIND, nullptr) == 0;
        if (mMounted && ::mount(nullptr, target.constData(), nullptr,
                                MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            unmount();
        }
    }
    ~PrivateMount() { unmount(); }
    bool isMounted() const { return mMounted; }
    void unmount()
    {
        if (mMounted) {
            ::umount2(mTarget.constData(), MNT_DETACH);
            mMounted = false;
        }
    }

private:
    QByteArray mTarget;
    bool mMounted = false;
};

} // namespace

TEST_F(ShellChangeNotifierTest, KernelMountTableChangesArriveByThemselves)
{
    if (!PrivateMount::enterPrivateNamespace()) {
        GTEST_SKIP() << "no private mount namespace here: " << std::strerror(errno);
    }
    qunsetenv("VELKO_MOUNTINFO");
    ShellNamespace::instance().reset();
    notifier().rescanMounts(); // now on /proc/self/mountinfo
    listen(ShellNamespace::instance().myComputer(), false);
    ns.makeFolder("media/DISK");
    const QByteArray point = ns.media() + "/DISK";
    {
        PrivateMount mount(point);
        ASSERT_TRUE(mount.isMounted()) << std::strerror(errno);
        EXPECT_TRUE(recorder.waitFor(ShcneDriveAdd, volume(point)));
        EXPECT_TRUE(recorder.waitFor(ShcneMediaInserted, volume(point)));
    }
    EXPECT_TRUE(recorder.waitFor(ShcneDriveRemoved, volume(point)));
    // Nothing changes now: the exceptional condition must not keep firing.
    const int before = int(recorder.messages.size());
    const std::clock_t cpu = std::clock();
    settle(300);
    EXPECT_LT(double(std::clock() - cpu) / CLOCKS_PER_SEC, 0.15);
    EXPECT_EQ(int(recorder.messages.size()), before);
}

TEST_F(ShellChangeNotifierTest, QueueOverflowUpdatesEveryWatchedFolder)
{
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limitFile.open(QIODevice::ReadOnly));
    const int limit = limitFile.readAll().trimmed().toInt();
    if (limit <= 0 || limit > 200000) {
        GTEST_SKIP() << "max_queued_events is " << limit << ": too many files to overflow it";
    }
    listen(myDocs("Pictures"), false, ShcneUpdateDir);
    Recorder all;
    const auto registration =
        notifier().registerClient(&all, kMessage, ShellItemIdList(), true, ShcneUpdateDir);
    const ShellFolderWatch other = notifier().watchFolder(myDocs("Other"));
    // The event loop does not run here, so nobody drains the queue. Each rename is two
    // events and leaves nothing to clean up.
    const QByteArray a = ns.path("home/Pictures/a");
    const QByteArray b = ns.path("home/Pictures/b");
    ns.writeFile("home/Pictures/a");
    for (int i = 0; i <= limit / 2 + 1; ++i) {
        ASSERT_EQ(
            ::rename(i % 2 ? b.constData() : a.constData(), i % 2 ? a.constData() : b.constData()),
            0);
    }
    // Working through a full queue takes a while under a sanitizer.
    EXPECT_TRUE(recorder.waitFor(ShcneUpdateDir, myDocs("Pictures"), std::nullopt, 30000));
    EXPECT_TRUE(all.waitFor(ShcneUpdateDir, myDocs("Other")));
    EXPECT_TRUE(all.waitFor(ShcneUpdateDir, ShellItemIdList())); // the desktop's watch
    notifier().deregisterClient(registration);
}

TEST(InotifyEventMapper, MoveSplitAcrossReadsIsStillARename)
{
    const auto record = [](int wd, quint32 mask, quint32 cookie, const QByteArray& name) {
        QByteArray bytes(sizeof(inotify_event), '\0');
        inotify_event header = {};
        header.wd = wd;
        header.mask = mask;
        header.cookie = cookie;
        header.len = quint32((name.size() + 1 + 15) / 16 * 16);
        std::memcpy(bytes.data(), &header, sizeof header);
        QByteArray padded = name;
        padded.resize(header.len, '\0');
        return bytes + padded;
    };
    const auto pathOf = [](int wd) { return wd == 1 ? QByteArray("/a") : QByteArray("/b"); };
    InotifyEventMapper mapper;
    const QByteArray first = record(1, IN_CREATE, 0, "new.jpg") + record(1, IN_MOVED_FROM, 7, "x");
    auto changes = mapper.feed(first.constData(), size_t(first.size()), pathOf);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].event, ShcneCreate);
    EXPECT_TRUE(mapper.hasPendingMoves());
    const QByteArray second = record(2, IN_MOVED_TO, 7, "y");
    changes = mapper.feed(second.constData(), size_t(second.size()), pathOf);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].event, ShcneRenameItem);
    EXPECT_EQ(changes[0].path, "/a/x");
    EXPECT_EQ(changes[0].secondPath, "/b/y");
    EXPECT_FALSE(mapper.hasPendingMoves());

    // A move that is never completed counts as a removal; a truncated record is ignored.
    QByteArray third =
        record(1, IN_MOVED_FROM | IN_ISDIR, 8, "gone") + record(1, IN_CREATE, 0, "cut");
    third.chop(4);
    EXPECT_TRUE(mapper.feed(third.constData(), size_t(third.size()), pathOf).empty());
    changes = mapper.flushPendingMoves();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].event, ShcneRmDir);
    EXPECT_EQ(changes[0].path, "/a/gone");
}
