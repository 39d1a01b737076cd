// The upload wizard as a user drives it, against the photo site on loopback: log in, create an
// album, choose a size and upload real photos, which the site then keeps at the sizes its
// rules give.
#include "TfrmUpload.h"

#include "EventLoopWait.h"
#include "GradientPictures.h"
#include "MachineSettings.h"
#include "ModalAnswer.h"
#include "ScriptedHttpServer.h"
#include "SiteDatabase.h"
#include "SiteFixture.h"
#include "TUploadFormat.h"
#include "TestApplication.h"
#include "TfrmAddPhotobook.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

// Takes the addresses the wizard opens instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

template <class T = QWidget> T* child(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QSize imageSize(const std::filesystem::path& file)
{
    return QImage(QString::fromStdString(file.string())).size();
}

class UploadWizardFlow : public testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mConfig.isValid());
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        mHost = QStringLiteral("127.0.0.1:%1").arg(mSite.port());
        auto settings = openUserSettings(true);
        settings->setValue(QStringLiteral("SiteHost"), mHost);
        settings->sync();
        photosite::test::registerAccount(mSite.base(), "anna%40example.org", "Secret1");
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString writePhoto(const char* name, int width, int height)
    {
        const QString path = mPhotos.filePath(QLatin1String(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(testsupport::jpegBytes(width, height));
        return path;
    }

    void logIn(TfrmUpload& wizard, const QString& password)
    {
        child<QLineEdit>(wizard, "edEmail")->setText(QStringLiteral("Anna@Example.org"));
        child<QLineEdit>(wizard, "edPassword")->setText(password);
        child<QPushButton>(wizard, "btnLogin")->click();
        ASSERT_TRUE(
            pumpUntil([&] { return wizard.shownPanel() != QStringLiteral("pnChecking"); }, 20s));
    }

    // Logs in, makes an album and moves on to the size page.
    void toSizePage(TfrmUpload& wizard)
    {
        logIn(wizard, QStringLiteral("Secret1"));
        ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnSelectAlbum"));
        onModal<TfrmAddPhotobook>([](TfrmAddPhotobook* dialog) {
            dialog->setName(QStringLiteral("Winter"));
            dialog->accept();
        });
        emit child<QLabel>(wizard, "btnCreateAlbum")->linkActivated(QStringLiteral("#"));
        ASSERT_TRUE(pumpUntil(
            [&] {
                return !wizard.isBusy() && wizard.shownPanel() == QStringLiteral("pnSelectAlbum");
            },
            20s));
        child<QPushButton>(wizard, "btnNext1")->click();
        ASSERT_EQ(wizard.shownPanel(), QStringLiteral("tbFormat"));
    }

    QTemporaryDir mConfig;
    QTemporaryDir mPhotos;
    photosite::test::SiteProcess mSite;
    QString mHost;
};

TEST_F(UploadWizardFlow, WrongPasswordStaysOnTheLoginWithTheSitesReason)
{
    TfrmUpload wizard;
    wizard.show();
    logIn(wizard, QStringLiteral("Wrong99"));
    EXPECT_EQ(wizard.shownPanel(), QStringLiteral("pnLogin"));
    auto* error = child<QLabel>(wizard, "lblLoginError");
    EXPECT_TRUE(error->isVisible());
    EXPECT_FALSE(error->text().isEmpty());

    child<QLineEdit>(wizard, "edPassword")->setText(QStringLiteral("x"));
    EXPECT_FALSE(error->isVisible()) << "typing hides the old reason";
}

TEST_F(UploadWizardFlow, UploadsThreePhotosIntoANewAlbumAtTheChosenSize)
{
    UrlCatcher browser;
    const QStringList files{writePhoto("big.jpg", 3200, 2400), writePhoto("fits.jpg", 1600, 1200),
                            writePhoto("tiny.jpg", 120, 90)};
    TfrmUpload wizard;
    QStringList panels;
    QObject::connect(&wizard, &TfrmUpload::panelShown,
                     [&](const QString& panel) { panels << panel; });
    wizard.SetPhotoFiles(files);
    wizard.show();

    child<QLabel>(wizard, "lblRegister")->linkActivated(QStringLiteral("#"));
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.last(), QUrl(QStringLiteral("http://%1/register").arg(mHost)));

    logIn(wizard, QStringLiteral("SECRET1"));
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnSelectAlbum"));
    auto* albums = child<QComboBox>(wizard, "cmbAlbum");
    EXPECT_EQ(albums->count(), 0);
    EXPECT_FALSE(child<QPushButton>(wizard, "btnNext1")->isEnabled());

    onModal<TfrmAddPhotobook>([](TfrmAddPhotobook* dialog) {
        dialog->setName(QStringLiteral("  Summer 2026 "));
        dialog->accept();
    });
    child<QLabel>(wizard, "btnCreateAlbum")->linkActivated(QStringLiteral("#"));
    ASSERT_TRUE(pumpUntil([&] { return albums->count() == 1; }, 20s))
        << panels.join(u' ').toStdString();
    EXPECT_EQ(wizard.shownPanel(), QStringLiteral("pnSelectAlbum"));
    EXPECT_EQ(albums->currentText(), QStringLiteral("Summer 2026"));
    ASSERT_TRUE(child<QPushButton>(wizard, "btnNext1")->isEnabled());
    child<QPushButton>(wizard, "btnNext1")->click();
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("tbFormat"));

    auto* sizes = child<QComboBox>(wizard, "cmbFormat");
    const int large = sizes->findData(TUploadFormat{1600, 1200}.toSetting());
    ASSERT_GE(large, 0);
    sizes->setCurrentIndex(large);
    panels.clear();
    child<QPushButton>(wizard, "btnUpload")->click();
    ASSERT_TRUE(pumpUntil(
        [&] {
            return !wizard.isBusy() && wizard.shownPanel() != QStringLiteral("pnPreparing") &&
                   wizard.shownPanel() != QStringLiteral("pnCheckingFreeSpace");
        },
        60s));
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnCompleted"))
        << panels.join(u' ').toStdString();
    EXPECT_EQ(panels,
              (QStringList{QStringLiteral("pnPreparing"), QStringLiteral("pnCheckingFreeSpace"),
                           QStringLiteral("pnUpload"), QStringLiteral("pnCompleted")}));

    // The album the wizard chose is the one the site now holds the photos in.
    const qint64 albumId = openUserSettings(false)->value(QStringLiteral("AlbumID")).toLongLong();
    photosite::SiteDatabase site((mSite.dataFolder() / "photosite.db").string());
    std::vector<photosite::Photo> stored = site.photos(albumId);
    ASSERT_EQ(stored.size(), 3u);
    std::sort(stored.begin(), stored.end(),
              [](const auto& a, const auto& b) { return a.id < b.id; });
    const auto file = [&](const photosite::Photo& photo, const char* kind) {
        return mSite.dataFolder() / "photos" / (std::to_string(photo.id) + "-" + kind);
    };

    struct Expected
    {
        const char* name;
        QSize main;
        QSize display; // empty: none sent
        QSize thumbnail;
    };
    // 1600 x 1200 chosen; the site shows 800 x 600 and thumbnails within 160 x 160.
    const Expected expected[] = {
        {"big.jpg", {1600, 1200}, {800, 600}, {160, 120}},
        {"fits.jpg", {1600, 1200}, {800, 600}, {160, 120}},
        {"tiny.jpg", {120, 90}, {}, {}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        const photosite::Photo& photo = stored[i];
        EXPECT_EQ(photo.fileName, expected[i].name);
        EXPECT_EQ(QSize(photo.width, photo.height), expected[i].main);
        EXPECT_EQ(imageSize(file(photo, "photo")), expected[i].main);
        EXPECT_EQ(photo.mainSize, qint64(std::filesystem::file_size(file(photo, "photo"))));
        if (expected[i].display.isEmpty())
            EXPECT_EQ(photo.displaySize, 0);
        else
            EXPECT_EQ(imageSize(file(photo, "display")), expected[i].display);
        if (expected[i].thumbnail.isEmpty())
            EXPECT_EQ(photo.thumbSize, 0);
        else
            EXPECT_EQ(imageSize(file(photo, "thumb")), expected[i].thumbnail);
    }

    child<QLabel>(wizard, "lblEditAlbum")->linkActivated(QStringLiteral("#"));
    ASSERT_EQ(browser.opened.size(), 2);
    const QString edit = browser.opened.last().toString();
    EXPECT_TRUE(edit.startsWith(QStringLiteral("http://%1/").arg(mHost))) << edit.toStdString();
    EXPECT_TRUE(edit.endsWith(QStringLiteral("/%1/edit/").arg(albumId))) << edit.toStdString();

    child<QPushButton>(wizard, "btnClose2")->click();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

// A site that answers every login with a notice or a stop message of its own.
class UploadWizardNotices : public testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mConfig.isValid());
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        auto settings = openUserSettings(true);
        settings->setValue(QStringLiteral("SiteHost"), mServer.server());
        settings->setValue(QStringLiteral("UserName"), QStringLiteral("anna@example.org"));
        settings->setValue(QStringLiteral("AlbumID"), 9);
        settings->sync();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    // "OK", the message, the user, two albums, then the ten limits.
    void answerLogins(int kind, const QString& message)
    {
        QStringList lines{QStringLiteral("OK"),   QString::number(kind), message,
                          QStringLiteral("anna"), QStringLiteral("42"),  QStringLiteral("2")};
        lines << QStringLiteral("5") << QStringLiteral("Summer") << QStringLiteral("k5")
              << QStringLiteral("/anna/5/") << QStringLiteral("9") << QStringLiteral("Winter")
              << QStringLiteral("k9") << QStringLiteral("/anna/9/");
        for (int limit : {1, 2, 0, 800, 600, 160, 10, 50, 8388608, 1048576})
            lines << QString::number(limit);
        const QByteArray body = lines.join(QStringLiteral("\r\n")).toUtf8();
        mServer.setScript([body](const uploadtest::RecordedRequest&) {
            return uploadtest::Reply::answer(200, body);
        });
    }

    void logIn(TfrmUpload& wizard)
    {
        wizard.show();
        child<QLineEdit>(wizard, "edPassword")->setText(QStringLiteral("Secret1"));
        child<QPushButton>(wizard, "btnLogin")->click();
        ASSERT_TRUE(pumpUntil([&] { return !wizard.isBusy(); }, 20s));
    }

    QTemporaryDir mConfig;
    uploadtest::ScriptedHttpServer mServer;
};

