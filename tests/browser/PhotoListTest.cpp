#include "Cancel.h"
#include "EventLoopWait.h"
#include "FittedJpeg.h"
#include "GridTestSupport.h"
#include "ShellChangeNotifier.h"
#include "ShellDirectory.h"
#include "ShellTestNamespace.h"
#include "TVelkoImageScroller.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <thread>

using namespace gridtest;

namespace {

const QString kNoItems = QStringLiteral("No photos");

// The real loader, counting its calls per file (it runs on the thumbnail worker).
class CountingLoader
{
public:
    TVelkoImageScroller::Loader loader()
    {
        return [this](const QString& path, int size, imaging::ColorRef background) {
            {
                const std::lock_guard lock(mMutex);
                ++mCalls[path];
            }
            return LoadThumbnailStream(path, size, background);
        };
    }
    int calls(const QString& path) const
    {
        const std::lock_guard lock(mMutex);
        const auto found = mCalls.find(path);
        return found == mCalls.end() ? 0 : found->second;
    }

private:
    mutable std::mutex mMutex;
    std::map<QString, int> mCalls;
};

class PhotoListTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(ns.isValid());
        ns.makeFolder("home/Pictures");
        ns.makeFolder("home/Big");
        ns.apply();
        pictures = homeFolder("Pictures");
        big = homeFolder("Big");
        grid = std::make_unique<TVelkoImageScroller>();
        grid->resize(600, 400);
        grid->setNoItemsText(kNoItems);
    }

    void TearDown() override { grid.reset(); }

    QString file(const QString& name, const QByteArray& folder = "home/Pictures") const
    {
        return QFile::decodeName(ns.path(folder)) + QLatin1Char('/') + name;
    }

    void writeJpeg(const QString& name, int w = 120, int h = 90) const
    {
        writeBytes(file(name), jpegBytes(w, h));
    }

    // Fills the big folder with many names for one picture, so that a scan takes a while.
    void fillBigFolder(int count) const
    {
        const QString first = file(QStringLiteral("p0000.jpg"), "home/Big");
        writeBytes(first, jpegBytes(64, 48));
        for (int i = 1; i < count; ++i) {
            const QString name = QStringLiteral("p%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
            ASSERT_EQ(::link(QFile::encodeName(first).constData(),
                             QFile::encodeName(file(name, "home/Big")).constData()),
                      0);
        }
    }

    bool waitScanned() const
    {
        return pumpUntil([&] { return grid->emptyText() == kNoItems && !grid->loading(); });
    }

    bool waitCount(int count) const
    {
        return pumpUntil([&] { return grid->photos().count() == count; });
    }

    QStringList names() const
    {
        QStringList out;
        for (const auto& photo : grid->photos())
            out << QFileInfo(photo->path()).fileName();
        return out;
    }

    bool allThumbnailsDone() const
    {
        return std::all_of(grid->photos().begin(), grid->photos().end(),
                           [](const auto& photo) { return photo->thumbnailDone(); });
    }

    ShellTestNamespace ns;
    ShellItemIdList pictures;
    ShellItemIdList big;
    std::unique_ptr<TVelkoImageScroller> grid;
};

TEST_F(PhotoListTest, ScanShowsOnlyPhotosInCaseInsensitiveOrder)
{
    writeBytes(file(QStringLiteral("c.jpeg")), jpegBytes(50, 40));
    writeBytes(file(QStringLiteral("B.bmp")), bmpBytes(50, 40));
    writeBytes(file(QStringLiteral("d.png")), QByteArray("not shown"));
    writeJpeg(QStringLiteral("a.JPG"));
    ns.makeFolder("home/Pictures/sub.jpg"); // a folder is no photo

    EXPECT_EQ(grid->emptyText(), QStringLiteral("..."));
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    EXPECT_EQ(names(), QStringList({QStringLiteral("a.JPG"), QStringLiteral("B.bmp"),
                                    QStringLiteral("c.jpeg")}));
    EXPECT_EQ(grid->photos().at(0)->caption(), QStringLiteral("a.JPG"));
}

TEST_F(PhotoListTest, EmptyFolderEndsWithTheNoItemsText)
{
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    EXPECT_TRUE(grid->photos().isEmpty());
}

