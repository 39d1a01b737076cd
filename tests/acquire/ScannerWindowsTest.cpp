// The scanner's windows against SANE's own test backend, configured in a private folder: the
// source chooser, the settings window built from the device's options, scans started from
// it, and the TWAIN command's refusals.
#include "EventLoopWait.h"
#include "SaneSession.h"
#include "ScanOptionsDialog.h"
#include "SourceChooser.h"
#include "TestApplication.h"
#include "TfrmTwain.h"
#include "TwainImport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int kCancelled = 2;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(thread_sanitizer) || __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// Runs action on the first widget of type T that is shown from now on (a modal dialog
// whose exec() the test is about to enter).
template <typename T> class WhenShown : public QObject
{
public:
    explicit WhenShown(std::function<void(T*)> action) : mAction(std::move(action))
    {
        qApp->installEventFilter(this);
    }
    ~WhenShown() override { qApp->removeEventFilter(this); }
    bool ran() const { return mRan; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !mRan)
            if (auto* widget = qobject_cast<T*>(watched)) {
                mRan = true;
                QPointer<T> target(widget);
                // Once the dialog's own event loop runs.
                QTimer::singleShot(0, this, [this, target] {
                    if (target)
                        mAction(target);
                });
            }
        return false;
    }

private:
    std::function<void(T*)> mAction;
    bool mRan = false;
};

void clickOk(QMessageBox* box)
{
    box->buttons().constFirst()->click();
}

class ScannerWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mFolder.isValid());
        configure(2);
    }

    // libsane reads SANE_CONFIG_DIR once per process: one folder for every test, whose files
    // each test writes anew (each session reads them at its start). No devices: a computer
    // without scanners (no backend at all).
    static void configure(int devices, const QByteArray& moreConf = {})
    {
        static QTemporaryDir config;
        ASSERT_TRUE(config.isValid());
        qputenv("SANE_CONFIG_DIR", QFile::encodeName(config.path()));
        writeFile(config.filePath(QStringLiteral("dll.conf")), devices > 0 ? "test\n" : "");
        writeFile(config.filePath(QStringLiteral("test.conf")),
                  "number_of_devices " + QByteArray::number(devices) + "\n" + moreConf);
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static SaneDeviceInfo testDevice()
    {
        SaneDeviceInfo device;
        device.name = "test:0";
        device.vendor = QStringLiteral("Noname");
        device.model = QStringLiteral("frontend-tester");
        return device;
    }

    // The settings window on test:0, its options shown.
    std::unique_ptr<ScanOptionsDialog> openDialog(SaneSession& session)
    {
        auto dialog = std::make_unique<ScanOptionsDialog>(session, testDevice(), mFolder.path());
        bool shown = false;
        QObject::connect(dialog.get(), &ScanOptionsDialog::optionsShown, [&] { shown = true; });
        dialog->show();
        EXPECT_TRUE(pumpUntil([&] { return shown; }));
        return dialog;
    }

    // Chooses text in the combo as a user does and waits for the device's answer.
    static void choose(ScanOptionsDialog& dialog, const char* name, const QString& text)
    {
        auto* combo = dialog.findChild<QComboBox*>(QLatin1String(name));
        ASSERT_NE(combo, nullptr) << name;
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << qPrintable(text);
        bool reread = false;
        const auto connection =
            QObject::connect(&dialog, &ScanOptionsDialog::optionsShown, [&] { reread = true; });
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        EXPECT_TRUE(pumpUntil([&] { return reread; }));
        QObject::disconnect(connection);
    }

    static QVariant valueOf(const QList<SaneOption>& options, const char* name)
    {
        const SaneOption* option = findSaneOption(options, name);
        return option ? option->value : QVariant();
    }

    QStringList filesInFolder() const
    {
        return QDir(mFolder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir mFolder;
};

struct ChooserCase
{
    const char* name;
    bool pickTwain;
    bool closeInstead;
    std::optional<SourceChooser::Source> expected;
};

class SourceChooserTest : public ::testing::TestWithParam<ChooserCase>
{};

} // namespace

TEST_P(SourceChooserTest, TheCheckedButtonDecides)
{
    testsupport::ensureApplication();
    const ChooserCase& c = GetParam();
    WhenShown<SourceChooser> answer([&](SourceChooser* chooser) {
        EXPECT_EQ(chooser->size(), kSourceChooserSize);
        if (c.closeInstead) {
            chooser->close();
            return;
        }
        if (c.pickTwain)
            chooser->findChild<QRadioButton*>(QStringLiteral("rbTwain"))->click();
        chooser->findChild<QAbstractButton*>(QStringLiteral("btnOk"))->click();
    });
    EXPECT_EQ(SourceChooser::ask(nullptr), c.expected);
    EXPECT_TRUE(answer.ran());
}

INSTANTIATE_TEST_SUITE_P(
    Choices, SourceChooserTest,
    ::testing::Values(ChooserCase{"FolderByDefault", false, false, SourceChooser::Source::Folder},
                      ChooserCase{"Twain", true, false, SourceChooser::Source::Twain},
                      ChooserCase{"ClosedStops", true, true, std::nullopt}),
    [](const ::testing::TestParamInfo<ChooserCase>& info) { return std::string(info.param.name); });

TEST(SourceChooserGeometryTest, OkIsCentredAboveTheBottom)
{
    const SourceChooserGeometry g = sourceChooserGeometry(QSize(274, 131));
    EXPECT_EQ(g.btnOk, QRect(92, 98, 89, 25));
    EXPECT_EQ(g.rbTwain, QRect(16, 72, 242, 21));
}

TEST_F(ScannerWindows, SettingsMadeInTheWindowReachTheDevice)
{
    SaneSession session;
    auto dialog = openDialog(session);
    auto* threePass = dialog->findChild<QWidget*>(QStringLiteral("three-pass"));
    ASSERT_NE(threePass, nullptr);
    EXPECT_FALSE(threePass->isEnabled()); // only in colour

    choose(*dialog, "mode", QStringLiteral("Color"));
    choose(*dialog, "source", QStringLiteral("Automatic Document Feeder"));
    auto* resolution = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("resolution"));
    ASSERT_NE(resolution, nullptr);
    bool reread = false;
    QObject::connect(dialog.get(), &ScanOptionsDialog::optionsShown, [&] { reread = true; });
    resolution->setValue(300); // as a user's typing ends
    ASSERT_TRUE(pumpUntil([&] { return reread; }));

    // What the device holds now, read by the session apart from the window.
    std::optional<QList<SaneOption>> device;
    QObject::connect(&session, &SaneSession::optionsRead,
                     [&](const QList<SaneOption>& options) { device = options; });
    session.readOptions();
    ASSERT_TRUE(pumpUntil([&] { return device.has_value(); }));
    EXPECT_EQ(valueOf(*device, "mode").toString(), QStringLiteral("Color"));
    EXPECT_EQ(valueOf(*device, "source").toString(), QStringLiteral("Automatic Document Feeder"));
    EXPECT_DOUBLE_EQ(valueOf(*device, "resolution").toDouble(), 300.0);
    // The mode changed which options apply, and the window shows it.
    EXPECT_TRUE(dialog->findChild<QWidget*>(QStringLiteral("three-pass"))->isEnabled());
    EXPECT_DOUBLE_EQ(resolution->value(), 300.0);
}

