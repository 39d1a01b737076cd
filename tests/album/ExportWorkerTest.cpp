// The export's worker on real photos, writing into a real container that is read back: the
// blocks and their sizes, numbering without gaps, its messages, cancel, and a full disk.
#include "Bitmap.h"
#include "EventLoopWait.h"
#include "FittedJpeg.h"
#include "GradientPictures.h"
#include "JpegCodec.h"
#include "TResizeImageThread.h"
#include "TViewerFile.h"
#include "TestApplication.h"
#include "ViewerFileReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace album;

namespace {

constexpr QSize kViewerBox(811, 702);
constexpr QSize kSlideshowBox(1920, 1080);
constexpr std::int64_t kSmallPixelLimit = 100'000;
const char* const kFullDiskFolder = "VELKO_EXPORT_FULL_DISK_FOLDER";

struct Outcome
{
    std::vector<int> progress;
    int written = -1; // as the final or the failure message gives it
    QString failure;
};

struct Block
{
    std::string name;
    QSize size;
};

class ExportWorker : public testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mDir.isValid());
    }

    QString path(const QString& name) const { return mDir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }
    QString photo(const QString& name, int width, int height) const
    {
        return write(name, testsupport::jpegBytes(width, height));
    }
    // Any file stands for the copied viewer program.
    QString program() const { return write(QStringLiteral("album"), QByteArray(4093, 'P')); }

    static ExportJob job(const QString& output, QStringList files, bool slideshow)
    {
        return {output, std::move(files), slideshow, slideshow ? kSlideshowBox : kViewerBox, 3};
    }

    // Runs the worker as the wizard does: the container begun, the file handed over in each
    // message, the count taken in the last one.
    static Outcome run(const ExportJob& job,
                       const std::function<void(int, TResizeImageThread&)>& during = {})
    {
        const auto count = std::uint32_t(job.files.size());
        BeginViewerFile(QFile::encodeName(job.outputFile).toStdString(),
                        job.slideshow ? count + 4 : 2 * count + 4);
        Outcome outcome;
        bool ended = false;
        std::unique_ptr<TResizeImageThread> worker;
        worker = std::make_unique<TResizeImageThread>(
            [&](const WindowMessage& message) -> qintptr {
                EXPECT_EQ(message.id, WM_EXPORT_PROGRESS);
                const int i = int(message.wParam);
                outcome.progress.push_back(i);
                if (i >= 0 && i < job.files.size())
                    worker->setCurrentFile(job.files[i]);
                if (i == job.files.size() || i == -1)
                    outcome.written = worker->picturesWritten();
                if (i == -1)
                    outcome.failure = worker->failure();
                ended = i < 0 || i == job.files.size();
                if (during)
                    during(i, *worker);
                return 0;
            },
            job);
        EXPECT_TRUE(worker->start());
        EXPECT_TRUE(pumpUntil([&] { return ended || !worker->isRunning(); }, 60s));
        worker->stop();
        EndViewerFile();
        return outcome;
    }

    static std::vector<Block> blocks(const QString& output)
    {
        const auto reader = ViewerFileReader::openFile(QFile::encodeName(output).toStdString());
        std::vector<Block> found;
        for (const auto& entry : reader.entries()) {
            const auto bytes = reader.block(entry.name);
            imaging::PictureInfo info;
            EXPECT_EQ(imaging::readJpegInfo(bytes->data(), bytes->size(), info), imaging::Success)
                << entry.name;
            found.push_back({entry.name, QSize(info.width, info.height)});
        }
        return found;
    }

    static std::vector<int> upTo(int last)
    {
        std::vector<int> numbers;
        for (int i = 0; i <= last; ++i)
            numbers.push_back(i);
        return numbers;
    }

    QTemporaryDir mDir;
};

bool operator==(const Block& a, const Block& b)
{
    return a.name == b.name && a.size == b.size;
}

void PrintTo(const Block& block, std::ostream* out)
{
    *out << block.name << ' ' << block.size.width() << 'x' << block.size.height();
}

