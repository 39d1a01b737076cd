// The upload wizard against the photo site on loopback, where its rules meet real photos: what
// one upload sends for a size and a photo, the preparing pass that stops at the account's cap,
// a site that goes away half-way, closing while the free space is checked, and its texts in
// German.
#include "CredentialKey.h"
#include "EventLoopWait.h"
#include "GradientPictures.h"
#include "MachineSettings.h"
#include "ScriptedHttpServer.h"
#include "SiteDatabase.h"
#include "SiteFixture.h"
#include "TestApplication.h"
#include "TfrmUpload.h"
#include "UploadFigures.h"
#include "uLanguage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace photosite::test;

namespace {

const char* const kEmail = "anna@example.org";
const char* const kPassword = "Secret1";

const upload::CredentialKey& credentialKey()
{
    static const upload::CredentialKey key =
        *upload::CredentialKey::load(VELKO_CREDENTIAL_KEY, nullptr);
    return key;
}

std::string panelOf(const TfrmUpload& wizard)
{
    return wizard.shownPanel().toStdString();
}

template <class T = QWidget> T* child(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no " << name;
    return found;
}

// JPEG bytes that do not compress: their size on the site is known from the file.
QByteArray noiseJpeg(int width, int height, unsigned seed)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < 3 * width; ++x)
            row[x] = std::uint8_t(random());
    }
    QByteArray bytes;
    EXPECT_EQ(imaging::saveJpeg(bitmap, 90, bytes), imaging::Success);
    return bytes;
}

// A settings folder, a language and photo files of the test's own; the site host is set
// by each test.
class UploadWizardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mConfig.isValid() && mMachine.isValid() && mPhotos.isValid());
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", mMachine.path().toLocal8Bit());
        LoadLanguage();
    }
    void TearDown() override
    {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
        LoadLanguage();
    }

    void setLanguage(const char* code)
    {
        QDir(mMachine.path()).mkpath(QStringLiteral("Velkorp"));
        QFile file(mMachine.filePath(QStringLiteral("Velkorp/Fotodesk.conf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Language=") + code + '\n');
        file.close();
        LoadLanguage();
    }

    static void setSiteHost(int port)
    {
        openUserSettings(true)->setValue(QStringLiteral("SiteHost"),
                                         QStringLiteral("127.0.0.1:%1").arg(port));
    }

    QString writePhoto(const QString& name, const QByteArray& bytes)
    {
        const QString path = mPhotos.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return path;
    }

    // Signs up on the site and makes an album there; returns its id.
    static std::int64_t prepareAccount(const SiteProcess& site)
    {
        registerAccount(site.base(), "anna%40example.org", kPassword);
        const auto lines =
            answerLines(httpPost(site.base() + "/programma/addbook.aspx",
                                 frame({credentialKey().encode(kEmail),
                                        credentialKey().encode(kPassword), "Holiday", "1"}),
                                 programBody())
                            .body);
        EXPECT_EQ(lines.at(0), "OK");
        return std::stoll(lines.at(1));
    }

    static void logIn(TfrmUpload& wizard)
    {
        child<QLineEdit>(wizard, "edEmail")->setText(QString::fromLatin1(kEmail));
        child<QLineEdit>(wizard, "edPassword")->setText(QString::fromLatin1(kPassword));
        child<QAbstractButton>(wizard, "btnLogin")->click();
        ASSERT_TRUE(pumpUntil([&] { return panelOf(wizard) == "pnSelectAlbum"; }))
            << panelOf(wizard);
    }

    // From the album page: on to the size page, the size whose text begins so, then Upload;
    // returns once the run rests on a panel of its own.
    static void uploadAt(TfrmUpload& wizard, const QString& size)
    {
        child<QAbstractButton>(wizard, "btnNext1")->click();
        auto* formats = child<QComboBox>(wizard, "cmbFormat");
        const int index = formats->findText(size, Qt::MatchStartsWith);
        ASSERT_GE(index, 0) << size.toStdString();
        formats->setCurrentIndex(index);
        child<QAbstractButton>(wizard, "btnUpload")->click();
        ASSERT_TRUE(pumpUntil(
            [&] {
                const std::string panel = panelOf(wizard);
                return panel == "pnCompleted" || panel == "pnUploadError" ||
                       panel == "pnNotEnoughSpace";
            },
            60s))
            << panelOf(wizard);
    }

    QTemporaryDir mConfig;
    QTemporaryDir mMachine;
    QTemporaryDir mPhotos;
};

