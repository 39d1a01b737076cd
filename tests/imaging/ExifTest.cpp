#include "Exif.h"
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

// Stores the upright picture the way a camera held in orientation o would: the stored
// pixel at (row r, column c) shows the upright scene at the place the EXIF tag names.
Bitmap storedFor(const Bitmap& upright, int o)
{
    const int w = upright.width(), h = upright.height();
    const bool swap = o >= 5;
    Bitmap stored;
    EXPECT_EQ(stored.allocate(swap ? h : w, swap ? w : h), Success);
    for (int r = 0; r < stored.height(); ++r) {
        for (int c = 0; c < stored.width(); ++c) {
            int x = c, y = r;
            switch (o) {
            case 2: x = w - 1 - c; y = r; break;
            case 3: x = w - 1 - c; y = h - 1 - r; break;
            case 4: x = c; y = h - 1 - r; break;
            case 5: x = r; y = c; break;
            case 6: x = w - 1 - r; y = c; break;
            case 7: x = w - 1 - r; y = h - 1 - c; break;
            case 8: x = r; y = h - 1 - c; break;
            default: break;
            }
            std::memcpy(stored.scanLine(r) + c * 3, upright.scanLine(y) + x * 3, 3);
        }
    }
    return stored;
}

} // namespace

TEST(Exif, EveryOrientationLoadsUpright)
{
    const Bitmap upright = quadrants(96, 64); // wider than high, mark top-left
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QByteArray bytes =
            encodeJpeg(storedFor(upright, o), JpegOptions().withQuality(100).withApp1(exifBlock(o, 0, 0, o % 2)));
        PictureInfo info;
        ASSERT_EQ(readJpegInfo(bytesOf(bytes), std::size_t(bytes.size()), info), Success);
        EXPECT_EQ(info.orientation, o);
        EXPECT_EQ(info.width, 96);
        EXPECT_EQ(info.height, 64);

        Bitmap b;
        ASSERT_EQ(loadJpeg(bytesOf(bytes), std::size_t(bytes.size()), b), Success);
        ASSERT_EQ(b.width(), 96);
        ASSERT_EQ(b.height(), 64);
        EXPECT_LT(meanOf(b, 2, 2, 6, 4).r, 40);   // the black mark, top-left
        EXPECT_GT(meanOf(b, 30, 10, 8, 8).r, 215); // red, top-left quadrant
        EXPECT_LT(meanOf(b, 30, 10, 8, 8).g, 40);
        EXPECT_GT(meanOf(b, 70, 10, 8, 8).g, 215); // green, top-right
        EXPECT_GT(meanOf(b, 20, 45, 8, 8).b, 215); // blue, bottom-left
        EXPECT_LT(meanOf(b, 20, 45, 8, 8).r, 40);
    }
}

TEST(Exif, ScaledDecodeOfAPortraitCoversTheUprightBox)
{
    const Bitmap upright = quadrants(240, 320);
    const QByteArray bytes = encodeJpeg(storedFor(upright, 6), JpegOptions().withApp1(exifBlock(6)));
    Bitmap b;
    ASSERT_EQ(loadJpeg(bytesOf(bytes), std::size_t(bytes.size()), b,
                       scaled(30, 80)),
              Success);
    EXPECT_EQ(b.width(), 60); // 2/8: the upright height needs 80
    EXPECT_EQ(b.height(), 80);
}

TEST(Exif, MalformedBlocksAreIgnored)
{
    QByteArray block = exifBlock(6, 300, 300);
    EXPECT_EQ(parseExif(bytesOf(block), std::size_t(block.size())).orientation, 6);
    EXPECT_EQ(parseExif(bytesOf(block), std::size_t(block.size())).xResolution, 300);
    // Every truncation parses without reading past the end (ASan would tell).
    for (qsizetype n = 0; n < block.size(); ++n)
        parseExif(bytesOf(block), std::size_t(n));
    // An IFD offset pointing far outside, an orientation of 9 and a zero denominator.
    QByteArray outside = block;
    outside[6 + 4] = char(0xF0);
    outside[6 + 7] = char(0x7F);
    EXPECT_EQ(parseExif(bytesOf(outside), std::size_t(outside.size())).orientation, 1);
    QByteArray nine = exifBlock(9);
    EXPECT_EQ(parseExif(bytesOf(nine), std::size_t(nine.size())).orientation, 1);
    QByteArray zero = exifBlock(1, 300, 300);
    zero[zero.size() - 12] = 0; // x denominator
    EXPECT_EQ(parseExif(bytesOf(zero), std::size_t(zero.size())).xResolution, 0);
}
