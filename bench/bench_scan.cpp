// Ten feeder pages from SANE's test backend saved as JPEG files: the program's scanner session
// against scanimage --batch --format=jpeg with the same options, in the same run, alternating,
// median of several rounds. Also the longest stall of the GUI thread during our scans.
//
// Each side runs as a process of its own with a time limit: the test backend's reader thread
// is ended with an asynchronous cancel and now and then dies holding a malloc lock, which
// hangs scanimage and us alike. Such a round is counted and run again.
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "SaneSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr int kPages = 10;
constexpr int kStallTick = 1; // ms
constexpr double kGoal = 90;  // % of scanimage's speed
const char* const kSource = "Automatic Document Feeder";

struct Setting
{
    QByteArray name;
    QVariant value;
    const char* scanimageOption; // scanimage spells the scan area as width and height
};

// A colour A4-ish page at 300 dpi, so that encoding and scanning both weigh.
const std::vector<Setting>& settings()
{
    static const std::vector<Setting> list = {
        {"mode", QStringLiteral("Color"), "--mode"},
        {"resolution", 300, "--resolution"},
        {"test-picture", QStringLiteral("Color pattern"), "--test-picture"},
        {"br-x", 150.0, "-x"},
        {"br-y", 200.0, "-y"},
        {"source", QString::fromLatin1(kSource), "--source"},
    };
    return list;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds of CPU (user and system) used so far by this process, or by its waited-for children.
double cpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int jpegCount(const QString& folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files).size());
}

constexpr int kRoundLimitMs = 30'000;
constexpr int kMaxRetries = 10;

// Seconds for scanimage to scan the feeder into folder (and the CPU seconds it used);
// nullopt on failure or a hang.
std::optional<double> runScanimage(const QString& folder, double& cpu)
{
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QStringList arguments = {QStringLiteral("-d"), QStringLiteral("test:0"),
                             QStringLiteral("--format=jpeg"),
                             QStringLiteral("--batch=") + folder + QStringLiteral("/out%d.jpg")};
    for (const Setting& s : settings())
        arguments << QString::fromLatin1(s.scanimageOption) << s.value.toString();
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("scanimage"), arguments);
    if (!process.waitForFinished(kRoundLimitMs) || jpegCount(folder) != kPages) {
        process.kill();
        process.waitForFinished();
        std::fprintf(stderr, "scanimage failed: %s\n", process.readAllStandardError().constData());
        return std::nullopt;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    return seconds;
}

// Seconds from creating a session to the tenth page on disk, the GUI thread's longest stall
// while scanning, and the CPU seconds of all threads meanwhile.
std::optional<double> runSession(const QString& folder, double& longestStallMs, double& cpu)
{
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    SaneSession session;
    std::optional<bool> opened;
    std::optional<QList<SaneOption>> options;
    int optionsSet = 0;
    std::optional<int> pages;
    QObject::connect(&session, &SaneSession::opened, &session,
                     [&](bool ok, const QString&) { opened = ok; });
    QObject::connect(&session, &SaneSession::optionsRead, &session,
                     [&](const QList<SaneOption>& list) { options = list; });
    QObject::connect(&session, &SaneSession::optionSet, &session,
                     [&](int, bool, bool, const QString&) { ++optionsSet; });
    QObject::connect(&session, &SaneSession::scanFinished, &session,
                     [&](int saved, int, const QString&) { pages = saved; });
    session.open("test:0");
    session.readOptions();
    if (!pumpEventsUntil([&] { return options.has_value(); }) || !opened.value_or(false))
        return std::nullopt;
    int wanted = 0;
    for (const Setting& s : settings()) {
        // Indexes stay put on the test device when the mode reloads the options.
        if (const SaneOption* option = findSaneOption(*options, s.name)) {
            session.setOption(option->index, s.value);
            ++wanted;
        }
    }
    if (!pumpEventsUntil([&] { return optionsSet == wanted; }))
        return std::nullopt;

    GuiStallMonitor stalls(kStallTick);
    stalls.start();
    session.startScan(folder);
    const bool scanned = pumpEventsUntil([&] { return pages.has_value(); }, 120s);
    stalls.stop();
    longestStallMs = std::max(longestStallMs, stalls.longestMs());
    if (!scanned || *pages != kPages)
        return std::nullopt;
    const double seconds = timer.nsecsElapsed() / 1e9;
    cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    return seconds;
}

