// The print wizard offscreen on real photo files, printing real PDF files that poppler reads
// back: the printer list, the settings dialog, the layout page, the preview worker, the crop
// bar and the print run with its cancel.
#include "EventLoopWait.h"
#include "ModalAnswer.h"
#include "TPrinterObject.h"
#include "TSpecialScrollBar.h"
#include "TVelkoScrollPanel.h"
#include "TestApplication.h"
#include "TfrmPrint.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

// Qt's own file and page-setup dialogs hand work to helper threads inside the uninstrumented Qt
// libraries, whose hand-overs ThreadSanitizer cannot see; tests that open them run in the
// plain build only.
#if defined(__SANITIZE_THREAD__)
#define SKIP_WITH_QT_DIALOG_THREADS() GTEST_SKIP() << "opens a dialog with Qt's own threads"
#else
#define SKIP_WITH_QT_DIALOG_THREADS() static_cast<void>(0)
#endif

namespace {

constexpr int kDotsPerMetre300 = 11811; // 300 ppi

template <class T> T* child(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        ADD_FAILURE() << "no child " << name;
    return found;
}

// Three upright stripes, red, green and blue from left to right.
QImage stripes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i)
        painter.fillRect(i * width / 3, 0, width / 3 + 1, height, colours[i]);
    painter.end();
    image.setDotsPerMeterX(kDotsPerMetre300);
    image.setDotsPerMeterY(kDotsPerMetre300);
    return image;
}

char dominant(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (r > 2 * g && r > 2 * b)
        return 'r';
    if (g > 2 * r && g > 2 * b)
        return 'g';
    if (b > 2 * r && b > 2 * g)
        return 'b';
    return '?';
}

QString pdfInfo(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QImage pdfPage(const QString& pdf, int page, int dpi)
{
    const QString stem = pdf + QStringLiteral("-page");
    QProcess::execute(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                       QString::number(page), QStringLiteral("-l"), QString::number(page),
                       QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, stem});
    return QImage(stem + QStringLiteral(".png"));
}

// The smallest rectangle holding every pixel that is not near white.
QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qRed(pixel) < 200 || qGreen(pixel) < 200 || qBlue(pixel) < 200)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

class PrintWizardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }

    void TearDown() override
    {
        if (wizard)
            wizard->done(QDialog::Rejected);
    }

    QString photo(const QString& name, const QImage& image)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG", 90));
        return path;
    }

    void open(const QStringList& paths)
    {
        wizard = std::make_unique<TfrmPrint>();
        wizard->setPhotos(cache.objectsFor(paths));
        wizard->setActivePageIndex(0);
        wizard->show();
        auto* printers = child<QComboBox>(*wizard, "cmbPrinter");
        const int pdf = printers->findText(GetText(331));
        ASSERT_GE(pdf, 0);
        printers->setCurrentIndex(pdf);
        QPrinter* printer = wizard->selectedPrinter()->deviceMode();
        ASSERT_NE(printer, nullptr);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setPageOrientation(QPageLayout::Portrait);
    }

    // From the printer page to the preview with the given layout.
    void preview(const char* layoutButton)
    {
        child<QPushButton>(*wizard, "btnNext0")->click();
        child<QRadioButton>(*wizard, layoutButton)->click();
        child<QPushButton>(*wizard, "btnNext1")->click();
        ASSERT_EQ(wizard->ActivePageIndex(), 2);
    }

    // Prints to a new PDF file, answering the file dialog; the run is then under way.
    QString print()
    {
        const QString pdf = output.filePath(QStringLiteral("photos.pdf"));
        onModal<QFileDialog>([pdf](QFileDialog* dialog) {
            // Typed, as a user would: selectFile leaves a focused name field alone.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(pdf);
            static_cast<QDialog*>(dialog)->accept();
        });
        child<QPushButton>(*wizard, "btnPrint")->click();
        EXPECT_EQ(wizard->ActivePageIndex(), 3);
        return pdf;
    }

    bool completed() const { return child<QWidget>(*wizard, "pnCompleted")->isVisible(); }

    QTemporaryDir photos;
    QTemporaryDir outputs;
    QDir folder{photos.path()};
    QDir output{outputs.path()};
    TPrintPhotoObjectList cache;
    std::unique_ptr<TfrmPrint> wizard;
};

struct DefaultPrinterCase
{
    const char* name;
    std::vector<const char*> printers;
    const char* defaultName;
    int expected;
};

class DefaultPrinterTest : public ::testing::TestWithParam<DefaultPrinterCase>
{};

