#include "Cancel.h"
#include "ExifThumbnail.h"
#include "FittedJpeg.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TestPictures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace imaging;
using namespace testpictures;

namespace {

Bitmap solid(int width, int height, int r, int g, int b)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, row += 3) {
            row[0] = std::uint8_t(r);
            row[1] = std::uint8_t(g);
            row[2] = std::uint8_t(b);
        }
    }
    return bitmap;
}

Bitmap inverted(Bitmap bitmap)
{
    for (std::size_t i = 0; i < bitmap.byteCount(); ++i)
        bitmap.bits()[i] = std::uint8_t(255 - bitmap.bits()[i]);
    return bitmap;
}

Bitmap decode(const QByteArray& bytes)
{
    Bitmap bitmap;
    EXPECT_EQ(loadBitmapFromMemory(bytes, bitmap), Success);
    return bitmap;
}

// The main pictures are blue, the previews magenta, so a result tells where it came from.
constexpr int kPictureBlue[3] = {40, 80, 200};
constexpr int kPreviewMagenta[3] = {255, 0, 255};

bool looksLike(const Bitmap& bitmap, const int (&colour)[3])
{
    const Mean mean = meanOf(bitmap, bitmap.width() / 4, bitmap.height() / 4, bitmap.width() / 2,
                             bitmap.height() / 2);
    return std::abs(mean.r - colour[0]) < 12 && std::abs(mean.g - colour[1]) < 12 &&
           std::abs(mean.b - colour[2]) < 12;
}

// A segment that pushes the photo's frame header past the bytes read for the preview.
QByteArray withPaddingAfterExif(const QByteArray& jpeg)
{
    const int exifLength = std::uint8_t(jpeg[4]) << 8 | std::uint8_t(jpeg[5]);
    const qsizetype after = 2 + 2 + exifLength;
    QByteArray comment("\xFF\xFE\xFF\xF0", 4);
    comment.append(QByteArray(0xFFF0 - 2, 'x'));
    return jpeg.left(after) + comment + jpeg.mid(after);
}

enum class PreviewBytes
{
    Good,
    Letterboxed,
    Garbage,
    Truncated
};

struct PreviewCase
{
    std::string name;
    int pictureWidth, pictureHeight;
    int previewWidth, previewHeight;
    PreviewBytes bytes;
    int box;
    bool used;
    bool padded = false;
    friend void PrintTo(const PreviewCase& c, std::ostream* os) { *os << c.name; }
};

class EmbeddedPreviewRule : public ::testing::TestWithParam<PreviewCase>
{
protected:
    QTemporaryDir mDir;
};

TEST_P(EmbeddedPreviewRule, UsesThePreviewOnlyWhenItStandsForThePhoto)
{
    const PreviewCase& c = GetParam();
    const auto& [r, g, b] = kPreviewMagenta;
    QByteArray preview = encodeJpeg(solid(c.previewWidth, c.previewHeight, r, g, b));
    if (c.bytes == PreviewBytes::Letterboxed) {
        // A 4:3 preview of the same width with black bars above and below the picture.
        Bitmap boxed = solid(c.previewWidth, c.previewWidth * 3 / 4, 0, 0, 0);
        const int top = (boxed.height() - c.previewHeight) / 2;
        for (int y = 0; y < c.previewHeight; ++y) {
            std::uint8_t* row = boxed.scanLine(top + y);
            for (int x = 0; x < c.previewWidth; ++x, row += 3) {
                row[0] = std::uint8_t(r);
                row[1] = std::uint8_t(g);
                row[2] = std::uint8_t(b);
            }
        }
        preview = encodeJpeg(boxed);
    } else if (c.bytes == PreviewBytes::Garbage) {
        preview = QByteArray("\xFF\xD8\xFF\xDB", 4) + QByteArray(600, '\x55');
    } else if (c.bytes == PreviewBytes::Truncated) {
        preview = preview.left(preview.size() / 2);
    }
    const auto& [pr, pg, pb] = kPictureBlue;
    QByteArray photo =
        addExifThumbnail(encodeJpeg(solid(c.pictureWidth, c.pictureHeight, pr, pg, pb)), preview);
    ASSERT_FALSE(photo.isEmpty());
    if (c.padded)
        photo = withPaddingAfterExif(photo);
    const QString file = mDir.filePath(QStringLiteral("photo.jpg"));
    writeFile(file, photo);

    EXPECT_EQ(LoadEmbeddedPreview(file, c.box).has_value(), c.used);
    // Either way the grid gets a thumbnail that fits the box.
    const auto thumbnail = LoadThumbnailStream(file, c.box, 0);
    ASSERT_TRUE(thumbnail);
    const Bitmap shown = decode(*thumbnail);
    const FittedSize fitted = fittedSize(c.pictureWidth, c.pictureHeight, c.box, c.box);
    EXPECT_EQ(shown.width(), fitted.width);
    EXPECT_EQ(shown.height(), fitted.height);
    EXPECT_TRUE(looksLike(shown, c.used ? kPreviewMagenta : kPictureBlue));
}

