#include "Geometry.h"

#include "Cancel.h"
#include "ImagingResult.h"
#include "ParallelRows.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

using namespace imaging;
using namespace testpictures;

namespace {

// Distinct value for every pixel, so exact moves can be checked pixel by pixel.
Bitmap numbered(int w, int h)
{
    Bitmap b;
    EXPECT_EQ(b.allocate(w, h), Success);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.scanLine(y) + x * 3;
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = std::uint8_t(x ^ y);
        }
    return b;
}

bool pixelIs(const Bitmap& b, int x, int y, int r, int g, int bl)
{
    const std::uint8_t* p = b.scanLine(y) + x * 3;
    return p[0] == r && p[1] == g && p[2] == bl;
}

} // namespace

TEST(Rotate, QuarterTurnsMovePixelsExactly)
{
    const int w = 37, h = 23; // odd sides and not tile multiples
    Bitmap b = numbered(w, h);
    b.setResolution(300, 72);
    ASSERT_EQ(rotateBitmap(b, 9000, true, 0), Success);
    ASSERT_EQ(b.width(), h);
    ASSERT_EQ(b.height(), w);
    EXPECT_EQ(b.xResolution(), 72);
    // Clockwise: the bottom-left pixel goes to the top-left.
    EXPECT_TRUE(pixelIs(b, 0, 0, 0, h - 1, 0 ^ (h - 1)));
    EXPECT_TRUE(pixelIs(b, h - 1, 0, 0, 0, 0));
    EXPECT_TRUE(pixelIs(b, 0, w - 1, w - 1, h - 1, (w - 1) ^ (h - 1)));

    Bitmap back = numbered(w, h);
    ASSERT_EQ(rotateBitmap(back, -9000, true, 0), Success); // = 27000
    EXPECT_TRUE(pixelIs(back, 0, 0, w - 1, 0, w - 1));

    Bitmap half = numbered(w, h);
    ASSERT_EQ(rotateBitmap(half, 18000, true, 0), Success);
    EXPECT_EQ(half.width(), w);
    EXPECT_TRUE(pixelIs(half, 0, 0, w - 1, h - 1, (w - 1) ^ (h - 1)));
    EXPECT_TRUE(pixelIs(half, w / 2, h / 2, w - 1 - w / 2, h - 1 - h / 2,
                        (w - 1 - w / 2) ^ (h - 1 - h / 2)));

    // Four quarter turns are the identity.
    Bitmap four = numbered(w, h);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(rotateBitmap(four, 9000, true, 0), Success);
    const Bitmap original = numbered(w, h);
    EXPECT_EQ(std::memcmp(four.bits(), original.bits(), original.byteCount()), 0);
}

TEST(Rotate, FreeTurnGrowsTheCanvasAndFills)
{
    Bitmap b = quadrants(100, 100);
    ASSERT_EQ(rotateBitmap(b, 4500, true, makeColorRef(0, 0, 255)), Success);
    EXPECT_EQ(b.width(), 142);
    EXPECT_EQ(b.height(), 142);
    // The corners are outside the turned square and get the fill; the centre stays.
    EXPECT_TRUE(pixelIs(b, 0, 0, 0, 0, 255));
    EXPECT_TRUE(pixelIs(b, 141, 141, 0, 0, 255));
    const Mean centre = meanOf(b, 66, 66, 10, 10);
    EXPECT_GT(centre.r + centre.g + centre.b, 200);

    Bitmap wide = quadrants(300, 100);
    ASSERT_EQ(rotateBitmap(wide, 700, true, 0xFFFFFF), Success);
    EXPECT_EQ(wide.width(), 310);  // ⌈300 cos 7° + 100 sin 7°⌉ = ⌈309.96⌉
    EXPECT_EQ(wide.height(), 136); // ⌈300 sin 7° + 100 cos 7°⌉ = ⌈135.82⌉
}

// Bilinear sampling reproduces a linear ramp exactly, so every turned pixel must show the
// position it was taken from: this catches a neighbour taken from the wrong row or column
// anywhere, and the fill must cover what lies clearly outside the picture.
TEST(Rotate, FreeTurnSamplesWhereTheInverseTurnPoints)
{
    constexpr int w = 60; // steep ramps, so a wrong neighbour shows by more than rounding
    constexpr int h = 50;
    for (const int hundredths : {700, -2345, 13500, 31000}) {
        Bitmap b;
        ASSERT_EQ(b.allocate(w, h), Success);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = b.scanLine(y) + x * 3;
                p[0] = std::uint8_t(4 * x);
                p[1] = std::uint8_t(4 * y);
                p[2] = 50;
            }
        }
        ASSERT_EQ(rotateBitmap(b, hundredths, true, makeColorRef(1, 2, 3)), Success);
        const double a = hundredths / 100.0 * 3.14159265358979323846 / 180;
        const double c = std::cos(a);
        const double s = std::sin(a);
        int inside = 0;
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x) {
                const double dx = x - (b.width() - 1) / 2.0;
                const double dy = y - (b.height() - 1) / 2.0;
                const double sx = dx * c + dy * s + (w - 1) / 2.0;
                const double sy = -dx * s + dy * c + (h - 1) / 2.0;
                const std::uint8_t* p = b.scanLine(y) + x * 3;
                if (sx >= 0 && sx <= w - 1 && sy >= 0 && sy <= h - 1) {
                    ++inside;
                    ASSERT_NEAR(p[0], 4 * sx, 0.6) << hundredths << " at " << x << "," << y;
                    ASSERT_NEAR(p[1], 4 * sy, 0.6) << hundredths << " at " << x << "," << y;
                    ASSERT_EQ(p[2], 50);
                } else if (sx < -1 || sx > w || sy < -1 || sy > h) {
                    ASSERT_TRUE(p[0] == 1 && p[1] == 2 && p[2] == 3) << x << "," << y;
                }
            }
        }
        EXPECT_GT(inside, w * h * 9 / 10) << hundredths;
    }
}