TEST_P(DefaultPrinterTest, SelectsTheDefaultElseTheFirst)
{
    QStringList printers;
    for (const char* name : GetParam().printers)
        printers << QLatin1String(name);
    EXPECT_EQ(defaultPrinterIndex(printers, QLatin1String(GetParam().defaultName)),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, DefaultPrinterTest,
    ::testing::Values(DefaultPrinterCase{"DefaultListed", {"Office", "Photo", "Label"}, "Photo", 1},
                      // CUPS queue names ignore case.
                      DefaultPrinterCase{"DefaultInOtherCase", {"Office", "Photo"}, "photo", 1},
                      DefaultPrinterCase{"DefaultMissing", {"Office", "Photo"}, "Gone", 0},
                      DefaultPrinterCase{"NoDefault", {"Office", "Photo"}, "", 0},
                      DefaultPrinterCase{"NoPrinters", {}, "Photo", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintWizardTest, WithoutReachableQueuesTheFileEntryIsListedAndSelected)
{
    TfrmPrint window;
    auto* printers = child<QComboBox>(window, "cmbPrinter");
    ASSERT_EQ(printers->count(), 1);
    EXPECT_EQ(printers->currentText(), GetText(331));
    EXPECT_TRUE(window.selectedPrinter()->isPdfFile());
    EXPECT_TRUE(child<QPushButton>(window, "btnPrinterSettings")->isEnabled());
}

// The dialog works on a copy: what it changes reaches the printer only when accepted.
TEST_F(PrintWizardTest, SettingsDialogReplacesTheSettingsOnlyWhenAccepted)
{
    SKIP_WITH_QT_DIALOG_THREADS();
    open({});
    TPrinterObject* entry = wizard->selectedPrinter();
    QPrinter* before = entry->deviceMode();
    auto chooseLandscape = [](QDialog* dialog, bool accept) {
        auto* landscape = dialog->findChild<QRadioButton*>(QStringLiteral("landscape"));
        ASSERT_NE(landscape, nullptr);
        landscape->click();
        accept ? dialog->accept() : dialog->reject();
    };

    onModal<QDialog>([&](QDialog* dialog) { chooseLandscape(dialog, false); });
    child<QPushButton>(*wizard, "btnPrinterSettings")->click();
    EXPECT_EQ(entry->deviceMode(), before);
    EXPECT_EQ(entry->deviceMode()->pageLayout().orientation(), QPageLayout::Portrait);

    onModal<QDialog>([&](QDialog* dialog) { chooseLandscape(dialog, true); });
    child<QPushButton>(*wizard, "btnPrinterSettings")->click();
    EXPECT_EQ(entry->deviceMode()->pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(entry->deviceMode()->pageLayout().pageSize().id(), QPageSize::A4);
}

TEST_F(PrintWizardTest, EnlargeIsOfferedOnlyForOneTwoAndFourPerPage)
{
    open({});
    child<QPushButton>(*wizard, "btnNext0")->click();
    const std::pair<const char*, bool> layouts[] = {
        {"rb9x13", false}, {"rbOne", true},     {"rbTwo", true},   {"rb10x15", false},
        {"rbFour", true},  {"rbThumbs", false}, {"rb13x18", false}};
    for (const auto& [button, offered] : layouts) {
        SCOPED_TRACE(button);
        child<QRadioButton>(*wizard, button)->click();
        EXPECT_EQ(child<QCheckBox>(*wizard, "chkEnlarge")->isEnabled(), offered);
        EXPECT_EQ(child<QLabel>(*wizard, "lblEnlarge")->isEnabled(), offered);
    }
}

// A 13 x 4 in photo that covers a 10 x 15 cm cell overflows sideways: the crop bar moved to
// its end keeps the right end, which the printed page shows.
TEST_F(PrintWizardTest, CropBarAtItsEndPrintsTheEndOfTheOverflowingSide)
{
    SKIP_WITH_QT_DIALOG_THREADS();
    const QString wide = photo(QStringLiteral("wide.jpg"), stripes(3900, 1200));
    open({wide});
    preview("rb10x15");
    EXPECT_TRUE(child<QLabel>(*wizard, "lblCropHelp")->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return wizard->findChild<TSpecialScrollBar*>() != nullptr; }));
    auto* bar = wizard->findChild<TSpecialScrollBar*>();
    EXPECT_EQ(bar->orientation(), Qt::Horizontal);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_DOUBLE_EQ(cache.find(wide)->cropPosition(), 0.5);

    bar->track()->moveThumbBy(10000);
    EXPECT_DOUBLE_EQ(cache.find(wide)->cropPosition(), 1.0);
    auto* image = wizard->findChild<QLabel*>(QStringLiteral("imPhoto0"));
    const QWidget* slot = image->parentWidget();
    EXPECT_EQ(image->x(), slot->width() - image->width());

    bool boxShown = false;
    onModal<QMessageBox>([&](QMessageBox* box) {
        boxShown = true;
        box->accept();
    });
    const QString pdf = print();
    ASSERT_TRUE(pumpUntil([&] { return boxShown; }, 60s));
    const QImage page = pdfPage(pdf, 1, 50);
    const QRect ink = inkBounds(page);
    ASSERT_FALSE(ink.isEmpty());
    // The visible half starts in the middle stripe; centred it would start in the first.
    EXPECT_EQ(dominant(page.pixel(ink.left() + 3, ink.center().y())), 'g');
    EXPECT_EQ(dominant(page.pixel(ink.right() - 3, ink.center().y())), 'b');
}

TEST_F(PrintWizardTest, TwoPhotosPrintToATwoPagePdf)
{
    SKIP_WITH_QT_DIALOG_THREADS();
    const QString first = photo(QStringLiteral("first.jpg"), stripes(1800, 1200));
    const QString second = photo(QStringLiteral("second.jpg"), stripes(1200, 1800));
    open({first, second});
    preview("rbOne");
    EXPECT_FALSE(child<QLabel>(*wizard, "lblCropHelp")->isVisible());
    EXPECT_EQ(child<QLabel>(*wizard, "lblPapersize")->text(), QStringLiteral("210 x 297 mm"));
    EXPECT_EQ(child<QLabel>(*wizard, "lblPageNo")->text(), QStringLiteral("(1 / 2)"));

    bool boxShown = false;
    onModal<QMessageBox>([&](QMessageBox* box) {
        boxShown = box->objectName() == QLatin1String("PrintCompleted");
        box->accept();
    });
    const QString pdf = print();
    ASSERT_TRUE(pumpUntil([&] { return boxShown; }, 60s));
    EXPECT_EQ(child<QLabel>(*wizard, "lblCompleted")->text(), GetText(327));
    EXPECT_EQ(child<QLabel>(*wizard, "lblPct")->text(), QStringLiteral("100 %"));
    const QString info = pdfInfo(pdf);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("(A4)"))) << info.toStdString();
    EXPECT_EQ(output.entryList(QDir::Files), QStringList{QStringLiteral("photos.pdf")});
}