TEST_F(ScannerWindows, ScanFromTheWindowSavesThePageAndCloses)
{
    SaneSession session;
    auto dialog = openDialog(session);
    dialog->btnScanClick();
    EXPECT_TRUE(dialog->isScanning());
    ASSERT_TRUE(pumpUntil([&] { return !dialog->isVisible(); }, 60s));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->pagesSaved(), 1);
    ASSERT_EQ(filesInFolder(), QStringList{QStringLiteral("KVF00001.jpg")});
    EXPECT_FALSE(QImage(mFolder.filePath(QStringLiteral("KVF00001.jpg"))).isNull());
}

// Ten pages from the feeder; meanwhile a heartbeat on the window's thread measures the
// longest time between two of its beats, and how much of it the thread spent working. On a
// loaded machine the wall-clock gap also holds the time other processes had the processor;
// the work is what the window's thread did instead of painting and taking input.
TEST_F(ScannerWindows, FeederScanNeverStallsTheWindow)
{
    SaneSession session;
    auto dialog = openDialog(session);
    choose(*dialog, "source", QStringLiteral("Automatic Document Feeder"));

    const auto threadCpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    };
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 lastCpu = threadCpu();
    qint64 longest = 0;
    qint64 longestWork = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpu();
        longest = qMax(longest, now - last);
        longestWork = qMax(longestWork, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    });
    clock.start();
    heartbeat.start(1);
    dialog->btnScanClick();
    ASSERT_TRUE(pumpEventsUntil([&] { return !dialog->isVisible(); }, 120s));
    heartbeat.stop();

    EXPECT_EQ(dialog->pagesSaved(), 10);
    EXPECT_EQ(filesInFolder().size(), 10);
    EXPECT_TRUE(filesInFolder().contains(QStringLiteral("KVF00010.jpg")));
    std::printf("window thread during the scan: longest gap %.2f ms, longest work %.2f ms\n",
                longest / 1e6, longestWork / 1e6);
    if (!kSanitized) { // instrumented code is many times slower
        EXPECT_LE(longestWork / 1e6, 16.0);
    }
}