TEST_F(UploadWizardNotices, NoticeIsShownThenContinueListsTheAlbumsWithTheSavedOneChosen)
{
    answerLogins(1, QStringLiteral("Maintenance tonight.<BR>Uploads still work."));
    TfrmUpload wizard;
    logIn(wizard);
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnNonCritical"));
    EXPECT_EQ(child<QLabel>(wizard, "lblNonCritical")->text(),
              QStringLiteral("Maintenance tonight.\r\nUploads still work."));

    child<QPushButton>(wizard, "btnContinue")->click();
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnSelectAlbum"));
    auto* albums = child<QComboBox>(wizard, "cmbAlbum");
    ASSERT_EQ(albums->count(), 2);
    EXPECT_EQ(albums->currentText(), QStringLiteral("Winter"));
    EXPECT_TRUE(child<QPushButton>(wizard, "btnNext1")->isEnabled());
}

TEST_F(UploadWizardNotices, StopMessageEndsTheLoginAndClosingThenCloses)
{
    answerLogins(2, QStringLiteral("The site is closed for today."));
    TfrmUpload wizard;
    logIn(wizard);
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnCritical"));
    EXPECT_EQ(child<QLabel>(wizard, "lblCritical")->text(),
              QStringLiteral("The site is closed for today."));
    EXPECT_EQ(child<QComboBox>(wizard, "cmbAlbum")->count(), 0);

    wizard.close();
    EXPECT_FALSE(wizard.isVisible());
    wizard.show();
    EXPECT_EQ(wizard.shownPanel(), QStringLiteral("pnCritical")) << "shown again, it says so again";
}