TEST_F(PrintWizardTest, CancelDuringPrintingLeavesNoFileAndNoCompletionBox)
{
    SKIP_WITH_QT_DIALOG_THREADS();
    const QString one = photo(QStringLiteral("one.jpg"), stripes(2400, 1600));
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << one;
    open(many);
    preview("rbOne");
    const QString pdf = print();
    ASSERT_TRUE(
        pumpUntil([&] { return !child<QLabel>(*wizard, "lblCurrFileName")->text().isEmpty(); }));
    ASSERT_FALSE(completed());
    bool boxShown = false;
    onModal<QMessageBox>([&](QMessageBox* box) {
        boxShown = true;
        box->accept();
    });
    child<QPushButton>(*wizard, "btnCancel")->click();
    EXPECT_FALSE(wizard->hasPrintThread());
    EXPECT_TRUE(completed());
    EXPECT_EQ(child<QLabel>(*wizard, "lblCompleted")->text(), GetText(328));
    pumpFor(300ms);
    EXPECT_FALSE(boxShown);
    EXPECT_TRUE(output.entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

// A large photo full of detail takes a while to decode; moving on to the next page stops
// that at once instead of finishing it.
TEST_F(PrintWizardTest, ChangingThePageStopsTheLoadUnderWay)
{
    QImage noise(6000, 4000, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = 0xff000000u | (seed >> 8);
        }
    }
    const QString slow = photo(QStringLiteral("large.jpg"), noise);
    const QString quick = photo(QStringLiteral("small.jpg"), stripes(600, 400));
    open({slow, quick, slow});

    QList<std::pair<int, int>> started;
    QList<std::pair<int, int>> shown;
    QObject::connect(wizard.get(), &TfrmPrint::previewPhotoStarted, [&](int page, int index) {
        started.append({page, index});
    });
    QObject::connect(wizard.get(), &TfrmPrint::previewPhotoShown, [&](int page, int index) {
        shown.append({page, index});
    });
    QElapsedTimer whole;
    whole.start();
    preview("rbOne");
    ASSERT_TRUE(pumpUntil([&] { return shown.contains({0, 0}); }, 60s));
    const qint64 fullLoad = whole.elapsed();

    auto* next = child<QToolButton>(*wizard, "udPageNoUp");
    next->click(); // page 2, the quick photo
    ASSERT_TRUE(pumpUntil([&] { return shown.contains({1, 0}); }));
    next->click(); // page 3, the large bitmap again
    ASSERT_TRUE(pumpUntil([&] { return started.contains({2, 0}); }));
    QElapsedTimer stop;
    stop.start();
    child<QToolButton>(*wizard, "udPageNoDown")->click();
    const qint64 stopped = stop.elapsed();
#if !defined(__SANITIZE_THREAD__)
    // ThreadSanitizer slows the file read, which no flag stops, far more than the decoding.
    EXPECT_LT(stopped * 4, fullLoad) << stopped << " ms to stop, " << fullLoad << " ms to load";
#else
    static_cast<void>(stopped);
    static_cast<void>(fullLoad);
#endif
    EXPECT_EQ(wizard->shownPage(), 1);
    ASSERT_TRUE(pumpUntil([&] { return shown.count() == 3; }));
    EXPECT_FALSE(shown.contains({2, 0}));
    EXPECT_EQ(shown.last(), std::make_pair(1, 0));
}

} // namespace