TEST_F(PhotoListTest, SwitchingFolderDuringAScanKeepsOutTheOldFolder)
{
    fillBigFolder(500);
    writeJpeg(QStringLiteral("one.jpg"), 30, 20);
    writeJpeg(QStringLiteral("two.jpg"), 30, 20);

    // Thumbnails of the big folder are in progress when the folder changes.
    grid->StartThumbnails(LoadThumbnailStream);
    grid->SetFolder(big, false);
    ASSERT_TRUE(pumpEventsUntil([&] { return grid->photos().count() >= 3 && grid->loading(); }));
    EXPECT_FALSE(grid->HasSelection()); // nothing counts while loading

    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    pumpFor(200ms); // anything the old scan still had on its way
    EXPECT_EQ(names(), QStringList({QStringLiteral("one.jpg"), QStringLiteral("two.jpg")}));

    // The thumbnail made for the old folder went nowhere: these are the new pictures.
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));
    for (const auto& photo : grid->photos())
        EXPECT_EQ(photo->thumbnailSize(), QSize(30, 20)) << photo->path().toStdString();

    // And back again during the new folder's thumbnails.
    grid->SetFolder(big, false);
    ASSERT_TRUE(waitScanned());
    EXPECT_EQ(grid->photos().count(), 500);
    grid->StopThumbnails();
}

TEST_F(PhotoListTest, FilesChangedDuringAScanComeOnceAndGoneStayGone)
{
    fillBigFolder(1000);
    grid->SetFolder(big, false);
    ASSERT_TRUE(pumpEventsUntil([&] { return grid->loading(); }));
    const QString added = file(QStringLiteral("added.jpg"), "home/Big");
    const QString removed = file(QStringLiteral("p0500.jpg"), "home/Big");
    writeBytes(added, jpegBytes(20, 20));
    ASSERT_TRUE(QFile::remove(removed));
    ASSERT_TRUE(waitScanned());
    pumpFor(300ms); // the notifications of both changes

    QSet<QString> paths;
    for (const auto& photo : grid->photos())
        paths.insert(photo->path());
    EXPECT_EQ(paths.size(), grid->photos().count()); // nobody twice
    EXPECT_EQ(grid->photos().count(), 1000);
    EXPECT_TRUE(paths.contains(added));
    EXPECT_FALSE(paths.contains(removed));
}

TEST_F(PhotoListTest, ReselectingTheShownFolderKeepsItsPhotosButRescanReadsItAgain)
{
    writeJpeg(QStringLiteral("a.jpg"));
    writeJpeg(QStringLiteral("b.jpg"));
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    ASSERT_EQ(grid->photos().count(), 2);
    grid->photos().at(1)->setSelected(true);
    const TPhoto* first = grid->photos().at(0);

    // The same folder again, as the same object or an equal copy: nothing changes.
    const ShellItemIdList copy = pictures;
    for (const ShellItemIdList* again : {static_cast<const ShellItemIdList*>(&pictures), &copy}) {
        grid->SetFolder(*again, true);
        EXPECT_EQ(grid->photos().count(), 2);
        EXPECT_EQ(grid->photos().at(0), first);
        EXPECT_TRUE(grid->photos().at(1)->selected());
        EXPECT_EQ(grid->emptyText(), kNoItems);
    }

    grid->Rescan();
    EXPECT_TRUE(grid->photos().isEmpty());
    ASSERT_TRUE(waitScanned());
    EXPECT_EQ(grid->photos().count(), 2);

    // Another folder and back scans again, with the new select-all value.
    grid->SetFolder(big, false);
    ASSERT_TRUE(waitScanned());
    grid->SetFolder(copy, true);
    ASSERT_TRUE(waitScanned());
    ASSERT_EQ(grid->photos().count(), 2);
    EXPECT_TRUE(grid->photos().at(0)->selected()); // select-all applied at the end
    EXPECT_TRUE(grid->photos().at(1)->selected());
}

TEST_F(PhotoListTest, RescanBeforeAnyFolderDoesNothing)
{
    grid->Rescan();
    pumpFor(100ms);
    EXPECT_EQ(grid->emptyText(), QStringLiteral("..."));
}

