// The main window's grid on three folders: 2,000 camera photos with EXIF thumbnails, the same
// 2,000 without, and 20,000 small photos. For each: the scan, the first screen of thumbnails
// with an empty and with a warm thumbnail cache, the thumbnail rate, the GUI thread's longest
// stall and the memory the thumbnails cost. One-shot figures, so a plain program printing a
// table.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "ExifThumbnail.h"
#include "FittedJpeg.h"
#include "GuiStallMonitor.h"
#include "MadeOnce.h"
#include "OffscreenDefault.h"
#include "ShellNamespace.h"
#include "TVelkoImageScroller.h"
#include "TfrmMain.h"
#include "ThumbnailCache.h"
#include "uLanguage.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kCameraPhotos = 2000;
constexpr int kCameraPictures = 30; // distinct pictures behind the hard links
constexpr int kCameraWidth = 4000;
constexpr int kCameraHeight = 3000;
constexpr int kExifThumbnailWidth = 160;
constexpr int kExifThumbnailHeight = 120;
constexpr int kSmallPhotos = 20000;
constexpr int kSmallPictures = 10;
constexpr int kSmallWidth = 640;
constexpr int kSmallHeight = 480;

// Photos per second of the single thumbnail worker on the 2-core benchmark machine.
constexpr double kRateBeforeParallelThumbnails = 21.9;
constexpr double kWarmFirstScreenGoal = 0.3; // s
constexpr double kStallGoal = 16;            // ms, one frame at 60 Hz

constexpr int kStallTick = 5;                  // ms
constexpr qint64 kVisitTimeLimit = 6 * 60'000; // ms; a visit that takes longer has hung
constexpr unsigned kRunTimeLimit = 30 * 60;    // s; ends the run even if the GUI thread hangs
const char* const kCacheMark = "complete-v2";

struct FolderPlan
{
    const char* title;
    const char* name; // under the home folder
    int photos;
    double firstScreenGoal; // s with an empty cache; 0 for none
    double rateGoal;        // photos/s; 0 for none
    double memoryGoal;      // MB
    bool secondVisit;
};

const FolderPlan kExifFolder{"2,000 photos 4000 x 3000 with a 160 x 120 EXIF thumbnail",
                             "CameraExif",
                             kCameraPhotos,
                             1.0,
                             0,
                             100,
                             true};
const FolderPlan kPlainFolder{"the same 2,000 photos without EXIF thumbnails",
                              "CameraPlain",
                              kCameraPhotos,
                              2.0,
                              1.8 * kRateBeforeParallelThumbnails,
                              100,
                              true};
const FolderPlan kSmallFolder{"20,000 photos 640 x 480", "Small", kSmallPhotos, 0, 0, 150, false};

QString benchRoot()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-grid");
}
QString homeDir()
{
    return benchRoot() + QStringLiteral("/home");
}
QString folderPath(const FolderPlan& plan)
{
    return homeDir() + QLatin1Char('/') + QLatin1String(plan.name);
}
QString cacheHome()
{
    return benchRoot() + QStringLiteral("/cache");
}

// ---- The photos ------------------------------------------------------------------------

// count pictures made by make(variant), written as prefix-NN.jpg; their names, none on failure.
template <typename Make>
std::vector<QByteArray> writePictures(const QString& prefix, int count, Make make)
{
    std::vector<QByteArray> names;
    for (int v = 0; v < count; ++v) {
        const QString name = prefix + QStringLiteral("-%1.jpg").arg(v, 2, 10, QLatin1Char('0'));
        std::fprintf(stderr, "\rmaking %s %d of %d", qPrintable(QFileInfo(prefix).fileName()),
                     v + 1, count);
        if (!writeBytes(name, make(v)))
            return {};
        names.push_back(QFile::encodeName(name));
    }
    std::fprintf(stderr, "\n");
    return names;
}

