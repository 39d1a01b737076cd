#include "BmpCodec.h"
#include "FittedJpeg.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TestPictures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>


using namespace imaging;
using namespace testpictures;

TEST(FittedSize, FitsTheBoxRoundingHalvesToEven)
{
    EXPECT_EQ(fittedSize(800, 600, 92, 92).width, 92);
    EXPECT_EQ(fittedSize(800, 600, 92, 92).height, 69);
    EXPECT_EQ(fittedSize(600, 800, 92, 92).width, 69);
    EXPECT_FALSE(fittedSize(600, 800, 92, 92).unchanged);
    // Exact halves: 2.5 → 2 and 3.5 → 4.
    EXPECT_EQ(fittedSize(10, 5, 5, 5).height, 2);
    EXPECT_EQ(fittedSize(14, 7, 7, 7).height, 4);
    // The height rule wins a tie of the two ratios.
    EXPECT_EQ(fittedSize(200, 100, 100, 50).width, 100);
    EXPECT_EQ(fittedSize(5000, 1, 92, 92).height, 1); // never below one pixel
}

TEST(FittedSize, InsideTheBoxOrAreaFactorOneIsUnchanged)
{
    const FittedSize inside = fittedSize(92, 50, 92, 92);
    EXPECT_TRUE(inside.unchanged);
    EXPECT_EQ(inside.width, 92);
    const FittedSize one = fittedSize(4000, 3000, 10, 10, 1.0);
    EXPECT_TRUE(one.unchanged);
    EXPECT_EQ(one.width, 4000);
    const FittedSize quarter = fittedSize(400, 300, 10, 10, 0.25);
    EXPECT_FALSE(quarter.unchanged);
    EXPECT_EQ(quarter.width, 200);
    EXPECT_EQ(quarter.height, 150);
}

class FittedJpegTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = mDir.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    static Bitmap decode(const QByteArray& bytes)
    {
        Bitmap b;
        EXPECT_EQ(loadBitmapFromMemory(bytes, b), Success);
        return b;
    }
    QTemporaryDir mDir;
};

TEST_F(FittedJpegTest, APictureInsideTheBoxComesBackReencodedAtItsOwnSize)
{
    QByteArray bmp;
    ASSERT_EQ(saveBmp(quadrants(60, 40), bmp), Success);
    const QString file = write(QStringLiteral("small.bmp"), bmp);
    FittedJpegDetails details;
    details.resultWidth = 1234; // outputs are cleared first
    const auto stream = LoadFittedJpeg(file, 92, 92, 0, false, nullptr, details);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->startsWith("\xFF\xD8\xFF"));
    EXPECT_TRUE(details.unchanged);
    EXPECT_EQ(details.storedWidth, 60);
    EXPECT_EQ(details.resultWidth, 60);
    EXPECT_EQ(details.resultHeight, 40);
    EXPECT_EQ(decode(*stream).width(), 60);
}

TEST_F(FittedJpegTest, ShrinksIntoTheBoxAndByAreaFactor)
{
    const QString file = write(QStringLiteral("big.jpg"), encodeJpeg(quadrants(800, 600)));
    for (const bool highQuality : {false, true}) {
        FittedJpegDetails details;
        const auto stream = LoadFittedJpeg(file, 92, 92, 0, highQuality, nullptr, details);
        ASSERT_TRUE(stream);
        EXPECT_FALSE(details.unchanged);
        EXPECT_EQ(details.storedWidth, 800);
        EXPECT_EQ(details.storedHeight, 600);
        EXPECT_EQ(details.resultWidth, 92);
        EXPECT_EQ(details.resultHeight, 69);
        const Bitmap b = decode(*stream);
        EXPECT_EQ(b.width(), 92);
        EXPECT_NEAR(meanOf(b, 50, 40, 20, 20).r, 255, 10); // white quadrant
    }
    FittedJpegDetails details;
    const auto quarter = LoadFittedJpeg(file, 10, 10, 0.25, true, nullptr, details);
    ASSERT_TRUE(quarter);
    EXPECT_EQ(details.resultWidth, 400);
    EXPECT_EQ(details.resultHeight, 300);
    const auto same = LoadFittedJpeg(file, 10, 10, 1, true, nullptr, details);
    ASSERT_TRUE(same);
    EXPECT_TRUE(details.unchanged);
    EXPECT_EQ(details.resultWidth, 800);
}

TEST_F(FittedJpegTest, PortraitPhotosFitUpright)
{
    // Stored landscape, EXIF says turn a quarter clockwise.
    const QString file = write(QStringLiteral("portrait.jpg"),
                               encodeJpeg(quadrants(800, 600), JpegOptions().withApp1(exifBlock(6))));
    FittedJpegDetails details;
    ASSERT_TRUE(LoadFittedJpeg(file, 92, 92, 0, false, nullptr, details));
    EXPECT_EQ(details.storedWidth, 600);
    EXPECT_EQ(details.storedHeight, 800);
    EXPECT_EQ(details.resultWidth, 69);
    EXPECT_EQ(details.resultHeight, 92);
    const auto thumb = LoadThumbnailStream(file, 92, 0xFFFFFF);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(decode(*thumb).height(), 92);
}

TEST_F(FittedJpegTest, CancelFlagGivesNoStream)
{
    const QString file = write(QStringLiteral("big.jpg"), encodeJpeg(quadrants(800, 600)));
    CancelFlag cancel{1};
    EXPECT_FALSE(LoadFittedJpeg(file, 92, 92, 0, true, &cancel));
    // The flag is the caller's: other threads' loads go on.
    EXPECT_TRUE(LoadFittedJpeg(file, 92, 92, 0, true, nullptr));
}

TEST_F(FittedJpegTest, BadFilesGiveNoStream)
{
    const QByteArray jpeg = encodeJpeg(quadrants(64, 64));
    EXPECT_FALSE(LoadThumbnailStream(write(QStringLiteral("cut.jpg"), jpeg.left(300)), 92, 0));
    EXPECT_FALSE(LoadThumbnailStream(write(QStringLiteral("empty.jpg"), {}), 92, 0));
    EXPECT_FALSE(LoadThumbnailStream(mDir.filePath(QStringLiteral("gone.jpg")), 92, 0));
    EXPECT_FALSE(LoadThumbnailStream(write(QStringLiteral("text.jpg"), "hello"), 92, 0));
}