TEST(Rotate, WithoutResizeKeepsTheCanvas)
{
    Bitmap b = quadrants(80, 40);
    ASSERT_EQ(rotateBitmap(b, 3000, false, 0), Success);
    EXPECT_EQ(b.width(), 80);
    EXPECT_EQ(b.height(), 40);
    Bitmap q = quadrants(80, 40);
    ASSERT_EQ(rotateBitmap(q, 9000, false, 0), Success);
    EXPECT_EQ(q.width(), 80);
}

TEST(Geometry, FlipReverseAndOrientation)
{
    Bitmap b = numbered(5, 4);
    ASSERT_EQ(flipBitmap(b), Success);
    EXPECT_TRUE(pixelIs(b, 0, 0, 0, 3, 3));
    ASSERT_EQ(reverseBitmap(b), Success);
    EXPECT_TRUE(pixelIs(b, 0, 0, 4, 3, 4 ^ 3));
    // Flip then reverse is the half turn.
    Bitmap half = numbered(5, 4);
    ASSERT_EQ(rotateBitmap(half, 18000, true, 0), Success);
    EXPECT_EQ(std::memcmp(b.bits(), half.bits(), b.byteCount()), 0);

    Bitmap empty;
    EXPECT_EQ(flipBitmap(empty), NoBitmap);
    EXPECT_EQ(rotateBitmap(empty, 100, true, 0), NoBitmap);
    EXPECT_EQ(sizeBitmap(empty, 1, 1, SizeMode::Fast), NoBitmap);
}

TEST(Trim, KeepsTheRectangleClippedToThePicture)
{
    Bitmap b = numbered(40, 30);
    ASSERT_EQ(trimBitmap(b, 5, 7, 10, 8), Success);
    EXPECT_EQ(b.width(), 10);
    EXPECT_EQ(b.height(), 8);
    EXPECT_TRUE(pixelIs(b, 0, 0, 5, 7, 5 ^ 7));
    EXPECT_TRUE(pixelIs(b, 9, 7, 14, 14, 0));

    Bitmap edge = numbered(40, 30);
    ASSERT_EQ(trimBitmap(edge, 35, -3, 10, 10), Success); // a frame one rounding too far
    EXPECT_EQ(edge.width(), 5);
    EXPECT_EQ(edge.height(), 7);
    EXPECT_TRUE(pixelIs(edge, 0, 0, 35, 0, 35));

    Bitmap outside = numbered(40, 30);
    EXPECT_EQ(trimBitmap(outside, 40, 0, 5, 5), InvalidParameter);
    EXPECT_EQ(trimBitmap(outside, 0, 0, 0, 5), InvalidParameter);
    EXPECT_EQ(trimBitmap(outside, -10, -10, 5, 5), InvalidParameter);
    EXPECT_EQ(outside.width(), 40); // unchanged on failure
}

TEST(Size, ResamplesToTheAskedSizeKeepingFlatAreasFlat)
{
    for (const SizeMode mode : {SizeMode::Bicubic, SizeMode::Fast}) {
        Bitmap b;
        ASSERT_EQ(b.allocate(97, 61), Success);
        std::memset(b.bits(), 200, b.byteCount());
        ASSERT_EQ(sizeBitmap(b, 13, 200, mode), Success);
        EXPECT_EQ(b.width(), 13);
        EXPECT_EQ(b.height(), 200);
        for (std::size_t i = 0; i < b.byteCount(); ++i)
            ASSERT_EQ(b.bits()[i], 200) << i;
    }
}

TEST(Size, HalvingAveragesAndKeepsQuadrants)
{
    Bitmap b = quadrants(200, 100);
    b.setResolution(300, 300);
    ASSERT_EQ(sizeBitmap(b, 100, 50, SizeMode::Bicubic), Success);
    EXPECT_EQ(b.xResolution(), 300);
    EXPECT_TRUE(pixelIs(b, 30, 20, 255, 0, 0));
    EXPECT_TRUE(pixelIs(b, 80, 40, 255, 255, 255));
    // A one-pixel checkerboard halves to its mean grey with the fast filter, no moiré.
    Bitmap checker;
    ASSERT_EQ(checker.allocate(64, 64), Success);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            std::memset(checker.scanLine(y) + x * 3, (x + y) % 2 ? 255 : 0, 3);
    ASSERT_EQ(sizeBitmap(checker, 16, 16, SizeMode::Fast), Success);
    const Mean m = meanOf(checker, 2, 2, 12, 12);
    EXPECT_NEAR(m.r, 127.5, 3);
    for (int x = 2; x < 14; ++x)
        EXPECT_NEAR(checker.scanLine(8)[x * 3], 127.5, 8);
}

