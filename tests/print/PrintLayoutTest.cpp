#include "PrintLayout.h"

#include "PrintTestPhotos.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

// Device pixels at 300 dpi.
PaperMetrics paper(int widthMm10, int heightMm10, int offset = 0)
{
    const auto px = [](int tenthsMm) { return int(tenthsMm * 300 / 254.0 + 0.5); };
    return {px(widthMm10), px(heightMm10), offset, offset, 300, 300};
}
const PaperMetrics kA4 = paper(2100, 2970);
const PaperMetrics kA4Landscape = paper(2970, 2100);

class PhotoFolder
{
public:
    PhotoFolder()
    {
        // 10 dpi: 152.4 x 101.6 mm, about a 10 x 15 print.
        printtest::writePlainPhoto(path("landscape"), 60, 40, 10, Qt::gray);
        printtest::writePlainPhoto(path("portrait"), 40, 60, 10, Qt::gray);
    }
    QString path(const char* name) const
    {
        return mDir.filePath(QString::fromUtf8(name) + QStringLiteral(".jpg"));
    }

    // "landscape", "portrait" or "missing", in order.
    TPrintPhotoObjectRefs photos(const std::vector<const char*>& names)
    {
        TPrintPhotoObjectRefs refs;
        for (const char* name : names)
            refs.push_back(mCache.findOrAdd(path(name)));
        return refs;
    }
    TPrintPhotoObjectRefs repeated(const char* name, int count)
    {
        return photos(std::vector<const char*>(std::size_t(count), name));
    }

private:
    QTemporaryDir mDir;
    TPrintPhotoObjectList mCache;
};

struct Laid
{
    TPrintPageList pages;
    PrintLayoutResults results;
    qint32 width = 0; // the paper as laid out, micrometres
    qint32 height = 0;
    qint32 margin = 0; // left and top margin relative to the printable area
};

Laid lay(const TPrintPhotoObjectRefs& photos, PrintLayoutKind kind, const PaperMetrics& metrics,
         bool landscape = false)
{
    PrintLayoutRequest request;
    request.kind = kind;
    request.paper = metrics;
    request.landscape = landscape;
    Laid laid;
    EXPECT_TRUE(BuildPrintLayout(photos, request, laid.pages, laid.results));
    laid.width = micrometresFromPixels(metrics.paperWidth, metrics.dpiX);
    laid.height = micrometresFromPixels(metrics.paperHeight, metrics.dpiY);
    laid.margin = 3000;
    return laid;
}

// Every slot lies within the printable area, margins included.
void expectInsideMargins(const Laid& laid, qint32 offset = 0)
{
    for (const TPrintPage& page : laid.pages)
        for (const TPrintPhoto& slot : page.photos) {
            EXPECT_GE(slot.slot.left, laid.margin);
            EXPECT_GE(slot.slot.top, laid.margin);
            EXPECT_LE(slot.slot.right, laid.width - 2 * offset - laid.margin);
            EXPECT_LE(slot.slot.bottom, laid.height - 2 * offset - laid.margin);
        }
}

struct LayoutCase
{
    const char* name;
    std::function<void(PhotoFolder&)> check;
};

class PrintLayoutEdgeCase : public ::testing::TestWithParam<LayoutCase>
{};

TEST_P(PrintLayoutEdgeCase, Holds)
{
    PhotoFolder folder;
    GetParam().check(folder);
}

