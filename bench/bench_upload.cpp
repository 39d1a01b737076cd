// Uploading 100 prepared photo bodies of about 500 KB to the photo site on loopback: the upload
// component, a probe GET and a POST for each body, chained on its kept connection as the upload
// wizard sends them; against one curl process sending the same GET and POST for each body to
// the same site (--next between them, so it too keeps its connection). Alternating, median of
// several rounds. One-shot figures, so a plain program printing a table.
#include "CredentialKey.h"
#include "SiteFixture.h"
#include "TVelkoHTTPUpload.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <vector>

using namespace photosite::test;

namespace {

constexpr int kBodies = 100;
constexpr int kPhotoBytes = 500 * 1000;
constexpr int kRounds = 5;
constexpr double kGoal = 90; // % of curl's speed
const char* const kUploadPage = "/programma/uploadfile.aspx";
const char* const kWriteOut = "write-out = \"%{time_total}\\n\"\n";

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What the site takes for a JPEG picture: its start marker, then bytes that do not compress.
std::string photoBytes(int seed)
{
    std::mt19937 random(seed);
    std::string bytes(kPhotoBytes, '\0');
    for (char& byte : bytes)
        byte = char(random());
    bytes[0] = '\xFF';
    bytes[1] = '\xD8';
    bytes[2] = '\xFF';
    return bytes;
}

struct Account
{
    std::string email;    // scrambled, as the program sends it
    std::string password; // scrambled
    std::string albumId;
    std::string albumKey;
};

std::optional<Account> makeAccount(const SiteProcess& site)
{
    const auto key = upload::CredentialKey::load(VELKO_CREDENTIAL_KEY, nullptr);
    if (!key)
        return std::nullopt;
    registerAccount(site.base(), "bench%40example.org", "Secret1");
    Account account{key->encode("bench@example.org"), key->encode("Secret1"), {}, {}};
    const auto album =
        answerLines(httpPost(site.base() + "/programma/addbook.aspx",
                             frame({account.email, account.password, "Bench", "1"}), programBody())
                        .body);
    if (album.size() < 3 || album[0] != "OK")
        return std::nullopt;
    account.albumId = album[1];
    account.albumKey = album[2];
    return account;
}

QByteArray uploadBody(const Account& account, int index, const std::string& photo)
{
    const std::string size = std::to_string(photo.size());
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.jpg", index + 1);
    return QByteArray::fromStdString(
        frame({account.email, account.password, account.albumId, account.albumKey, name, "1",
               "20261208153000/1", size, "8388608", "640", "480", "0", size, "0", "0"},
              photo));
}

// Seconds for the component to send every body; nullopt when an answer is not "OK".
std::optional<double> runComponent(const QString& server, const std::vector<QByteArray>& bodies)
{
    QWidget window;
    TVelkoHTTPUpload upload(&window);
    QEventLoop loop;
    std::size_t next = 1;
    int stored = 0;
    bool failed = false;
    upload.OnCompleted = [&](QObject*, const QByteArray& answer, const QString&, bool& more) {
        stored += answer.startsWith("OK\r\n");
        more = next < bodies.size();
        if (!more)
            loop.quit();
    };
    upload.OnNextRequest = [&](QObject*, QString& page, TVelkoHTTPPostType& type,
                               QByteArray& body) {
        page = QString::fromLatin1(kUploadPage);
        type = TVelkoHTTPPostType::hpMultipart;
        body = bodies[next++];
    };
    upload.OnError = [&](QObject*, quint32 code, quint16 type, quint16 stage, const QString& text) {
        std::fprintf(stderr, "upload failed: %u type %u stage %u: %s\n", code, type, stage,
                     qPrintable(text));
        failed = true;
        loop.quit();
    };
    QTimer::singleShot(300'000, &loop, [&] {
        failed = true;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    if (!upload.SendRequest(server, QString::fromLatin1(kUploadPage),
                            TVelkoHTTPPostType::hpMultipart, bodies[0]))
        return std::nullopt;
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (failed || stored != kBodies) {
        std::fprintf(stderr, "component: %d of %d stored\n", stored, kBodies);
        return std::nullopt;
    }
    return seconds;
}

// The curl configuration: for each body a GET of the page, then the POST of the body file; each
// transfer writes its own time, so that curl's start and its reading of the files can be told
// apart.
QString writeCurlConfig(const QDir& folder, const std::string& url)
{
    QStringList transfers;
    for (int i = 0; i < kBodies; ++i) {
        transfers << QStringLiteral("url = \"%1\"\noutput = \"/dev/null\"\n%2")
                         .arg(QString::fromStdString(url), QLatin1String(kWriteOut));
        transfers << QStringLiteral("url = \"%1\"\nheader = \"Content-Type: multipart/form-data\"\n"
                                    "data-binary = \"@%2\"\noutput = \"%3\"\n%4")
                         .arg(QString::fromStdString(url),
                              folder.filePath(QStringLiteral("body%1.bin").arg(i)),
                              folder.filePath(QStringLiteral("answer%1.txt").arg(i)),
                              QLatin1String(kWriteOut));
    }
    const QString path = folder.filePath(QStringLiteral("curl.conf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(transfers.join(QStringLiteral("next\n")).toUtf8());
    return path;
}

struct CurlRound
{
    double seconds;         // the whole process
    double transferSeconds; // the sum of its transfers' own times
};

std::optional<CurlRound> runCurl(const QDir& folder, const QString& config)
{
    for (int i = 0; i < kBodies; ++i)
        QFile::remove(folder.filePath(QStringLiteral("answer%1.txt").arg(i)));
    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"), {QStringLiteral("--silent"), QStringLiteral("--show-error"),
                                        QStringLiteral("--config"), config});
    if (!curl.waitForFinished(300'000) || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
        return std::nullopt;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    for (int i = 0; i < kBodies; ++i) {
        QFile answer(folder.filePath(QStringLiteral("answer%1.txt").arg(i)));
        if (!answer.open(QIODevice::ReadOnly) || !answer.readAll().startsWith("OK\r\n")) {
            std::fprintf(stderr, "curl: answer %d is not OK\n", i);
            return std::nullopt;
        }
    }
    double transfers = 0;
    for (const QByteArray& line : curl.readAllStandardOutput().split('\n'))
        transfers += line.toDouble();
    return CurlRound{seconds, transfers};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QProcess version;
    version.start(QStringLiteral("curl"), {QStringLiteral("--version")});
    if (!version.waitForFinished() || version.exitCode() != 0) {
        std::fprintf(stderr, "curl is not installed\n");
        return 1;
    }
    // Room for every round of both sides.
    SiteProcess site({"--quota", "2047"});
    const std::optional<Account> account = makeAccount(site);
    if (!account) {
        std::fprintf(stderr, "could not make the account and album\n");
        return 1;
    }
    QTemporaryDir folder;
    const QDir dir(folder.path());
    std::vector<QByteArray> bodies;
    for (int i = 0; i < kBodies; ++i) {
        bodies.push_back(uploadBody(*account, i, photoBytes(i)));
        QFile file(dir.filePath(QStringLiteral("body%1.bin").arg(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bodies.back()) != bodies.back().size())
            return 1;
    }
    const QString config = writeCurlConfig(dir, site.base() + kUploadPage);
    const QString server = QStringLiteral("127.0.0.1:%1").arg(site.port());

    std::vector<double> ours, theirs, theirTransfers;
    for (int round = 0; round < kRounds; ++round) {
        std::optional<CurlRound> curl;
        std::optional<double> component;
        if (round % 2 == 0) {
            curl = runCurl(dir, config);
            component = runComponent(server, bodies);
        } else {
            component = runComponent(server, bodies);
            curl = runCurl(dir, config);
        }
        if (!curl || !component)
            return 1;
        theirs.push_back(curl->seconds);
        theirTransfers.push_back(curl->transferSeconds);
        ours.push_back(*component);
    }
    const double megabytes = double(kBodies) * double(bodies[0].size()) / 1e6;
    const double percent = 100 * median(theirs) / median(ours);
    std::printf("%d upload bodies of %.0f KB to the photo site on loopback, a GET and a POST "
                "each, median of %d rounds\n",
                kBodies, bodies[0].size() / 1000.0, kRounds);
    std::printf("  curl --config (one process, --next)  %.3f s  (%.1f MB/s)\n", median(theirs),
                megabytes / median(theirs));
    std::printf("  TVelkoHTTPUpload (chained)           %.3f s  (%.1f MB/s, %.0f %% of curl's "
                "speed, goal %.0f %%)\n",
                median(ours), megabytes / median(ours), percent, kGoal);
    std::printf("  curl's transfers alone (without its start and reading the files) %.3f s; "
                "ours %.0f %% of that speed\n",
                median(theirTransfers), 100 * median(theirTransfers) / median(ours));
    std::printf("  every round (curl / ours):");
    for (std::size_t i = 0; i < ours.size(); ++i)
        std::printf(" %.3f/%.3f", theirs[i], ours[i]);
    std::printf(" s\n");
    return percent >= kGoal ? 0 : 2;
}
