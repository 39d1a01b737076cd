// The scanner session against SANE's own test backend, configured in a private folder.
#include "SaneSession.h"

#include "EventLoopWait.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "TestApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int kGood = 0;
constexpr int kCancelled = 2;
constexpr int kJammed = 6;

struct Finished
{
    int pages;
    int status;
    QString error;
};

class SaneBackend : public ::testing::Test
{
protected:
    // Lines of the test backend's test.conf; each test sets up its own device.
    void start(const QStringList& conf = {})
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mConfig.isValid() && mFolder.isValid());
        writeFile(mConfig.filePath(QStringLiteral("dll.conf")), QStringLiteral("test\n"));
        // The backend's own default resolution is wrong (an integer read as fixed point)
        // unless the configuration gives one.
        writeFile(mConfig.filePath(QStringLiteral("test.conf")),
                  (QStringList{QStringLiteral("resolution 50.0")} + conf).join(QLatin1Char('\n')));
        qputenv("SANE_CONFIG_DIR", QFile::encodeName(mConfig.path()));
        mSession = std::make_unique<SaneSession>();
        SaneSession* s = mSession.get();
        QObject::connect(s, &SaneSession::devicesListed, s,
                         [this](const QList<SaneDeviceInfo>& devices, int status) {
                             mDevices = devices;
                             mListStatus = status;
                         });
        QObject::connect(s, &SaneSession::opened, s,
                         [this](bool ok, const QString&) { mOpened = ok; });
        QObject::connect(s, &SaneSession::optionsRead, s,
                         [this](const QList<SaneOption>& options) { mOptions = options; });
        QObject::connect(s, &SaneSession::optionSet, s,
                         [this](int, bool reload, bool, const QString& error) {
                             mOptionSet = error.isEmpty();
                             mReloadOptions = reload;
                         });
        QObject::connect(s, &SaneSession::scanProgress, s, [this](int, int) { ++mProgress; });
        QObject::connect(s, &SaneSession::pageSaved, s,
                         [this](int, const QString& path) { mSaved << path; });
        QObject::connect(s, &SaneSession::pageFailed, s,
                         [this](int page, const QString&) { mFailed << page; });
        QObject::connect(s, &SaneSession::scanFinished, s,
                         [this](int pages, int status, const QString& error) {
                             mFinished = Finished{pages, status, error};
                         });
    }

    void TearDown() override { mSession.reset(); }

    static void writeFile(const QString& path, const QString& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    void openDevice()
    {
        mSession->open("test:0");
        ASSERT_TRUE(pumpUntil([this] { return mOpened.has_value(); }));
        ASSERT_TRUE(*mOpened);
    }

    QList<SaneOption> readOptions()
    {
        mOptions.reset();
        mSession->readOptions();
        EXPECT_TRUE(pumpUntil([this] { return mOptions.has_value(); }));
        return mOptions.value_or(QList<SaneOption>());
    }

    void set(const QByteArray& name, const QVariant& value)
    {
        const QList<SaneOption> options = readOptions();
        const SaneOption* option = findSaneOption(options, name);
        ASSERT_NE(option, nullptr) << name.constData();
        mOptionSet.reset();
        mSession->setOption(option->index, value);
        ASSERT_TRUE(pumpUntil([this] { return mOptionSet.has_value(); }));
        ASSERT_TRUE(*mOptionSet) << name.constData();
    }

    Finished scan(const QString& folder)
    {
        mFinished.reset();
        mSession->startScan(folder);
        EXPECT_TRUE(pumpUntil([this] { return mFinished.has_value(); }, 60s));
        return mFinished.value_or(Finished{-1, -1, {}});
    }

    QStringList filesInFolder() const
    {
        return QDir(mFolder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static imaging::Bitmap decode(const QString& path)
    {
        QFile file(path);
        imaging::Bitmap bitmap;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            imaging::loadJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              std::size_t(bytes.size()), bitmap);
        }
        return bitmap;
    }

    QTemporaryDir mConfig;
    QTemporaryDir mFolder;
    std::unique_ptr<SaneSession> mSession;
    QList<SaneDeviceInfo> mDevices;
    int mListStatus = -100;
    std::optional<bool> mOpened;
    std::optional<QList<SaneOption>> mOptions;
    std::optional<bool> mOptionSet;
    bool mReloadOptions = false;
    int mProgress = 0;
    QStringList mSaved;
    QList<int> mFailed;
    std::optional<Finished> mFinished;
};