const LayoutCase kCases[] = {
    {"TwoPerPagePortraitFirstOnTop",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.repeated("landscape", 2), PrintLayoutKind::TwoPerPage, kA4);
         ASSERT_EQ(laid.pages.size(), 1u);
         const TPrintPhotoList& placed = laid.pages[0].photos;
         ASSERT_EQ(placed.size(), 2u);
         EXPECT_LT(placed[0].slot.bottom, placed[1].slot.top);
         EXPECT_FALSE(laid.results.landscapeTurn);
         // 25.4 mm between the halves, margins raised to 12.7 mm.
         EXPECT_EQ(placed[1].slot.top - placed[0].slot.bottom, 25400);
         EXPECT_EQ(placed[0].slot.left, 12700);
     }},
    {"TwoPerPageLandscapeFirstAtBottom",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.repeated("landscape", 2), PrintLayoutKind::TwoPerPage, kA4, true);
         const TPrintPhotoList& placed = laid.pages.at(0).photos;
         ASSERT_EQ(placed.size(), 2u);
         EXPECT_GT(placed[0].slot.top, placed[1].slot.bottom);
         EXPECT_TRUE(laid.results.landscapeTurn);
         EXPECT_GT(laid.results.paperWidth, laid.results.paperHeight);
         EXPECT_EQ(laid.results.turnedWidth, laid.results.paperWidth);
         // Turned for the preview, the first photo shows on the left.
         const MicroRect first = turnedSlot(placed[0].slot, laid.results.turnedWidth);
         const MicroRect second = turnedSlot(placed[1].slot, laid.results.turnedWidth);
         EXPECT_LT(first.right, second.left);
     }},
    {"FiveAtFourPortraitSecondPageTopLeft",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.repeated("portrait", 5), PrintLayoutKind::FourPerPage, kA4);
         ASSERT_EQ(laid.pages.size(), 2u);
         EXPECT_EQ(laid.results.slotCount, 5);
         ASSERT_EQ(laid.pages[1].photos.size(), 1u);
         const MicroRect slot = laid.pages[1].photos[0].slot;
         EXPECT_EQ(slot, laid.pages[0].photos[0].slot);
         EXPECT_LT(slot.right, laid.width / 2);
         EXPECT_LT(slot.bottom, laid.height / 2);
     }},
    {"FiveAtFourLandscapeSecondPageBottomLeft",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.repeated("portrait", 5), PrintLayoutKind::FourPerPage, kA4, true);
         ASSERT_EQ(laid.pages.size(), 2u);
         ASSERT_EQ(laid.pages[1].photos.size(), 1u);
         const MicroRect slot = laid.pages[1].photos[0].slot;
         EXPECT_LT(slot.right, laid.width / 2);
         EXPECT_GT(slot.top, laid.height / 2);
     }},
    {"TenByFifteenOnA4PortraitTurnsOnlyThePortraitPhotosCell",
     [](PhotoFolder& f) {
         const Laid laid =
             lay(f.photos({"landscape", "portrait"}), PrintLayoutKind::Size10x15, kA4);
         std::vector<TPrintPhoto> all;
         for (const TPrintPage& page : laid.pages)
             all.insert(all.end(), page.photos.begin(), page.photos.end());
         ASSERT_EQ(all.size(), 2u);
         EXPECT_EQ(all[0].slot.width(), 150000);
         EXPECT_EQ(all[0].slot.height(), 100000);
         EXPECT_EQ(all[1].slot.width(), 100000);
         EXPECT_EQ(all[1].slot.height(), 150000);
         for (const TPrintPhoto& slot : all) {
             EXPECT_TRUE(slot.fill);
             EXPECT_FALSE(slot.rotateAllowed);
             // Alone in its row: centred across the paper.
             EXPECT_NEAR(slot.slot.left, laid.width - slot.slot.right, 2);
         }
         expectInsideMargins(laid);
     }},
    {"TenByFifteenOnA4LandscapeSpreadsARowEvenly",
     [](PhotoFolder& f) {
         const Laid laid =
             lay(f.repeated("portrait", 3), PrintLayoutKind::Size10x15, kA4Landscape, true);
         ASSERT_EQ(laid.pages.size(), 2u);
         const TPrintPhotoList& row = laid.pages[0].photos;
         ASSERT_EQ(row.size(), 2u);
         const qint32 before = row[0].slot.left - laid.margin;
         const qint32 between = row[1].slot.left - row[0].slot.right;
         const qint32 after = laid.width - laid.margin - row[1].slot.right;
         EXPECT_NEAR(before, between, 1);
         EXPECT_NEAR(after, between, 1);
         EXPECT_FALSE(laid.results.landscapeTurn);
     }},
    {"CellTooLargeBothWaysTakesThePrintableArea",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.photos({"landscape", "portrait"}), PrintLayoutKind::Size13x18,
                               paper(1050, 1480));
         ASSERT_EQ(laid.pages.size(), 2u);
         for (const TPrintPage& page : laid.pages) {
             ASSERT_EQ(page.photos.size(), 1u);
             const MicroRect slot = page.photos[0].slot;
             EXPECT_EQ(slot, (MicroRect{3000, 3000, laid.width - 3000, laid.height - 3000}));
         }
         // The cell cannot turn, so the photo that does not match it may.
         EXPECT_TRUE(laid.pages[0].photos[0].rotateAllowed);
         EXPECT_FALSE(laid.pages[1].photos[0].rotateAllowed);
     }},
    {"CellNotTurnedWhereTheTurnedCellWouldLeaveThePaper",
     [](PhotoFolder& f) {
         // A5 landscape: 150 x 100 fits, 100 x 150 does not.
         const Laid laid =
             lay(f.photos({"portrait"}), PrintLayoutKind::Size10x15, paper(2100, 1480), true);
         const TPrintPhoto& slot = laid.pages.at(0).photos.at(0);
         EXPECT_EQ(slot.slot.width(), 150000);
         EXPECT_EQ(slot.slot.height(), 100000);
         EXPECT_TRUE(slot.rotateAllowed);
         expectInsideMargins(laid);
     }},
    {"ThumbnailPagesShareRowPitchAndColumnGap",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.repeated("landscape", 70), PrintLayoutKind::Thumbnails, kA4);
         ASSERT_GE(laid.pages.size(), 2u);
         const TPrintPhotoList& first = laid.pages[0].photos;
         for (const TPrintPage& page : laid.pages)
             for (std::size_t i = 0; i < page.photos.size(); ++i) {
                 EXPECT_EQ(page.photos[i].slot, first[i].slot);
                 EXPECT_FALSE(page.photos[i].fill);
             }
         expectInsideMargins(laid);
     }},
    {"ThumbnailRowsStayOnThePageAtAnyPaperHeight",
     [](PhotoFolder& f) {
         // 324 mm printable: nine rows fit by the row rule.
         const Laid laid =
             lay(f.repeated("landscape", 60), PrintLayoutKind::Thumbnails, paper(2100, 3300));
         expectInsideMargins(laid);
     }},
    {"UnreadablePhotoLeftOutOfFixedSizes",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.photos({"missing", "landscape"}), PrintLayoutKind::Size9x13, kA4);
         EXPECT_EQ(laid.results.slotCount, 1);
         EXPECT_EQ(laid.pages.at(0).photos.at(0).photo->fileName(), f.path("landscape"));
     }},
    {"UnreadablePhotoKeepsItsSlotInOnePerPage",
     [](PhotoFolder& f) {
         const Laid laid =
             lay(f.photos({"missing", "landscape"}), PrintLayoutKind::OnePerPage, kA4);
         EXPECT_EQ(laid.results.slotCount, 2);
         EXPECT_EQ(laid.pages.size(), 2u);
     }},
    {"NothingToPlaceGivesOneEmptyPage",
     [](PhotoFolder& f) {
         const Laid laid = lay(f.photos({"missing"}), PrintLayoutKind::Size13x18, kA4);
         ASSERT_EQ(laid.pages.size(), 1u);
         EXPECT_TRUE(laid.pages[0].photos.empty());
     }},
    {"SlotsAreRelativeToThePrintableArea",
     [](PhotoFolder& f) {
         const Laid laid =
             lay(f.photos({"landscape"}), PrintLayoutKind::OnePerPage, paper(2100, 2970, 60));
         const MicroRect slot = laid.pages.at(0).photos.at(0).slot;
         const qint32 offset = micrometresFromPixels(60, 300);
         EXPECT_EQ(laid.results.offsetLeft, offset);
         EXPECT_EQ(slot.left, 3000);
         EXPECT_EQ(slot.right, laid.width - 2 * offset - 3000);
     }},
};

