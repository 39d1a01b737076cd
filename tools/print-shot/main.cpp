// Walks the print wizard over the given photos as a user would, saves a picture of each of its
// four pages and prints the photos to OUTPUT-FOLDER/printed.pdf.
// usage: velko-print-shot OUTPUT-FOLDER LAYOUT-BUTTON PHOTO...   (LAYOUT-BUTTON e.g. rb10x15)
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "TPrintPhotoObject.h"
#include "TPrinterObject.h"
#include "TfrmPrint.h"
#include "uLanguage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPrinter>
#include <QProgressBar>
#include <QTimer>

#include <cstdio>

namespace {

void pumpWhile(const std::function<bool()>& busy, int limitMs = 20000)
{
    const QDeadlineTimer deadline(limitMs);
    while (busy() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

int fail(const char* message)
{
    std::fprintf(stderr, "velko-print-shot: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage();
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return fail("usage: velko-print-shot OUTPUT-FOLDER LAYOUT-BUTTON PHOTO...");
    const QDir output(args[1]);
    const QString layoutButton = args[2];

    TPrintPhotoObjectList cache;
    TfrmPrint wizard;
    wizard.setPhotos(cache.objectsFor(args.mid(3)));
    wizard.setActivePageIndex(0);
    wizard.show();
    auto* printers = wizard.findChild<QComboBox*>(QStringLiteral("cmbPrinter"));
    printers->setCurrentIndex(printers->count() - 1); // the file entry
    QPrinter* printer = wizard.selectedPrinter() ? wizard.selectedPrinter()->deviceMode() : nullptr;
    if (printer == nullptr)
        return fail("no printer settings");
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);

    auto click = [&](const QString& name) {
        if (auto* button = wizard.findChild<QAbstractButton*>(name))
            button->click();
        QCoreApplication::processEvents();
    };
    auto shoot = [&](const char* name) {
        QCoreApplication::processEvents();
        wizard.grab().save(output.filePath(QLatin1String(name)));
    };

    shoot("print-1-printer.png");
    click(QStringLiteral("btnNext0"));
    click(layoutButton);
    shoot("print-2-layout.png");

    int shown = 0;
    QObject::connect(&wizard, &TfrmPrint::previewPhotoShown, [&] { ++shown; });
    QElapsedTimer preview;
    preview.start();
    click(QStringLiteral("btnNext1"));
    pumpWhile([&] { return wizard.hasPreviewThread() && shown < int(args.size()) - 3; }, 5000);
    std::fprintf(stderr, "preview of the first page: %lld ms\n", preview.elapsed());
    shoot("print-3-preview.png");

    // The status page is taken while the run is under way, as soon as it shows progress.
    bool statusTaken = false;
    auto* progress = wizard.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && !statusTaken) {
            statusTaken = true;
            // Once the percentage beside the bar has followed.
            QTimer::singleShot(0, [&] { shoot("print-4-status.png"); });
        }
    });
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            // Typed, as a user would: selectFile leaves a focused name field alone.
            if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(output.filePath(QStringLiteral("printed.pdf")));
            static_cast<QDialog*>(files)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->accept();
        }
    });
    answer.start(20);
    click(QStringLiteral("btnPrint"));
    pumpWhile([&] { return wizard.hasPrintThread(); }, 60000);
    pumpWhile([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
    return output.exists(QStringLiteral("printed.pdf")) ? 0 : fail("nothing was printed");
}
