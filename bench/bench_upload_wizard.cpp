// Fifty 12-megapixel photos uploaded at 1600 x 1200 to the photo site on loopback. The upload
// wizard, driven offscreen as a user drives it, is timed from the Upload button to its
// completed page (the preparing pass, the free-space check and the upload pass), and a timer
// on the GUI thread records its longest stall meanwhile. In the same run a shell pipeline does
// the same work: vipsthumbnail makes the same three images of each photo (1600 x 1200 main
// image, 800 x 600 display copy, 160 x 160 thumbnail, JPEG quality 95 as the wizard's) and
// curl posts the framed body built from them with printf and cat. A plain program printing
// a table; --rounds N repeats both sides, alternating which goes first; --photos N for fewer;
// --gallery-shot FILE saves the last wizard album's gallery page as Chromium shows it.
#include "CameraPhoto.h"
#include "CredentialKey.h"
#include "EventLoopWait.h"
#include "GuiStallMonitor.h"
#include "MachineSettings.h"
#include "MadeOnce.h"
#include "OffscreenDefault.h"
#include "SiteFixture.h"
#include "TfrmUpload.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace photosite::test;

namespace {

int gPhotos = 50; // --photos N for a quick look
constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;
constexpr int kStallTick = 2; // ms
const char* const kEmail = "bench@example.org";
const char* const kPassword = "Secret1";

struct Album
{
    std::string id;
    std::string key;
    std::string path;
};

std::optional<Album> createAlbum(const SiteProcess& site, const upload::CredentialKey& key,
                                 const std::string& name)
{
    const auto lines = answerLines(
        httpPost(site.base() + "/programma/addbook.aspx",
                 frame({key.encode(kEmail), key.encode(kPassword), name, "1"}), programBody())
            .body);
    if (lines.size() < 4 || lines[0] != "OK")
        return std::nullopt;
    return Album{lines[1], lines[2], lines[3]};
}

// The photos in the album's gallery, seen as a visitor with the album's key sees them.
int photosInAlbum(const SiteProcess& site, const Album& album)
{
    const std::string page = httpGet(site.base() + album.path + "?key=" + album.key).body;
    int count = 0;
    for (std::size_t at = 0; (at = page.find("<figure class=\"photo\"", at)) != std::string::npos;
         ++at)
        ++count;
    return count;
}

QString shellQuote(const std::string& text)
{
    return QStringLiteral("'") +
           QString::fromStdString(text).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QStringLiteral("'");
}

// For each photo: vipsthumbnail runs from the original, as the wizard makes each image from
// the original (all three images, or the main image alone when not full); vipsheader for the
// main image's size; the body framed as the program frames it; one curl POST whose answer
// must begin with "OK".
QString writePipeline(const QDir& dir, const QStringList& photos, const SiteProcess& site,
                      const upload::CredentialKey& key, const Album& album, bool full)
{
    QString script =
        QStringLiteral("set -e\n"
                       "cd %1\n"
                       "full=%7\n"
                       "post() {\n"
                       "  n=$1; f=$2\n"
                       "  vipsthumbnail \"$f\" --size 1600x1200 -o \"$PWD/m$n.jpg[Q=95,strip]\"\n"
                       "  if [ $full = 1 ]; then\n"
                       "    vipsthumbnail \"$f\" --size 800x600 -o \"$PWD/d$n.jpg[Q=95,strip]\"\n"
                       "    vipsthumbnail \"$f\" --size 160x160 -o \"$PWD/t$n.jpg[Q=95,strip]\"\n"
                       "  else\n"
                       "    : > d$n.jpg; : > t$n.jpg\n"
                       "  fi\n"
                       "  w=$(vipsheader -f width m$n.jpg); h=$(vipsheader -f height m$n.jpg)\n"
                       "  ms=$(stat -c %s m$n.jpg); ds=$(stat -c %s d$n.jpg); "
                       "ts=$(stat -c %s t$n.jpg)\n"
                       "  printf '%s\\r\\n' %2 %3 %4 %5 \"$(basename \"$f\")\" 1 "
                       "20261208190000/1 $ms 8388608 $w $h $full $ms $ds $ts > h$n\n"
                       "  len=$(( $(stat -c %s h$n) + ms + ds + ts ))\n"
                       "  { printf '%s\\r\\n' $len; cat h$n m$n.jpg d$n.jpg t$n.jpg; } |\n"
                       "    curl --silent --show-error -H 'Content-Type: multipart/form-data' "
                       "--data-binary @- -o a$n %6\n"
                       "  head -c 2 a$n | grep -q OK\n"
                       "}\n")
            .arg(dir.path(), shellQuote(key.encode(kEmail)), shellQuote(key.encode(kPassword)),
                 shellQuote(album.id), shellQuote(album.key),
                 shellQuote(site.base() + "/programma/uploadfile.aspx"),
                 full ? QStringLiteral("1") : QStringLiteral("0"));
    for (int i = 0; i < photos.size(); ++i)
        script += QStringLiteral("post %1 %2\n").arg(i).arg(shellQuote(photos[i].toStdString()));
    const QString path = dir.filePath(QStringLiteral("pipeline.sh"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0)
        return {};
    return path;
}

std::optional<double> runPipeline(const QString& script)
{
    QProcess bash;
    QElapsedTimer clock;
    clock.start();
    bash.start(QStringLiteral("bash"), {script});
    if (!bash.waitForFinished(30 * 60'000) || bash.exitCode() != 0) {
        std::fprintf(stderr, "pipeline failed: %s\n", bash.readAllStandardError().constData());
        return std::nullopt;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

// The album's gallery as a visitor's browser shows it, taken by headless Chromium.
bool shootGallery(const SiteProcess& site, const Album& album, const QString& file)
{
    QProcess chromium;
    chromium.start(QStringLiteral("chromium"),
                   {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                    QStringLiteral("--hide-scrollbars"), QStringLiteral("--window-size=1280,800"),
                    QStringLiteral("--screenshot=") + file,
                    QString::fromStdString(site.base() + album.path + "?key=" + album.key)});
    if (!chromium.waitForFinished(120'000) || chromium.exitCode() != 0 || !QFile::exists(file)) {
        std::fprintf(stderr, "chromium failed: %s\n", chromium.readAllStandardError().constData());
        return false;
    }
    std::printf("gallery page written to %s\n", qPrintable(file));
    return true;
}

template <class T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("the wizard has no %s", name);
    return found;
}

bool shown(const TfrmUpload& wizard, const char* panel)
{
    return wizard.shownPanel() == QLatin1String(panel);
}

struct WizardRun
{
    double seconds = 0;
    double stallMs = 0;
    double stallAt = 0; // seconds after Upload
    QString stallPanel; // the panel shown when it ended
};

// Logs in, picks the album and 1600 x 1200, then times Upload to the completed page.
std::optional<WizardRun> runWizard(const QStringList& photos, const QString& albumName)
{
    TfrmUpload wizard;
    wizard.SetPhotoFiles(photos);
    wizard.show();
    child<QLineEdit>(wizard, "edEmail")->setText(QString::fromLatin1(kEmail));
    child<QLineEdit>(wizard, "edPassword")->setText(QString::fromLatin1(kPassword));
    child<QAbstractButton>(wizard, "btnLogin")->click();
    if (!pumpUntil([&] { return shown(wizard, "pnSelectAlbum"); }, 30s)) {
        std::fprintf(stderr, "wizard: no album page after login\n");
        return std::nullopt;
    }
    auto* albums = child<QComboBox>(wizard, "cmbAlbum");
    albums->setCurrentIndex(albums->findText(albumName));
    child<QAbstractButton>(wizard, "btnNext1")->click();
    auto* formats = child<QComboBox>(wizard, "cmbFormat");
    const int format = formats->findText(QStringLiteral("1600x1200"), Qt::MatchStartsWith);
    if (albums->currentText() != albumName || format < 0) {
        std::fprintf(stderr, "wizard: album or size not offered\n");
        return std::nullopt;
    }
    formats->setCurrentIndex(format);

    WizardRun run;
    GuiStallMonitor stalls(kStallTick);
    stalls.setOnLongest([&] { run.stallPanel = wizard.shownPanel(); });
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    child<QAbstractButton>(wizard, "btnUpload")->click();
    const bool ended = pumpEventsUntil(
        [&] { return shown(wizard, "pnCompleted") || shown(wizard, "pnUploadError"); }, 30min);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    run.stallMs = stalls.longestMs();
    run.stallAt = stalls.longestEndedSeconds();
    if (!ended || !shown(wizard, "pnCompleted")) {
        std::fprintf(stderr, "wizard: the upload did not complete: %s\n",
                     qPrintable(child<QLabel>(wizard, "lblUploadError")->text()));
        return std::nullopt;
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessSet();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    int rounds = 1;
    QString galleryShot;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--photos")
            gPhotos = std::max(1, std::atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--gallery-shot")
            galleryShot = QFileInfo(QString::fromLocal8Bit(argv[i + 1])).absoluteFilePath();
    }
    for (const char* tool : {"vipsthumbnail", "vipsheader", "curl"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "%s is not installed\n", tool);
            return 1;
        }

    SiteProcess site({"--quota", "2047"});
    const auto key = upload::CredentialKey::load(VELKO_CREDENTIAL_KEY, nullptr);
    if (!key)
        return 1;
    registerAccount(site.base(), "bench%40example.org", kPassword);
    openUserSettings(true)->setValue(QStringLiteral("SiteHost"),
                                     QStringLiteral("127.0.0.1:%1").arg(site.port()));

    QTemporaryDir dir;
    // The camera photos take a while to make; a set of each size is kept between runs.
    const QDir photoFolder(QDir::tempPath() +
                           QStringLiteral("/velko-bench-upload-wizard-%1").arg(gPhotos));
    const auto photoPath = [&](int i) {
        return photoFolder.filePath(
            QStringLiteral("IMG_%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')));
    };
    QElapsedTimer making;
    making.start();
    const bool made = makeOnce(photoFolder.path(), "complete-v1", [&] {
        for (int i = 0; i < gPhotos; ++i) {
            if (!writeCameraJpeg(photoPath(i), kPhotoWidth, kPhotoHeight, i)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(photoPath(i)));
                return false;
            }
        }
        return true;
    });
    if (!made)
        return 1;
    QStringList photos;
    for (int i = 0; i < gPhotos; ++i)
        photos << photoPath(i);
    std::printf("%d photos of %d x %d ready in %.1f s\n", gPhotos, kPhotoWidth, kPhotoHeight,
                making.elapsed() / 1000.0);
    std::fflush(stdout);

    std::printf("%-6s %-44s %10s %12s %7s\n", "round", "", "seconds", "stall (ms)", "photos");
    double worstRatio = 0;
    double worstStall = 0;
    std::optional<Album> lastWizardAlbum;
    for (int round = 0; round < rounds; ++round) {
        const QString suffix = QString::number(round + 1);
        struct Side
        {
            QString album;
            bool full = true;
            std::optional<Album> made;
            std::optional<double> seconds;
        };
        Side full{QStringLiteral("Pipeline ") + suffix, true, {}, {}};
        Side mainOnly{QStringLiteral("Main only ") + suffix, false, {}, {}};
        Side ours{QStringLiteral("Wizard ") + suffix, true, {}, {}};
        std::optional<WizardRun> wizard;
        for (Side* side : {&full, &mainOnly, &ours})
            if (!(side->made = createAlbum(site, *key, side->album.toStdString())))
                return 1;
        const auto runShell = [&](Side& side) {
            const QDir work(dir.filePath(side.album).replace(QLatin1Char(' '), QLatin1Char('_')));
            QDir().mkpath(work.path());
            side.seconds =
                runPipeline(writePipeline(work, photos, site, *key, *side.made, side.full));
            return bool(side.seconds);
        };
        const auto runOurs = [&] {
            wizard = runWizard(photos, ours.album);
            return bool(wizard);
        };
        const bool ran = round % 2 == 0 ? runShell(full) && runShell(mainOnly) && runOurs()
                                        : runOurs() && runShell(mainOnly) && runShell(full);
        if (!ran)
            return 1;
        const int fullCount = photosInAlbum(site, *full.made);
        const int mainCount = photosInAlbum(site, *mainOnly.made);
        const int ourCount = photosInAlbum(site, *ours.made);
        std::printf("%-6d %-44s %10.2f %12s %7d\n", round + 1,
                    "pipeline, the wizard's three images", *full.seconds, "", fullCount);
        std::printf("%-6s %-44s %10.2f %12s %7d\n", "", "pipeline, 1600 x 1200 main image only",
                    *mainOnly.seconds, "", mainCount);
        std::printf("%-6s %-44s %10.2f %12.1f %7d\n", "", "upload wizard (prepare + upload)",
                    wizard->seconds, wizard->stallMs, ourCount);
        const double ratio = wizard->seconds / std::min(*full.seconds, *mainOnly.seconds);
        std::printf("%-6s longest stall ended %.2f s after Upload, on %s\n", "", wizard->stallAt,
                    qPrintable(wizard->stallPanel));
        std::printf("%-6s wizard / faster pipeline %.2f; wizard / same-images pipeline %.2f\n", "",
                    ratio, wizard->seconds / *full.seconds);
        std::fflush(stdout);
        if (fullCount != gPhotos || mainCount != gPhotos || ourCount != gPhotos)
            return 1;
        worstRatio = std::max(worstRatio, ratio);
        worstStall = std::max(worstStall, wizard->stallMs);
        lastWizardAlbum = ours.made;
    }
    if (!galleryShot.isEmpty() && !shootGallery(site, *lastWizardAlbum, galleryShot))
        return 1;
    std::printf(
        "goal: wizard / faster pipeline <= 1.00 (worst %.2f), stall <= 16 ms (worst %.1f)\n",
        worstRatio, worstStall);
    return worstRatio <= 1.0 && worstStall <= 16 ? 0 : 2;
}
