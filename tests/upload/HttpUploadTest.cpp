// The HTTP upload component against the photo site and against a scripted server of the
// test's own, all on loopback: probe and POST, chained requests, status errors, sign-in,
// cancel, the one-request-per-process rule and speed samples.
#include "ModalAnswer.h"
#include "ScriptedHttpServer.h"
#include "SiteFixture.h"
#include "TestApplication.h"
#include "UploadEvents.h"

#include <QDialog>
#include <QLineEdit>
#include <QWidget>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace uploadtest;

namespace {

QByteArray bodyOf(int size)
{
    QByteArray body(size, 'b');
    for (int i = 0; i < size; i += 997)
        body[i] = char(i % 251);
    return body;
}

class HttpUploadTest : public testing::Test
{
protected:
    HttpUploadTest()
    {
        testsupport::ensureApplication();
        window.emplace();
        upload.emplace(&*window);
        events.emplace(*upload);
    }
    ~HttpUploadTest() override
    {
        upload.reset();
        TVelkoHTTPUpload::setOptions({});
    }

    bool send(const QString& server, const QString& page, const QByteArray& body,
              TVelkoHTTPPostType type = TVelkoHTTPPostType::hpMultipart)
    {
        events->start();
        return upload->SendRequest(server, page, type, body);
    }

    std::vector<QByteArray> methodsAndPaths() const
    {
        std::vector<QByteArray> seen;
        for (const RecordedRequest& request : server.requests())
            seen.push_back(request.method + ' ' + request.path);
        return seen;
    }