// Milliseconds to encode one of the pages at a libjpeg quality, median of several.
double encodeMs(const imaging::Bitmap& page, int quality)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        imaging::saveJpeg(page, quality, bytes);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

struct SessionRound
{
    double seconds;
    double stallMs;
    double cpu;
};

// Our side in a child process: its seconds, longest stall and CPU seconds on stdout.
std::optional<SessionRound> runSessionProcess(const QString& folder)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--session-round"), folder});
    if (!process.waitForFinished(kRoundLimitMs) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3)
        return std::nullopt;
    return SessionRound{fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble()};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--session-round") == 0) {
        double stall = 0, cpu = 0;
        const std::optional<double> seconds =
            runSession(QString::fromLocal8Bit(argv[2]), stall, cpu);
        if (!seconds)
            return 1;
        std::printf("%f %f %f\n", *seconds, stall, cpu);
        return 0;
    }
    QTemporaryDir config;
    {
        QFile dll(config.filePath(QStringLiteral("dll.conf")));
        QFile test(config.filePath(QStringLiteral("test.conf")));
        if (!dll.open(QIODevice::WriteOnly) || !test.open(QIODevice::WriteOnly))
            return 1;
        dll.write("test\n");
        // The backend's own default resolution is wrong unless the configuration gives one.
        test.write("resolution 50.0\n");
    }
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config.path()));

    std::vector<double> ours, theirs, oursCpu, theirsCpu;
    double longestStallMs = 0;
    int scanimageHangs = 0, sessionHangs = 0;
    imaging::Bitmap samplePage;
    while (int(ours.size()) < kRounds) {
        if (scanimageHangs + sessionHangs > kMaxRetries) {
            std::fprintf(stderr, "too many failed rounds\n");
            return 1;
        }
        QTemporaryDir a, b;
        double scanimageCpu = 0;
        const std::optional<double> scanimage = runScanimage(a.path(), scanimageCpu);
        const auto session = runSessionProcess(b.path());
        scanimageHangs += !scanimage;
        sessionHangs += !session;
        if (!scanimage || !session || jpegCount(b.path()) != kPages)
            continue;
        if (samplePage.isNull()) {
            QFile file(a.filePath(QStringLiteral("out1.jpg")));
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = file.readAll();
                imaging::loadJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  std::size_t(bytes.size()), samplePage);
            }
        }
        theirs.push_back(*scanimage);
        theirsCpu.push_back(scanimageCpu);
        ours.push_back(session->seconds);
        oursCpu.push_back(session->cpu);
        longestStallMs = std::max(longestStallMs, session->stallMs);
    }
    const double percent = 100 * median(theirs) / median(ours);
    std::printf("%d feeder pages, colour 300 dpi 150x200 mm, median of %d rounds\n", kPages,
                kRounds);
    std::printf("  scanimage --batch --format=jpeg  %.3f s\n", median(theirs));
    std::printf("  SaneSession                      %.3f s  (%.0f %% of scanimage's speed, goal "
                "%.0f %%)\n",
                median(ours), percent, kGoal);
    // On this many cores no overlap of scanning and encoding can end sooner than this.
    const int cores = std::max(1, QThread::idealThreadCount());
    std::printf("  CPU time: scanimage %.3f s, ours %.3f s; ours on %d cores at best %.3f s\n",
                median(theirsCpu), median(oursCpu), cores, median(oursCpu) / cores);
    std::printf("  longest GUI-thread stall while scanning: %.1f ms (goal 16 ms)\n",
                longestStallMs);
    // scanimage has no quality setting: it encodes at libjpeg's default of 75.
    if (!samplePage.isNull())
        std::printf("  encoding one page: quality factor 2 (%d) %.1f ms, quality 75 %.1f ms\n",
                    imaging::jpegQualityForFactor(2),
                    encodeMs(samplePage, imaging::jpegQualityForFactor(2)),
                    encodeMs(samplePage, 75));
    std::printf("  rounds run again after a hang in the test backend: scanimage %d, ours %d\n",
                scanimageHangs, sessionHangs);
    return percent >= kGoal && longestStallMs <= 16 ? 0 : 2;
}
