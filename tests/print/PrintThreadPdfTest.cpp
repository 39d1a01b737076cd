#include "PopplerProbe.h"
#include "PrintTestPhotos.h"
#include "PrintThreadTestRun.h"
#include "TestApplication.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

using printtest::PrintRun;

const QColor kColours[] = {QColor(200, 30, 30), QColor(30, 160, 40), QColor(30, 40, 200),
                           QColor(200, 180, 20), QColor(150, 30, 160)};
constexpr int kResolution = 150;

class PrintThreadPdf : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        // Landscape and portrait photos in turn, each a plain colour.
        for (int i = 0; i < 5; ++i) {
            const QString path = mPhotos.filePath(QStringLiteral("photo%1.jpg").arg(i));
            const bool wide = i % 2 == 0;
            printtest::writePlainPhoto(path, wide ? 900 : 600, wide ? 600 : 900, 150, kColours[i]);
            mColours[path] = kColours[i];
            mObjects.push_back(mCache.findOrAdd(path));
        }
    }

    static PrintSettings settings(QPageLayout::Orientation orientation)
    {
        PrintSettings s;
        s.pageLayout = QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(4, 6, 4, 6),
                                   QPageLayout::Millimeter);
        s.resolution = kResolution;
        return s;
    }

    QString output(const QString& name) const { return mOutput.filePath(name); }

    QTemporaryDir mPhotos;
    QTemporaryDir mOutput;
    TPrintPhotoObjectList mCache;
    TPrintPhotoObjectRefs mObjects;
    std::map<QString, QColor> mColours;
};

struct LayoutCase
{
    const char* name;
    PrintLayoutKind kind;
    QPageLayout::Orientation orientation;
};

class PrintThreadPdfLayout : public PrintThreadPdf, public ::testing::WithParamInterface<LayoutCase>
{};