TEST_F(PhotoListTest, FilesChangedOnDiskKeepTheListCurrent)
{
    writeJpeg(QStringLiteral("b.jpg"));
    writeJpeg(QStringLiteral("shown.jpg"));
    writeJpeg(QStringLiteral("x.jpg"));
    writeBytes(file(QStringLiteral("notes.txt")), QByteArray("notes"));
    CountingLoader counting;
    grid->StartThumbnails(counting.loader());
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    ASSERT_EQ(grid->photos().count(), 3);
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));

    // Copied in: at the end, not at its sorted place.
    ASSERT_TRUE(QFile::copy(file(QStringLiteral("b.jpg")), file(QStringLiteral("a.jpg"))));
    ASSERT_TRUE(waitCount(4));
    EXPECT_EQ(names().last(), QStringLiteral("a.jpg"));

    ASSERT_TRUE(QFile::remove(file(QStringLiteral("x.jpg"))));
    ASSERT_TRUE(waitCount(3));
    EXPECT_EQ(grid->photos().indexOfPath(file(QStringLiteral("x.jpg"))), -1);

    ASSERT_TRUE(
        QFile::rename(file(QStringLiteral("shown.jpg")), file(QStringLiteral("shown.txt"))));
    ASSERT_TRUE(waitCount(2));
    EXPECT_EQ(names(), QStringList({QStringLiteral("b.jpg"), QStringLiteral("a.jpg")}));

    ASSERT_TRUE(
        QFile::rename(file(QStringLiteral("notes.txt")), file(QStringLiteral("notes.jpg"))));
    ASSERT_TRUE(waitCount(3));
    EXPECT_EQ(names().last(), QStringLiteral("notes.jpg"));

    // Renamed between two photo names: same place, selection kept.
    grid->photos().at(0)->setSelected(true);
    ASSERT_TRUE(QFile::rename(file(QStringLiteral("b.jpg")), file(QStringLiteral("c.jpg"))));
    ASSERT_TRUE(
        pumpUntil([&] { return grid->photos().at(0)->path() == file(QStringLiteral("c.jpg")); }));
    EXPECT_EQ(grid->photos().at(0)->caption(), QStringLiteral("c.jpg"));
    EXPECT_TRUE(grid->photos().at(0)->selected());
    EXPECT_EQ(grid->photos().count(), 3);

    // Rewritten with another picture: a new thumbnail.
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));
    const QString changed = file(QStringLiteral("a.jpg"));
    const int before = counting.calls(changed);
    writeBytes(changed, jpegBytes(40, 60));
    const TPhoto* photo = grid->photos().at(grid->photos().indexOfPath(changed));
    ASSERT_TRUE(pumpUntil(
        [&] { return photo->thumbnailDone() && photo->thumbnailSize() == QSize(40, 60); }));
    EXPECT_GT(counting.calls(changed), before);
    EXPECT_EQ(grid->photos().count(), 3);
}

TEST_F(PhotoListTest, OwnAnnouncementsSeenTwiceAreHarmless)
{
    writeJpeg(QStringLiteral("a.jpg"));
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());

    auto& notifier = ShellChangeNotifier::instance();
    const QString added = file(QStringLiteral("new.jpg"));
    writeJpeg(QStringLiteral("new.jpg"));
    notifier.announcePath(ShcneCreate, QFile::encodeName(added));
    notifier.announcePath(ShcneCreate, QFile::encodeName(added));
    ASSERT_TRUE(waitCount(2));
    pumpFor(200ms);
    EXPECT_EQ(names(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));

    notifier.announcePath(ShcneUpdateDir, ns.path("home/Pictures"));
    notifier.announcePath(ShcneUpdateDir, ns.path("home/Pictures"));
    pumpFor(200ms);
    EXPECT_EQ(names(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));

    ASSERT_TRUE(QFile::remove(added));
    notifier.announcePath(ShcneDelete, QFile::encodeName(added));
    notifier.announcePath(ShcneDelete, QFile::encodeName(added));
    ASSERT_TRUE(waitCount(1));
    pumpFor(200ms);
    EXPECT_EQ(names(), QStringList({QStringLiteral("a.jpg")}));
}