TEST_F(ExportWorker, TheViewerGetsAThumbnailAndAPictureForEachPhotoInListOrder)
{
    const QStringList files{photo(QStringLiteral("wide.jpg"), 1600, 1200),
                            photo(QStringLiteral("tall.jpg"), 600, 800),
                            photo(QStringLiteral("tiny.jpg"), 80, 60)};
    const QString output = program();
    const Outcome outcome = run(job(output, files, false));
    EXPECT_EQ(outcome.progress, upTo(3));
    EXPECT_EQ(outcome.written, 3);
    const std::vector<Block> expected{{"VELKO_THUMB0", {90, 68}}, {"VELKO_PIC0", {811, 608}},
                                      {"VELKO_THUMB1", {68, 90}}, {"VELKO_PIC1", {526, 702}},
                                      {"VELKO_THUMB2", {80, 60}}, {"VELKO_PIC2", {80, 60}}};
    EXPECT_EQ(blocks(output), expected);
}

TEST_F(ExportWorker, ASlideshowGetsPicturesOnly)
{
    const QStringList files{photo(QStringLiteral("a.jpg"), 1600, 1200),
                            photo(QStringLiteral("b.jpg"), 2400, 1000),
                            photo(QStringLiteral("c.jpg"), 600, 800)};
    const QString output = program();
    const Outcome outcome = run(job(output, files, true));
    EXPECT_EQ(outcome.progress, upTo(3));
    EXPECT_EQ(outcome.written, 3);
    const std::vector<Block> expected{
        {"VELKO_PIC0", {1440, 1080}}, {"VELKO_PIC1", {1920, 800}}, {"VELKO_PIC2", {600, 800}}};
    EXPECT_EQ(blocks(output), expected);
}

enum class Unreadable
{
    Garbage,
    Missing,
    // Its thumbnail can be made, its picture not (larger than the pixel limit at that scale).
    PictureFails,
};

class UnreadablePhoto : public ExportWorker,
                        public testing::WithParamInterface<std::tuple<Unreadable, bool>>
{
protected:
    void TearDown() override { imaging::setPixelLimit(imaging::kDefaultPixelLimit); }
};

TEST_P(UnreadablePhoto, LeavesNoNumberBehind)
{
    const auto [kind, slideshow] = GetParam();
    QString bad;
    switch (kind) {
    case Unreadable::Garbage:
        bad = write(QStringLiteral("bad.jpg"), "\xFF\xD8\xFF not a picture");
        break;
    case Unreadable::Missing:
        bad = path(QStringLiteral("gone.jpg"));
        break;
    case Unreadable::PictureFails:
        bad = photo(QStringLiteral("big.jpg"), 1600, 1200);
        imaging::setPixelLimit(kSmallPixelLimit);
        break;
    }
    const QStringList files{photo(QStringLiteral("first.jpg"), 320, 240), bad,
                            photo(QStringLiteral("last.jpg"), 240, 320)};
    const QString output = program();
    const Outcome outcome = run(job(output, files, slideshow));
    EXPECT_EQ(outcome.progress, upTo(3));
    EXPECT_EQ(outcome.written, 2);
    std::vector<Block> expected;
    if (!slideshow)
        expected.push_back({"VELKO_THUMB0", {90, 68}});
    expected.push_back({"VELKO_PIC0", {320, 240}});
    if (!slideshow)
        expected.push_back({"VELKO_THUMB1", {68, 90}});
    expected.push_back({"VELKO_PIC1", {240, 320}});
    EXPECT_EQ(blocks(output), expected);
}

std::string unreadableName(const testing::TestParamInfo<UnreadablePhoto::ParamType>& info)
{
    static const char* const kinds[] = {"Garbage", "Missing", "PictureFails"};
    return std::string(kinds[int(std::get<0>(info.param))]) +
           (std::get<1>(info.param) ? "InSlideshow" : "InViewer");
}

INSTANTIATE_TEST_SUITE_P(ExportWorker, UnreadablePhoto,
                         testing::Combine(testing::Values(Unreadable::Garbage, Unreadable::Missing,
                                                          Unreadable::PictureFails),
                                          testing::Bool()),
                         unreadableName);

TEST_F(ExportWorker, CancelInAMessageKeepsExactlyThePhotosBeforeIt)
{
    QStringList files;
    for (int i = 0; i < 6; ++i)
        files << photo(QStringLiteral("p%1.jpg").arg(i), 640, 480);
    const QString output = program();
    const Outcome outcome = run(job(output, files, false), [](int i, TResizeImageThread& worker) {
        if (i == 2)
            worker.stop();
    });
    EXPECT_EQ(outcome.progress, upTo(2));
    const std::vector<Block> expected{{"VELKO_THUMB0", {90, 68}},
                                      {"VELKO_PIC0", {640, 480}},
                                      {"VELKO_THUMB1", {90, 68}},
                                      {"VELKO_PIC1", {640, 480}}};
    EXPECT_EQ(blocks(output), expected);
}