// What the site keeps of one photo: its row and its image files.
struct Stored
{
    photosite::Photo row;
    QByteArray photo;
    bool displayFile = false;
    bool thumbFile = false;
};

std::vector<Stored> storedPhotos(const SiteProcess& site, std::int64_t albumId)
{
    photosite::SiteDatabase db((site.dataFolder() / "photosite.db").string());
    std::vector<Stored> stored;
    for (const photosite::Photo& row : db.photos(albumId)) {
        const auto file = [&](const char* kind) {
            return site.dataFolder() / "photos" / (std::to_string(row.id) + "-" + kind);
        };
        QFile photo(QString::fromStdString(file("photo").string()));
        photo.open(QIODevice::ReadOnly);
        stored.push_back({row, photo.readAll(), std::filesystem::exists(file("display")),
                          std::filesystem::exists(file("thumb"))});
    }
    return stored;
}

// One photo uploaded at one size; the site offers 800 x 600 as its standard display size and
// 160 x 160 thumbnails.
struct SendCase
{
    const char* name;
    const char* size; // the start of the entry's text
    int width;
    int height;
    bool display;
    bool thumbnail;
    bool ownBytes; // the stored photo is the file itself
    int storedWidth;
    int storedHeight;
};

class WhatOneUploadSends : public UploadWizardTest, public testing::WithParamInterface<SendCase>
{};

