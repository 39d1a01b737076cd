// The upload's preparing pass on 12-megapixel photos made into 1600 x 1200 main images: one
// worker against one per core, the GUI thread's longest stall meanwhile, and vipsthumbnail
// doing the same resizing one photo after another, for scale. A plain program printing a table.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "PreparePipeline.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPhotos = 12;
constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;
constexpr int kBoxWidth = 1600;
constexpr int kBoxHeight = 1200;
constexpr qint64 kMaxBytes = 20'000'000;
constexpr int kStallTick = 5; // ms

struct Run
{
    double seconds = 0;
    double stallMs = 0;
    int made = 0;
};

Run prepare(const QStringList& files, int threads)
{
    Run run;
    QElapsedTimer clock;
    GuiStallMonitor stalls(kStallTick);
    bool done = false;
    upload::PreparePipeline pipeline(
        files, kBoxWidth, kBoxHeight, kMaxBytes, threads,
        [&](int, const std::optional<upload::UploadImage>& image) { run.made += image ? 1 : 0; },
        [&] { done = true; });
    stalls.start();
    clock.start();
    pipeline.start();
    pumpEventsUntil([&] { return done; }, 10min);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    run.stallMs = stalls.longestMs();
    return run;
}

double vipsThumbnails(const QStringList& files, const QString& outDir)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString& file : files) {
        QProcess vips;
        vips.start(QStringLiteral("vipsthumbnail"),
                   {file, QStringLiteral("--size"),
                    QStringLiteral("%1x%2").arg(kBoxWidth).arg(kBoxHeight), QStringLiteral("-o"),
                    outDir + QStringLiteral("/%s.jpg")});
        if (!vips.waitForFinished(60'000) || vips.exitCode() != 0)
            return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < kPhotos; ++i) {
        const QString file = dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        if (!writeCameraJpeg(file, kPhotoWidth, kPhotoHeight, i)) {
            std::fprintf(stderr, "bench_prepare: cannot write %s\n", qPrintable(file));
            return 1;
        }
        files << file;
    }
    const int cores = std::max(1, QThread::idealThreadCount());
    std::printf("%d photos of %d x %d into %d x %d\n", kPhotos, kPhotoWidth, kPhotoHeight,
                kBoxWidth, kBoxHeight);
    std::printf("%-28s %10s %12s %6s\n", "", "seconds", "stall (ms)", "made");
    for (const int threads : {1, cores}) {
        const Run run = prepare(files, threads);
        std::printf("preparing, %d worker(s)%*s %10.2f %12.1f %6d\n", threads, threads > 9 ? 3 : 4,
                    "", run.seconds, run.stallMs, run.made);
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty()) {
        const QString out = dir.filePath(QStringLiteral("vips"));
        QDir().mkpath(out);
        std::printf("%-28s %10.2f\n", "vipsthumbnail, one by one", vipsThumbnails(files, out));
    }
    return 0;
}
