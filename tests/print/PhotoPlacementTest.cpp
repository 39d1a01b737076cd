#include "PhotoPlacement.h"

#include "PrintTestPhotos.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class PhotoPlacement : public ::testing::Test
{
protected:
    QString photo(const char* name) const { return mDir.filePath(QString::fromUtf8(name)); }

    PlacementRequest request(const QString& file, MicroRect slot) const
    {
        PlacementRequest r;
        r.fileName = file;
        r.slot = slot;
        return r;
    }

    QTemporaryDir mDir;
};

QColor colourAt(const QImage& image, double fx, double fy)
{
    return image.pixelColor(int(fx * (image.width() - 1)), int(fy * (image.height() - 1)));
}

TEST_F(PhotoPlacement, FitTurnsALandscapePhotoIntoAPortraitSlotAndKeepsItsShape)
{
    // 3000 x 2000 at 300 dpi: 254 x 169.3 mm, red on its left half.
    printtest::writeHalvesPhoto(photo("wide.jpg"), 3000, 2000, 300, true);
    PlacementRequest r = request(photo("wide.jpg"), {10000, 20000, 110000, 170000});
    r.rotateAllowed = true;
    r.enlarge = true;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_TRUE(placed->turned);
    // Fitted: the width fills the slot, the height keeps 3:2, centred vertically.
    EXPECT_NEAR(placed->right - placed->left, 100000, 1);
    EXPECT_NEAR(placed->bottom - placed->top, 150000, 1);
    EXPECT_NEAR(placed->left, 10000, 1);
    // At 300 dpi: 100 mm is 1181 pixels; shrunk for the printer.
    EXPECT_EQ(placed->image.width(), 1181);
    EXPECT_EQ(placed->image.height(), 1772);
    // Turned anticlockwise, the left half ends up at the bottom.
    EXPECT_TRUE(printtest::isReddish(colourAt(placed->image, 0.5, 0.9)));
    EXPECT_TRUE(printtest::isBluish(colourAt(placed->image, 0.5, 0.1)));

    r.rotateClockwise = true;
    const auto clockwise = PlacePhoto(r, nullptr);
    ASSERT_TRUE(clockwise);
    EXPECT_TRUE(printtest::isReddish(colourAt(clockwise->image, 0.5, 0.1)));
}

TEST_F(PhotoPlacement, WithoutRotateAllowedAPhotoKeepsItsOrientation)
{
    printtest::writePlainPhoto(photo("wide.jpg"), 300, 200, 30, Qt::gray);
    PlacementRequest r = request(photo("wide.jpg"), {0, 0, 100000, 150000});
    r.enlarge = true;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_FALSE(placed->turned);
    EXPECT_NEAR(placed->right - placed->left, 100000, 1);
    EXPECT_NEAR(placed->bottom - placed->top, 100000.0 * 2 / 3, 1);
}

TEST_F(PhotoPlacement, CoverFillsTheSlotExactly)
{
    printtest::writePlainPhoto(photo("wide.jpg"), 1500, 1000, 300, Qt::gray);
    PlacementRequest r = request(photo("wide.jpg"), {5000, 5000, 55000, 55000});
    r.fill = true;
    r.enlarge = true;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_DOUBLE_EQ(placed->left, 5000);
    EXPECT_DOUBLE_EQ(placed->right, 55000);
    EXPECT_DOUBLE_EQ(placed->top, 5000);
    EXPECT_DOUBLE_EQ(placed->bottom, 55000);
    EXPECT_NEAR(placed->image.width(), placed->image.height(), 1);
}

TEST_F(PhotoPlacement, PrintNeverScalesUpInPixelsThePreviewDoes)
{
    // 200 x 100 pixels at 100 dpi: 50.8 x 25.4 mm, to fill 200 mm across at 300 dpi.
    printtest::writePlainPhoto(photo("small.jpg"), 200, 100, 100, Qt::gray);
    PlacementRequest r = request(photo("small.jpg"), {0, 0, 200000, 100000});
    r.enlarge = true;
    const auto printed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->image.size(), QSize(200, 100));
    EXPECT_NEAR(printed->right - printed->left, 200000, 1);

    r.mode = PlacementMode::Preview;
    r.ppiX = r.ppiY = 254; // 10 pixels a millimetre
    const auto previewed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(previewed);
    EXPECT_EQ(previewed->image.size(), QSize(2000, 1000));
}

