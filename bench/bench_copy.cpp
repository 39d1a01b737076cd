// Copying 1 GB of camera-sized photos between two folders on a disk-backed file system:
// the Get Photos copy worker, durable and verified, against cp followed by sync, in the same
// run. One-shot figures on the disk, so a plain program printing a table.
#include "CopyFileReadOnlySafe.h"
#include "EventLoopWait.h"
#include "TCopyFilesThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kFiles = 200;
constexpr qint64 kFileSize = 5'000'000;
constexpr int kRounds = 7;
constexpr double kDurableGoal = 90; // % of cp + sync
constexpr double kVerifiedGoal = 70;

// The mount entry with the longest mount point that holds the folder.
QString fileSystemOf(const QString& folder)
{
    QFile mounts(QStringLiteral("/proc/mounts"));
    if (!mounts.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    QString best, bestType, bestSource;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QString point = QString::fromLocal8Bit(fields[1]);
        const bool holds =
            canonical == point || canonical.startsWith(point.endsWith(u'/') ? point : point + u'/');
        if (holds && point.size() >= best.size()) {
            best = point;
            bestType = QString::fromLocal8Bit(fields[2]);
            bestSource = QString::fromLocal8Bit(fields[0]);
        }
    }
    return bestType + QStringLiteral(" on ") + bestSource + QStringLiteral(" at ") + best;
}

bool onTmpfs(const QString& folder)
{
    struct statfs fs
    {};
    return ::statfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_type == TMPFS_MAGIC;
}

// Writes the source photos once; later runs reuse them.
bool makeSources(const QString& folder)
{
    QDir().mkpath(folder);
    std::mt19937_64 random(42);
    std::vector<quint64> bytes(kFileSize / 8 + 1);
    for (int i = 0; i < kFiles; ++i) {
        const QString name = folder + QStringLiteral("/IMG_%1.JPG").arg(i + 1, 4, 10, QChar(u'0'));
        if (QFileInfo(name).size() == kFileSize)
            continue;
        std::generate(bytes.begin(), bytes.end(), random);
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(bytes.data()), kFileSize) != kFileSize)
            return false;
    }
    ::sync();
    return true;
}