TEST_F(PhotoListTest, FolderUpdateResyncsWithWhatTheScanWouldList)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", ".hidden.jpg"})
        writeJpeg(QLatin1String(name));
    CountingLoader counting;
    grid->StartThumbnails(counting.loader());
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));

    // Behind the grid's back: one photo gone, one rewritten; and a photo of a file that
    // never existed.
    grid->StopThumbnails();
    const QString a = file(QStringLiteral("a.jpg"));
    const QString c = file(QStringLiteral("c.jpg"));
    ASSERT_TRUE(QFile::remove(file(QStringLiteral("b.jpg"))));
    writeBytes(c, jpegBytes(50, 70));
    auto ghost = std::make_unique<TPhoto>(file(QStringLiteral("ghost.jpg")));
    ASSERT_TRUE(grid->AddPhoto(ghost, std::nullopt, true));
    pumpFor(200ms); // the notifications of the changes above, which the resync must agree with
    grid->StartThumbnails(counting.loader());

    ShellChangeNotifier::instance().announcePath(ShcneUpdateDir, ns.path("home/Pictures"));
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone() && counting.calls(c) == 2; }));
    pumpFor(100ms);
    EXPECT_EQ(names(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("c.jpg")}));
    EXPECT_EQ(counting.calls(a), 1); // unchanged: its thumbnail is not made again
    EXPECT_EQ(grid->photos().at(1)->thumbnailSize(), QSize(50, 70));

    // Files the grid missed arrive in the order the scan lists them.
    grid->ClearPhotos();
    QStringList listed;
    ShellDirectory::list(ns.path("home/Pictures"), EnumNonFolders,
                         [&](const QByteArray& name, bool) { listed << QFile::decodeName(name); });
    ShellChangeNotifier::instance().announcePath(ShcneUpdateDir, ns.path("home/Pictures"));
    ASSERT_TRUE(waitCount(2));
    EXPECT_EQ(names(), listed);

    // Another folder's update is none of the grid's business.
    ShellChangeNotifier::instance().announcePath(ShcneUpdateDir, ns.path("home/Big"));
    pumpFor(100ms);
    EXPECT_EQ(grid->photos().count(), 2);
}

TEST_F(PhotoListTest, NamesThatDifferOnlyInCaseAreTwoPhotos)
{
    writeJpeg(QStringLiteral("a.jpg"), 30, 20);
    writeJpeg(QStringLiteral("A.jpg"), 30, 20);
    CountingLoader counting;
    grid->StartThumbnails(counting.loader());
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    ASSERT_EQ(grid->photos().count(), 2);
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));
    const QString lower = file(QStringLiteral("a.jpg"));
    const QString upper = file(QStringLiteral("A.jpg"));
    EXPECT_NE(grid->photos().indexOfPath(lower), grid->photos().indexOfPath(upper));

    // Rewriting one makes only its own thumbnail again.
    writeBytes(upper, jpegBytes(20, 40));
    const TPhoto* upperPhoto = grid->photos().at(grid->photos().indexOfPath(upper));
    ASSERT_TRUE(pumpUntil([&] { return upperPhoto->thumbnailSize() == QSize(20, 40); }));
    EXPECT_EQ(counting.calls(lower), 1);
    EXPECT_EQ(grid->photos().at(grid->photos().indexOfPath(lower))->thumbnailSize(), QSize(30, 20));

    // Renaming one leaves the other where it is.
    ASSERT_TRUE(QFile::rename(lower, file(QStringLiteral("b.jpg"))));
    ASSERT_TRUE(pumpUntil([&] { return grid->photos().indexOfPath(lower) < 0; }));
    EXPECT_EQ(grid->photos().count(), 2);
    EXPECT_GE(grid->photos().indexOfPath(upper), 0);

    // Deleting one leaves the other.
    ASSERT_TRUE(QFile::remove(upper));
    ASSERT_TRUE(waitCount(1));
    EXPECT_EQ(names(), QStringList({QStringLiteral("b.jpg")}));
}