TEST_P(WhatOneUploadSends, ToTheSite)
{
    const SendCase& c = GetParam();
    SiteProcess site;
    const std::int64_t album = prepareAccount(site);
    setSiteHost(site.port());
    const QByteArray original = testsupport::jpegBytes(c.width, c.height);
    TfrmUpload wizard;
    wizard.SetPhotoFiles({writePhoto(QStringLiteral("IMG_0001.jpg"), original)});
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(logIn(wizard));
    ASSERT_NO_FATAL_FAILURE(uploadAt(wizard, QString::fromLatin1(c.size)));
    ASSERT_EQ(panelOf(wizard), "pnCompleted")
        << child<QLabel>(wizard, "lblUploadError")->text().toStdString();

    const std::vector<Stored> stored = storedPhotos(site, album);
    ASSERT_EQ(stored.size(), 1u);
    const Stored& photo = stored[0];
    EXPECT_EQ(photo.row.fileName, "IMG_0001.jpg");
    EXPECT_EQ(photo.row.width, c.storedWidth);
    EXPECT_EQ(photo.row.height, c.storedHeight);
    EXPECT_EQ(photo.row.mainSize, photo.photo.size());
    EXPECT_EQ(photo.row.displaySize > 0, c.display);
    EXPECT_EQ(photo.displayFile, c.display);
    EXPECT_EQ(photo.row.thumbSize > 0, c.thumbnail);
    EXPECT_EQ(photo.thumbFile, c.thumbnail);
    if (c.ownBytes) {
        EXPECT_EQ(photo.photo, original);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WhatOneUploadSends,
    testing::Values(SendCase{"StandardDisplaySizeSendsNoDisplayCopy", "800x600", 2000, 1500, false,
                             true, false, 800, 600},
                    SendCase{"LargerSizeSendsADisplayCopy", "1600x1200", 2000, 1500, true, true,
                             false, 1600, 1200},
                    SendCase{"OriginalsSendTheFilesOwnBytes", "upload original photos", 1200, 900,
                             true, true, true, 1200, 900},
                    SendCase{"PhotoSmallerThanTheThumbnailBoxHasNoThumbnail", "1024x768", 120, 90,
                             false, false, false, 120, 90}),
    [](const testing::TestParamInfo<SendCase>& info) { return std::string(info.param.name); });

TEST_F(UploadWizardTest, PreparingStopsAtTheCapAndShowsItWhenSpaceIsShort)
{
    // A 1 MB account: its cap and its free space are both 1 MB.
    SiteProcess site({"--quota", "1"});
    const std::int64_t album = prepareAccount(site);
    setSiteHost(site.port());
    QStringList files;
    std::vector<qint64> sizes;
    for (unsigned i = 0; i < 6; ++i) {
        const QByteArray bytes = noiseJpeg(800, 600, i);
        files << writePhoto(QStringLiteral("IMG_%1.jpg").arg(i), bytes);
        sizes.push_back(bytes.size());
    }
    qint64 expected = 0;
    std::size_t prepared = 0;
    while (expected <= 1048576)
        expected += sizes[prepared++];
    ASSERT_LT(prepared, sizes.size()) << "the photos must outgrow the cap before the last";

    TfrmUpload wizard;
    wizard.SetPhotoFiles(files);
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(logIn(wizard));
    ASSERT_NO_FATAL_FAILURE(uploadAt(wizard, QStringLiteral("upload original photos")));
    ASSERT_EQ(panelOf(wizard), "pnNotEnoughSpace");
    // Only the photos up to the one that passed the cap were made.
    EXPECT_EQ(wizard.totalBytes(), expected);
    EXPECT_EQ(wizard.photoFiles(), files);
    EXPECT_EQ(child<QLabel>(wizard, "lblSelectionSpace")->text(),
              QStringLiteral("> ") + upload::FormatByteSize(1048576, false));
    EXPECT_EQ(child<QLabel>(wizard, "lblFreeSpace")->text(),
              upload::FormatByteSize(1048576, false) + QStringLiteral(" (") +
                  upload::FormatByteSize(1048576, true) + QStringLiteral(")"));
    EXPECT_TRUE(storedPhotos(site, album).empty());
}

TEST_F(UploadWizardTest, ASiteGoneHalfWayShowsTheCodeAndKeepsOnlyWholePhotos)
{
    SiteProcess site;
    const std::int64_t album = prepareAccount(site);
    setSiteHost(site.port());
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << writePhoto(QStringLiteral("IMG_%1.jpg").arg(i),
                            testsupport::jpegBytes(1600 + 40 * i, 1200));
    TfrmUpload wizard;
    wizard.SetPhotoFiles(files);
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(logIn(wizard));
    child<QAbstractButton>(wizard, "btnNext1")->click();
    child<QComboBox>(wizard, "cmbFormat")
        ->setCurrentIndex(
            child<QComboBox>(wizard, "cmbFormat")->findText(QStringLiteral("1024x768")));
    child<QAbstractButton>(wizard, "btnUpload")->click();
    // The site ends as soon as the third photo's turn has come, before its images are made.
    ASSERT_TRUE(pumpEventsUntil(
        [&] { return child<QLabel>(wizard, "lblUploadNo")->text() == QLatin1String("(3/4)"); },
        60s));
    site.stop();
    ASSERT_TRUE(pumpUntil([&] { return panelOf(wizard) == "pnUploadError"; }, 60s))
        << panelOf(wizard);
    ASSERT_EQ(panelOf(wizard), "pnUploadError");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(\\d+|S\\d+|D\\d+): \\S"))
                    .match(child<QLabel>(wizard, "lblUploadError")->text())
                    .hasMatch())
        << child<QLabel>(wizard, "lblUploadError")->text().toStdString();
    EXPECT_TRUE(child(wizard, "cptErrorInfo")->isVisible());

    // Two whole photos, each with every file its row names, and no other file.
    const std::vector<Stored> stored = storedPhotos(site, album);
    ASSERT_EQ(stored.size(), 2u);
    std::set<std::string> expectedFiles;
    for (const Stored& photo : stored) {
        EXPECT_EQ(photo.photo.size(), photo.row.mainSize);
        EXPECT_TRUE(photo.thumbFile && photo.row.thumbSize > 0);
        for (const char* kind : {"photo", "display", "thumb"})
            if (std::string(kind) != "display" || photo.row.displaySize > 0)
                expectedFiles.insert(std::to_string(photo.row.id) + "-" + kind);
    }
    std::set<std::string> onDisk;
    for (const auto& entry : std::filesystem::directory_iterator(site.dataFolder() / "photos"))
        onDisk.insert(entry.path().filename().string());
    EXPECT_EQ(onDisk, expectedFiles);
}

