#include "Cancel.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

using namespace imaging;
using namespace testpictures;

namespace {

JpegDecodeOptions scaled(int width, int height)
{
    JpegDecodeOptions options;
    options.minimumWidth = width;
    options.minimumHeight = height;
    return options;
}

const std::uint8_t* bytesOf(const QByteArray& a)
{
    return reinterpret_cast<const std::uint8_t*>(a.constData());
}

int load(const QByteArray& bytes, Bitmap& out, const JpegDecodeOptions& options = {})
{
    return loadJpeg(bytesOf(bytes), std::size_t(bytes.size()), out, options);
}

// Red, green, blue and white quadrants survive with a small error.
void expectQuadrants(const Bitmap& b, double tolerance = 12)
{
    const int w = b.width(), h = b.height();
    const int qw = w / 4, qh = h / 4;
    const Mean red = meanOf(b, w / 4, h / 8 + qh / 2, qw, qh / 2);
    const Mean green = meanOf(b, w / 2 + qw / 2, h / 4, qw / 2, qh);
    const Mean blue = meanOf(b, w / 8, h / 2 + qh / 2, qw, qh);
    const Mean white = meanOf(b, w / 2 + qw / 2, h / 2 + qh / 2, qw, qh);
    EXPECT_NEAR(red.r, 255, tolerance);
    EXPECT_NEAR(red.g, 0, tolerance);
    EXPECT_NEAR(green.g, 255, tolerance);
    EXPECT_NEAR(green.r, 0, tolerance);
    EXPECT_NEAR(blue.b, 255, tolerance);
    EXPECT_NEAR(blue.r, 0, tolerance);
    EXPECT_NEAR(white.r, 255, tolerance);
    EXPECT_NEAR(white.b, 255, tolerance);
}

} // namespace

TEST(JpegCodec, RoundTripKeepsSizePixelsAndResolution)
{
    Bitmap picture = quadrants(128, 96);
    picture.setResolution(300, 150);
    QByteArray bytes;
    ASSERT_EQ(saveJpeg(picture, jpegQualityForFactor(2), bytes), Success);
    PictureInfo info;
    ASSERT_EQ(readJpegInfo(bytesOf(bytes), std::size_t(bytes.size()), info), Success);
    EXPECT_EQ(info.width, 128);
    EXPECT_EQ(info.height, 96);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_EQ(info.xResolution, 300);
    EXPECT_EQ(info.yResolution, 150);

    Bitmap decoded;
    ASSERT_EQ(load(bytes, decoded), Success);
    EXPECT_EQ(decoded.width(), 128);
    EXPECT_EQ(decoded.height(), 96);
    EXPECT_EQ(decoded.xResolution(), 300);
    expectQuadrants(decoded);
}

TEST(JpegCodec, DecodesGreyProgressiveAndCmyk)
{
    const Bitmap picture = quadrants(64, 64);
    Bitmap grey;
    ASSERT_EQ(load(encodeJpeg(picture, JpegOptions().withColor(JpegColor::Grey)), grey), Success);
    EXPECT_EQ(grey.bitsPerPixel(), 8);
    const Mean redAsGrey = meanOf(grey, 16, 16, 8, 8);
    EXPECT_NEAR(redAsGrey.r, 76, 6); // 0.299 × 255
    EXPECT_EQ(redAsGrey.r, redAsGrey.g);
    EXPECT_EQ(redAsGrey.g, redAsGrey.b);

    Bitmap progressive;
    ASSERT_EQ(load(encodeJpeg(picture, JpegOptions().asProgressive()), progressive), Success);
    expectQuadrants(progressive);

    Bitmap cmyk;
    ASSERT_EQ(load(encodeJpeg(picture, JpegOptions().withColor(JpegColor::Cmyk)), cmyk), Success);
    EXPECT_EQ(cmyk.bitsPerPixel(), 32);
    expectQuadrants(cmyk);
}

