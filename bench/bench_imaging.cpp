// The imaging library on camera-sized pictures: thumbnails and fitted loads against libvips'
// command-line tools, and the edit window's full-size operations (on both cores; bench_edit
// compares those with vips).
#include "Bitmap.h"
#include "CameraPhoto.h"
#include "ColorOps.h"
#include "FittedJpeg.h"
#include "Geometry.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "JpegCodec.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

using namespace imaging;

namespace {

constexpr int kVipsCopies = 8; // files per vipsthumbnail run, so its start-up is amortised

QString benchDir()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/velko-bench-imaging");
    QDir().mkpath(dir);
    return dir;
}

// The camera-like JPEG of width × height, made on first use and kept between runs.
QString photoFile(int width, int height)
{
    const QString fileName =
        benchDir() + QStringLiteral("/photo-%1x%2-v3.jpg").arg(width).arg(height);
    if (QFileInfo(fileName).size() > 0)
        return fileName;
    return writeCameraJpeg(fileName, width, height, 0) ? fileName : QString();
}

// Megapixels as the benchmarks' argument.
QString photoForMegapixels(std::int64_t megapixels)
{
    return megapixels == 12 ? photoFile(4000, 3000) : photoFile(6000, 4000);
}

void setFileCounters(benchmark::State& state, const QString& fileName)
{
    state.counters["file_MB"] = double(QFileInfo(fileName).size()) / 1e6;
    state.SetLabel(QStringLiteral("%1 MP").arg(state.range(0)).toStdString());
}

// Hard links to one file, so a single child run reads several "different" pictures.
std::vector<std::string> linkedCopies(const QString& fileName, int count)
{
    const QString dir = benchDir() + QStringLiteral("/links-") + QFileInfo(fileName).baseName();
    QDir().mkpath(dir);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const QString link = dir + QStringLiteral("/copy%1.jpg").arg(i);
        QFile::remove(link); // the source may have been made again since
        if (::link(QFile::encodeName(fileName).constData(), QFile::encodeName(link).constData()))
            return {};
        paths.push_back(QFile::encodeName(link).toStdString());
    }
    return paths;
}