    ScriptedHttpServer server;
    std::optional<QWidget> window;
    std::optional<TVelkoHTTPUpload> upload;
    std::optional<UploadEvents> events;
};

TEST_F(HttpUploadTest, ProbesBeforeEachPostAndChainsOnOneKeptConnection)
{
    int served = 0;
    server.setScript([&served](const RecordedRequest& request) {
        return Reply::answer(200,
                             request.method == "POST" ? "answer " + QByteArray::number(++served)
                                                      : QByteArray("probe page"),
                             {{"Content-Type", "Text/Plain; Charset=UTF-8"}});
    });
    events->chain = {
        {QStringLiteral("/second.aspx?x=1"), TVelkoHTTPPostType::hpUrlEncoded, "a=1&b=2"}};
    ASSERT_TRUE(send(server.server(), QStringLiteral("/first.aspx"), bodyOf(20000)));
    ASSERT_TRUE(events->waitForEnd());

    ASSERT_TRUE(events->errors.empty()) << events->errors[0].text.toStdString();
    EXPECT_EQ(events->answers, (std::vector<QByteArray>{"answer 1", "answer 2"}));
    EXPECT_EQ(events->contentTypes[0], QStringLiteral("text/plain; charset=utf-8"));
    EXPECT_EQ(methodsAndPaths(),
              (std::vector<QByteArray>{"GET /first.aspx", "POST /first.aspx",
                                       "GET /second.aspx?x=1", "POST /second.aspx?x=1"}));
    const auto requests = server.requests();
    EXPECT_EQ(requests[1].header("content-type"), "multipart/form-data") << "no boundary";
    EXPECT_EQ(requests[1].bodyLength, 20000);
    EXPECT_EQ(requests[3].header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[3].bodyLength, 7);
    EXPECT_EQ(server.connectionCount(), 1) << "probes, posts and the chain share one connection";
    EXPECT_TRUE(pumpUntil([&] { return server.closedByClientCount() == 1; }))
        << "the connection is closed when the chain ends";
    EXPECT_FALSE(upload->isBusy());
}

TEST_F(HttpUploadTest, ProbeAnswerOf500EndsTheRequestWithThePageAsDetail)
{
    server.setScript([](const RecordedRequest&) {
        return Reply::answer(500, "<html><head><title>Oops</title></head><body>\n"
                                  "<script>var hidden = 1;</script><h1>Database down</h1>\n"
                                  "<p>Try again &amp; wait</p></body></html>");
    });
    ASSERT_TRUE(send(server.server(), QStringLiteral("/programma/uploadfile.aspx"), bodyOf(5000)));
    ASSERT_TRUE(events->waitForEnd());

    ASSERT_EQ(events->errors.size(), 1u);
    const UploadError& error = events->errors[0];
    EXPECT_EQ(error.code, 500u);
    EXPECT_EQ(error.type, etHttpStatus);
    EXPECT_TRUE(error.text.startsWith(QStringLiteral("Internal server error.\r\n\r\n")))
        << error.text.toStdString();
    EXPECT_TRUE(error.text.contains(QStringLiteral("Database down")));
    EXPECT_TRUE(error.text.contains(QStringLiteral("Try again & wait")));
    EXPECT_FALSE(error.text.contains(QStringLiteral("Oops")) ||
                 error.text.contains(QStringLiteral("hidden")));
    EXPECT_EQ(methodsAndPaths(), (std::vector<QByteArray>{"GET /programma/uploadfile.aspx"}))
        << "no POST after a failed probe";
    EXPECT_TRUE(events->answers.empty());
}

struct NotFoundCase
{
    const char* name;
    const char* refusedMethod;
    quint16 stage;
};

class NotFoundTest : public HttpUploadTest, public testing::WithParamInterface<NotFoundCase>
{};

TEST_P(NotFoundTest, ReportsTheStageWhereItHappened)
{
    server.setScript([](const RecordedRequest& request) {
        return request.method == GetParam().refusedMethod
                   ? Reply::answer(404, "<html><body>gone</body></html>")
                   : Reply::answer(200, "fine");
    });
    ASSERT_TRUE(send(server.server(), QStringLiteral("/missing.aspx"), bodyOf(3000)));
    ASSERT_TRUE(events->waitForEnd());
    ASSERT_EQ(events->errors.size(), 1u);
    const UploadError& error = events->errors[0];
    EXPECT_EQ(error.code, 404u);
    EXPECT_EQ(error.type, etHttpStatus);
    EXPECT_EQ(error.stage, GetParam().stage);
    EXPECT_EQ(error.text, QStringLiteral("Page not found."));
    EXPECT_EQ(server.requests().size(),
              std::string_view(GetParam().refusedMethod) == "GET" ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Answers, NotFoundTest,
                         testing::Values(NotFoundCase{"AtTheProbe", "GET", stProbe},
                                         NotFoundCase{"AfterThePost", "POST", stEndRequest}),
                         [](const auto& info) { return std::string(info.param.name); });

// Fills the sign-in dialog (its first two fields) and accepts it, or cancels it.
void answerSignIn(std::optional<std::pair<QString, QString>> credentials)
{
    onModal<QDialog>([credentials](QDialog* dialog) {
        if (!credentials) {
            dialog->reject();
            return;
        }
        const auto fields = dialog->findChildren<QLineEdit*>();
        ASSERT_GE(fields.size(), 2);
        fields[0]->setText(credentials->first);
        fields[1]->setText(credentials->second);
        dialog->accept();
    });
}

TEST_F(HttpUploadTest, SignInDialogRetriesTheProbeOrEndsWithAccessDenied)
{
    const QByteArray expected = "Basic " + QByteArrayLiteral("anna:Secret 1").toBase64();
    server.setScript([expected](const RecordedRequest& request) {
        return request.header("authorization") == expected ? Reply::answer(200, "welcome")
                                                           : Reply::basicChallenge();
    });

    answerSignIn(std::nullopt);
    ASSERT_TRUE(send(server.server(), QStringLiteral("/family/"), bodyOf(100)));
    ASSERT_TRUE(events->waitForEnd());
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_EQ(events->errors[0].code, 401u);
    EXPECT_EQ(events->errors[0].type, etHttpStatus);
    EXPECT_TRUE(events->errors[0].text.startsWith(QStringLiteral("Access denied.")));
    EXPECT_EQ(methodsAndPaths(), (std::vector<QByteArray>{"GET /family/"}));

    answerSignIn(std::pair(QStringLiteral("anna"), QStringLiteral("Secret 1")));
    ASSERT_TRUE(send(server.server(), QStringLiteral("/family/"), bodyOf(100)));
    ASSERT_TRUE(events->waitForEnd());
    ASSERT_EQ(events->errors.size(), 1u) << events->errors.back().text.toStdString();
    EXPECT_EQ(events->answers, (std::vector<QByteArray>{"welcome"}));
    // The first probe goes without a sign-in; one is asked for after the 401, and the probe
    // is sent again with it before the POST.
    const auto requests = server.requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests[1].method + requests[1].header("authorization"), "GET");
    EXPECT_EQ(requests[requests.size() - 2].method +
                  requests[requests.size() - 2].header("authorization"),
              "GET" + expected);
    EXPECT_EQ(requests.back().method + requests.back().header("authorization"), "POST" + expected);
}

TEST_F(HttpUploadTest, CancelDuringTheBodyRaisesOnlyOnCanceledAndClosesTheConnection)
{
    constexpr int size = 8 * 1024 * 1024;
    QElapsedTimer sinceCancel;
    events->onBytesSent = [&](quint32 sent, quint32 total) {
        if (sent > 0 && sent < total && !sinceCancel.isValid()) {
            sinceCancel.start();
            EXPECT_TRUE(upload->Cancel());
        }
    };
    ASSERT_TRUE(send(server.server(), QStringLiteral("/big.aspx"), bodyOf(size)));
    ASSERT_TRUE(events->waitForEnd());
    EXPECT_LT(sinceCancel.elapsed(), 2000);

    EXPECT_EQ(events->canceled, 1);
    EXPECT_TRUE(events->errors.empty()) << events->errors[0].text.toStdString();
    EXPECT_TRUE(events->answers.empty());
    EXPECT_FALSE(upload->isBusy());
    EXPECT_FALSE(upload->Cancel()) << "nothing left to cancel";
    ASSERT_TRUE(pumpUntil([&] { return server.closedByClientCount() == 1; }));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].declaredLength, size);
    EXPECT_LT(requests[1].bodyLength, size);
}

