// The slideshow on 24-megapixel photos at 1920 x 1080: the time from a slide step until the
// picture is painted, with the next picture prepared ahead and without, and the GUI thread's
// longest stall during each show. One-shot figures, so a plain program printing a table.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "MadeOnce.h"
#include "TfrmViewer.h"
#include "uLanguage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
// One more than the steps, so that no step of a show comes back to a photo it loaded.
constexpr int kSteps = 10;
constexpr int kPhotos = kSteps + 2;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// What a slide stays on screen between the benchmark's steps: time enough to prepare the next.
constexpr int kDwellMs = 2000;

constexpr double kColdGoal = 250;    // ms
constexpr double kPreparedGoal = 30; // ms
constexpr double kStallGoal = 16;    // ms, one frame at 60 Hz

constexpr int kStallTick = 5;               // ms
constexpr int kPictureTimeLimit = 30'000;   // ms; a picture that takes longer has hung
constexpr unsigned kRunTimeLimit = 10 * 60; // s; ends the run even if the GUI thread hangs
const char* const kCacheMark = "complete-v1";

QString benchRoot()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-viewer");
}

QString photoPath(int i)
{
    return benchRoot() + QStringLiteral("/photos/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
}

bool makePhotos()
{
    return makeOnce(benchRoot(), kCacheMark, [] {
        if (!QDir().mkpath(benchRoot() + QStringLiteral("/photos")))
            return false;
        for (int i = 0; i < kPhotos; ++i) {
            std::fprintf(stderr, "\rmaking photo %d of %d", i + 1, kPhotos);
            if (!writeCameraJpeg(photoPath(i), kPhotoWidth, kPhotoHeight, i))
                return false;
        }
        std::fprintf(stderr, "\n");
        return true;
    });
}

// The offscreen platform's screen is 800 x 600 unless a configuration file says otherwise.
void useBenchScreen()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != "offscreen")
        return;
    const QString config = benchRoot() + QStringLiteral("/screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("{\"screens\": [{\"name\": \"bench\", \"x\": 0, \"y\": 0, "
                              "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                              "\"logicalBaseDpi\": 96, \"dpr\": 1}]}\n")
                   .arg(kScreenWidth)
                   .arg(kScreenHeight)
                   .toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
}

// Private settings, and no session bus: the slideshow's screensaver inhibition ends at once
// instead of reaching the machine's desktop.
void redirectEnvironment()
{
    const QByteArray config = QFile::encodeName(benchRoot() + QStringLiteral("/config"));
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("XDG_CONFIG_DIRS", config);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(benchRoot() + QStringLiteral("/cache")));
    const QString runtime = benchRoot() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
}

// Tells the GUI thread's own work from time it lost to other processes on the machine.
double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Show
{
    std::vector<double> stepsMs;  // from the step until the picture was painted
    std::vector<double> guiCpuMs; // of those, the GUI thread's own CPU time
    int shownInStep = 0;          // steps whose picture came from within slideStep() itself
    double stallMs = 0;
    bool complete = false;
};

Show runShow(const QStringList& files, bool prepareAhead)
{
    Show show;
    TfrmViewer window;
    window.setMode(TfrmViewer::Mode::Slideshow);
    // The benchmark steps by itself; the window's own timer never comes due.
    window.setSlideInterval(60 * 60'000);
    window.setPrepareAhead(prepareAhead);
    window.setPhotoFiles(files);

    int shown = -1;
    bool inStep = false;
    bool shownInStep = false;
    QObject::connect(&window, &TfrmViewer::pictureShown, &window, [&](int index) {
        // On screen once painted: the paint the window would do next, done now.
        window.repaint();
        shown = index;
        shownInStep = inStep;
    });
    window.showFullScreen();
    if (!pumpUntil([&] { return shown == 0; }, std::chrono::milliseconds(kPictureTimeLimit)))
        return show;
    pumpFor(std::chrono::milliseconds(kDwellMs));

    GuiStallMonitor stalls(kStallTick);
    stalls.start();
    for (int step = 1; step <= kSteps; ++step) {
        shownInStep = false;
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuMs();
        inStep = true;
        window.slideStep();
        inStep = false;
        if (!pumpUntil([&] { return shown == step; }, std::chrono::milliseconds(kPictureTimeLimit)))
            return show;
        show.stepsMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        show.guiCpuMs.push_back(threadCpuMs() - cpuStart);
        show.shownInStep += shownInStep ? 1 : 0;
        pumpFor(std::chrono::milliseconds(kDwellMs));
    }
    stalls.stop();
    show.stallMs = stalls.longestMs();
    show.complete = true;
    return show;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double maximum(const std::vector<double>& values)
{
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

// A figure that never came (a negative value) prints as "-" and misses its goal.
void printRow(const char* measure, double value, double goal)
{
    char figure[32] = "-";
    if (value >= 0)
        std::snprintf(figure, sizeof figure, "%.1f ms", value);
    char target[32] = "-";
    if (goal > 0)
        std::snprintf(target, sizeof target, "< %.0f ms", goal);
    const char* verdict = goal <= 0 ? "" : value >= 0 && value < goal ? "met" : "MISSED";
    std::printf("  %-40s %12s %12s  %s\n", measure, figure, target, verdict);
}

void printShow(const char* title, const Show& show, double goal)
{
    std::printf("\n%s\n", title);
    printRow("step to picture on screen, median", median(show.stepsMs), 0);
    printRow("step to picture on screen, max", maximum(show.stepsMs), goal);
    printRow("longest GUI stall", show.complete ? show.stallMs : -1, kStallGoal);
    std::printf("  notes: %d of %zu steps shown from within the step%s\n", show.shownInStep,
                show.stepsMs.size(), show.complete ? "" : "; INCOMPLETE (a picture never came)");
    std::printf("         steps, ms (GUI thread CPU):");
    for (std::size_t i = 0; i < show.stepsMs.size(); ++i)
        std::printf(" %.1f (%.1f)", show.stepsMs[i], show.guiCpuMs[i]);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QDir().mkpath(benchRoot());
    useBenchScreen();
    redirectEnvironment();
    QApplication app(argc, argv);
    if (!makePhotos()) {
        std::fprintf(stderr, "could not make the photos under %s\n", qPrintable(benchRoot()));
        return 1;
    }
    ::alarm(kRunTimeLimit);
    LoadLanguage();

    QStringList files;
    for (int i = 0; i < kPhotos; ++i)
        files << photoPath(i);

    std::fprintf(stderr, "slideshow, next picture prepared ahead\n");
    const Show prepared = runShow(files, true);
    std::fprintf(stderr, "slideshow, cold\n");
    const Show cold = runShow(files, false);

    const QSize screen = QApplication::primaryScreen()->size();
    std::printf("slideshow on a %d x %d screen; %d photos %d x %d; %d steps per show, %d ms "
                "between steps\n",
                screen.width(), screen.height(), kPhotos, kPhotoWidth, kPhotoHeight, kSteps,
                kDwellMs);
    std::printf("  %-40s %12s %12s\n", "measure", "figure", "goal");
    printShow("next picture prepared ahead", prepared, kPreparedGoal);
    printShow("cold (nothing prepared)", cold, kColdGoal);
    return prepared.complete && cold.complete ? 0 : 1;
}