// The cancel lands while the helpers are busy; the container must stay whole, in pairs.
TEST_F(ExportWorker, CancelWhilePicturesAreMadeStopsWithoutFurtherBlocks)
{
    QStringList files;
    for (int i = 0; i < 16; ++i)
        files << photo(QStringLiteral("p%1.jpg").arg(i), 1600, 1200);
    const QString output = program();
    int written = -1;
    const Outcome outcome = run(job(output, files, false), [&](int i, TResizeImageThread& worker) {
        if (i == 3)
            QTimer::singleShot(0, [&] {
                worker.stop();
                written = worker.picturesWritten();
            });
    });
    ASSERT_GE(written, 3);
    ASSERT_LT(written, 16) << "the export ended before the cancel arrived";
    EXPECT_EQ(outcome.progress, upTo(int(outcome.progress.size()) - 1));
    const std::vector<Block> found = blocks(output);
    ASSERT_EQ(found.size(), std::size_t(2 * written));
    for (int n = 0; n < written; ++n) {
        EXPECT_EQ(found[2 * n].name, "VELKO_THUMB" + std::to_string(n));
        EXPECT_EQ(found[2 * n + 1], (Block{"VELKO_PIC" + std::to_string(n), {811, 608}}));
    }
}

// Runs only in the child process that the full-disk test starts under a file-size limit.
TEST_F(ExportWorker, FullDiskChild)
{
    const QString folder = qEnvironmentVariable(kFullDiskFolder);
    if (folder.isEmpty())
        GTEST_SKIP() << "the full-disk test runs this in a child process";
    QStringList files;
    for (int i = 0; i < 10; ++i)
        files << folder + QStringLiteral("/p%1.jpg").arg(i);
    const Outcome outcome = run(job(folder + QStringLiteral("/album"), files, true));
    QString report = QString::number(outcome.written);
    for (const int i : outcome.progress)
        report += QLatin1Char(' ') + QString::number(i);
    report += QLatin1Char('\n') + outcome.failure;
    QFile out(folder + QStringLiteral("/report"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(report.toUtf8());
}

// A file-size limit stands for a full disk; it binds root too.
TEST_F(ExportWorker, AFullDiskEndsTheExportWithTheSystemsReason)
{
    for (int i = 0; i < 10; ++i)
        photo(QStringLiteral("p%1.jpg").arg(i), 1600, 1200);
    const QString output = program();
    // The program, its directory and two pictures fit, with room to spare but not for a third.
    FittedJpegDetails details;
    const auto picture = fitPictureBytes(testsupport::jpegBytes(1600, 1200), kSlideshowBox.width(),
                                         kSlideshowBox.height(), 0, true, nullptr, details);
    ASSERT_TRUE(picture);
    const qint64 directory = 8 + 32 * (10 + 4) + 16;
    const rlimit limit{rlim_t(QFile(output).size() + directory + picture->size() * 5 / 2),
                       RLIM_INFINITY};
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--gtest_filter=ExportWorker.FullDiskChild")});
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFullDiskFolder), mDir.path());
    child.setProcessEnvironment(environment);
    child.setChildProcessModifier([limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    child.start();
    ASSERT_TRUE(child.waitForFinished(120'000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();

    QFile reportFile(path(QStringLiteral("report")));
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(reportFile.readAll()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    const QStringList numbers = lines[0].split(QLatin1Char(' '));
    const int written = numbers[0].toInt();
    EXPECT_EQ(written, 2);
    // The photo that could not be written is the last one announced.
    EXPECT_EQ(numbers.mid(1).join(QLatin1Char(' ')), QStringLiteral("0 1 2 -1"));
    EXPECT_TRUE(lines[1].contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(output)) << lines[1].toStdString();

    const std::vector<Block> found = blocks(output);
    ASSERT_EQ(found.size(), std::size_t(written));
    for (int n = 0; n < written; ++n)
        EXPECT_EQ(found[n], (Block{"VELKO_PIC" + std::to_string(n), {1440, 1080}}));
}

} // namespace
