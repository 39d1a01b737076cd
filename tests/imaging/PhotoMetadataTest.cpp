#include "PhotoMetadata.h"

#include "Exif.h"
#include "GradientPictures.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "LosslessJpeg.h"
#include "TestPictures.h"

#include <QColorSpace>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <thread>
#include <vector>

using namespace imaging;

namespace {

const auto* bytesOf(const QByteArray& bytes)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

Bitmap decode(const QByteArray& jpeg)
{
    Bitmap bitmap;
    EXPECT_EQ(loadJpeg(bytesOf(jpeg), std::size_t(jpeg.size()), bitmap), Success);
    return bitmap;
}

Exiv2::Image::AutoPtr readBack(const QByteArray& jpeg)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), long(jpeg.size()));
    image->readMetadata();
    return image;
}

class PhotoMetadata : public testing::Test
{
protected:
    static void SetUpTestSuite() { initialiseExiv2(); }

    // A camera photo 640 × 480 stored sideways (orientation 6) with a thumbnail all blue,
    // XMP, IPTC and an sRGB profile.
    QString writeCameraPhoto()
    {
        const QString path = mDir.filePath(QStringLiteral("camera.jpg"));
        testpictures::writeFile(path, testsupport::jpegBytes(640, 480));
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Velko Optics";
        exif["Exif.Image.Model"] = "VX-100";
        exif["Exif.Image.Orientation"] = std::uint16_t(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2024:05:17 10:11:12";
        exif["Exif.Photo.PixelXDimension"] = std::uint32_t(640);
        exif["Exif.Photo.PixelYDimension"] = std::uint32_t(480);
        Bitmap blue;
        EXPECT_EQ(blue.allocate(160, 120), Success);
        for (std::size_t i = 0; i < blue.byteCount(); i += 3)
            blue.bits()[i + 2] = 255, blue.bits()[i] = blue.bits()[i + 1] = 0;
        QByteArray thumbnail;
        EXPECT_EQ(saveJpeg(blue, 90, thumbnail), Success);
        Exiv2::ExifThumb(exif).setJpegThumbnail(
            reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
        image->setExifData(exif);
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.title"] = "Harbour";
        xmp["Xmp.tiff.Orientation"] = "6";
        xmp["Xmp.exif.PixelXDimension"] = "640";
        image->setXmpData(xmp);
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.City"] = "Velko";
        image->setIptcData(iptc);
        Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(mIcc.constData()),
                           long(mIcc.size()));
        image->setIccProfile(icc);
        image->writeMetadata();
        return path;
    }

    QTemporaryDir mDir;
    const QByteArray mIcc = QColorSpace(QColorSpace::SRgb).iccProfile();
};

} // namespace

TEST_F(PhotoMetadata, EditedPhotoKeepsWhatTheCameraWrote)
{
    const QString source = writeCameraPhoto();
    // The edited picture: upright and cut, its own colours.
    const Bitmap edited = testpictures::quadrants(400, 592);
    QByteArray saved;
    ASSERT_EQ(saveJpeg(edited, 90, saved), Success);
    QString error;
    ASSERT_TRUE(carryMetadataForSave(source, saved, &error)) << error.toStdString();

    Exiv2::Image::AutoPtr image = readBack(saved);
    Exiv2::ExifData& exif = image->exifData();
    EXPECT_EQ(exif["Exif.Photo.DateTimeOriginal"].toString(), "2024:05:17 10:11:12");
    EXPECT_EQ(exif["Exif.Image.Make"].toString(), "Velko Optics");
    EXPECT_EQ(exif["Exif.Image.Model"].toString(), "VX-100");
    EXPECT_EQ(exif["Exif.Image.Orientation"].toLong(), 1);
    EXPECT_EQ(exif["Exif.Photo.PixelXDimension"].toLong(), 400);
    EXPECT_EQ(exif["Exif.Photo.PixelYDimension"].toLong(), 592);
    EXPECT_EQ(image->xmpData()["Xmp.dc.title"].toString(), "lang=\"x-default\" Harbour");
    EXPECT_EQ(image->xmpData()["Xmp.tiff.Orientation"].toString(), "1");
    EXPECT_EQ(image->xmpData()["Xmp.exif.PixelXDimension"].toString(), "400");
    EXPECT_EQ(image->iptcData()["Iptc.Application2.City"].toString(), "Velko");
    ASSERT_TRUE(image->iccProfileDefined());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image->iccProfile()->pData_),
                         image->iccProfile()->size_),
              mIcc);

    // The loaders see the saved picture upright, and the thumbnail they find is the new one.
    const Bitmap shown = decode(saved);
    EXPECT_EQ(shown.width(), 400);
    EXPECT_EQ(shown.height(), 592);
    const QByteArray thumbnail = exifThumbnail(bytesOf(saved), std::size_t(saved.size()));
    const Bitmap small = decode(thumbnail);
    EXPECT_EQ(small.height(), 160);
    EXPECT_NEAR(double(small.width()) / small.height(), 400.0 / 592, 0.01);
    const testpictures::Mean big = testpictures::meanOf(shown, 0, 0, 400, 592);
    const testpictures::Mean little =
        testpictures::meanOf(small, 0, 0, small.width(), small.height());
    EXPECT_NEAR(little.r, big.r, 6);
    EXPECT_NEAR(little.g, big.g, 6);
    EXPECT_NEAR(little.b, big.b, 6);
}

