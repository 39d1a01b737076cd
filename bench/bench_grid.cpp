// The main window's grid on a folder of 2,000 camera-sized photos: how long the scan and the
// first screen of thumbnails take, the thumbnail rate, the GUI thread's longest stall and the
// memory the thumbnails cost. One-shot figures, so a plain program printing a table.
#include "CameraPhoto.h"
#include "FittedJpeg.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "ShellNamespace.h"
#include "TVelkoImageScroller.h"
#include "TfrmMain.h"
#include "uLanguage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

using namespace imaging;

namespace {

constexpr int kPhotoCount = 2000;
constexpr int kDistinctPictures = 30;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kStallTick = 5;            // ms
constexpr qint64 kTimeLimit = 15 * 60e3; // ms; a run that takes longer has hung
const char* const kCacheMark = "complete-v1";

QString benchRoot()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-grid");
}
QString homeDir()
{
    return benchRoot() + QStringLiteral("/home");
}
QString photoDir()
{
    return homeDir() + QStringLiteral("/Photos");
}

// The distinct pictures once, then the folder of hard links to them; kept between runs.
bool makePhotoFolder()
{
    const QString mark = benchRoot() + QLatin1Char('/') + QLatin1String(kCacheMark);
    if (QFileInfo::exists(mark))
        return true;
    const QString sources = benchRoot() + QStringLiteral("/sources");
    QDir().mkpath(sources);
    QDir().mkpath(photoDir());
    QDir().mkpath(homeDir() + QStringLiteral("/Desktop"));
    std::vector<QByteArray> pictures;
    for (int v = 0; v < kDistinctPictures; ++v) {
        const QString name =
            sources + QStringLiteral("/picture-%1.jpg").arg(v, 2, 10, QLatin1Char('0'));
        std::fprintf(stderr, "\rmaking picture %d of %d", v + 1, kDistinctPictures);
        if (!writeCameraJpeg(name, kWidth, kHeight, v))
            return false;
        pictures.push_back(QFile::encodeName(name));
    }
    std::fprintf(stderr, "\n");
    for (int i = 0; i < kPhotoCount; ++i) {
        const QByteArray link = QFile::encodeName(
            photoDir() + QStringLiteral("/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')));
        ::unlink(link.constData());
        if (::link(pictures[std::size_t(i % kDistinctPictures)].constData(), link.constData()))
            return false;
    }
    QFile file(mark);
    return file.open(QIODevice::WriteOnly);
}

// A private home, desktop and settings, so the window shows nothing of the user's own.
void redirectHome()
{
    qputenv("VELKO_HOME", QFile::encodeName(homeDir()));
    qputenv("VELKO_DESKTOP_DIR", QFile::encodeName(homeDir() + QStringLiteral("/Desktop")));
    const QByteArray config = QFile::encodeName(benchRoot() + QStringLiteral("/config"));
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("XDG_CONFIG_DIRS", config);
    ShellNamespace::instance().reset();
}

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

struct Figures
{
    double scanSeconds = -1;
    double firstScreenSeconds = -1;
    double allSeconds = -1;
    int firstScreenPhotos = 0;
    double stallMs = 0;
    double stallAtSeconds = 0;
    long rssBefore = 0;
    long rssAfter = 0;
};

// Watches the grid from every event the GUI thread delivers, and ticks every 5 ms to find
// the longest stretch in which the thread delivered nothing.
class GridWatch : public QObject
{
public:
    GridWatch(TVelkoImageScroller& grid, Figures& figures, QEventLoop& loop)
        : mGrid(grid), mFigures(figures), mLoop(loop)
    {
        mTicker.setTimerType(Qt::PreciseTimer);
        mTicker.setInterval(kStallTick);
        connect(&mTicker, &QTimer::timeout, this, &GridWatch::tick);
    }

    void start()
    {
        mClock.start();
        mLastTick = 0;
        mTicker.start();
        qApp->installEventFilter(this);
    }

    double seconds() const { return double(mClock.nsecsElapsed()) / 1e9; }

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        if (!mChecking) {
            mChecking = true;
            check();
            mChecking = false;
        }
        return false;
    }

private:
    void tick()
    {
        const qint64 now = mClock.nsecsElapsed();
        const double gap = double(now - mLastTick) / 1e6 - kStallTick;
        if (gap > mFigures.stallMs) {
            mFigures.stallMs = gap;
            mFigures.stallAtSeconds = double(now) / 1e9;
        }
        mLastTick = now;
        if (now / 1000000 > kTimeLimit)
            mLoop.exit(1);
    }

    bool listComplete() const { return !mGrid.loading() && mGrid.photos().count() == kPhotoCount; }

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
        if (mFigures.scanSeconds < 0) {
            if (!listComplete())
                return;
            mFigures.scanSeconds = seconds();
            mVisible = visiblePhotos();
            mFigures.firstScreenPhotos = int(mVisible.size());
        }
        const TPhotoList& photos = mGrid.photos();
        if (mFigures.firstScreenSeconds < 0) {
            if (!std::all_of(mVisible.begin(), mVisible.end(),
                             [&](int i) { return photos.at(i)->thumbnailDone(); }))
                return;
            // The screen counts as done once it has been painted with them.
            mGrid.grab();
            mFigures.firstScreenSeconds = seconds();
        }
        // Done stays done, so the cursor never goes back.
        while (mDoneCursor < photos.count() && photos.at(mDoneCursor)->thumbnailDone())
            ++mDoneCursor;
        if (mDoneCursor == kPhotoCount && mFigures.allSeconds < 0) {
            mFigures.allSeconds = seconds();
            mLoop.exit(0);
        }
    }

    TVelkoImageScroller& mGrid;
    Figures& mFigures;
    QEventLoop& mLoop;
    QElapsedTimer mClock;
    QTimer mTicker;
    qint64 mLastTick = 0;
    std::vector<int> mVisible;
    int mDoneCursor = 0;
    bool mChecking = false;
};