TEST_F(HttpUploadTest, SecondRequestWhileOneRunsIsRefusedAfterAWait)
{
    server.setScript([](const RecordedRequest&) { return Reply::of(Reply::Kind::Silent); });
    ASSERT_TRUE(send(server.server(), QStringLiteral("/slow.aspx"), {}));
    ASSERT_TRUE(pumpUntil([&] { return server.requests().size() == 1; }));
    EXPECT_TRUE(upload->isBusy());

    ScriptedHttpServer other;
    TVelkoHTTPUpload second(&*window);
    UploadEvents secondEvents(second);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(second.SendRequest(other.server(), QStringLiteral("/x.aspx"),
                                    TVelkoHTTPPostType::hpMultipart, bodyOf(100)));
    EXPECT_GE(clock.elapsed(), 90) << "one wait of 100 ms before refusing";
    EXPECT_FALSE(upload->SendRequest(other.server(), QStringLiteral("/x.aspx"),
                                     TVelkoHTTPPostType::hpMultipart, bodyOf(100)));

    ASSERT_TRUE(upload->Cancel());
    ASSERT_TRUE(events->waitForEnd());
    EXPECT_EQ(events->canceled, 1);
    EXPECT_EQ(other.connectionCount(), 0) << "the refused requests started nothing";
    EXPECT_TRUE(secondEvents.bytesSent.empty() && secondEvents.errors.empty() &&
                secondEvents.canceled == 0);
}