TEST_F(PhotoListTest, ThumbnailsFitTheBoxAndFailuresEndDone)
{
    writeJpeg(QStringLiteral("wide.jpg"), 400, 100);
    writeJpeg(QStringLiteral("tall.jpg"), 90, 300);
    writeJpeg(QStringLiteral("small.jpg"), 30, 20);
    writeBytes(file(QStringLiteral("pic.bmp")), bmpBytes(160, 120));
    writeBytes(file(QStringLiteral("corrupt.jpg")), QByteArray("\xFF\xD8\xFF garbage", 12));
    writeBytes(file(QStringLiteral("empty.jpg")), QByteArray());
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    ASSERT_EQ(grid->photos().count(), 6);

    grid->StartThumbnails(LoadThumbnailStream);
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));
    const auto thumbOf = [&](const char* name) {
        return grid->photos()
            .at(grid->photos().indexOfPath(file(QLatin1String(name))))
            ->thumbnailSize();
    };
    EXPECT_EQ(thumbOf("wide.jpg"), QSize(80, 20));
    EXPECT_EQ(thumbOf("tall.jpg"), QSize(24, 80));
    EXPECT_EQ(thumbOf("small.jpg"), QSize(30, 20));
    EXPECT_EQ(thumbOf("pic.bmp"), QSize(80, 60));
    EXPECT_FALSE(thumbOf("corrupt.jpg").isValid());
    EXPECT_FALSE(thumbOf("empty.jpg").isValid());
    grid->StopThumbnails();
}

TEST_F(PhotoListTest, StopThumbnailsReturnsPromptlyDuringABigFolder)
{
    fillBigFolder(300);
    grid->SetFolder(big, false);
    ASSERT_TRUE(waitScanned());
    grid->StartThumbnails(LoadThumbnailStream);
    ASSERT_TRUE(pumpUntil([&] {
        return std::count_if(grid->photos().begin(), grid->photos().end(),
                             [](const auto& p) { return p->thumbnailDone(); }) >= 5;
    }));
    QElapsedTimer timer;
    timer.start();
    grid->StopThumbnails();
    EXPECT_LT(timer.elapsed(), 2000);
    const int done = int(std::count_if(grid->photos().begin(), grid->photos().end(),
                                       [](const auto& p) { return p->thumbnailDone(); }));
    pumpFor(150ms);
    EXPECT_EQ(std::count_if(grid->photos().begin(), grid->photos().end(),
                            [](const auto& p) { return p->thumbnailDone(); }),
              done);
    EXPECT_LT(done, 300);

    // A new worker carries on where the old one stopped.
    grid->StartThumbnails(LoadThumbnailStream);
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }, 30s));
}

TEST_F(PhotoListTest, LeavingAFolderStopsItsThumbnailsAtOnce)
{
    // More old photos than decoders, so that every decoder gets stuck in one.
    fillBigFolder(2 * TCreateThumbThread::defaultDecoderCount() + 10);
    writeJpeg(QStringLiteral("one.jpg"), 30, 20);
    std::mutex mutex;
    int stuck = 0;
    int released = 0;
    int bigCalls = 0;
    // Old-folder thumbnails never end by themselves: only the cancel flag gets them out.
    grid->StartThumbnails([&](const QString& path, int size,
                              imaging::ColorRef background) -> std::optional<QByteArray> {
        if (!path.contains(QLatin1String("/Big/")))
            return LoadThumbnailStream(path, size, background);
        {
            const std::lock_guard lock(mutex);
            ++stuck;
            ++bigCalls;
        }
        while (!imaging::cancelRequested())
            std::this_thread::yield();
        const std::lock_guard lock(mutex);
        ++released;
        return std::nullopt;
    });
    const auto locked = [&](const auto& read) {
        const std::lock_guard lock(mutex);
        return read();
    };
    grid->SetFolder(big, false);
    ASSERT_TRUE(pumpUntil([&] {
        return locked([&] { return stuck == TCreateThumbThread::defaultDecoderCount(); });
    }));

    grid->SetFolder(pictures, false);
    ASSERT_TRUE(pumpUntil([&] { return locked([&] { return released == stuck; }); }));
    ASSERT_TRUE(waitScanned());
    ASSERT_TRUE(pumpUntil([&] { return allThumbnailsDone(); }));
    EXPECT_EQ(grid->photos().at(0)->thumbnailSize(), QSize(30, 20));
    EXPECT_EQ(locked([&] { return bigCalls; }), TCreateThumbThread::defaultDecoderCount());
    grid->StopThumbnails();
}

TEST_F(PhotoListTest, APhotoInsertedBeforeTheFocusReportsTheNewIndex)
{
    writeJpeg(QStringLiteral("b.jpg"));
    writeJpeg(QStringLiteral("c.jpg"));
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    grid->SetActiveIndex(1);
    QSignalSpy spy(grid.get(), &TVelkoImageScroller::OnSelectedItemChange);

    grid->InsertPhotoSorted(std::make_unique<TPhoto>(file(QStringLiteral("a.jpg"))));
    EXPECT_EQ(grid->focusedIndex(), 2);
    EXPECT_EQ(grid->GetActivePhoto()->path(), file(QStringLiteral("c.jpg")));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.last().at(0).toInt(), 2);
}

