// Drives the upload wizard as a user would, against velko-photosite on loopback, and saves a
// picture of each page and panel it reaches.
// usage: velko-upload-shot OUTPUT_FOLDER
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "MachineSettings.h"
#include "ShotSupport.h"
#include "SiteFixture.h"
#include "TUploadFormat.h"
#include "TfrmAddPhotobook.h"
#include "TfrmUpload.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <set>
#include <stdexcept>

namespace {

void waitForPanel(TfrmUpload& wizard, const char* panel)
{
    if (!shot::waitUntil(
            [&] { return !wizard.isBusy() && wizard.shownPanel() == QLatin1String(panel); }))
        throw std::runtime_error(
            std::string("never reached ") + panel + ", but " + wizard.shownPanel().toStdString() +
            ": " + shot::child<QLabel>(wizard, "lblUploadError")->text().toStdString());
}

void pointAt(const photosite::test::SiteProcess& site)
{
    auto settings = openUserSettings(true);
    settings->setValue(QStringLiteral("SiteHost"), QStringLiteral("127.0.0.1:%1").arg(site.port()));
    settings->sync();
}

void logIn(TfrmUpload& wizard, const char* password)
{
    shot::child<QLineEdit>(wizard, "edPassword")->setText(QLatin1String(password));
    shot::child<QPushButton>(wizard, "btnLogin")->click();
    shot::waitUntil([&] { return !wizard.isBusy(); });
}

void createAlbum(TfrmUpload& wizard, const QString& name)
{
    QTimer::singleShot(50, [name] {
        if (auto* dialog = qobject_cast<TfrmAddPhotobook*>(QApplication::activeModalWidget())) {
            dialog->setName(name);
            dialog->accept();
        }
    });
    emit shot::child<QLabel>(wizard, "btnCreateAlbum")->linkActivated(QStringLiteral("#"));
    waitForPanel(wizard, "pnSelectAlbum");
}

void chooseSize(TfrmUpload& wizard, TUploadFormat format)
{
    auto* sizes = shot::child<QComboBox>(wizard, "cmbFormat");
    sizes->setCurrentIndex(sizes->findData(format.toSetting()));
}

// The pictures of panels that pass quickly are taken the moment they appear.
void grabOnArrival(TfrmUpload& wizard, std::map<QString, const char*> names)
{
    auto taken = std::make_shared<std::set<QString>>();
    QObject::connect(&wizard, &TfrmUpload::panelShown, &wizard,
                     [&wizard, names, taken](const QString& panel) {
                         const auto it = names.find(panel);
                         if (it != names.end() && taken->insert(panel).second)
                             shot::save(wizard, it->second);
                     });
}

void mainRun(const QStringList& photos)
{
    photosite::test::SiteProcess site;
    photosite::test::registerAccount(site.base(), "anna%40example.org", "Summer2024");
    pointAt(site);
    auto settings = openUserSettings(true);
    settings->setValue(QStringLiteral("UserName"), QStringLiteral("anna@example.org"));
    settings->sync();

    TfrmUpload wizard;
    grabOnArrival(wizard,
                  {{QStringLiteral("pnChecking"), "upload-1-checking"},
                   {QStringLiteral("pnCreatingAlbum"), "upload-2-creating-album"},
                   {QStringLiteral("pnPreparing"), "upload-4-preparing"},
                   {QStringLiteral("pnCheckingFreeSpace"), "upload-4-checking-free-space"}});
    wizard.SetPhotoFiles(photos);
    wizard.show();
    shot::waitUntil([] { return false; }, 200);
    shot::child<QLineEdit>(wizard, "edPassword")->setText(QStringLiteral("secret"));
    shot::save(wizard, "upload-1-login");

    logIn(wizard, "Wrong-one");
    waitForPanel(wizard, "pnLogin");
    shot::save(wizard, "upload-1-login-error");

    logIn(wizard, "Summer2024");
    waitForPanel(wizard, "pnSelectAlbum");
    createAlbum(wizard, QStringLiteral("Holiday Coast 2024"));
    shot::save(wizard, "upload-2-album");

    shot::child<QPushButton>(wizard, "btnNext1")->click();
    chooseSize(wizard, {1600, 1200});
    shot::save(wizard, "upload-3-size");

    bool uploadTaken = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!uploadTaken && wizard.shownPanel() == QLatin1String("pnUpload") &&
            shot::child<QLabel>(wizard, "lblPct")->text() != QLatin1String("0 %") &&
            !shot::child<QLabel>(wizard, "lblUploadNo")->text().startsWith(QLatin1String("(1/"))) {
            uploadTaken = true;
            shot::save(wizard, "upload-4-uploading");
        }
    });
    watch.start(5);
    shot::child<QPushButton>(wizard, "btnUpload")->click();
    waitForPanel(wizard, "pnCompleted");
    shot::save(wizard, "upload-4-completed");

    // Again, cancelled while preparing.
    wizard.hide();
    wizard.show();
    waitForPanel(wizard, "pnSelectAlbum");
    shot::child<QPushButton>(wizard, "btnNext1")->click();
    shot::child<QPushButton>(wizard, "btnUpload")->click();
    shot::child<QPushButton>(wizard, "btnCancelPrepare")->click();
    waitForPanel(wizard, "pnCanceled");
    shot::save(wizard, "upload-4-canceled");
}

