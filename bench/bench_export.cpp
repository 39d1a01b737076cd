// The album export of 100 12-megapixel photos as a slideshow at 1920 x 1080: the whole run
// through the export's worker into a copy of the viewer program, the GUI thread's longest stall
// meanwhile (it handles the worker's messages), and vipsthumbnail making the same pictures on
// every core, for scale. A plain program printing a table; it exits non-zero when a goal is
// missed.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "MadeOnce.h"
#include "OffscreenDefault.h"
#include "TResizeImageThread.h"
#include "TViewerFile.h"
#include "ViewerFileReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;
constexpr int kBoxWidth = 1920;
constexpr int kBoxHeight = 1080;
constexpr double kSecondsGoal = 15;
constexpr double kStallGoal = 16; // ms, one frame at 60 Hz
constexpr int kStallTick = 5;     // ms

int gPhotos = 100;

QString photoFolder()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-export-%1").arg(gPhotos);
}

QString photoPath(int i)
{
    return photoFolder() + QStringLiteral("/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
}

struct Run
{
    double seconds = 0;
    double stallMs = 0;
    int messages = 0;
    int written = -1;
    QString failure;
};

// The viewer program built beside the benchmark when there is one; any file serves.
bool copyProgram(const QString& target)
{
    const QString built =
        QCoreApplication::applicationDirPath() + QStringLiteral("/VIEWERDATA.dat");
    if (QFileInfo::exists(built))
        return QFile::copy(built, target);
    return writeBytes(target, QByteArray(256 * 1024, 'P'));
}

std::optional<Run> exportSlideshow(const QStringList& files, const QString& output)
{
    if (!copyProgram(output))
        return std::nullopt;
    const std::string outputName = QFile::encodeName(output).toStdString();
    try {
        album::BeginViewerFile(outputName, std::uint32_t(files.size() + 4));
    } catch (const album::ContainerError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return std::nullopt;
    }

    Run run;
    bool ended = false;
    std::unique_ptr<album::TResizeImageThread> worker;
    worker = std::make_unique<album::TResizeImageThread>(
        [&](const WindowMessage& message) -> qintptr {
            ++run.messages;
            const int i = int(message.wParam);
            if (i >= 0 && i < files.size()) {
                worker->setCurrentFile(files[i]);
            } else {
                run.written = worker->picturesWritten();
                run.failure = worker->failure();
                ended = true;
            }
            return 0;
        },
        album::ExportJob{output, files, true, QSize(kBoxWidth, kBoxHeight), 0});

    GuiStallMonitor stalls(kStallTick);
    QElapsedTimer clock;
    stalls.start();
    clock.start();
    worker->start();
    pumpEventsUntil([&] { return ended || !worker->isRunning(); }, 10min);
    worker->stop();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    run.stallMs = stalls.longestMs();
    album::EndViewerFile();
    return run;
}

// The same pictures from libvips' thumbnailer, one process per photo, as many at once as cores.
std::optional<double> vipsSlideshow(const QStringList& files, const QString& outDir)
{
    QProcess shell;
    shell.setWorkingDirectory(outDir);
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("xargs -0 -P\"$(nproc)\" -n 1 vipsthumbnail --size %1x%2 -o "
                                "'%3/%s.jpg'")
                     .arg(kBoxWidth)
                     .arg(kBoxHeight)
                     .arg(outDir)});
    QElapsedTimer clock;
    clock.start();
    if (!shell.waitForStarted())
        return std::nullopt;
    shell.write(files.join(QChar(0)).toLocal8Bit());
    shell.closeWriteChannel();
    if (!shell.waitForFinished(10 * 60'000) || shell.exitCode() != 0)
        return std::nullopt;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (QDir(outDir).entryList(QDir::Files).size() != files.size())
        return std::nullopt;
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    int rounds = 1;
    // Makes the photo set only, e.g. outside the build lock: it takes a few minutes once.
    bool makeOnly = false;
    for (int i = 1; i < argc; ++i)
        makeOnly = makeOnly || QByteArray(argv[i]) == "--make-only";
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--photos")
            gPhotos = std::max(1, std::atoi(argv[i + 1]));
    }

    QElapsedTimer making;
    making.start();
    const bool made = makeOnce(photoFolder(), "complete-v1", [] {
        for (int i = 0; i < gPhotos; ++i) {
            std::fprintf(stderr, "\rmaking photo %d of %d", i + 1, gPhotos);
            if (!writeCameraJpeg(photoPath(i), kPhotoWidth, kPhotoHeight, i))
                return false;
        }
        std::fprintf(stderr, "\n");
        return true;
    });
    if (!made) {
        std::fprintf(stderr, "cannot make the photos in %s\n", qPrintable(photoFolder()));
        return 1;
    }
    if (makeOnly)
        return 0;
    QStringList files;
    for (int i = 0; i < gPhotos; ++i)
        files << photoPath(i);
    const bool haveVips =
        !QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty();

    std::printf("%d photos of %d x %d ready in %.1f s; slideshow at %d x %d on %d cores\n", gPhotos,
                kPhotoWidth, kPhotoHeight, making.elapsed() / 1000.0, kBoxWidth, kBoxHeight,
                QThread::idealThreadCount());
    std::printf("%-6s %-40s %10s %12s %9s %9s\n", "round", "", "seconds", "stall (ms)", "pictures",
                "messages");
    double worstSeconds = 0;
    double worstStall = 0;
    for (int round = 1; round <= rounds; ++round) {
        QTemporaryDir work;
        const QString output = work.filePath(QStringLiteral("slideshow"));
        const std::optional<Run> run = exportSlideshow(files, output);
        if (!run)
            return 1;
        if (!run->failure.isEmpty() || run->written != gPhotos) {
            std::fprintf(stderr, "the export wrote %d pictures: %s\n", run->written,
                         qPrintable(run->failure));
            return 1;
        }
        // What a viewer will find.
        const auto reader =
            album::ViewerFileReader::openFile(QFile::encodeName(output).toStdString());
        if (reader.entries().size() != std::size_t(gPhotos)) {
            std::fprintf(stderr, "the container holds %zu blocks\n", reader.entries().size());
            return 1;
        }
        std::printf("%-6d %-40s %10.2f %12.1f %9d %9d\n", round, "export worker (slideshow)",
                    run->seconds, run->stallMs, run->written, run->messages);
        worstSeconds = std::max(worstSeconds, run->seconds);
        worstStall = std::max(worstStall, run->stallMs);
        if (haveVips) {
            const QString vipsDir = work.filePath(QStringLiteral("vips"));
            QDir().mkpath(vipsDir);
            const std::optional<double> vips = vipsSlideshow(files, vipsDir);
            if (vips)
                std::printf("%-6s %-40s %10.2f\n", "", "vipsthumbnail, xargs -P cores", *vips);
            else
                std::printf("%-6s %-40s %10s\n", "", "vipsthumbnail, xargs -P cores", "failed");
        }
        std::fflush(stdout);
    }
    const bool met = worstSeconds < kSecondsGoal && worstStall <= kStallGoal;
    std::printf("goal: under %.0f s and no stall above %.0f ms: %s\n", kSecondsGoal, kStallGoal,
                met ? "met" : "MISSED");
    return met ? 0 : 2;
}
