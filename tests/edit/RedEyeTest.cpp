#include "EditOperations.h"
#include "ImagingResult.h"
#include "RedEyeRemoval.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imaging;

namespace {

// A grey face with a flash-red pupil of the given radius around (cx, cy).
Bitmap faceWithPupil(int cx, int cy, int radius)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(120, 100), Success);
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3) {
            const bool pupil = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
            p[0] = pupil ? 220 : 170; // skin: warm, but not flash red
            p[1] = pupil ? 40 : 160;
            p[2] = pupil ? 35 : 150;
        }
    }
    return bitmap;
}

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), a.byteCount()) == 0;
}

} // namespace

TEST(RedEye, AreaWithoutRedChangesNothing)
{
    Bitmap face = faceWithPupil(90, 50, 6);
    Bitmap before;
    ASSERT_EQ(copyBitmap(before, face), Success);
    EXPECT_EQ(edit::removeRedEye(face, 0, 128, 100, Rect{5, 5, 60, 90}), 0);
    EXPECT_TRUE(same(face, before));
    // Through the request it still counts as done.
    EXPECT_EQ(edit::applyEditAction(face, {EditRedEye, 0, 128, 100, 5, 5, 60, 90}), Success);
    EXPECT_TRUE(same(face, before));
}

TEST(RedEye, RecoloursThePupilAndLeavesTheFaceAround)
{
    for (const int radius : {3, 8}) { // a small pupil, and one large enough to be smoothed
        SCOPED_TRACE(radius);
        Bitmap face = faceWithPupil(60, 50, radius);
        Bitmap before;
        ASSERT_EQ(copyBitmap(before, face), Success);
        EXPECT_GE(edit::removeRedEye(face, makeColorRef(0, 0, 0), 128, 100, Rect{40, 30, 80, 70}),
                  1);
        for (int y = 50 - radius; y <= 50 + radius; ++y) {
            for (int x = 60 - radius; x <= 60 + radius; ++x) {
                const std::uint8_t* p = face.scanLine(y) + 3 * x;
                EXPECT_FALSE(edit::isRedEyePixel(p[0], p[1], p[2], 1.4)) << x << "," << y;
            }
        }
        // Outside the ellipse around the pupil nothing moved.
        const std::uint8_t* corner = face.scanLine(31) + 3 * 41;
        EXPECT_EQ(std::memcmp(corner, before.scanLine(31) + 3 * 41, 3), 0);
        EXPECT_EQ(std::memcmp(face.scanLine(5), before.scanLine(5), face.stride()), 0);
    }
}

TEST(RedEye, AreaOutsideThePictureIsIgnored)
{
    Bitmap face = faceWithPupil(115, 95, 6);
    EXPECT_GE(edit::removeRedEye(face, 0, 128, 100, Rect{100, 80, 400, 400}), 1);
    EXPECT_EQ(edit::removeRedEye(face, 0, 128, 100, Rect{500, 500, 600, 600}), 0);
}