INSTANTIATE_TEST_SUITE_P(
    Previews, EmbeddedPreviewRule,
    ::testing::Values(
        PreviewCase{"SameShapeLargerThanTheBox", 640, 480, 160, 120, PreviewBytes::Good, 92, true},
        PreviewCase{"LongerSideJustCoversTheBox", 640, 480, 92, 69, PreviewBytes::Good, 92, true},
        PreviewCase{"ShapeOffByLessThanOnePercent", 640, 480, 160, 119, PreviewBytes::Good, 92,
                    true},
        PreviewCase{"ShapeOffByMoreThanOnePercent", 640, 480, 160, 118, PreviewBytes::Good, 92,
                    false},
        PreviewCase{"SmallerThanTheBox", 640, 480, 80, 60, PreviewBytes::Good, 92, false},
        PreviewCase{"LetterboxedThreeByTwo", 600, 400, 160, 107, PreviewBytes::Letterboxed, 92,
                    false},
        PreviewCase{"StaleAfterACrop", 480, 480, 160, 120, PreviewBytes::Good, 92, false},
        PreviewCase{"DoesNotDecode", 640, 480, 160, 120, PreviewBytes::Garbage, 92, false},
        PreviewCase{"Truncated", 640, 480, 160, 120, PreviewBytes::Truncated, 92, false},
        PreviewCase{"FrameHeaderBeyondTheFirstRead", 640, 480, 160, 120, PreviewBytes::Good, 92,
                    false, true}),
    [](const auto& info) { return info.param.name; });

struct OrientationCase
{
    std::string name;
    int orientation;
    friend void PrintTo(const OrientationCase& c, std::ostream* os) { *os << c.name; }
};

class EmbeddedPreviewOrientation : public ::testing::TestWithParam<OrientationCase>
{
protected:
    QTemporaryDir mDir;
};

// The preview is stored as the photo is: the photo's orientation turns both alike. An
// inverted preview shows in every quadrant that the result came from it.
TEST_P(EmbeddedPreviewOrientation, TurnsThePreviewLikeThePhoto)
{
    const int orientation = GetParam().orientation;
    const QString file = mDir.filePath(QStringLiteral("portrait.jpg"));
    writeFile(file, addExifThumbnail(encodeJpeg(quadrants(640, 480)),
                                     encodeJpeg(inverted(quadrants(160, 120))), orientation));

    const auto thumbnail = LoadThumbnailStream(file, 92, 0);
    ASSERT_TRUE(thumbnail);
    const Bitmap shown = decode(*thumbnail);
    ASSERT_EQ(shown.width(), 69);
    ASSERT_EQ(shown.height(), 92);
    // The whole photo, decoded and turned by the codec, is the reference.
    const auto full = LoadFittedJpeg(file, 92, 92, 0, true, nullptr);
    ASSERT_TRUE(full);
    const Bitmap reference = decode(*full);
    const int w = shown.width() / 4;
    const int h = shown.height() / 4;
    for (const auto& [x, y] :
         {std::pair{w / 2, h / 2}, std::pair{2 * w + w / 2, h / 2}, std::pair{w / 2, 2 * h + h / 2},
          std::pair{2 * w + w / 2, 2 * h + h / 2}}) {
        const Mean got = meanOf(shown, x, y, w, h);
        const Mean want = meanOf(reference, x, y, w, h);
        EXPECT_NEAR(got.r, 255 - want.r, 30) << "quadrant at " << x << "," << y;
        EXPECT_NEAR(got.g, 255 - want.g, 30) << "quadrant at " << x << "," << y;
        EXPECT_NEAR(got.b, 255 - want.b, 30) << "quadrant at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Quarters, EmbeddedPreviewOrientation,
                         ::testing::Values(OrientationCase{"TurnClockwise", 6},
                                           OrientationCase{"TurnCounterClockwise", 8}),
                         [](const auto& info) { return info.param.name; });

TEST(EmbeddedPreview, AnUprightPreviewOfATurnedPhotoIsNotUsed)
{
    // Some programs turn the pixels of the preview but keep the photo's orientation; turned
    // once more it would lie on its side.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("photo.jpg"));
    writeFile(file, addExifThumbnail(encodeJpeg(solid(640, 480, 40, 80, 200)),
                                     encodeJpeg(solid(120, 160, 255, 0, 255)), 6));
    EXPECT_FALSE(LoadEmbeddedPreview(file, 92));
}

TEST(EmbeddedPreview, TheThreadsRegisteredCancelFlagStopsEveryPath)
{
    QTemporaryDir dir;
    const QString withPreview = dir.filePath(QStringLiteral("camera.jpg"));
    writeFile(withPreview,
              addExifThumbnail(encodeJpeg(quadrants(640, 480)), encodeJpeg(quadrants(160, 120))));
    const QString without = dir.filePath(QStringLiteral("plain.jpg"));
    writeFile(without, encodeJpeg(quadrants(640, 480)));

    CancelFlag cancel{1};
    {
        const CancelScope scope(&cancel);
        EXPECT_FALSE(LoadEmbeddedPreview(withPreview, 92));
        EXPECT_FALSE(LoadThumbnailStream(withPreview, 92, 0));
        EXPECT_FALSE(LoadThumbnailStream(without, 92, 0));
        EXPECT_FALSE(LoadFittedJpeg(without, 92, 92, 0, false, nullptr));
    }
    // The registration ends with its scope.
    EXPECT_TRUE(LoadThumbnailStream(without, 92, 0));
}

} // namespace