TEST_P(PrintThreadPdfLayout, PrintsWhatTheModelSays)
{
    const LayoutCase& c = GetParam();
    const PrintSettings s = settings(c.orientation);
    PrintRun run;
    ASSERT_TRUE(run.layOut(mObjects, c.kind, s));
    const QString pdf = output(QStringLiteral("out.pdf"));
    run.start(s, PrintTarget::pdfFile(pdf), c.kind);
    ASSERT_TRUE(run.wait());
    ASSERT_EQ(run.result, PrintDone) << run.thread->errorText().toStdString();
    EXPECT_EQ(run.thread->printedCount(), run.results.slotCount);

    EXPECT_EQ(printtest::pdfPageCount(pdf), int(run.pages.size()));
    // One, two and four per page print on a portrait page, the others as the printer is set.
    const bool landscapePage = c.orientation == QPageLayout::Landscape && !isNPerPage(c.kind);
    const QSizeF size = printtest::pdfPageSize(pdf);
    EXPECT_NEAR(landscapePage ? size.height() : size.width(), 595.3, 1);
    EXPECT_NEAR(landscapePage ? size.width() : size.height(), 841.9, 1);

    const std::vector<printtest::PdfImage> images = printtest::pdfImages(pdf);
    EXPECT_EQ(int(images.size()), run.results.slotCount);
    for (const printtest::PdfImage& image : images)
        EXPECT_EQ(image.encoding, QStringLiteral("jpeg"));

    // The middle of every slot on the first page shows its photo's colour; the unprintable
    // border stays white.
    constexpr int dpi = 30;
    const QImage page = printtest::renderPdfPage(pdf, 1, dpi);
    ASSERT_FALSE(page.isNull());
    const QPageLayout layout = s.runLayout(isNPerPage(c.kind));
    const QPointF origin = layout.paintRect(QPageLayout::Millimeter).topLeft() * 1000;
    for (const TPrintPhoto& slot : run.pages[0].photos) {
        const double x = origin.x() + (slot.slot.left + slot.slot.right) / 2.0;
        const double y = origin.y() + (slot.slot.top + slot.slot.bottom) / 2.0;
        const QColor seen =
            page.pixelColor(pixelsFromMicrometres(x, dpi), pixelsFromMicrometres(y, dpi));
        const QColor wanted = mColours[slot.photo->fileName()];
        EXPECT_NEAR(seen.red(), wanted.red(), 30) << slot.photo->fileName().toStdString();
        EXPECT_NEAR(seen.green(), wanted.green(), 30);
        EXPECT_NEAR(seen.blue(), wanted.blue(), 30);
    }
    EXPECT_EQ(page.pixelColor(2, 2), QColor(Qt::white));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PrintThreadPdfLayout,
    ::testing::Values(
        LayoutCase{"OnePerPage", PrintLayoutKind::OnePerPage, QPageLayout::Portrait},
        LayoutCase{"TwoPerPage", PrintLayoutKind::TwoPerPage, QPageLayout::Portrait},
        LayoutCase{"FourPerPage", PrintLayoutKind::FourPerPage, QPageLayout::Portrait},
        LayoutCase{"FourPerPageLandscape", PrintLayoutKind::FourPerPage, QPageLayout::Landscape},
        LayoutCase{"Size9x13", PrintLayoutKind::Size9x13, QPageLayout::Portrait},
        LayoutCase{"Size10x15Landscape", PrintLayoutKind::Size10x15, QPageLayout::Landscape},
        LayoutCase{"Size13x18", PrintLayoutKind::Size13x18, QPageLayout::Portrait},
        LayoutCase{"Thumbnails", PrintLayoutKind::Thumbnails, QPageLayout::Portrait}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintThreadPdf, StoppedWhilePrintingLeavesNoFileAndSendsNoResult)
{
    const PrintSettings s = settings(QPageLayout::Portrait);
    PrintRun run;
    ASSERT_TRUE(run.layOut(mObjects, PrintLayoutKind::OnePerPage, s));
    // The Cancel button: stop the worker from the window's thread while it waits.
    run.onJob = [&](int jobs) {
        if (jobs == 2)
            run.thread->stop();
    };
    run.start(s, PrintTarget::pdfFile(output(QStringLiteral("out.pdf"))),
              PrintLayoutKind::OnePerPage);
    ASSERT_TRUE(run.wait());
    EXPECT_FALSE(run.result.has_value());
    EXPECT_TRUE(QDir(mOutput.path()).isEmpty()) << "a partial document was left behind";
}

TEST_F(PrintThreadPdf, CancelFlagEndsWithCancelledAndNoFile)
{
    const PrintSettings s = settings(QPageLayout::Portrait);
    PrintRun run;
    ASSERT_TRUE(run.layOut(mObjects, PrintLayoutKind::FourPerPage, s));
    run.onJob = [&](int jobs) {
        if (jobs == 3)
            run.thread->cancelFlag().store(1);
    };
    run.start(s, PrintTarget::pdfFile(output(QStringLiteral("out.pdf"))),
              PrintLayoutKind::FourPerPage);
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.result, PrintCancelled);
    EXPECT_TRUE(QDir(mOutput.path()).isEmpty());
}

TEST_F(PrintThreadPdf, UnwritableDestinationIsAnError)
{
    const PrintSettings s = settings(QPageLayout::Portrait);
    PrintRun run;
    ASSERT_TRUE(run.layOut(mObjects, PrintLayoutKind::OnePerPage, s));
    run.start(s, PrintTarget::pdfFile(output(QStringLiteral("no/such/folder/out.pdf"))),
              PrintLayoutKind::OnePerPage);
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.result, PrintError);
}

TEST_F(PrintThreadPdf, UnreadablePhotoIsCountedAndLeftBlank)
{
    const PrintSettings s = settings(QPageLayout::Portrait);
    TPrintPhotoObjectRefs photos = mObjects;
    photos.insert(photos.begin() + 1,
                  mCache.findOrAdd(mPhotos.filePath(QStringLiteral("missing.jpg"))));
    PrintRun run;
    ASSERT_TRUE(run.layOut(photos, PrintLayoutKind::TwoPerPage, s));
    const QString pdf = output(QStringLiteral("out.pdf"));
    run.start(s, PrintTarget::pdfFile(pdf), PrintLayoutKind::TwoPerPage);
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.result, PrintDone);
    EXPECT_EQ(run.thread->printedCount(), 6);
    EXPECT_EQ(printtest::pdfPageCount(pdf), 3);
    EXPECT_EQ(printtest::pdfImages(pdf).size(), 5u);
}

} // namespace