TEST(Size, RefusesBadSizesAndHonoursCancel)
{
    Bitmap b = gradient(50, 50);
    EXPECT_EQ(sizeBitmap(b, 0, 10, SizeMode::Fast), InvalidParameter);
    const auto previous = pixelLimit();
    setPixelLimit(10'000);
    EXPECT_EQ(sizeBitmap(b, 200, 200, SizeMode::Fast), PictureTooLarge);
    EXPECT_EQ(rotateBitmap(b, 4500, true, 0), Success); // 71 × 71 still fits
    setPixelLimit(previous);

    CancelFlag cancel{1};
    const CancelScope scope(&cancel);
    Bitmap c = gradient(50, 50);
    EXPECT_EQ(sizeBitmap(c, 20, 20, SizeMode::Bicubic), Cancelled);
    EXPECT_EQ(c.width(), 50);
    EXPECT_EQ(rotateBitmap(c, 1234, true, 0), Cancelled);
    EXPECT_EQ(rotateBitmap(c, 9000, true, 0), Cancelled);
    EXPECT_EQ(c.width(), 50);
}

// Full-size pictures are turned and resampled by several threads in pieces of rows; the
// result must be exactly what one thread makes. The picture is noise, so a pixel taken from
// a wrong row or a piece left out shows.
struct ThreadedGeometry
{
    const char* name;
    std::function<int(Bitmap&)> op;
};

void PrintTo(const ThreadedGeometry& c, std::ostream* os)
{
    *os << c.name;
}

class GeometryThreads : public ::testing::TestWithParam<ThreadedGeometry>
{};

TEST_P(GeometryThreads, GiveThePixelsOfOneThread)
{
    const auto noise = [] {
        Bitmap b;
        EXPECT_EQ(b.allocate(702, 504), Success);
        std::uint32_t seed = 99;
        for (std::size_t i = 0; i < b.byteCount(); ++i) {
            seed = seed * 1103515245u + 12345u;
            b.bits()[i] = std::uint8_t(seed >> 24);
        }
        return b;
    };
    Bitmap one = noise();
    Bitmap many = noise();
    {
        const SingleThreadScope single;
        ASSERT_EQ(GetParam().op(one), Success);
    }
    ASSERT_EQ(GetParam().op(many), Success);
    ASSERT_EQ(many.width(), one.width());
    ASSERT_EQ(many.height(), one.height());
    EXPECT_EQ(std::memcmp(many.bits(), one.bits(), one.byteCount()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, GeometryThreads,
    ::testing::Values(
        ThreadedGeometry{"Quarter", [](Bitmap& b) { return rotateBitmap(b, 9000, true, 0); }},
        ThreadedGeometry{"ThreeQuarters",
                         [](Bitmap& b) { return rotateBitmap(b, -9000, true, 0); }},
        ThreadedGeometry{"Transverse", [](Bitmap& b) { return orientUpright(b, 7); }},
        ThreadedGeometry{"Half", [](Bitmap& b) { return rotateBitmap(b, 18000, true, 0); }},
        ThreadedGeometry{"FineGrowing",
                         [](Bitmap& b) { return rotateBitmap(b, 700, true, 0xFFFFFF); }},
        ThreadedGeometry{"FineKeepingCanvas",
                         [](Bitmap& b) { return rotateBitmap(b, -3345, false, 0x123456); }},
        ThreadedGeometry{"Flip", [](Bitmap& b) { return flipBitmap(b); }},
        ThreadedGeometry{"Reverse", [](Bitmap& b) { return reverseBitmap(b); }},
        ThreadedGeometry{"Trim", [](Bitmap& b) { return trimBitmap(b, 3, 5, 650, 480); }},
        ThreadedGeometry{"HalveBicubic",
                         [](Bitmap& b) { return sizeBitmap(b, 351, 252, SizeMode::Bicubic); }},
        ThreadedGeometry{"HalveFast",
                         [](Bitmap& b) { return sizeBitmap(b, 351, 252, SizeMode::Fast); }},
        ThreadedGeometry{"FitBicubic",
                         [](Bitmap& b) { return sizeBitmap(b, 157, 113, SizeMode::Bicubic); }},
        ThreadedGeometry{"EnlargeBicubic",
                         [](Bitmap& b) { return sizeBitmap(b, 1000, 600, SizeMode::Bicubic); }},
        ThreadedGeometry{"OnlyWidth",
                         [](Bitmap& b) { return sizeBitmap(b, 300, 504, SizeMode::Bicubic); }}),
    [](const ::testing::TestParamInfo<ThreadedGeometry>& info) {
        return std::string(info.param.name);
    });