// Every variant starts with the sources out of the page cache and nothing dirty.
void startAlike(const QString& sources, const QString& destination)
{
    QDir(destination).removeRecursively();
    ::sync();
    for (const QFileInfo& info : QDir(sources).entryInfoList(QDir::Files)) {
        const int fd = ::open(QFile::encodeName(info.filePath()).constData(), O_RDONLY);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
    QDir().mkpath(destination);
}

double timeCpSync(const QString& sources, const QString& destination)
{
    QElapsedTimer timer;
    timer.start();
    const int status = QProcess::execute(QStringLiteral("/bin/sh"),
                                         {QStringLiteral("-c"),
                                          QStringLiteral("cp -- \"$0\"/*.JPG \"$1\"/ && sync"),
                                          sources, destination});
    if (status != 0) {
        std::fprintf(stderr, "cp failed\n");
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e9;
}

// The worker as the wizard runs it, its window being this thread's event loop. The time
// runs until WM_COPYFINISHED, when every file is on the disk under its name.
double timeWorker(const QString& sources, const QString& destination, bool verify,
                  bool kernelCopy = true)
{
    bool finished = false;
    const auto handler = [&](const WindowMessage& message) -> qintptr {
        if (message.id == WM_COPYFINISHED)
            finished = true;
        if (message.id != WM_COPYERROR && message.id != WM_COPYEXISTS)
            return 0;
        std::fprintf(stderr, "copy of %s failed\n", qPrintable(message.text));
        std::exit(1);
    };
    TCopyFilesThread worker(handler, sources, destination,
                            QDir(sources).entryList(QDir::Files, QDir::Name));
    CopyFileOptions options;
    options.verify = verify;
    options.kernelCopy = kernelCopy;
    worker.setCopyOptions(options);
    QElapsedTimer timer;
    timer.start();
    if (!worker.start() || !pumpEventsUntil([&] { return finished; }, 10min)) {
        std::fprintf(stderr, "the copy worker did not finish\n");
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e9;
}

// The one-file call, file after file, as a caller without a worker uses it.
double timeOneByOne(const QString& sources, const QString& destination, bool verify)
{
    CopyFileOptions options;
    options.verify = verify;
    const QStringList names = QDir(sources).entryList(QDir::Files, QDir::Name);
    QElapsedTimer timer;
    timer.start();
    for (const QString& name : names) {
        CopyFileFailure failure;
        if (!CopyFileReadOnlySafe(sources + u'/' + name, destination + u'/' + name, true, {},
                                  nullptr, options, &failure)) {
            std::fprintf(stderr, "copy of %s failed: %s\n", qPrintable(name),
                         qPrintable(failure.text));
            std::exit(1);
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // /tmp may be tmpfs, where flushing and dropping the cache do nothing.
    QString base =
        qEnvironmentVariable("VELKO_BENCH_COPY_DIR", QStringLiteral("/var/tmp/velko-bench-copy"));
    QDir().mkpath(base);
    if (onTmpfs(base)) {
        std::fprintf(stderr, "%s is on tmpfs; set VELKO_BENCH_COPY_DIR to a disk folder\n",
                     qPrintable(base));
        return 1;
    }
    const QString sources = base + QStringLiteral("/card");
    const QString destination = base + QStringLiteral("/photos");
    if (!makeSources(sources)) {
        std::fprintf(stderr, "cannot write the source photos in %s\n", qPrintable(sources));
        return 1;
    }
    const double megabytes = kFiles * kFileSize / 1e6;
    std::printf("%d files of %.1f MB (%.0f MB) in %s\n", kFiles, kFileSize / 1e6, megabytes,
                qPrintable(base));
    std::printf("file system: %s\n", qPrintable(fileSystemOf(base)));

    // Each variant against the cp + sync of its own round, as the disk's pace drifts.
    struct Variant
    {
        const char* name;
        double goal;
        std::function<double()> run;
        std::vector<double> seconds;
    };
    std::vector<Variant> variants = {
        {"cp + sync", 0, [&] { return timeCpSync(sources, destination); }, {}},
        {"durable copy", kDurableGoal, [&] { return timeWorker(sources, destination, false); }, {}},
        {"verified copy",
         kVerifiedGoal,
         [&] { return timeWorker(sources, destination, true); },
         {}},
        // Between two file systems, as from a card, the blocks pass through the process.
        {"durable, by read/write",
         0,
         [&] { return timeWorker(sources, destination, false, false); },
         {}},
        {"verified, by read/write",
         0,
         [&] { return timeWorker(sources, destination, true, false); },
         {}},
        {"one-file call, verified",
         0,
         [&] { return timeOneByOne(sources, destination, true); },
         {}},
    };
    for (int round = 0; round < kRounds; ++round) {
        for (Variant& variant : variants) {
            startAlike(sources, destination);
            variant.seconds.push_back(variant.run());
        }
    }
    QDir(destination).removeRecursively();

    std::printf("\nmedian of %d rounds; %% of the same round's cp + sync, lowest and highest "
                "in brackets\n",
                kRounds);
    std::printf("%-24s %7s %7s %19s %6s\n", "variant", "seconds", "MB/s", "% cp+sync", "goal");
    const std::vector<double>& reference = variants.front().seconds;
    for (const Variant& variant : variants) {
        std::vector<double> percents;
        for (int round = 0; round < kRounds; ++round)
            percents.push_back(100 * reference[round] / variant.seconds[round]);
        const auto [lowest, highest] = std::minmax_element(percents.begin(), percents.end());
        const double percent = median(percents);
        const double seconds = median(variant.seconds);
        std::printf("%-24s %7.2f %7.0f %6.0f%% (%3.0f-%3.0f%%) %6s\n", variant.name, seconds,
                    megabytes / seconds, percent, *lowest, *highest,
                    variant.goal <= 0         ? ""
                    : percent >= variant.goal ? "met"
                                              : "MISSED");
    }
    return 0;
}