TEST_F(SaneBackend, ListsTheConfiguredDevices)
{
    start({QStringLiteral("number_of_devices 2")});
    mSession->listDevices();
    ASSERT_TRUE(pumpUntil([this] { return mListStatus != -100; }));
    EXPECT_EQ(mListStatus, kGood);
    ASSERT_EQ(mDevices.size(), 2);
    EXPECT_EQ(mDevices[0].name, "test:0");
    EXPECT_EQ(mDevices[1].name, "test:1");
    EXPECT_FALSE(mDevices[0].displayName().isEmpty());
}

TEST_F(SaneBackend, SettingsReadBackAsSet)
{
    start();
    openDevice();
    const QList<SaneOption> before = readOptions();
    const SaneOption* threePass = findSaneOption(before, "three-pass");
    ASSERT_NE(threePass, nullptr);
    EXPECT_FALSE(threePass->active); // only in colour

    set("mode", QStringLiteral("Color"));
    EXPECT_TRUE(mReloadOptions);
    set("resolution", 100);
    set("source", QStringLiteral("Automatic Document Feeder"));

    const QList<SaneOption> after = readOptions();
    const SaneOption* mode = findSaneOption(after, "mode");
    const SaneOption* resolution = findSaneOption(after, "resolution");
    const SaneOption* source = findSaneOption(after, "source");
    ASSERT_TRUE(mode && resolution && source);
    EXPECT_EQ(mode->value.toString(), QStringLiteral("Color"));
    EXPECT_TRUE(mode->strings.contains(QStringLiteral("Gray")));
    EXPECT_FALSE(mode->group.isEmpty());
    EXPECT_DOUBLE_EQ(resolution->value.toDouble(), 100.0);
    EXPECT_EQ(resolution->unit, SaneOption::Unit::Dpi);
    EXPECT_EQ(resolution->constraint, SaneOption::Constraint::Range);
    EXPECT_EQ(source->value.toString(), QStringLiteral("Automatic Document Feeder"));
    EXPECT_TRUE(findSaneOption(after, "three-pass")->active);
}

TEST_F(SaneBackend, FlatbedPageTakesTheNextNumber)
{
    start();
    writeFile(mFolder.filePath(QStringLiteral("KVF00007.jpg")), {});
    writeFile(mFolder.filePath(QStringLiteral("KVF12.jpg")), {});
    openDevice();
    const Finished finished = scan(mFolder.path());
    EXPECT_EQ(finished.status, kGood);
    EXPECT_EQ(finished.pages, 1);
    EXPECT_EQ(filesInFolder(),
              QStringList({QStringLiteral("KVF00007.jpg"), QStringLiteral("KVF00013.jpg"),
                           QStringLiteral("KVF12.jpg")}));
    // 80 × 100 mm at 50 dpi.
    const imaging::Bitmap page = decode(mFolder.filePath(QStringLiteral("KVF00013.jpg")));
    EXPECT_EQ(page.width(), 157);
    EXPECT_EQ(page.height(), 196);
    EXPECT_EQ(page.xResolution(), 50);
}

TEST_F(SaneBackend, FeederRunsUntilEmptyIntoConsecutiveFiles)
{
    start();
    openDevice();
    set("source", QStringLiteral("Automatic Document Feeder"));
    const Finished finished = scan(mFolder.path());
    EXPECT_EQ(finished.status, kGood);
    EXPECT_EQ(finished.pages, 10);
    QStringList expected;
    for (int n = 1; n <= 10; ++n)
        expected << QStringLiteral("KVF%1.jpg").arg(n, 5, 10, QLatin1Char('0'));
    EXPECT_EQ(filesInFolder(), expected);
    EXPECT_TRUE(mFailed.isEmpty());
}