QByteArray readBytes(const QByteArray& fileName)
{
    QFile file(QFile::decodeName(fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The photo as a camera writes it: the picture itself at 160 × 120 in the EXIF block.
QByteArray withExifThumbnail(const QByteArray& jpeg)
{
    FittedJpegDetails details;
    const auto thumbnail =
        fitPictureBytes(jpeg, kExifThumbnailWidth, kExifThumbnailHeight, 0, true, nullptr, details);
    return thumbnail ? addExifThumbnail(jpeg, *thumbnail) : QByteArray();
}

// count hard links IMG_00001.jpg … to the pictures in turn.
bool linkFolder(const QString& folder, const std::vector<QByteArray>& pictures, int count)
{
    if (pictures.empty() || !QDir().mkpath(folder))
        return false;
    for (int i = 0; i < count; ++i) {
        const QByteArray link = QFile::encodeName(
            folder + QStringLiteral("/IMG_%1.jpg").arg(i + 1, 5, 10, QLatin1Char('0')));
        if (::link(pictures[std::size_t(i) % pictures.size()].constData(), link.constData()))
            return false;
    }
    return true;
}

// The pictures once each, and the three folders of hard links to them.
bool makePhotoSources()
{
    const QString sources = benchRoot() + QStringLiteral("/sources");
    if (!QDir().mkpath(sources) || !QDir().mkpath(homeDir() + QStringLiteral("/Desktop")))
        return false;
    const auto camera =
        writePictures(sources + QStringLiteral("/camera"), kCameraPictures,
                      [](int v) { return cameraJpeg(kCameraWidth, kCameraHeight, v); });
    if (camera.empty())
        return false;
    const auto exif =
        writePictures(sources + QStringLiteral("/camera-exif"), kCameraPictures,
                      [&](int v) { return withExifThumbnail(readBytes(camera[std::size_t(v)])); });
    const auto small = writePictures(sources + QStringLiteral("/small"), kSmallPictures, [](int v) {
        return cameraJpeg(kSmallWidth, kSmallHeight, v);
    });
    return linkFolder(folderPath(kExifFolder), exif, kExifFolder.photos) &&
           linkFolder(folderPath(kPlainFolder), camera, kPlainFolder.photos) &&
           linkFolder(folderPath(kSmallFolder), small, kSmallFolder.photos);
}

// Made once and kept between runs.
bool makePhotoFolders()
{
    return makeOnce(benchRoot(), kCacheMark, makePhotoSources);
}

// A private home, desktop, settings and thumbnail cache: the window shows nothing of the
// user's own, and the user's cache is never touched.
void redirectEnvironment()
{
    qputenv("VELKO_HOME", QFile::encodeName(homeDir()));
    qputenv("VELKO_DESKTOP_DIR", QFile::encodeName(homeDir() + QStringLiteral("/Desktop")));
    const QByteArray config = QFile::encodeName(benchRoot() + QStringLiteral("/config"));
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("XDG_CONFIG_DIRS", config);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome()));
}

// ---- Watching a visit ------------------------------------------------------------------

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Seconds from choosing the folder; -1 for what never came.
struct Visit
{
    double scanSeconds = -1;
    double firstScreenSeconds = -1;
    double allSeconds = -1;
    int firstScreenPhotos = 0;
    double stallMs = 0;
    double stallAtSeconds = 0;
    bool timedOut = false;
};

enum class Until
{
    FirstScreen,
    AllThumbnails
};

// Watches the grid from every event the GUI thread delivers, and the GUI thread's longest
// stall meanwhile.
class VisitWatch : public QObject
{
public:
    VisitWatch(TVelkoImageScroller& grid, int photoCount, Until until, Visit& visit,
               QEventLoop& loop)
        : mGrid(grid), mPhotoCount(photoCount), mUntil(until), mVisit(visit), mLoop(loop),
          mStalls(kStallTick)
    {
        mTimeLimit.setSingleShot(true);
        mTimeLimit.setInterval(int(kVisitTimeLimit));
        connect(&mTimeLimit, &QTimer::timeout, this, [this] {
            mVisit.timedOut = true;
            finish(1);
        });
    }

    void start()
    {
        mClock.start();
        mStalls.start();
        mTimeLimit.start();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        if (!mChecking && !mFinished) {
            mChecking = true;
            check();
            mChecking = false;
        }
        return false;
    }

private:
    double seconds() const { return double(mClock.nsecsElapsed()) / 1e9; }

    void finish(int result)
    {
        if (mFinished)
            return;
        mFinished = true;
        mTimeLimit.stop();
        mStalls.stop();
        mVisit.stallMs = mStalls.longestMs();
        mVisit.stallAtSeconds = mStalls.longestEndedSeconds();
        mLoop.exit(result);
    }

    bool listComplete() const { return !mGrid.loading() && mGrid.photos().count() == mPhotoCount; }

    // The photos whose cells the first screen shows, once the whole list is laid out.
    std::vector<int> visiblePhotos() const
    {
        std::vector<int> visible;
        const grid::GridLayout& layout = mGrid.gridLayout();
        const QRect view(0, 0, layout.viewWidth, layout.viewHeight);
        for (int k = 0; k < layout.slotCount(); ++k) {
            const int index = layout.firstIndex + k;
            if (index >= 0 && index < mGrid.photos().count() &&
                grid::slotRect(layout, mGrid.metrics(), k).intersects(view))
                visible.push_back(index);
        }
        return visible;
    }

    void check()
    {
        if (mVisit.scanSeconds < 0) {
            if (!listComplete())
                return;
            mVisit.scanSeconds = seconds();
            mVisible = visiblePhotos();
            mVisit.firstScreenPhotos = int(mVisible.size());
        }
        const TPhotoList& photos = mGrid.photos();
        if (mVisit.firstScreenSeconds < 0) {
            if (!std::all_of(mVisible.begin(), mVisible.end(),
                             [&](int i) { return photos.at(i)->thumbnailDone(); }))
                return;
            // The screen counts as done once it has been painted with them. That paint is the
            // benchmark's own, on top of the window's, so it is no stall.
            QElapsedTimer paint;
            paint.start();
            mGrid.grab();
            mStalls.discount(paint.nsecsElapsed());
            mVisit.firstScreenSeconds = seconds();
            if (mUntil == Until::FirstScreen) {
                finish(0);
                return;
            }
        }
        // Done stays done, so the cursor never goes back.
        while (mDoneCursor < photos.count() && photos.at(mDoneCursor)->thumbnailDone())
            ++mDoneCursor;
        if (mDoneCursor == mPhotoCount) {
            mVisit.allSeconds = seconds();
            finish(0);
        }
    }

    TVelkoImageScroller& mGrid;
    const int mPhotoCount;
    const Until mUntil;
    Visit& mVisit;
    QEventLoop& mLoop;
    QElapsedTimer mClock;
    GuiStallMonitor mStalls;
    QTimer mTimeLimit;
    std::vector<int> mVisible;
    int mDoneCursor = 0;
    bool mChecking = false;
    bool mFinished = false;
};

Visit visitFolder(TVelkoImageScroller& grid, const ShellItemIdList& folder, int photoCount,
                  Until until)
{
    Visit visit;
    QEventLoop loop;
    VisitWatch watch(grid, photoCount, until, visit, loop);
    watch.start();
    // Chosen from inside the loop, so that no result can come before the loop runs.
    QTimer::singleShot(0, &grid, [&] { grid.SetFolder(folder, false); });
    loop.exec();
    return visit;
}

// ---- Measuring a folder ----------------------------------------------------------------

struct FolderFigures
{
    Visit first;        // empty thumbnail cache, until every thumbnail is done
    Visit second;       // after another folder, until the first screen is done
    long rssBefore = 0; // kB
    long rssAfter = 0;
    long rssTrimmed = 0;
    int cacheFiles = 0;
};

// The home folder holds no photos: the grid comes to rest there, and what the last folder
// cost is handed back before the next is measured.
void restOn(TVelkoImageScroller& grid, const ShellItemIdList& home)
{
    grid.SetFolder(home, false);
    pumpUntil([&] { return !grid.loading(); }, std::chrono::milliseconds(5000));
    pumpFor(std::chrono::milliseconds(300));
    ::malloc_trim(0);
}

int countFiles(const QString& folder)
{
    int count = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++count;
    return count;
}

FolderFigures measureFolder(TVelkoImageScroller& grid, const ShellItemIdList& home,
                            const ShellItemIdList& folder, const FolderPlan& plan)
{
    FolderFigures f;
    std::fprintf(stderr, "%s: first visit\n", plan.name);
    restOn(grid, home);
    QDir(thumbnailCacheDir()).removeRecursively();
    f.rssBefore = residentKilobytes();
    f.first = visitFolder(grid, folder, plan.photos, Until::AllThumbnails);
    f.rssAfter = residentKilobytes();
    ::malloc_trim(0);
    f.rssTrimmed = residentKilobytes();
    f.cacheFiles = countFiles(thumbnailCacheDir());
    if (plan.secondVisit) {
        std::fprintf(stderr, "%s: second visit\n", plan.name);
        restOn(grid, home);
        f.second = visitFolder(grid, folder, plan.photos, Until::FirstScreen);
    }
    return f;
}

// ---- The table -------------------------------------------------------------------------

struct Unit
{
    const char* name;
    int decimals;
};
constexpr Unit kSeconds{"s", 3};
constexpr Unit kPerSecond{"/s", 1};
constexpr Unit kMilliseconds{"ms", 1};
constexpr Unit kMegabytes{"MB", 1};

struct Goal
{
    const char* relation = nullptr; // none: no goal
    double limit = 0;
    bool met(double value) const
    {
        return value >= 0 && (relation[0] == '<' ? value < limit : value >= limit);
    }
};
Goal below(double limit)
{
    return limit > 0 ? Goal{"<", limit} : Goal{};
}
Goal atLeast(double limit)
{
    return limit > 0 ? Goal{">=", limit} : Goal{};
}

// A figure that never came (a negative value) prints as "-" and misses its goal.
void printRow(const char* measure, double value, Unit unit, Goal goal = {})
{
    char figure[32] = "-";
    if (value >= 0)
        std::snprintf(figure, sizeof figure, "%.*f %s", unit.decimals, value, unit.name);
    char target[32] = "-";
    if (goal.relation)
        std::snprintf(target, sizeof target, "%s %.1f %s", goal.relation, goal.limit, unit.name);
    const char* verdict = !goal.relation ? "" : goal.met(value) ? "met" : "MISSED";
    std::printf("  %-36s %12s %12s  %s\n", measure, figure, target, verdict);
}

double megabytes(long kilobytes)
{
    return double(kilobytes) / 1024.0;
}

void printFolder(const FolderPlan& plan, const FolderFigures& f)
{
    const Visit& worse = f.second.stallMs > f.first.stallMs ? f.second : f.first;
    const double rate = f.first.allSeconds > 0 ? plan.photos / f.first.allSeconds : -1;
    std::printf("\n%s (%s)\n", plan.title, plan.name);
    printRow("scan listed and sorted", f.first.scanSeconds, kSeconds);
    printRow("first screen, empty cache", f.first.firstScreenSeconds, kSeconds,
             below(plan.firstScreenGoal));
    printRow("all thumbnails", f.first.allSeconds, kSeconds);
    printRow("thumbnail rate", rate, kPerSecond, atLeast(plan.rateGoal));
    if (plan.secondVisit)
        printRow("first screen, second visit (warm)", f.second.firstScreenSeconds, kSeconds,
                 below(kWarmFirstScreenGoal));
    printRow("longest GUI stall", worse.stallMs, kMilliseconds, below(kStallGoal));
    printRow("resident memory growth", megabytes(f.rssAfter - f.rssBefore), kMegabytes,
             below(plan.memoryGoal));
    std::printf("  notes: %d photos in the first screen; stall at %.3f s of the %s visit;\n"
                "         %d files in the thumbnail cache after the first visit; growth after "
                "malloc_trim %.1f MB%s\n",
                f.first.firstScreenPhotos, worse.stallAtSeconds,
                &worse == &f.first ? "first" : "second", f.cacheFiles,
                megabytes(f.rssTrimmed - f.rssBefore),
                f.first.timedOut || f.second.timedOut ? "; TIMED OUT" : "");
}

std::optional<ShellItemIdList> folderId(const QString& path)
{
    const auto ids = ShellNamespace::instance().idsOfPath(QFile::encodeName(path));
    if (ids.empty()) {
        std::fprintf(stderr, "no list for %s\n", qPrintable(path));
        return std::nullopt;
    }
    return ids.front();
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessSet();
    redirectEnvironment();
    QApplication app(argc, argv);
    if (!makePhotoFolders()) {
        std::fprintf(stderr, "could not make the photos under %s\n", qPrintable(benchRoot()));
        return 1;
    }
    ::alarm(kRunTimeLimit);
    ShellNamespace::instance().reset();
    LoadLanguage();

    TfrmMain window;
    window.setGeometry(0, 0, 1920, 1080);
    window.show();
    TVelkoImageScroller& grid = *window.imageScroller();
    // The window starts on the (photo-less) home; let that settle first.
    pumpUntil([&] { return !grid.loading(); }, std::chrono::milliseconds(5000));
    pumpFor(std::chrono::milliseconds(500));

    const FolderPlan* const plans[] = {&kExifFolder, &kPlainFolder, &kSmallFolder};
    const auto home = folderId(homeDir());
    std::vector<ShellItemIdList> folders;
    for (const FolderPlan* plan : plans) {
        if (auto id = folderId(folderPath(*plan)))
            folders.push_back(std::move(*id));
    }
    if (!home || folders.size() != std::size(plans))
        return 1;

    std::vector<FolderFigures> figures;
    for (std::size_t i = 0; i < folders.size(); ++i)
        figures.push_back(measureFolder(grid, *home, folders[i], *plans[i]));

    std::printf("grid %d x %d; camera photos %d x %d (%d distinct), small photos %d x %d (%d "
                "distinct)\n",
                grid.width(), grid.height(), kCameraWidth, kCameraHeight, kCameraPictures,
                kSmallWidth, kSmallHeight, kSmallPictures);
    std::printf("  %-36s %12s %12s\n", "measure", "figure", "goal");
    for (std::size_t i = 0; i < figures.size(); ++i)
        printFolder(*plans[i], figures[i]);
    std::printf("\nrate goal: 1.8 x %.1f /s, the rate before parallel thumbnails\n",
                kRateBeforeParallelThumbnails);
    return 0;
}