// A lossless turn copies the file's own blocks; carrying the metadata must replace them, not
// add a second set.
TEST_F(PhotoMetadata, TurnedFileGetsOneCopyOfEachBlock)
{
    const QString source = writeCameraPhoto();
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::optional<QByteArray> saved = losslessTransform(file.readAll(), {LosslessStep::Rotate90});
    ASSERT_TRUE(saved);
    ASSERT_TRUE(carryMetadataForSave(source, *saved, nullptr));
    EXPECT_EQ(saved->count(QByteArrayView("Exif\0\0", 6)), 1);
    EXPECT_EQ(saved->count("ICC_PROFILE"), 1);
    EXPECT_EQ(saved->count("http://ns.adobe.com/xap/1.0/"), 1);
    EXPECT_EQ(readBack(*saved)->exifData()["Exif.Photo.PixelXDimension"].toLong(), 640);
    // Shown upright 480 × 640, then turned: 640 × 480 again.
    EXPECT_EQ(decode(*saved).width(), 640);
}

TEST_F(PhotoMetadata, NothingToKeepLeavesTheBytesAlone)
{
    const QByteArray saved = testsupport::jpegBytes(64, 48);
    const QString plain = mDir.filePath(QStringLiteral("plain.jpg"));
    testpictures::writeFile(plain, testsupport::jpegBytes(32, 32));
    const QString text = mDir.filePath(QStringLiteral("notes.txt"));
    testpictures::writeFile(text, "no picture");
    for (const QString& source : {plain, text, mDir.filePath(QStringLiteral("gone.jpg"))}) {
        QByteArray bytes = saved;
        EXPECT_TRUE(carryMetadataForSave(source, bytes, nullptr)) << source.toStdString();
        EXPECT_EQ(bytes, saved);
    }
}

TEST_F(PhotoMetadata, TargetThatIsNoJpegFailsAndStaysAsItWas)
{
    const QString source = writeCameraPhoto();
    QByteArray bytes("BM not a jpeg at all");
    const QByteArray before = bytes;
    QString error;
    EXPECT_FALSE(carryMetadataForSave(source, bytes, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bytes, before);
}

// A damaged EXIF block, cut anywhere, neither crashes nor spoils the saved picture.
TEST_F(PhotoMetadata, TruncatedExifBlockNeverCrashes)
{
    const QString source = writeCameraPhoto();
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray camera = file.readAll();
    const int app1 = camera.indexOf("Exif");
    ASSERT_GT(app1, 0);
    const int length = (std::uint8_t(camera[app1 - 2]) << 8) | std::uint8_t(camera[app1 - 1]);
    const QByteArray payload = camera.mid(app1, length - 2);
    const QByteArray saved = testsupport::jpegBytes(64, 48);
    const QString damaged = mDir.filePath(QStringLiteral("damaged.jpg"));
    for (int cut = 6; cut < payload.size(); cut += 23) {
        SCOPED_TRACE(cut);
        testpictures::writeFile(
            damaged,
            testpictures::encodeJpeg(testpictures::gradient(32, 32),
                                     testpictures::JpegOptions().withApp1(payload.left(cut))));
        QByteArray bytes = saved;
        if (carryMetadataForSave(damaged, bytes, nullptr))
            EXPECT_EQ(decode(bytes).width(), 64);
        else
            EXPECT_EQ(bytes, saved);
    }
    // The file itself ends inside the block.
    testpictures::writeFile(damaged, camera.left(app1 + length / 2));
    QByteArray bytes = saved;
    carryMetadataForSave(damaged, bytes, nullptr);
    EXPECT_EQ(decode(bytes).width(), 64);
}

// The edit windows save on their own workers; Exiv2's XMP toolkit is shared between them.
TEST_F(PhotoMetadata, SavesOnSeveralThreadsAgree)
{
    const QString source = writeCameraPhoto();
    const QByteArray plain = testsupport::jpegBytes(200, 300);
    std::vector<QByteArray> results(4, plain);
    std::vector<std::thread> threads;
    for (QByteArray& bytes : results)
        threads.emplace_back(
            [&source, &bytes] { EXPECT_TRUE(carryMetadataForSave(source, bytes, nullptr)); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_NE(results.front(), plain);
    for (const QByteArray& bytes : results)
        EXPECT_EQ(bytes, results.front());
}