TEST_F(SaneBackend, EmptyFolderIsRefusedBeforeScanning)
{
    start();
    openDevice();
    const Finished finished = scan(QString());
    EXPECT_EQ(finished.status, SaneSession::kStatusRefused);
    EXPECT_FALSE(finished.error.isEmpty());
    EXPECT_EQ(mProgress, 0);
}

TEST_F(SaneBackend, DeviceErrorEndsTheScanWithoutAFile)
{
    start({QStringLiteral("read-status-code \"SANE_STATUS_JAMMED\"")});
    openDevice();
    const Finished finished = scan(mFolder.path());
    EXPECT_EQ(finished.status, kJammed);
    EXPECT_EQ(finished.pages, 0);
    EXPECT_FALSE(finished.error.isEmpty());
    EXPECT_EQ(mFailed, QList<int>{1});
    EXPECT_TRUE(filesInFolder().isEmpty());
}

// A slow device: small reads with a delay after each, so a page takes seconds.
class CancelledScan : public SaneBackend, public ::testing::WithParamInterface<bool>
{};

TEST_P(CancelledScan, LeavesNoFileBehind)
{
    QStringList conf = {QStringLiteral("read-limit true"), QStringLiteral("read-limit-size 256"),
                        QStringLiteral("read-delay true"),
                        QStringLiteral("read-delay-duration 100000")};
    if (GetParam())
        conf << QStringLiteral("select-fd true");
    start(conf);
    openDevice();
    set("source", QStringLiteral("Automatic Document Feeder"));
    mFinished.reset();
    mSession->startScan(mFolder.path());
    ASSERT_TRUE(pumpUntil([this] { return mProgress > 0; }));
    mSession->cancel();
    ASSERT_TRUE(pumpUntil([this] { return mFinished.has_value(); }));
    EXPECT_EQ(mFinished->status, kCancelled);
    EXPECT_EQ(mFinished->pages, 0);
    EXPECT_TRUE(filesInFolder().isEmpty()) << filesInFolder().join(QLatin1Char(' ')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(ReadModes, CancelledScan, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "WaitingOnSelectFd" : "BlockingReads");
});

struct PageCase
{
    const char* name;
    QStringList conf;
    int width; // 0: as the scan area gives it
    int grey;  // expected value of every channel in the middle of the page
};

class PageKinds : public SaneBackend, public ::testing::WithParamInterface<PageCase>
{};

TEST_P(PageKinds, AreSavedAsTheDeviceSawThem)
{
    start(GetParam().conf);
    openDevice();
    ASSERT_EQ(scan(mFolder.path()).status, kGood);
    ASSERT_EQ(mSaved.size(), 1);
    const imaging::Bitmap page = decode(mSaved.first());
    ASSERT_FALSE(page.isNull());
    if (GetParam().width) {
        EXPECT_EQ(page.width(), GetParam().width);
    }
    const std::uint8_t* middle = page.scanLine(page.height() / 2) + page.width() / 2 * 3;
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(middle[c], GetParam().grey, 3) << "channel " << c;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageKinds,
    ::testing::Values(
        PageCase{"LineArtBlack", {QStringLiteral("depth 1")}, 157, 0},
        PageCase{"LineArtWhite",
                 {QStringLiteral("depth 1"), QStringLiteral("test-picture \"Solid white\"")},
                 157,
                 255},
        PageCase{"ThreePassColour",
                 {QStringLiteral("mode Color"), QStringLiteral("three-pass true"),
                  QStringLiteral("three-pass-order BGR"),
                  QStringLiteral("test-picture \"Solid white\"")},
                 157,
                 255},
        PageCase{"Grey16Bit",
                 {QStringLiteral("depth 16"), QStringLiteral("test-picture \"Solid white\"")},
                 157,
                 255},
        // A hand scanner knows its width (11 cm) but not its height.
        PageCase{
            "HandScanner",
            {QStringLiteral("hand-scanner true"), QStringLiteral("test-picture \"Solid white\"")},
            216,
            255}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
