#include "CupsTestServer.h"
#include "PopplerProbe.h"
#include "PrintTestPhotos.h"
#include "PrintThreadTestRun.h"
#include "TestApplication.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using printtest::CupsTestServer;

class PrintCups : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        testsupport::ensureApplication();
        sServer = new CupsTestServer;
    }
    static void TearDownTestSuite()
    {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(sServer->isReady()) << sServer->errorText().toStdString(); }

    static CupsTestServer* sServer;
};

CupsTestServer* PrintCups::sServer = nullptr;

TEST_F(PrintCups, TwoPhotosOnePerPageReachThePrinterAsTwoPages)
{
    QTemporaryDir photos;
    TPrintPhotoObjectList cache;
    TPrintPhotoObjectRefs objects;
    for (int i = 0; i < 2; ++i) {
        const QString path = photos.filePath(QStringLiteral("p%1.jpg").arg(i));
        printtest::writePlainPhoto(path, 1200, 800, 200, i ? Qt::darkBlue : Qt::darkRed);
        objects.push_back(cache.findOrAdd(path));
    }
    // The queue's own settings, as the wizard takes them from its printer entry.
    ASSERT_TRUE(QPrinterInfo::availablePrinterNames().contains(CupsTestServer::queueName()));
    QPrinter printer(QPrinterInfo::printerInfo(CupsTestServer::queueName()),
                     QPrinter::HighResolution);
    const PrintSettings settings = PrintSettings::fromPrinter(printer);

    printtest::PrintRun run;
    ASSERT_TRUE(run.layOut(objects, PrintLayoutKind::OnePerPage, settings));
    run.start(settings,
              PrintTarget::queue(CupsTestServer::queueName(), QStringLiteral("Velko test")),
              PrintLayoutKind::OnePerPage);
    ASSERT_TRUE(run.wait());
    ASSERT_EQ(run.result, PrintDone) << run.thread->errorText().toStdString();
    EXPECT_GT(run.thread->cupsJobId(), 0);

    ASSERT_TRUE(sServer->waitForKeptDocuments(1, 60s));
    const QStringList kept = sServer->keptDocuments();
    EXPECT_EQ(printtest::pdfPageCount(kept.last()), 2);
}

TEST_F(PrintCups, AQueueThatDoesNotExistIsAnError)
{
    QTemporaryDir photos;
    TPrintPhotoObjectList cache;
    const QString path = photos.filePath(QStringLiteral("p.jpg"));
    printtest::writePlainPhoto(path, 300, 200, 100, Qt::gray);
    PrintSettings settings;
    settings.pageLayout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {});
    printtest::PrintRun run;
    ASSERT_TRUE(run.layOut({cache.findOrAdd(path)}, PrintLayoutKind::OnePerPage, settings));
    run.start(settings, PrintTarget::queue(QStringLiteral("no-such-queue")),
              PrintLayoutKind::OnePerPage);
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.result, PrintError);
    EXPECT_FALSE(run.thread->errorText().isEmpty());
}

} // namespace
