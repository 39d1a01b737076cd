#include "BmpCodec.h"
#include "ImagingResult.h"
#include "TAltLeadImage.h"
#include "TestApplication.h"
#include "TestPictures.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace imaging;

namespace {

QByteArray bmpOf(const Bitmap& bitmap)
{
    QByteArray bytes;
    EXPECT_EQ(saveBmp(bitmap, bytes), Success);
    return bytes;
}

Bitmap solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(w, h), Success);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap.scanLine(y) + x * 3;
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    return bitmap;
}

} // namespace

class AltLeadImageTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }
};

TEST_F(AltLeadImageTest, ShowsABitmapHandedOverInMemory)
{
    TAltLeadImage image;
    const QByteArray bytes = bmpOf(solid(30, 20, 10, 200, 30));
    image.LoadFromGlobal(bytes, bytes.size());
    EXPECT_EQ(image.shownWidth(), 30);
    EXPECT_EQ(image.shownHeight(), 20);
    EXPECT_EQ(image.picture().pixelColor(5, 5), QColor(10, 200, 30));

    image.LoadFromGlobal(QByteArray(), 100); // a handle that cannot be locked
    EXPECT_EQ(image.shownWidth(), 30);
    image.LoadFromGlobal(QByteArray("garbage that is no bitmap"), 25);
    EXPECT_EQ(image.shownWidth(), 0);
    EXPECT_TRUE(image.picture().isNull());
}

TEST_F(AltLeadImageTest, DragsAFrameOnlyWhenAllowed)
{
    TAltLeadImage image;
    const QByteArray bytes = bmpOf(solid(200, 120, 128, 128, 128));
    image.LoadFromGlobal(bytes, bytes.size());
    image.resize(200, 120);
    image.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));

    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(&image, QPoint(80, 60));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(80, 60));
    EXPECT_FALSE(image.HasFrame()); // AllowRgn is off by default
    image.SetFrame(1, 1, 50, 50);
    EXPECT_FALSE(image.HasFrame());

    image.setAllowRgn(true);
    QSignalSpy changes(&image, &TAltLeadImage::frameChanged);
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(&image, QPoint(80, 60));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(80, 60));
    EXPECT_TRUE(image.HasFrame());
    EXPECT_EQ(image.FrameLeft(), 20);
    EXPECT_EQ(image.FrameTop(), 20);
    EXPECT_EQ(image.FrameWidth(), 60);
    EXPECT_EQ(image.FrameHeight(), 40);
    EXPECT_GE(changes.count(), 2);

    // The frame is painted over the picture.
    const QImage shot = image.grab().toImage();
    EXPECT_NE(shot.pixelColor(20, 40), QColor(128, 128, 128));
    EXPECT_EQ(shot.pixelColor(50, 40), QColor(128, 128, 128));

    image.SetFrame(150, 100, 100, 100);
    EXPECT_EQ(image.FrameWidth(), 50); // clamped to the shown size
    image.Clear();
    EXPECT_FALSE(image.HasFrame());
    EXPECT_EQ(image.shownWidth(), 0);
}