// An account of 1 MB: the preparing pass stops at the cap and the space is too small; then
// the site goes away.
void smallAccountRun(const QStringList& photos)
{
    photosite::test::SiteProcess site({"--quota", "1"});
    photosite::test::registerAccount(site.base(), "bert%40example.org", "Winter2024");
    pointAt(site);
    auto settings = openUserSettings(true);
    settings->setValue(QStringLiteral("UserName"), QStringLiteral("bert@example.org"));
    settings->sync();

    TfrmUpload wizard;
    wizard.SetPhotoFiles(photos);
    wizard.show();
    logIn(wizard, "Winter2024");
    waitForPanel(wizard, "pnSelectAlbum");
    createAlbum(wizard, QStringLiteral("Family"));
    shot::child<QPushButton>(wizard, "btnNext1")->click();
    chooseSize(wizard, {0, 0});
    shot::child<QPushButton>(wizard, "btnUpload")->click();
    waitForPanel(wizard, "pnNotEnoughSpace");
    shot::save(wizard, "upload-4-not-enough-space");

    site.stop();
    shot::child<QPushButton>(wizard, "btnRetry")->click();
    waitForPanel(wizard, "pnUploadError");
    shot::save(wizard, "upload-4-error");
}

// A site that answers every request with one login answer, for the notice and the stop
// message that the reference site never sends.
class LoginAnswerSite
{
public:
    explicit LoginAnswerSite(int kind, const QString& message)
    {
        QStringList lines{QStringLiteral("OK"),      QString::number(kind),    message,
                          QStringLiteral("anna"),    QStringLiteral("1"),      QStringLiteral("1"),
                          QStringLiteral("1"),       QStringLiteral("Family"), QStringLiteral("k1"),
                          QStringLiteral("/anna/1/")};
        for (int limit : {1, 2, 0, 800, 600, 160, 10, 50, 8388608, 1073741824})
            lines << QString::number(limit);
        mBody = lines.join(QStringLiteral("\r\n")).toUtf8();
        QObject::connect(&mServer, &QTcpServer::newConnection, [this] { serve(); });
        if (!mServer.listen(QHostAddress::LocalHost))
            throw std::runtime_error("cannot listen");
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(mServer.serverPort()); }

private:
    void serve()
    {
        while (QTcpSocket* socket = mServer.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                const qsizetype end = request->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                qint64 length = 0;
                for (const QByteArray& line : request->left(end).split('\n'))
                    if (line.toLower().startsWith("content-length:"))
                        length = line.mid(15).trimmed().toLongLong();
                if (request->size() < end + 4 + length)
                    return;
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: "
                              "close\r\nContent-Length: " +
                              QByteArray::number(mBody.size()) + "\r\n\r\n" + mBody);
                socket->disconnectFromHost();
                request->clear();
            });
        }
    }

    QTcpServer mServer;
    QByteArray mBody;
};

void messageRun(int kind, const QString& message, const char* panel, const char* name)
{
    LoginAnswerSite site(kind, message);
    auto settings = openUserSettings(true);
    settings->setValue(QStringLiteral("SiteHost"), site.host());
    settings->sync();
    TfrmUpload wizard;
    wizard.show();
    logIn(wizard, "Summer2024");
    waitForPanel(wizard, panel);
    shot::save(wizard, name);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage();
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: velko-upload-shot OUTPUT_FOLDER\n");
        return 1;
    }
    shot::setOutputFolder(app.arguments()[1]);
    QTemporaryDir config;
    QTemporaryDir photos;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    try {
        const QStringList files = shot::writePhotos(photos.path(), 10, 3200);
        mainRun(files.mid(0, 5));
        QFile::remove(userSettingsPath());
        smallAccountRun(files);
        messageRun(1,
                   QStringLiteral("The site will be down for maintenance on Sunday from 2:00 "
                                  "to 4:00.<BR>Your albums and photos stay safe."),
                   "pnNonCritical", "upload-1-notice");
        messageRun(2,
                   QStringLiteral("Uploading is paused while the site moves to a new disk. "
                                  "Please try again tomorrow."),
                   "pnCritical", "upload-1-stop");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velko-upload-shot: %s\n", error.what());
        return 1;
    }
    return 0;
}