// A login answer as the site gives it: one album, sizes to choose, a 1 GB cap.
QByteArray scriptedLoginAnswer()
{
    QStringList lines{QStringLiteral("OK"),      QStringLiteral("0"),       QString(),
                      QStringLiteral("anna"),    QStringLiteral("42"),      QStringLiteral("1"),
                      QStringLiteral("5"),       QStringLiteral("Holiday"), QStringLiteral("k5"),
                      QStringLiteral("/anna/5/")};
    for (int value : {1, 2, 0, 800, 600, 160, 10, 50, 8388608, 1073741824})
        lines << QString::number(value);
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

TEST_F(UploadWizardTest, ClosingWhileTheFreeSpaceIsCheckedCancelsTheCheckAndStaysOpen)
{
    // A site that never answers the free-space check.
    uploadtest::ScriptedHttpServer server;
    server.setScript([](const uploadtest::RecordedRequest& request) {
        if (request.path.endsWith("/getfreespace.aspx"))
            return uploadtest::Reply::of(uploadtest::Reply::Kind::Silent);
        return uploadtest::Reply::answer(
            200, request.path.endsWith("/checklogin.aspx") ? scriptedLoginAnswer() : "probe");
    });
    setSiteHost(server.port());
    TfrmUpload wizard;
    wizard.SetPhotoFiles(
        {writePhoto(QStringLiteral("IMG_0001.jpg"), testsupport::jpegBytes(640, 480))});
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(logIn(wizard));
    child<QAbstractButton>(wizard, "btnNext1")->click();
    child<QAbstractButton>(wizard, "btnUpload")->click();
    ASSERT_TRUE(pumpUntil([&] { return panelOf(wizard) == "pnCheckingFreeSpace"; }));
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& request : server.requests())
            if (request.path.endsWith("/getfreespace.aspx"))
                return true;
        return false;
    }));

    wizard.close();
    EXPECT_TRUE(wizard.isVisible());
    ASSERT_TRUE(pumpUntil([&] { return panelOf(wizard) == "pnCanceled"; })) << panelOf(wizard);
    EXPECT_TRUE(pumpUntil([&] { return server.closedByClientCount() > 0; }));
    EXPECT_TRUE(wizard.isVisible());
    // With nothing under way the window closes.
    wizard.close();
    EXPECT_FALSE(wizard.isVisible());
}

TEST_F(UploadWizardTest, SpeaksGermanOnEveryPage)
{
    setLanguage("DE");
    ASSERT_EQ(CurrentLanguage(), LangGerman);
    SiteProcess site;
    prepareAccount(site);
    setSiteHost(site.port());
    TfrmUpload wizard;
    wizard.SetPhotoFiles(
        {writePhoto(QStringLiteral("IMG_0001.jpg"), testsupport::jpegBytes(640, 480))});
    wizard.show();
    const auto german = [](unsigned id) { return GetTextFor(id, LangGerman); };
    EXPECT_EQ(child<QAbstractButton>(wizard, "btnLogin")->text(), german(501));
    EXPECT_EQ(child<QLabel>(wizard, "cptEmail")->text(), QStringLiteral("E-Mail"));
    EXPECT_EQ(child<QLabel>(wizard, "cptPassword")->text(), german(506));
    EXPECT_EQ(child<QAbstractButton>(wizard, "btnPrev1")->text(), QStringLiteral("< Zurück"));
    EXPECT_EQ(child<QAbstractButton>(wizard, "btnNext1")->text(), QStringLiteral("Weiter >"));
    EXPECT_EQ(child<QAbstractButton>(wizard, "btnUpload")->text(), QStringLiteral("Hochladen"));
    EXPECT_EQ(child<QLabel>(wizard, "cptSelectSizeInfo")->text(), german(517));
    EXPECT_EQ(child<QAbstractButton>(wizard, "btnCancelUpload")->text(), german(3));
    EXPECT_EQ(child<QLabel>(wizard, "lblCompleted")->text(), german(535));

    // The sizes the site offers are named in German too.
    ASSERT_NO_FATAL_FAILURE(logIn(wizard));
    auto* formats = child<QComboBox>(wizard, "cmbFormat");
    EXPECT_GE(formats->findText(QStringLiteral("Originalfotos hochladen")), 0);
    EXPECT_GE(formats->findText(QStringLiteral("800x600 (empfohlen; Standardanzeigegröße)")), 0);
}

} // namespace