TEST_F(UploadWizardNotices, UnreadableAnswerGoesToTheErrorPanelWithoutACode)
{
    mServer.setScript([](const uploadtest::RecordedRequest&) {
        return uploadtest::Reply::answer(200, "OK\r\nsoon");
    });
    TfrmUpload wizard;
    logIn(wizard);
    ASSERT_EQ(wizard.shownPanel(), QStringLiteral("pnUploadError"));
    EXPECT_TRUE(child<QLabel>(wizard, "lblUploadError")->text().contains(QStringLiteral("soon")));
    EXPECT_TRUE(child<QLabel>(wizard, "cptErrorInfo")->isHidden());
}

// Closing the window while photos are prepared or uploaded cancels the run and keeps the
// window open; nothing reaches the site, and a worker's late result changes nothing.
class UploadWizardClosing : public UploadWizardFlow, public testing::WithParamInterface<const char*>
{};

TEST_P(UploadWizardClosing, CancelsTheRunAndStaysOpen)
{
    TfrmUpload wizard;
    wizard.SetPhotoFiles({writePhoto("one.jpg", 3200, 2400), writePhoto("two.jpg", 3200, 2400)});
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(toSizePage(wizard));
    const QString busyPanel = QLatin1String(GetParam());
    // As a user would: after the panel has appeared, not from inside its showing.
    QObject::connect(&wizard, &TfrmUpload::panelShown, &wizard, [&](const QString& panel) {
        if (panel == busyPanel)
            QTimer::singleShot(0, &wizard, [&] { wizard.close(); });
    });
    child<QPushButton>(wizard, "btnUpload")->click();
    ASSERT_TRUE(pumpUntil(
        [&] { return !wizard.isBusy() && wizard.shownPanel() == QStringLiteral("pnCanceled"); },
        30s))
        << wizard.shownPanel().toStdString();
    EXPECT_TRUE(wizard.isVisible());
    pumpFor(300ms);
    EXPECT_EQ(wizard.shownPanel(), QStringLiteral("pnCanceled"));

    const qint64 albumId = openUserSettings(false)->value(QStringLiteral("AlbumID")).toLongLong();
    photosite::SiteDatabase site((mSite.dataFolder() / "photosite.db").string());
    EXPECT_TRUE(site.photos(albumId).empty());

    wizard.close();
    EXPECT_FALSE(wizard.isVisible()) << "with nothing running, closing closes";
}

INSTANTIATE_TEST_SUITE_P(Busy, UploadWizardClosing, testing::Values("pnPreparing", "pnUpload"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace

#include "TfrmUploadTest.moc"