TEST_F(PhotoPlacement, SmallPhotoWithoutEnlargeKeepsItsNaturalSizeCentred)
{
    printtest::writePlainPhoto(photo("small.jpg"), 300, 200, 100, Qt::gray);
    PlacementRequest r = request(photo("small.jpg"), {0, 0, 200000, 280000});
    r.rotateAllowed = true;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_FALSE(placed->turned);
    EXPECT_NEAR(placed->right - placed->left, 76200, 1);
    EXPECT_NEAR(placed->bottom - placed->top, 50800, 1);
    EXPECT_NEAR(placed->left, (200000 - 76200) / 2.0, 1);
    EXPECT_NEAR(placed->top, (280000 - 50800) / 2.0, 1);
}

struct CropCase
{
    const char* name;
    bool across;     // the photo overflows across (else down)
    double position; // crop position
    bool showsRed;   // red is the start (left or top) half
};

class PhotoPlacementCrop : public PhotoPlacement, public ::testing::WithParamInterface<CropCase>
{};

TEST_P(PhotoPlacementCrop, CropPositionChoosesTheVisiblePart)
{
    const CropCase& c = GetParam();
    // 4:1, so that a square slot shows only a quarter of it.
    const int w = c.across ? 2000 : 500;
    const int h = c.across ? 500 : 2000;
    printtest::writeHalvesPhoto(photo("long.jpg"), w, h, 300, c.across);
    PlacementRequest r = request(photo("long.jpg"), {0, 0, 40000, 40000});
    r.fill = true;
    r.enlarge = true;
    r.cropPosition = c.position;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_NEAR(placed->image.width(), placed->image.height(), 1);
    const QColor middle = colourAt(placed->image, 0.5, 0.5);
    EXPECT_TRUE(c.showsRed ? printtest::isReddish(middle) : printtest::isBluish(middle))
        << middle.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Positions, PhotoPlacementCrop,
                         ::testing::Values(CropCase{"AcrossAtStart", true, 0, true},
                                           CropCase{"AcrossAtEnd", true, 1, false},
                                           CropCase{"DownAtStart", false, 0, true},
                                           CropCase{"DownAtEnd", false, 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PhotoPlacement, PreviewOfAFillSlotShowsTheWholePhotoBeyondTheSlot)
{
    printtest::writePlainPhoto(photo("long.jpg"), 2000, 500, 300, Qt::gray);
    PlacementRequest r = request(photo("long.jpg"), {0, 0, 40000, 40000});
    r.fill = true;
    r.enlarge = true;
    r.mode = PlacementMode::Preview;
    r.ppiX = r.ppiY = 40;
    const auto placed = PlacePhoto(r, nullptr);
    ASSERT_TRUE(placed);
    EXPECT_NEAR(placed->right - placed->left, 160000, 1);
    EXPECT_NEAR(placed->left, -60000, 1);
    EXPECT_NEAR(placed->image.width(), 4 * placed->image.height(), 4);
}

TEST_F(PhotoPlacement, NoResultForUnreadableFilesOrWhenCancelled)
{
    printtest::writePlainPhoto(photo("ok.jpg"), 100, 100, 100, Qt::gray);
    QFile broken(photo("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    const MicroRect slot{0, 0, 50000, 50000};
    EXPECT_FALSE(PlacePhoto(request(photo("missing.jpg"), slot), nullptr));
    EXPECT_FALSE(PlacePhoto(request(photo("broken.jpg"), slot), nullptr));
    std::atomic<int> cancel = 1;
    EXPECT_FALSE(PlacePhoto(request(photo("ok.jpg"), slot), &cancel));
    cancel = 0;
    EXPECT_TRUE(PlacePhoto(request(photo("ok.jpg"), slot), &cancel));
}

} // namespace