TEST_F(PhotoListTest, DeletingTheFocusedPhotoMovesOrReportsTheFocus)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        writeJpeg(QLatin1String(name));
    grid->SetFolder(pictures, false);
    ASSERT_TRUE(waitScanned());
    QSignalSpy spy(grid.get(), &TVelkoImageScroller::OnSelectedItemChange);

    grid->SetActiveIndex(3);
    ASSERT_TRUE(QFile::remove(file(QStringLiteral("d.jpg"))));
    ASSERT_TRUE(waitCount(3));
    EXPECT_EQ(grid->focusedIndex(), 2);
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(spy.last().at(0).toInt(), 2);

    // The middle one: the same index, now another photo, is reported again.
    grid->SetActiveIndex(1);
    spy.clear();
    ASSERT_TRUE(QFile::remove(file(QStringLiteral("b.jpg"))));
    ASSERT_TRUE(waitCount(2));
    EXPECT_EQ(grid->focusedIndex(), 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.last().at(0).toInt(), 1);
    EXPECT_EQ(grid->GetActivePhoto()->path(), file(QStringLiteral("c.jpg")));

    // One before the focus: the focus stays on its photo.
    grid->SetActiveIndex(1);
    ASSERT_TRUE(QFile::remove(file(QStringLiteral("a.jpg"))));
    ASSERT_TRUE(waitCount(1));
    EXPECT_EQ(grid->focusedIndex(), 0);
    EXPECT_EQ(grid->GetActivePhoto()->path(), file(QStringLiteral("c.jpg")));
}

TEST_F(PhotoListTest, SelectionIsIgnoredWhileLoadingAndHandedOutInGridOrder)
{
    fillBigFolder(1000); // a scan of several batches
    grid->SetFolder(big, false);
    ASSERT_TRUE(pumpEventsUntil([&] { return grid->loading() && grid->photos().count() > 2; }));
    grid->SetAllSelected(true);
    EXPECT_FALSE(grid->photos().at(0)->selected());
    grid->photos().at(1)->setSelected(true);
    EXPECT_FALSE(grid->HasSelection());
    ASSERT_TRUE(waitScanned());
    EXPECT_FALSE(grid->HasSelection()); // the remembered select-all value, false
    EXPECT_EQ(grid->photos().count(), 1000);

    grid->SetAllSelected(true);
    EXPECT_TRUE(grid->HasSelection());
    grid->SetAllSelected(false);
    EXPECT_FALSE(grid->HasSelection());

    for (const int i : {250, 3, 99})
        grid->photos().at(i)->setSelected(true);
    {
        const TPhotoList selected = grid->GetSelectedPhotos();
        EXPECT_FALSE(selected.owning());
        ASSERT_EQ(selected.count(), 3);
        EXPECT_EQ(selected.at(0), grid->photos().at(3));
        EXPECT_EQ(selected.at(1), grid->photos().at(99));
        EXPECT_EQ(selected.at(2), grid->photos().at(250));
    }
    // The handed-out list is gone; the photos are not.
    EXPECT_EQ(grid->photos().count(), 1000);
    EXPECT_TRUE(grid->photos().at(99)->selected());
    EXPECT_TRUE(grid->HasSelection());
}

TEST_F(PhotoListTest, AddPhotoWithAnUnreadableStreamLeavesThePhotoWithTheCaller)
{
    auto photo = std::make_unique<TPhoto>(QStringLiteral("/nowhere/x.jpg"));
    EXPECT_FALSE(grid->AddPhoto(photo, QByteArray("not a picture"), true));
    ASSERT_TRUE(photo);
    EXPECT_TRUE(grid->photos().isEmpty());

    EXPECT_TRUE(grid->AddPhoto(photo, jpegBytes(20, 10), true));
    EXPECT_FALSE(photo);
    ASSERT_EQ(grid->photos().count(), 1);
    EXPECT_TRUE(grid->photos().at(0)->thumbnailDone());
    EXPECT_EQ(grid->photos().at(0)->thumbnailSize(), QSize(20, 10));
}

} // namespace
