#include "BmpCodec.h"
#include "EventLoopWait.h"
#include "FittedJpeg.h"
#include "GradientPictures.h"
#include "JpegCodec.h"
#include "PreparePipeline.h"
#include "QtImage.h"
#include "TResizeImageThread.h"
#include "TestApplication.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace upload;

namespace {

constexpr qint64 kNoLimit = 100'000'000;

class UploadImages : public testing::Test
{
protected:
    void SetUp() override { testsupport::ensureApplication(); }

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = mDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }
    QString jpeg(const QString& name, int width, int height, int quality = 90)
    {
        QByteArray bytes;
        EXPECT_EQ(imaging::saveJpeg(testsupport::gradient(width, height), quality, bytes),
                  imaging::Success);
        return write(name, bytes);
    }
    QString bmp(const QString& name, int width, int height)
    {
        QByteArray bytes;
        EXPECT_EQ(imaging::saveBmp(testsupport::gradient(width, height), bytes), imaging::Success);
        return write(name, bytes);
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static std::optional<UploadImage> make(const QString& path, ResizeMode mode, int width,
                                           int height, qint64 limit = kNoLimit)
    {
        return makeUploadImage({path, mode, width, height, limit}, nullptr);
    }
    static void expectJpegOf(const UploadImage& image, int width, int height)
    {
        const QImage decoded = imaging::decodeImage(image.bytes);
        EXPECT_EQ(decoded.size(), QSize(width, height));
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_TRUE(image.bytes.startsWith("\xFF\xD8\xFF"));
    }

    QTemporaryDir mDir;
};

TEST_F(UploadImages, MainImageIsShrunkIntoTheChosenSize)
{
    const QString photo = jpeg(QStringLiteral("big.jpg"), 800, 600);
    const auto main = make(photo, ResizeMode::MainImage, 400, 400);
    ASSERT_TRUE(main);
    expectJpegOf(*main, 400, 300);
    // The same within a limit it does not fit: nothing.
    EXPECT_FALSE(make(photo, ResizeMode::MainImage, 400, 400, 100));
}

TEST_F(UploadImages, OriginalSizeSendsASmallJpegsOwnBytes)
{
    const QString photo = jpeg(QStringLiteral("own.jpg"), 640, 480);
    const auto main = make(photo, ResizeMode::MainImage, 0, 0);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->bytes, contents(photo));
    EXPECT_EQ(main->width, 640);
    EXPECT_EQ(main->height, 480);
}

TEST_F(UploadImages, OriginalSizeAboveTheLimitIsReencodedWhenThatFits)
{
    const QString photo = jpeg(QStringLiteral("fine.jpg"), 640, 480, 100);
    FittedJpegDetails details;
    const auto reencoded = fitPictureBytes(contents(photo), 0, 0, 1, true, nullptr, details);
    ASSERT_TRUE(reencoded);
    ASSERT_LT(reencoded->size(), contents(photo).size());
    const auto main = make(photo, ResizeMode::MainImage, 0, 0, reencoded->size());
    ASSERT_TRUE(main);
    EXPECT_EQ(main->bytes, *reencoded);
    EXPECT_FALSE(make(photo, ResizeMode::MainImage, 0, 0, reencoded->size() - 1));
}

TEST_F(UploadImages, ABitmapIsAlwaysSentAsJpeg)
{
    const QString photo = bmp(QStringLiteral("scan.bmp"), 320, 240);
    for (const auto& [width, height] : {std::pair{0, 0}, std::pair{1600, 1200}}) {
        const auto main = make(photo, ResizeMode::MainImage, width, height);
        ASSERT_TRUE(main);
        expectJpegOf(*main, 320, 240);
    }
}

TEST_F(UploadImages, APhotoInsideTheBoxIsNeverLargerThanItsFile)
{
    const QString photo = jpeg(QStringLiteral("small.jpg"), 300, 200);
    const auto main = make(photo, ResizeMode::MainImage, 1600, 1200);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->width, 300);
    EXPECT_EQ(main->height, 200);
    EXPECT_LE(main->bytes.size(), contents(photo).size());
}

TEST_F(UploadImages, NoCopyOrThumbnailOfAPhotoThatAlreadyFits)
{
    const QString photo = jpeg(QStringLiteral("display.jpg"), 1024, 768);
    EXPECT_FALSE(make(photo, ResizeMode::DisplayCopy, 1024, 768));
    const auto thumbnail = make(photo, ResizeMode::Thumbnail, 160, 160);
    ASSERT_TRUE(thumbnail);
    expectJpegOf(*thumbnail, 160, 120);

    const QString tiny = jpeg(QStringLiteral("tiny.jpg"), 100, 80);
    EXPECT_FALSE(make(tiny, ResizeMode::Thumbnail, 160, 160));
}