// Runs the events until the condition holds or the time is up.
template <typename Condition> bool pumpUntil(Condition condition, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(1000);
    }
    return true;
}

qint64 thumbnailBytes(const TPhotoList& photos)
{
    qint64 bytes = 0;
    for (int i = 0; i < photos.count(); ++i)
        bytes += photos.at(i)->thumbnail().sizeInBytes();
    return bytes;
}

// One thumbnail made on this thread, best of three: the worker's cost per photo.
double oneThumbnailMs(const QString& fileName)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!LoadThumbnailStream(fileName, 92, makeColorRef(255, 255, 255)))
            return -1;
        best = std::min(best, double(clock.nsecsElapsed()) / 1e6);
    }
    return best;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printTable(const Figures& f, const QSize& gridSize, double thumbMs, qint64 thumbBytes,
                long rssTrimmed)
{
    const double memoryMb = double(f.rssAfter - f.rssBefore) / 1024.0;
    const double rate = f.allSeconds > 0 ? kPhotoCount / f.allSeconds : 0;
    std::printf("grid %d x %d, %d photos in the first screen, %d photos (%d distinct %dx%d)\n",
                gridSize.width(), gridSize.height(), f.firstScreenPhotos, kPhotoCount,
                kDistinctPictures, kWidth, kHeight);
    std::printf("%-34s %12s %10s %8s\n", "measure", "figure", "goal", "");
    std::printf("%-34s %10.3f s %8s s %8s\n", "scan listed and sorted", f.scanSeconds, "< 0.5",
                verdict(f.scanSeconds >= 0 && f.scanSeconds < 0.5));
    std::printf("%-34s %10.3f s %8s s %8s\n", "first screen of thumbnails", f.firstScreenSeconds,
                "< 3", verdict(f.firstScreenSeconds >= 0 && f.firstScreenSeconds < 3));
    std::printf("%-34s %10.3f s %10s\n", "all thumbnails done", f.allSeconds, "-");
    std::printf("%-34s %8.1f /s %10s\n", "thumbnails per second", rate, "-");
    std::printf("%-34s %9.1f ms %7s ms %8s\n", "longest GUI stall", f.stallMs, "< 50",
                verdict(f.stallMs < 50));
    std::printf("%-34s %9.1f MB %7s MB %8s\n", "resident memory growth", memoryMb, "< 100",
                verdict(memoryMb < 100));
    std::printf("\nnotes: longest stall at %.3f s; one thumbnail on the GUI thread %.1f ms;\n"
                "       thumbnail images %.1f MB; growth after malloc_trim %.1f MB\n",
                f.stallAtSeconds, thumbMs, double(thumbBytes) / 1048576.0,
                double(rssTrimmed - f.rssBefore) / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!makePhotoFolder()) {
        std::fprintf(stderr, "could not make the photos under %s\n", qPrintable(benchRoot()));
        return 1;
    }
    redirectHome();
    LoadLanguage();

    TfrmMain window;
    window.setGeometry(0, 0, 1920, 1080);
    window.show();
    TVelkoImageScroller& grid = *window.imageScroller();
    // The window starts on the (photo-less) home; let that settle first.
    pumpUntil([&] { return !grid.loading(); }, 5000);
    pumpUntil([] { return false; }, 500);

    const auto ids = ShellNamespace::instance().idsOfPath(QFile::encodeName(photoDir()));
    if (ids.empty()) {
        std::fprintf(stderr, "no list for %s\n", qPrintable(photoDir()));
        return 1;
    }
    const ShellItemIdList folder = ids.front();

    Figures figures;
    QEventLoop loop;
    GridWatch watch(grid, figures, loop);
    figures.rssBefore = residentKilobytes();
    watch.start();
    grid.SetFolder(folder, false);
    const int result = loop.exec();
    figures.rssAfter = residentKilobytes();
    if (result != 0) {
        std::fprintf(stderr, "timed out after %.0f s: %d photos listed\n", watch.seconds(),
                     grid.photos().count());
        return 1;
    }

    const qint64 bytes = thumbnailBytes(grid.photos());
    ::malloc_trim(0);
    const long trimmed = residentKilobytes();
    const double thumbMs = oneThumbnailMs(grid.photos().at(0)->path());
    printTable(figures, grid.size(), thumbMs, bytes, trimmed);
    return 0;
}
