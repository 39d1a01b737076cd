#include "BmpCodec.h"
#include "FittedJpeg.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TestPictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace imaging;
using namespace testpictures;

class ImageFileTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return mDir.filePath(name); }
    QTemporaryDir mDir;
};

TEST_F(ImageFileTest, LoadsByContentNotByName)
{
    const Bitmap picture = quadrants(64, 32);
    QByteArray bmp;
    ASSERT_EQ(saveBmp(picture, bmp), Success);
    writeFile(path(QStringLiteral("really-a-bmp.jpg")), bmp);
    writeFile(path(QStringLiteral("really-a-jpeg.bmp")), encodeJpeg(picture));
    Bitmap b;
    EXPECT_EQ(loadBitmap(path(QStringLiteral("really-a-bmp.jpg")), b), Success);
    EXPECT_EQ(b.width(), 64);
    EXPECT_EQ(b.bitsPerPixel(), 24);
    EXPECT_EQ(loadBitmap(path(QStringLiteral("really-a-jpeg.bmp")), b), Success);
    EXPECT_EQ(b.height(), 32);
}

TEST_F(ImageFileTest, FilesThatAreNoPicturesFailWithTheirReason)
{
    Bitmap b;
    PictureInfo info;
    EXPECT_EQ(loadBitmap(path(QStringLiteral("missing.jpg")), b), FileNotFound);
    EXPECT_EQ(fileInfo(path(QStringLiteral("missing.jpg")), info), FileNotFound);

    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("folder.jpg")));
    EXPECT_EQ(loadBitmap(path(QStringLiteral("folder.jpg")), b), FileOpenFailed);
    EXPECT_EQ(fileInfo(path(QStringLiteral("folder.jpg")), info), FileOpenFailed);
    EXPECT_FALSE(LoadThumbnailStream(path(QStringLiteral("folder.jpg")), 92, 0));

    writeFile(path(QStringLiteral("empty.jpg")), QByteArray());
    EXPECT_EQ(loadBitmap(path(QStringLiteral("empty.jpg")), b), FileReadFailed);
    EXPECT_EQ(fileInfo(path(QStringLiteral("empty.jpg")), info), FileReadFailed);

    writeFile(path(QStringLiteral("notes.jpg")), QByteArray("GIF89a, or a text someone renamed"));
    EXPECT_EQ(loadBitmap(path(QStringLiteral("notes.jpg")), b), FileFormatUnknown);

    const QByteArray jpeg = encodeJpeg(quadrants(64, 64));
    writeFile(path(QStringLiteral("cut.jpg")), jpeg.left(jpeg.size() / 2));
    EXPECT_EQ(loadBitmap(path(QStringLiteral("cut.jpg")), b), FileReadFailed);
    EXPECT_TRUE(b.isNull());

    QFile unreadable(path(QStringLiteral("locked.jpg")));
    writeFile(unreadable.fileName(), jpeg);
    unreadable.setPermissions(QFileDevice::Permissions());
    if (!QFile(unreadable.fileName()).open(QIODevice::ReadOnly)) { // root reads anything
        EXPECT_EQ(loadBitmap(unreadable.fileName(), b), FileOpenFailed);
    }
}

TEST_F(ImageFileTest, InfoReadsPastLongMarkers)
{
    // An APP1 block of 64 KB written four times pushes the frame header past the first read.
    JpegOptions options;
    options.app1 = QByteArray(65000, 'x');
    QByteArray jpeg = encodeJpeg(quadrants(48, 40), options);
    const qsizetype app1 = jpeg.indexOf(QByteArray("\xFF\xE1", 2));
    ASSERT_GT(app1, 0);
    const QByteArray segment = jpeg.mid(app1, 65002);
    for (int i = 0; i < 4; ++i)
        jpeg.insert(app1, segment);
    ASSERT_GT(jpeg.size(), 256 * 1024);
    writeFile(path(QStringLiteral("long.jpg")), jpeg);
    PictureInfo info;
    ASSERT_EQ(fileInfo(path(QStringLiteral("long.jpg")), info), Success);
    EXPECT_EQ(info.width, 48);
    EXPECT_EQ(info.height, 40);
}

TEST_F(ImageFileTest, SavesToMemoryInBothFormats)
{
    Bitmap picture = quadrants(40, 20);
    picture.setResolution(96, 96);
    for (const FileFormat format : {FileFormat::Jpeg, FileFormat::Bmp}) {
        QByteArray bytes;
        ASSERT_EQ(saveBitmapToBuffer(picture, format, 2, bytes), Success);
        Bitmap back;
        ASSERT_EQ(loadBitmapFromMemory(bytes, back), Success);
        EXPECT_EQ(back.width(), 40);
        EXPECT_EQ(back.xResolution(), 96);
        EXPECT_NEAR(meanOf(back, 2, 12, 6, 6).b, 255, 8);
    }
    EXPECT_EQ(resultText(NoMemory), QStringLiteral("Not enough memory"));
    EXPECT_EQ(resultText(PictureTooLarge), QStringLiteral("Not enough memory"));
    EXPECT_EQ(resultText(FileReadFailed), QStringLiteral("LT Error -7"));
}