TEST_F(UploadImages, NothingFromAFileThatIsNoPictureOrFromACancelledJob)
{
    EXPECT_FALSE(make(write(QStringLiteral("broken.jpg"), "\xFF\xD8\xFF garbage"),
                      ResizeMode::MainImage, 0, 0));
    EXPECT_FALSE(make(mDir.filePath(QStringLiteral("missing.jpg")), ResizeMode::MainImage, 0, 0));
    const imaging::CancelFlag cancel{1};
    EXPECT_FALSE(makeUploadImage(
        {jpeg(QStringLiteral("c.jpg"), 400, 300), ResizeMode::MainImage, 200, 200, kNoLimit},
        &cancel));
}

TEST_F(UploadImages, TheWorkerHandsItsImageOverInItsMessage)
{
    const QString photo = jpeg(QStringLiteral("w.jpg"), 800, 600);
    std::optional<UploadImage> received;
    int messages = 0;
    TResizeImageThread* worker = nullptr;
    TResizeImageThread thread(
        [&](const WindowMessage& message) -> qintptr {
            ++messages;
            EXPECT_EQ(message.id, WM_UPLOAD_IMAGE_READY);
            received = worker->takeResult();
            return 0;
        },
        {photo, ResizeMode::Thumbnail, 100, 100, kNoLimit});
    worker = &thread;
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(pumpUntil([&] { return messages == 1; }));
    ASSERT_TRUE(received);
    expectJpegOf(*received, 100, 75);
}

TEST_F(UploadImages, AStoppedWorkerEndsWithoutAMessage)
{
    const QString photo = jpeg(QStringLiteral("large.jpg"), 4000, 3000);
    int messages = 0;
    TResizeImageThread thread([&](const WindowMessage&) -> qintptr { return ++messages; },
                              {photo, ResizeMode::MainImage, 3999, 2999, kNoLimit});
    ASSERT_TRUE(thread.start());
    thread.stop();
    EXPECT_FALSE(thread.isRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(messages, 0);
}

class Pipeline : public UploadImages
{
protected:
    // The first photo is by far the largest, so later ones are made before it.
    QStringList photos()
    {
        return {jpeg(QStringLiteral("0.jpg"), 3000, 2000), jpeg(QStringLiteral("1.jpg"), 400, 300),
                write(QStringLiteral("2.jpg"), "not a picture"),
                jpeg(QStringLiteral("3.jpg"), 500, 400), jpeg(QStringLiteral("4.jpg"), 600, 400)};
    }

    std::vector<int> mOrder;
    std::vector<bool> mMade;
    int mFinished = 0;
};

TEST_F(Pipeline, HandsOverInListOrderWhateverFinishesFirst)
{
    PreparePipeline pipeline(
        photos(), 200, 200, kNoLimit, 3,
        [&](int index, const std::optional<UploadImage>& image) {
            mOrder.push_back(index);
            mMade.push_back(image.has_value());
        },
        [&] { ++mFinished; });
    pipeline.start();
    ASSERT_TRUE(pumpUntil([&] { return mFinished == 1; }));
    EXPECT_EQ(mOrder, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(mMade, (std::vector<bool>{true, true, false, true, true}));
    EXPECT_FALSE(pipeline.isActive());
}

TEST_F(Pipeline, CancelInsideTheHandlerStopsEverythingAfterIt)
{
    PreparePipeline* running = nullptr;
    PreparePipeline pipeline(
        photos(), 200, 200, kNoLimit, 2,
        [&](int index, const std::optional<UploadImage>&) {
            mOrder.push_back(index);
            if (index == 1)
                running->cancel(); // the cap was reached
        },
        [&] { ++mFinished; });
    running = &pipeline;
    pipeline.start();
    ASSERT_TRUE(pumpUntil([&] { return !pipeline.isActive(); }));
    // Anything late that was still queued must not arrive.
    QCoreApplication::processEvents();
    EXPECT_EQ(mOrder, (std::vector<int>{0, 1}));
    EXPECT_EQ(mFinished, 0);
}

TEST_F(Pipeline, AnEmptyListFinishesAtOnce)
{
    PreparePipeline pipeline({}, 200, 200, kNoLimit, 2, {}, [&] { ++mFinished; });
    pipeline.start();
    ASSERT_TRUE(pumpUntil([&] { return mFinished == 1; }));
}

} // namespace
