// The export wizard exporting 100 12-megapixel photos as a slideshow at 1920 x 1080, as a user
// runs it: from the click in the save dialog to the result panel, with the copy of the viewer
// program, the worker, the settings blocks and the copy to the chosen file; and the GUI
// thread's longest stall meanwhile. A plain program printing a table; it exits non-zero when a
// goal is missed. The photos are those of bench_export.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "MadeOnce.h"
#include "TfrmCreateAlbumEXE.h"
#include "ViewerFileReader.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;
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

// The wizard offers the screen's own size: offscreen, the screen is a full-HD one.
void fullHdScreenUnlessSet(const QString& configFile)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != "offscreen")
        return;
    QFile config(configFile);
    if (config.open(QIODevice::WriteOnly))
        config.write(R"({"screens":[{"name":"bench","x":0,"y":0,"width":1920,"height":1080,)"
                     R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(configFile));
}

template <class T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "no %s\n", name);
        std::exit(1);
    }
    return found;
}

struct Run
{
    double seconds = 0;
    double stallMs = 0;
    QString result;
};

Run exportSlideshow(TfrmCreateAlbumEXE& wizard, const QString& target)
{
    wizard.setActivePageIndex(0);
    wizard.show();
    child<QRadioButton>(wizard, "rbSlideShow")->setChecked(true);
    child<QPushButton>(wizard, "btnNext")->click();
    auto* resolutions = child<QComboBox>(wizard, "cmbOptimizeRes");
    if (resolutions->currentText() != QLatin1String("1920 x 1080")) {
        std::fprintf(stderr, "the screen is %s, not 1920 x 1080\n",
                     qPrintable(resolutions->currentText()));
        std::exit(1);
    }

    Run run;
    GuiStallMonitor stalls(kStallTick);
    QElapsedTimer clock;
    // The clock starts with the click that names the file.
    auto* answer = new QTimer;
    QObject::connect(answer, &QTimer::timeout, [&, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        answer->stop();
        answer->deleteLater();
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
        stalls.start();
        clock.start();
        static_cast<QDialog*>(dialog)->accept();
    });
    answer->start(10);
    child<QPushButton>(wizard, "btnCreate")->click();
    auto* panel = child<QWidget>(wizard, "pnResult");
    pumpEventsUntil([&] { return panel->isVisible() && !wizard.isBusy(); }, 10min);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    run.stallMs = stalls.longestMs();
    run.result = child<QLabel>(wizard, "lblResult")->text();
    wizard.accept();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir settings;
    fullHdScreenUnlessSet(settings.filePath(QStringLiteral("screen.json")));
    QApplication app(argc, argv);
    int rounds = 1;
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
    QStringList files;
    for (int i = 0; i < gPhotos; ++i)
        files << photoPath(i);

    std::printf("%d photos of %d x %d ready in %.1f s; slideshow at 1920 x 1080 on %d cores\n",
                gPhotos, kPhotoWidth, kPhotoHeight, making.elapsed() / 1000.0,
                QThread::idealThreadCount());
    std::printf("%-6s %-34s %10s %12s %9s\n", "round", "", "seconds", "stall (ms)", "pictures");
    TfrmCreateAlbumEXE wizard;
    wizard.SetPhotoFiles(files);
    double worstSeconds = 0;
    double worstStall = 0;
    for (int round = 1; round <= rounds; ++round) {
        QTemporaryDir work;
        const QString target = work.filePath(QStringLiteral("slideshow"));
        const Run run = exportSlideshow(wizard, target);
        if (run.result != GetText(419)) {
            std::fprintf(stderr, "the export ended with: %s\n", qPrintable(run.result));
            return 1;
        }
        const auto reader =
            album::ViewerFileReader::openFile(QFile::encodeName(target).toStdString());
        const int pictures = int(reader.number("VELKO_NRPICS").value_or(0));
        std::printf("%-6d %-34s %10.2f %12.1f %9d\n", round, "export wizard (slideshow)",
                    run.seconds, run.stallMs, pictures);
        std::fflush(stdout);
        if (pictures != gPhotos)
            return 1;
        worstSeconds = std::max(worstSeconds, run.seconds);
        worstStall = std::max(worstStall, run.stallMs);
    }
    const bool met = worstSeconds < kSecondsGoal && worstStall <= kStallGoal;
    std::printf("goal: under %.0f s and no stall above %.0f ms: %s\n", kSecondsGoal, kStallGoal,
                met ? "met" : "MISSED");
    return met ? 0 : 2;
}