TEST_F(ScannerWindows, CancelDuringTheScanKeepsTheWindowOpen)
{
    // Slow pages, so that the cancel comes while one is being read.
    configure(2, "read-delay true\nread-delay-duration 20000\n");
    SaneSession session;
    auto dialog = openDialog(session);
    choose(*dialog, "source", QStringLiteral("Automatic Document Feeder"));
    std::optional<int> stopped;
    QObject::connect(dialog.get(), &ScanOptionsDialog::scanStopped,
                     [&](int status) { stopped = status; });
    QObject::connect(&session, &SaneSession::pageSaved, dialog.get(), [&] {
        if (auto* stop = dialog->findChild<QAbstractButton*>(QStringLiteral("btnStop")))
            if (stop->isVisible() && stop->isEnabled())
                stop->click();
    });
    dialog->btnScanClick();
    ASSERT_TRUE(pumpUntil([&] { return stopped.has_value(); }, 60s));
    EXPECT_EQ(*stopped, kCancelled);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isScanning());
    EXPECT_LT(filesInFolder().size(), 10);
    // Only whole pages, no temporary files.
    for (const QString& name : filesInFolder())
        EXPECT_TRUE(name.startsWith(QLatin1String("KVF")) && name.endsWith(QLatin1String(".jpg")))
            << qPrintable(name);
}

// Get photos answers from the listing made at start-up, and looks again for the next time.
TEST_F(ScannerWindows, ScannerAvailableAnswersFromTheLastListing)
{
    {
        TwainImport twain(nullptr);
        EXPECT_FALSE(twain.scannerAvailable()); // nothing listed yet
        ASSERT_TRUE(pumpUntil([&] { return !twain.isListing(); }));
        EXPECT_TRUE(twain.scannerAvailable());
        EXPECT_TRUE(twain.isListing());
    }
    configure(0);
    TwainImport none(nullptr);
    none.startListing();
    ASSERT_TRUE(pumpUntil([&] { return !none.isListing(); }));
    EXPECT_FALSE(none.scannerAvailable());
}

TEST_F(ScannerWindows, NoScannerIsSaid)
{
    configure(0);
    TwainImport twain(nullptr);
    std::optional<QString> said;
    WhenShown<QMessageBox> answer([&](QMessageBox* box) {
        said = box->objectName();
        clickOk(box);
    });
    twain.run(mFolder.path(), nullptr);
    EXPECT_EQ(said, QStringLiteral("NoTwainSources"));
    EXPECT_FALSE(twain.isAvailable());
}

TEST_F(ScannerWindows, FolderWithoutDiskPathIsRefused)
{
    TwainImport twain(nullptr);
    std::optional<QString> said;
    WhenShown<QMessageBox> answer([&](QMessageBox* box) {
        said = box->objectName();
        clickOk(box);
    });
    twain.run(QString(), nullptr);
    EXPECT_EQ(said, QStringLiteral("NoDiskFolder"));
    EXPECT_TRUE(twain.isAvailable());
    EXPECT_TRUE(filesInFolder().isEmpty());
}

// The whole command: the source list, the chosen device's settings, a page in the folder.
TEST_F(ScannerWindows, CommandScansWithTheChosenDevice)
{
    TwainImport twain(nullptr);
    QStringList listed;
    QString destination;
    WhenShown<TfrmTwain> chooseSecond([&](TfrmTwain* frmTwain) {
        auto* list = frmTwain->findChild<QListWidget*>(QStringLiteral("lbxSources"));
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        EXPECT_EQ(list->currentRow(), 0);
        destination = frmTwain->findChild<QLineEdit*>(QStringLiteral("edDestination"))->text();
        list->setCurrentRow(1);
        frmTwain->findChild<QAbstractButton*>(QStringLiteral("btnSelect"))->click();
    });
    QByteArray device;
    WhenShown<ScanOptionsDialog> scan([&](ScanOptionsDialog* dialog) {
        device = dialog->device().name;
        QObject::connect(dialog, &ScanOptionsDialog::optionsShown, dialog,
                         [dialog] { dialog->btnScanClick(); });
    });
    twain.run(mFolder.path(), nullptr);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_NE(listed[0], listed[1]);
    EXPECT_EQ(device, "test:1");
    EXPECT_EQ(destination, mFolder.path());
    EXPECT_EQ(filesInFolder(), QStringList{QStringLiteral("KVF00001.jpg")});
}