INSTANTIATE_TEST_SUITE_P(Layouts, PrintLayoutEdgeCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrintLayout, PaperWithoutSizeFailsAndKeepsThePages)
{
    PhotoFolder folder;
    TPrintPageList pages(3);
    PrintLayoutResults results;
    results.slotCount = 7;
    PrintLayoutRequest request;
    EXPECT_FALSE(BuildPrintLayout(folder.photos({"landscape"}), request, pages, results));
    EXPECT_EQ(pages.size(), 3u);
    EXPECT_EQ(results.slotCount, 7);
}

TEST(TPrintPhotoObjectList, PathsDifferingOnlyInCaseAreTwoPhotos)
{
    TPrintPhotoObjectList cache;
    const TPrintPhotoObjectPtr lower = cache.findOrAdd(QStringLiteral("/p/a.jpg"));
    lower->setCropPosition(0.2);
    const TPrintPhotoObjectPtr upper = cache.findOrAdd(QStringLiteral("/p/A.jpg"));
    EXPECT_NE(lower, upper);
    EXPECT_DOUBLE_EQ(upper->cropPosition(), 0.5);
    EXPECT_EQ(cache.find(QStringLiteral("/p/a.jpg")), lower);
    EXPECT_EQ(cache.find(QStringLiteral("/P/a.jpg")), nullptr);
    // A later run gets the same object back, crop included.
    const TPrintPhotoObjectRefs run =
        cache.objectsFor({QStringLiteral("/p/A.jpg"), QStringLiteral("/p/a.jpg")});
    EXPECT_EQ(run[0], upper);
    EXPECT_DOUBLE_EQ(run[1]->cropPosition(), 0.2);
    EXPECT_EQ(cache.count(), 2);
}

} // namespace
