// Printing: 100 photos of 12 megapixels four to an A4 page into a PDF at 300 dpi, against
// ImageMagick's montage making the same 2 x 2 pages at 300 dpi from the same photos; the
// print run's peak resident memory and the PDF's size per photo; and the preview of one page
// of four 24-megapixel photos. One-shot figures, so a plain program printing a table.
#include "CameraPhoto.h"
#include "EventLoopWait.h"
#include "MadeOnce.h"
#include "PeakMemory.h"
#include "PhotoPlacement.h"
#include "PrintLayout.h"
#include "TPrintThread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

#include <unistd.h>

#include <cstdio>
#include <optional>

namespace {

constexpr int kPrintPhotos = 100;
constexpr int kDistinctPhotos = 20; // the rest are hard links
constexpr int kPreviewPhotos = 4;
constexpr int kDpi = 300;
constexpr double kPreviewPpi = 40;

constexpr double kRssGoalMb = 500;
constexpr double kPdfPerPhotoGoalMb = 2;
constexpr double kPreviewGoalMs = 1000;
const char* const kCacheMark = "complete-v1";

QString benchRoot()
{
    return QDir::tempPath() + QStringLiteral("/velko-bench-print");
}

QString printPhoto(int i)
{
    return benchRoot() + QStringLiteral("/print/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
}

QString previewPhoto(int i)
{
    return benchRoot() + QStringLiteral("/preview/IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
}

bool makePhotos()
{
    return makeOnce(benchRoot(), kCacheMark, [] {
        if (!QDir().mkpath(benchRoot() + QStringLiteral("/print")) ||
            !QDir().mkpath(benchRoot() + QStringLiteral("/preview")))
            return false;
        for (int i = 0; i < kPrintPhotos; ++i) {
            std::fprintf(stderr, "\rmaking photo %d of %d", i + 1, kPrintPhotos);
            if (i < kDistinctPhotos) {
                if (!writeCameraJpeg(printPhoto(i), 4000, 3000, i))
                    return false;
            } else if (::link(QFile::encodeName(printPhoto(i % kDistinctPhotos)).constData(),
                              QFile::encodeName(printPhoto(i)).constData()) != 0) {
                return false;
            }
        }
        for (int i = 0; i < kPreviewPhotos; ++i)
            if (!writeCameraJpeg(previewPhoto(i), 6000, 4000, 50 + i))
                return false;
        std::fprintf(stderr, "\n");
        return true;
    });
}

PrintSettings a4Settings()
{
    PrintSettings settings;
    settings.pageLayout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(4, 4, 4, 4), QPageLayout::Millimeter);
    settings.resolution = kDpi;
    return settings;
}

struct PrintFigures
{
    double seconds = -1;
    double rssMb = -1;
    qint64 pdfBytes = 0;
    int pages = 0;
};

PrintFigures printToPdf(const QString& pdf)
{
    TPrintPhotoObjectList cache;
    TPrintPhotoObjectRefs photos;
    for (int i = 0; i < kPrintPhotos; ++i)
        photos.push_back(cache.findOrAdd(printPhoto(i)));
    const PrintSettings settings = a4Settings();
    PrintLayoutRequest request;
    request.kind = PrintLayoutKind::FourPerPage;
    request.paper = paperMetrics(settings, true);
    TPrintPageList pages;
    PrintLayoutResults results;
    PrintFigures figures;
    if (!BuildPrintLayout(photos, request, pages, results))
        return figures;
    figures.pages = int(pages.size());

    std::optional<int> result;
    std::unique_ptr<TPrintThread> thread;
    resetPeakRss();
    QElapsedTimer clock;
    clock.start();
    thread = std::make_unique<TPrintThread>(
        [&](const WindowMessage& message) -> qintptr {
            if (message.id == WM_PRINT_RESULT) {
                result = int(message.wParam);
                return 0;
            }
            return answerPrintJob(pages, int(message.wParam), int(message.lParam), thread->job());
        },
        settings, PrintTarget::pdfFile(pdf), true, false);
    thread->start();
    if (!pumpUntil([&] { return result.has_value(); }, 30min) || *result != PrintDone)
        return figures;
    figures.seconds = clock.elapsed() / 1000.0;
    figures.rssMb = peakRssMb();
    figures.pdfBytes = QFileInfo(pdf).size();
    return figures;
}

// The same 2 x 2 A4 pages at 300 dpi (2480 x 3508), one montage call a page, as JPEG files.
double montagePages(const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    for (int page = 0; page * 4 < kPrintPhotos; ++page) {
        QStringList arguments;
        for (int i = page * 4; i < std::min(kPrintPhotos, page * 4 + 4); ++i)
            arguments << printPhoto(i);
        arguments << QStringLiteral("-tile") << QStringLiteral("2x2") << QStringLiteral("-geometry")
                  << QStringLiteral("1090x1604+75+75") << QStringLiteral("-density")
                  << QString::number(kDpi) << QStringLiteral("-quality") << QStringLiteral("90")
                  << QDir(folder).filePath(QStringLiteral("page%1.jpg").arg(page));
        QProcess montage;
        montage.start(QStringLiteral("montage"), arguments);
        if (!montage.waitForFinished(10 * 60 * 1000) || montage.exitCode() != 0) {
            std::fprintf(stderr, "montage failed: %s\n",
                         montage.readAllStandardError().constData());
            return -1;
        }
    }
    return clock.elapsed() / 1000.0;
}

// One page of four 24-megapixel photos as the preview renders it: each photo placed at the
// preview's scale, one after the other as the preview worker does.
double previewPage()
{
    const PrintSettings settings = a4Settings();
    TPrintPhotoObjectList cache;
    TPrintPhotoObjectRefs photos;
    for (int i = 0; i < kPreviewPhotos; ++i)
        photos.push_back(cache.findOrAdd(previewPhoto(i)));
    PrintLayoutRequest request;
    request.kind = PrintLayoutKind::FourPerPage;
    request.paper = paperMetrics(settings, true);
    TPrintPageList pages;
    PrintLayoutResults results;
    if (!BuildPrintLayout(photos, request, pages, results))
        return -1;
    const imaging::CancelFlag cancel = 0;
    QElapsedTimer clock;
    clock.start();
    for (const TPrintPhoto& slot : pages[0].photos) {
        PlacementRequest placement;
        placement.fileName = slot.photo->fileName();
        placement.slot = slot.slot;
        placement.rotateAllowed = slot.rotateAllowed;
        placement.enlarge = slot.enlarge;
        placement.fill = slot.fill;
        placement.ppiX = placement.ppiY = kPreviewPpi;
        placement.mode = PlacementMode::Preview;
        if (!PlacePhoto(placement, &cancel))
            return -1;
    }
    return clock.elapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (!makePhotos()) {
        std::fprintf(stderr, "could not make the photos under %s\n", qPrintable(benchRoot()));
        return 1;
    }
    const QString out = benchRoot() + QStringLiteral("/out");
    QDir(out).removeRecursively();
    QDir().mkpath(out);

    const double previewMs = previewPage();
    const PrintFigures ours = printToPdf(out + QStringLiteral("/photos.pdf"));
    QProcess probe;
    probe.start(QStringLiteral("montage"), {QStringLiteral("-version")});
    const bool haveMontage = probe.waitForFinished() && probe.exitCode() == 0;
    const double montageSeconds = haveMontage ? montagePages(out) : -1;

    const double pdfPerPhotoMb = ours.pdfBytes / 1048576.0 / kPrintPhotos;
    std::printf("%-52s %10s %10s\n", "figure", "measured", "goal");
    std::printf("%-52s %9.1fs %10s\n", "print 100 x 12 MP, 4 per A4 page, 300 dpi, to PDF",
                ours.seconds, "<= montage");
    std::printf("%-52s %9.1fs %10s\n", "montage, the same 25 pages, 2x2 at 300 dpi (JPEG)",
                montageSeconds, "");
    std::printf("%-52s %8.0fMB %8.0fMB\n", "peak resident memory while printing", ours.rssMb,
                kRssGoalMb);
    std::printf("%-52s %8.2fMB %8.0fMB\n", "PDF size per photo", pdfPerPhotoMb, kPdfPerPhotoGoalMb);
    std::printf("%-52s %8.0fms %8.0fms\n", "preview of a page of four 24 MP photos at 40 ppi",
                previewMs, kPreviewGoalMs);
    std::printf("pages %d, PDF %s\n", ours.pages, qPrintable(out + QStringLiteral("/photos.pdf")));
    const bool met = ours.seconds > 0 && (montageSeconds < 0 || ours.seconds <= montageSeconds) &&
                     ours.rssMb < kRssGoalMb && pdfPerPhotoMb < kPdfPerPhotoGoalMb &&
                     previewMs >= 0 && previewMs < kPreviewGoalMs;
    std::printf("%s\n", met ? "all goals met" : "GOAL MISSED");
    return met ? 0 : 2;
}