// Runs a program with VIPS_CONCURRENCY=1 and its output on /dev/null; the wall-clock seconds,
// or a negative value when it could not run or failed.
double runTimed(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::string concurrency = "VIPS_CONCURRENCY=1";
    std::vector<char*> envp;
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "VIPS_CONCURRENCY=", 17) != 0)
            envp.push_back(*entry);
    }
    envp.push_back(concurrency.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool haveProgram(benchmark::State& state, const char* name)
{
    if (!QStandardPaths::findExecutable(QLatin1String(name)).isEmpty())
        return true;
    state.SkipWithError(
        (std::string(name) + " not installed: apt-get install libvips-tools").c_str());
    return false;
}

// Runs the child once a benchmark iteration and reports its wall clock.
void timeChild(benchmark::State& state, const std::vector<std::string>& arguments, int itemsPerRun)
{
    for (auto _ : state) {
        const double seconds = runTimed(arguments);
        if (seconds < 0) {
            state.SkipWithError((arguments[0] + " failed").c_str());
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(state.iterations() * itemsPerRun);
}

void BM_Thumbnail_Ours(benchmark::State& state)
{
    const QString fileName = photoForMegapixels(state.range(0));
    for (auto _ : state) {
        auto jpeg = LoadThumbnailStream(fileName, 92, makeColorRef(255, 255, 255));
        if (!jpeg) {
            state.SkipWithError("LoadThumbnailStream failed");
            return;
        }
        benchmark::DoNotOptimize(jpeg);
    }
    state.SetItemsProcessed(state.iterations());
    setFileCounters(state, fileName);
}

void BM_Thumbnail_Vipsthumbnail(benchmark::State& state)
{
    if (!haveProgram(state, "vipsthumbnail"))
        return;
    const QString fileName = photoForMegapixels(state.range(0));
    std::vector<std::string> arguments = {"vipsthumbnail", "--size", "92x92", "-o",
                                          QFile::encodeName(benchDir()).toStdString() +
                                              "/%s_t.jpg[Q=95]"}; // our quality

    const std::vector<std::string> copies = linkedCopies(fileName, kVipsCopies);
    if (copies.empty()) {
        state.SkipWithError("could not link the test picture");
        return;
    }
    arguments.insert(arguments.end(), copies.begin(), copies.end());
    timeChild(state, arguments, kVipsCopies);
    setFileCounters(state, fileName);
}

void BM_Fit1920x1080_Ours(benchmark::State& state)
{
    const QString fileName = photoForMegapixels(24);
    for (auto _ : state) {
        auto jpeg = LoadFittedJpeg(fileName, 1920, 1080, 0, true, nullptr);
        if (!jpeg) {
            state.SkipWithError("LoadFittedJpeg failed");
            return;
        }
        benchmark::DoNotOptimize(jpeg);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Fit1920x1080_Vips(benchmark::State& state)
{
    if (!haveProgram(state, "vips"))
        return;
    const std::string in = QFile::encodeName(photoForMegapixels(24)).toStdString();
    const std::string out = QFile::encodeName(benchDir()).toStdString() + "/fitted.jpg[Q=95]";
    timeChild(state, {"vips", "thumbnail", in, out, "1920", "--height", "1080"}, 1);
}

// The 24 MP picture decoded once; every iteration works on a fresh copy of it.
const Bitmap& fullSizeBitmap()
{
    static const Bitmap bitmap = [] {
        Bitmap loaded;
        loadBitmap(photoForMegapixels(24), loaded);
        return loaded;
    }();
    return bitmap;
}

using Operation = int (*)(Bitmap&);

int rotate90(Bitmap& bitmap)
{
    return rotateBitmap(bitmap, 9000, true, 0);
}
int rotate7(Bitmap& bitmap)
{
    return rotateBitmap(bitmap, 700, true, 0);
}
int sizeHalf(Bitmap& bitmap)
{
    return sizeBitmap(bitmap, bitmap.width() / 2, bitmap.height() / 2, SizeMode::Bicubic);
}
int contrast300(Bitmap& bitmap)
{
    return changeContrast(bitmap, 300);
}
int desaturateAll(Bitmap& bitmap)
{
    return desaturate(bitmap);
}
int antiAliasAfterTurn(Bitmap& bitmap)
{
    return antiAlias(bitmap, 0, 2, 1); // what a fine turn in the editor runs
}

// Times only the operation; the copy it works on is made outside the clock.
void BM_FullSize(benchmark::State& state, Operation operation)
{
    const Bitmap& source = fullSizeBitmap();
    if (source.isNull()) {
        state.SkipWithError("could not load the 24 MP picture");
        return;
    }
    for (auto _ : state) {
        Bitmap bitmap;
        if (copyBitmap(bitmap, source) != Success) {
            state.SkipWithError("copy failed");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        const int result = operation(bitmap);
        const auto end = std::chrono::steady_clock::now();
        if (result != Success) {
            state.SkipWithError(resultText(result).toStdString().c_str());
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    const double megapixels = double(source.width()) * source.height() / 1e6;
    state.counters["MP/s"] =
        benchmark::Counter(megapixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_Thumbnail_Ours)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Thumbnail_Vipsthumbnail)
    ->Arg(12)
    ->Arg(24)
    ->MinTime(2) // a run takes half a second; one or two runs would be noise
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit1920x1080_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit1920x1080_Vips)->MinTime(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, rotate9000, rotate90)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, rotate700, rotate7)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, sizeHalfBicubic, sizeHalf)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, contrast300, contrast300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, desaturate, desaturateAll)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullSize, antiAlias, antiAliasAfterTurn)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
