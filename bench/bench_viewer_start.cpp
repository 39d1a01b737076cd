// The stand-alone viewer program VIEWERDATA.dat with 100 camera photos of 1920 x 1080 in its
// album: the time from exec until its first picture is drawn on a private Xvfb, as the viewer
// with its thumbnail strip and as the full-screen slideshow. The program says when through
// VELKO_FIRST_PICTURE_FD. One-shot figures, so a plain program printing a table.
#include "CameraPhoto.h"
#include "MadeOnce.h"
#include "TViewerFile.h"
#include "XvfbServer.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kPhotos = 100;
constexpr int kPhotoWidth = 1920;
constexpr int kPhotoHeight = 1080;
constexpr int kRuns = 30;
constexpr double kGoalMs = 300;
constexpr int kStartLimitMs = 10'000; // a program that takes longer has hung
const char* const kCacheMark = "complete-v1";

QString benchRoot()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-viewer-start");
}

QString photoPath(const char* kind, int i)
{
    return benchRoot() + QStringLiteral("/%1-%2.jpg").arg(QLatin1String(kind)).arg(i);
}

bool makePhotos()
{
    return makeOnce(benchRoot(), kCacheMark, [] {
        for (int i = 0; i < kPhotos; ++i) {
            std::fprintf(stderr, "\rmaking photo %d of %d", i + 1, kPhotos);
            if (!writeCameraJpeg(photoPath("photo", i), kPhotoWidth, kPhotoHeight, i) ||
                !writeCameraJpeg(photoPath("thumb", i), 90, 51, i))
                return false;
        }
        std::fprintf(stderr, "\n");
        return true;
    });
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The album as the export writes it, on a fresh copy of the built program.
std::string writeAlbum(const char* name, bool slideshow)
{
    const std::string path = (benchRoot() + QLatin1Char('/') + QLatin1String(name)).toStdString();
    std::filesystem::copy_file(VELKO_VIEWER_PROGRAM, path,
                               std::filesystem::copy_options::overwrite_existing);
    album::BeginViewerFile(path, 2 * kPhotos + 3);
    for (int i = 0; i < kPhotos; ++i) {
        const std::string n = std::to_string(i);
        if (!slideshow) {
            const QByteArray thumbnail = readAll(photoPath("thumb", i));
            album::AddViewerResource(path, "VELKO_THUMB" + n, thumbnail.data(),
                                     std::size_t(thumbnail.size()));
        }
        const QByteArray photo = readAll(photoPath("photo", i));
        album::AddViewerResource(path, "VELKO_PIC" + n, photo.data(), std::size_t(photo.size()));
    }
    album::AddViewerNumber16(path, "VELKO_NRPICS", kPhotos);
    album::AddViewerText(path, "VELKO_TITLE", "Lake Garda, May 2026");
    const std::uint8_t mode = slideshow ? 1 : 0;
    album::AddViewerResource(path, "VELKO_SLIDESHOW", &mode, 1);
    album::EndViewerFile();
    return path;
}

double nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// One start: exec until the program's line arrives; then it is ended. Negative on failure.
double timeOneStart(const std::string& program, const std::string& display)
{
    int line[2];
    if (pipe2(line, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, line[1], 3);
    const std::string displayVariable = "DISPLAY=" + display;
    char* environment[] = {const_cast<char*>(displayVariable.c_str()),
                           const_cast<char*>("VELKO_FIRST_PICTURE_FD=3"), nullptr};
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    const double start = nowMs();
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    close(line[1]);
    double elapsed = -1;
    if (spawned == 0) {
        pollfd fd = {line[0], POLLIN, 0};
        char text[64];
        if (poll(&fd, 1, kStartLimitMs) == 1 && read(line[0], text, sizeof text) > 0)
            elapsed = nowMs() - start;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    close(line[0]);
    return elapsed;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Prints the row; false when a start failed or the slowest missed the goal.
bool measure(const char* title, const std::string& program, const std::string& display)
{
    timeOneStart(program, display); // the file into the page cache, as a second start finds it
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const double ms = timeOneStart(program, display);
        if (ms < 0) {
            std::printf("  %-34s the first picture never came\n", title);
            return false;
        }
        times.push_back(ms);
    }
    const double slowest = *std::max_element(times.begin(), times.end());
    const bool met = slowest < kGoalMs;
    std::printf("  %-34s %9.1f ms %9.1f ms %9s  %s\n", title, median(times), slowest, "< 300 ms",
                met ? "met" : "MISSED");
    return met;
}

} // namespace

int main()
{
    if (!makePhotos()) {
        std::fprintf(stderr, "cannot make the photos under %s\n", qPrintable(benchRoot()));
        return 1;
    }
    XvfbServer server("1920x1080x24");
    if (server.display().empty()) {
        std::fprintf(stderr, "Xvfb did not start: %s\n", server.error().c_str());
        return 1;
    }
    const std::string viewer = writeAlbum("viewer", false);
    const std::string slideshow = writeAlbum("slideshow", true);

    std::printf("VIEWERDATA.dat with %d photos of %d x %d, exec to first picture drawn, %d runs"
                " on a %s screen of 1920 x 1080\n",
                kPhotos, kPhotoWidth, kPhotoHeight, kRuns, server.display().c_str());
    std::printf("  %-34s %12s %12s %9s\n", "", "median", "slowest", "goal");
    bool met = measure("photo viewer (thumbnail strip)", viewer, server.display());
    met = measure("slideshow (full screen)", slideshow, server.display()) && met;
    return met ? 0 : 1;
}