TEST_F(HttpUploadTest, SpeedSampleOnlyForABodyOf10000BytesOrMore)
{
    const int before = TVelkoHTTPUpload::speedSampleCount();
    ASSERT_TRUE(send(server.server(), QStringLiteral("/small.aspx"), bodyOf(9999)));
    ASSERT_TRUE(events->waitForEnd());
    EXPECT_EQ(TVelkoHTTPUpload::speedSampleCount(), before);
    ASSERT_TRUE(send(server.server(), QStringLiteral("/large.aspx"), bodyOf(20000)));
    ASSERT_TRUE(events->waitForEnd());
    EXPECT_EQ(TVelkoHTTPUpload::speedSampleCount(), before + 1);
    EXPECT_GT(TVelkoHTTPUpload::EstimateSpeed(30000), 0);
    EXPECT_EQ(TVelkoHTTPUpload::EstimateSpeed(9999), 0);
    EXPECT_EQ(events->answers.size(), 2u);
}

TEST_F(HttpUploadTest, PortOfLettersMakesTheWholeStringTheHost)
{
    ASSERT_TRUE(send(QStringLiteral("localhost:abc"), QStringLiteral("/a.aspx"), bodyOf(100)));
    ASSERT_TRUE(events->waitForEnd(40s));
    ASSERT_EQ(events->errors.size(), 1u);
    const UploadError& error = events->errors[0];
    EXPECT_EQ(error.type, etSystem);
    EXPECT_TRUE(error.stage == stConnect || error.stage == stProbe) << error.stage;
    EXPECT_TRUE(error.text.contains(
        QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(error.code)))))
        << error.code << ' ' << error.text.toStdString();
}

// The photo site as the program meets it, plain and over TLS.
class PhotoSiteUploadTest : public HttpUploadTest, public testing::WithParamInterface<bool>
{};

TEST_P(PhotoSiteUploadTest, PostsAFramedBodyInPiecesOf16384Bytes)
{
    const bool tls = GetParam();
    std::vector<std::string> options;
    std::filesystem::path folder;
    if (tls) {
        folder = std::filesystem::temp_directory_path() /
                 ("velko-upload-tls-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        const std::string cert = (folder / "cert.pem").string();
        const std::string key = (folder / "key.pem").string();
        ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
                               "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                               key + " -out " + cert + " >/dev/null 2>&1")
                                  .c_str()),
                  0);
        options = {"--tls-cert", cert, "--tls-key", key};
        TVelkoHTTPUpload::Options trust;
        trust.caFile = QString::fromStdString(cert);
        TVelkoHTTPUpload::setOptions(trust);
    }
    {
        photosite::test::SiteProcess site(options);
        const std::string framed = photosite::test::frame(
            {"nobody", "nothing", "1", "2", "2", "1.0.0", "0"}, std::string(40000, 'p'));
        const QString server = QString::fromStdString((tls ? "https://127.0.0.1:" : "127.0.0.1:") +
                                                      std::to_string(site.port()));
        ASSERT_TRUE(send(server, QStringLiteral("/programma/checklogin.aspx"),
                         QByteArray::fromStdString(framed)));
        ASSERT_TRUE(events->waitForEnd());
        ASSERT_TRUE(events->errors.empty()) << events->errors[0].text.toStdString();
        ASSERT_EQ(events->answers.size(), 1u);
        EXPECT_FALSE(events->answers[0].isEmpty());
        EXPECT_FALSE(events->answers[0].startsWith("OK")) << "no such account";

        const auto total = quint32(framed.size());
        quint32 expected = 0;
        for (const auto& [sent, all] : events->bytesSent) {
            EXPECT_EQ(sent, expected);
            EXPECT_EQ(all, total);
            expected = std::min<quint32>(expected + 16384, total);
        }
        ASSERT_FALSE(events->bytesSent.empty());
        EXPECT_EQ(events->bytesSent.back().first, total);
    }
    if (tls)
        std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Site, PhotoSiteUploadTest, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Https" : "Http"; });

} // namespace