TEST(JpegCodec, ResolutionComesFromJfifElseExif)
{
    const Bitmap picture = quadrants(32, 32);
    PictureInfo info;
    const QByteArray perCm = encodeJpeg(picture, JpegOptions().withDensity(2, 118, 59));
    ASSERT_EQ(readJpegInfo(bytesOf(perCm), std::size_t(perCm.size()), info), Success);
    EXPECT_EQ(info.xResolution, 300);
    EXPECT_EQ(info.yResolution, 150);

    // JFIF without a unit gives an aspect ratio only; EXIF then tells.
    const QByteArray exif = encodeJpeg(picture, JpegOptions().withApp1(exifBlock(1, 240, 240, true)));
    ASSERT_EQ(readJpegInfo(bytesOf(exif), std::size_t(exif.size()), info), Success);
    EXPECT_EQ(info.xResolution, 240);
    EXPECT_EQ(info.yResolution, 240);
}

TEST(JpegCodec, ScaledDecodeIsTheSmallestScaleThatCovers)
{
    const QByteArray bytes = encodeJpeg(quadrants(800, 600));
    Bitmap b;
    ASSERT_EQ(load(bytes, b, scaled(92, 69)), Success);
    EXPECT_EQ(b.width(), 100); // 1/8
    EXPECT_EQ(b.height(), 75);
    ASSERT_EQ(load(bytes, b, scaled(101, 10)), Success);
    EXPECT_EQ(b.width(), 200); // 2/8: 1/8 would be narrower than asked
    ASSERT_EQ(load(bytes, b, scaled(799, 1)), Success);
    EXPECT_EQ(b.width(), 800);
    ASSERT_EQ(load(bytes, b, scaled(5000, 5000)), Success);
    EXPECT_EQ(b.width(), 800); // never enlarged by the decoder
    expectQuadrants(b);
}

TEST(JpegCodec, BadDataFailsWithACode)
{
    const QByteArray good = encodeJpeg(quadrants(64, 48), JpegOptions().asProgressive());
    Bitmap b;
    EXPECT_EQ(load(QByteArray(), b), FileReadFailed);
    EXPECT_EQ(load(QByteArray("not a jpeg at all"), b), FileFormatUnknown);
    // Every truncation fails cleanly; the header-only ones say so for retrying with more.
    for (qsizetype n = 3; n < good.size() - 2; n += 7) {
        const int result = load(good.left(n), b);
        EXPECT_NE(result, Success) << "cut at " << n;
    }
    PictureInfo info;
    EXPECT_EQ(readJpegInfo(bytesOf(good), 20, info), FileReadFailed);

    // Damaged entropy data.
    QByteArray damaged = encodeJpeg(quadrants(256, 256), JpegOptions().withQuality(90));
    for (qsizetype i = damaged.size() / 2; i < damaged.size() / 2 + 40; ++i)
        damaged[i] = char(0xFF);
    EXPECT_NE(load(damaged, b), Success);
}

TEST(JpegCodec, RefusesPicturesAboveThePixelLimitBeforeDecoding)
{
    const QByteArray bytes = encodeJpeg(quadrants(64, 64));
    const auto previous = pixelLimit();
    setPixelLimit(64 * 63);
    Bitmap b;
    EXPECT_EQ(load(bytes, b), PictureTooLarge);
    PictureInfo info;
    EXPECT_EQ(readJpegInfo(bytesOf(bytes), std::size_t(bytes.size()), info), PictureTooLarge);
    setPixelLimit(previous);
    EXPECT_EQ(load(bytes, b), Success);
}

TEST(JpegCodec, CancelFlagStopsDecoding)
{
    const QByteArray bytes = encodeJpeg(quadrants(256, 256));
    CancelFlag cancel{1};
    const CancelScope scope(&cancel);
    Bitmap b;
    EXPECT_EQ(load(bytes, b), Cancelled);
    EXPECT_TRUE(b.isNull());
}

TEST(JpegCodec, QualityFactorTwoIsTheBest)
{
    EXPECT_EQ(jpegQualityForFactor(2), 95);
    EXPECT_LT(jpegQualityForFactor(50), jpegQualityForFactor(2));
    EXPECT_GE(jpegQualityForFactor(255), 5);
}
