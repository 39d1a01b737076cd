// The print wizard with a real CUPS queue: the queue of a private server is listed, and two
// photos printed from the wizard reach the printer behind it as a two-page document.
#include "CupsTestServer.h"
#include "EventLoopWait.h"
#include "ModalAnswer.h"
#include "PopplerProbe.h"
#include "PrintTestPhotos.h"
#include "TPrinterObject.h"
#include "TestApplication.h"
#include "TfrmPrint.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using printtest::CupsTestServer;

TEST(PrintWizardCups, PrintsTwoPhotosToTheListedQueue)
{
    testsupport::ensureApplication();
    // Before the wizard's first CUPS call, which reads CUPS_SERVER once.
    CupsTestServer server;
    ASSERT_TRUE(server.isReady()) << server.errorText().toStdString();

    QTemporaryDir photos;
    TPrintPhotoObjectList cache;
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        paths << photos.filePath(QStringLiteral("p%1.jpg").arg(i));
        printtest::writePlainPhoto(paths.last(), 1200, 800, 200, i ? Qt::darkBlue : Qt::darkRed);
    }

    TfrmPrint wizard;
    wizard.setPhotos(cache.objectsFor(paths));
    wizard.setActivePageIndex(0);
    wizard.show();
    auto* printers = wizard.findChild<QComboBox*>(QStringLiteral("cmbPrinter"));
    ASSERT_NE(printers, nullptr);
    const int queue = printers->findText(CupsTestServer::queueName());
    ASSERT_GE(queue, 0) << "the private queue is not listed";
    printers->setCurrentIndex(queue);
    QPrinter* printer = wizard.selectedPrinter()->deviceMode();
    ASSERT_NE(printer, nullptr);
    printer->setPageSize(QPageSize(QPageSize::A4));

    wizard.findChild<QPushButton*>(QStringLiteral("btnNext0"))->click();
    wizard.findChild<QRadioButton*>(QStringLiteral("rbOne"))->click();
    wizard.findChild<QPushButton*>(QStringLiteral("btnNext1"))->click();
    ASSERT_EQ(wizard.ActivePageIndex(), 2);

    bool completed = false;
    onModal<QMessageBox>([&](QMessageBox* box) {
        completed = box->objectName() == QLatin1String("PrintCompleted");
        box->accept();
    });
    wizard.findChild<QPushButton*>(QStringLiteral("btnPrint"))->click();
    ASSERT_TRUE(pumpUntil([&] { return completed; }, 60s));

    ASSERT_TRUE(server.waitForKeptDocuments(1, 60s));
    EXPECT_EQ(printtest::pdfPageCount(server.keptDocuments().last()), 2);
    wizard.done(QDialog::Accepted);
}

} // namespace
