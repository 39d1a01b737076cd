// The album export of 100 12-megapixel photos as a slideshow at 1920 x 1080: the export wizard
// driven offscreen from its Create button to its result panel, the export's worker alone, the
// GUI thread's longest stall during each (it handles the worker's messages), and vipsthumbnail
// making the same pictures on every core, for scale. A plain program printing a table; it exits
// non-zero when a goal is missed.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "MadeOnce.h"
#include "OffscreenDefault.h"
#include "TResizeImageThread.h"
#include "TViewerFile.h"
#include "TfrmCreateAlbumEXE.h"
#include "ViewerFileReader.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

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
    double stallEnded = 0; // s after the start
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
    run.stallEnded = stalls.longestEndedSeconds();
    album::EndViewerFile();
    // What a viewer will find.
    const auto reader = album::ViewerFileReader::openFile(outputName);
    if (run.failure.isEmpty() && reader.entries().size() != std::size_t(run.written))
        run.failure = QStringLiteral("the file holds %1 blocks").arg(reader.entries().size());
    return run;
}

// The offscreen platform's screen is 800 x 600 unless a configuration file says otherwise; the
// wizard offers the screen's own size, so it gets a 1920 x 1080 one.
void useBenchScreen(const QString& folder)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform != "offscreen")
        return;
    const QString config = folder + QStringLiteral("/screen.json");
    const QByteArray json =
        QStringLiteral("{\"screens\": [{\"name\": \"bench\", \"x\": 0, \"y\": 0, "
                       "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                       "\"logicalBaseDpi\": 96, \"dpr\": 1}]}\n")
            .arg(kBoxWidth)
            .arg(kBoxHeight)
            .toUtf8();
    if (writeBytes(config, json))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
}

template <class T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("the wizard has no ") + name);
    return found;
}

// Answers the save dialog as soon as it shows, and starts the clock with that answer.
void acceptSaveDialog(const QString& target, const std::function<void()>& accepting)
{
    QTimer::singleShot(10, [target, accepting] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            acceptSaveDialog(target, accepting);
            return;
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
        accepting();
        static_cast<QDialog*>(dialog)->accept();
    });
}

// As a user does it: the slideshow kind, 1920 x 1080, Create, a file name; timed from the
// dialog's answer until the result panel shows with the file complete.
std::optional<Run> wizardSlideshow(const QStringList& files, const QString& folder)
{
    TfrmCreateAlbumEXE wizard;
    wizard.SetPhotoFiles(files);
    wizard.setActivePageIndex(0);
    wizard.show();
    child<QRadioButton>(wizard, "rbSlideShow")->setChecked(true);
    child<QPushButton>(wizard, "btnNext")->click();
    auto* resolutions = child<QComboBox>(wizard, "cmbOptimizeRes");
    const int full =
        resolutions->findText(QStringLiteral("%1 x %2").arg(kBoxWidth).arg(kBoxHeight));
    if (full < 0)
        throw std::runtime_error("the wizard offers no 1920 x 1080");
    resolutions->setCurrentIndex(full);

    Run run;
    GuiStallMonitor stalls(kStallTick);
    QElapsedTimer clock;
    acceptSaveDialog(folder + QStringLiteral("/slideshow"), [&] {
        stalls.start();
        clock.start();
    });
    child<QPushButton>(wizard, "btnCreate")->click();
    QWidget* result = child<QWidget>(wizard, "pnResult");
    const bool ended =
        pumpEventsUntil([&] { return result->isVisible() && !wizard.isBusy(); }, 10min);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    run.stallMs = stalls.longestMs();
    run.stallEnded = stalls.longestEndedSeconds();
    if (!ended)
        throw std::runtime_error("the export did not end");
    const auto reader =
        album::ViewerFileReader::openFile(QFile::encodeName(wizard.targetFileName()).toStdString());
    run.written = int(reader.number("VELKO_NRPICS").value_or(0));
    wizard.accept();
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
    QTemporaryDir settings;
    useBenchScreen(settings.path());
    // The wizard's settings stay away from the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    QApplication app(argc, argv);
    int rounds = 1;
    // Makes the photo set only, e.g. outside the build lock: it takes a while once.
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
    std::printf("%-6s %-40s %10s %12s %9s %13s\n", "round", "", "seconds", "stall (ms)", "pictures",
                "stall at (s)");
    double worstSeconds = 0;
    double worstStall = 0;
    const auto report = [&](int round, const char* what, const Run& run) {
        std::printf("%-6s %-40s %10.2f %12.1f %9d %13.2f\n",
                    round > 0 ? QByteArray::number(round).constData() : "", what, run.seconds,
                    run.stallMs, run.written, run.stallEnded);
        std::fflush(stdout);
        worstSeconds = std::max(worstSeconds, run.seconds);
        worstStall = std::max(worstStall, run.stallMs);
        if (!run.failure.isEmpty() || run.written != gPhotos) {
            std::fprintf(stderr, "%s wrote %d pictures: %s\n", what, run.written,
                         qPrintable(run.failure));
            return false;
        }
        return true;
    };
    try {
        // The program has its plugins and dialogs loaded long before its first export; so has
        // the benchmark, with a small export first.
        {
            QTemporaryDir warmUp;
            wizardSlideshow(files.mid(0, 2), warmUp.path());
        }
        for (int round = 1; round <= rounds; ++round) {
            QTemporaryDir work;
            const std::optional<Run> wizard = wizardSlideshow(files, work.path());
            if (!wizard || !report(round, "export wizard, Create to result", *wizard))
                return 1;
            const QString output = work.filePath(QStringLiteral("worker"));
            const std::optional<Run> worker = exportSlideshow(files, output);
            if (!worker || !report(0, "export worker alone", *worker))
                return 1;
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
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_export: %s\n", error.what());
        return 1;
    }
    const bool met = worstSeconds < kSecondsGoal && worstStall <= kStallGoal;
    std::printf("goal: under %.0f s and no stall above %.0f ms: %s\n", kSecondsGoal, kStallGoal,
                met ? "met" : "MISSED");
    return met ? 0 : 2;
}
