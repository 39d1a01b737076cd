#include "HttpServerAddress.h"
#include "ProxyResolver.h"
#include "TVelkoHTTPUpload.h"
#include "UploadSpeedHistory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

using upload::HttpServerAddress;
using upload::parseServerString;
using upload::UploadSpeedHistory;

namespace {

struct ServerCase
{
    const char* name;
    const char* server;
    const char* host;
    quint16 port;
    bool tls;
    const char* baseUrl;
};

void PrintTo(const ServerCase& c, std::ostream* out)
{
    *out << c.name;
}

class ServerString : public testing::TestWithParam<ServerCase>
{};

TEST_P(ServerString, SplitsIntoSchemeHostAndPort)
{
    const ServerCase& c = GetParam();
    const HttpServerAddress address = parseServerString(QString::fromUtf8(c.server));
    EXPECT_EQ(address.host, QString::fromUtf8(c.host));
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.tls, c.tls);
    EXPECT_EQ(address.baseUrl(), QString::fromUtf8(c.baseUrl));
}

INSTANTIATE_TEST_SUITE_P(
    HttpServerAddress, ServerString,
    testing::Values(
        ServerCase{"HostAndPort8080", "host:8080", "host", 8080, false, "http://host:8080"},
        ServerCase{"LettersAfterColonMakeItAllTheHost", "host:abc", "host:abc", 80, false,
                   "http://host:abc"},
        ServerCase{"BareHost", "photos.example", "photos.example", 80, false,
                   "http://photos.example"},
        ServerCase{"HttpsMeans443", "https://host", "host", 443, true, "https://host"},
        ServerCase{"HttpsWithPort", "https://host:8443", "host", 8443, true, "https://host:8443"},
        ServerCase{"SchemeInAnyCaseAndBlanks", " HTTPS://host:8443/ ", "host", 8443, true,
                   "https://host:8443"},
        ServerCase{"HttpSchemeWithDefaultPort", "http://host:80", "host", 80, false, "http://host"},
        ServerCase{"SignedPortIsNoNumber", "host:+81", "host:+81", 80, false, "http://host:+81"},
        ServerCase{"PortOutOfRange", "host:70000", "host:70000", 80, false, "http://host:70000"},
        ServerCase{"EmptyPort", "host:", "host:", 80, false, "http://host:"},
        ServerCase{"Ipv6WithPort", "[::1]:8080", "[::1]", 8080, false, "http://[::1]:8080"},
        ServerCase{"Ipv6Bare", "https://[::1]", "[::1]", 443, true, "https://[::1]"}),
    [](const testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

struct HtmlCase
{
    const char* name;
    const char* html;
    const char* text;
};

void PrintTo(const HtmlCase& c, std::ostream* out)
{
    *out << c.name;
}

class HtmlToText : public testing::TestWithParam<HtmlCase>
{};

TEST_P(HtmlToText, GivesTheReadableText)
{
    const HtmlCase& c = GetParam();
    EXPECT_EQ(TVelkoHTTPUpload::HtmlToText(QString::fromUtf8(c.html)), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    TVelkoHTTPUpload, HtmlToText,
    testing::Values(
        HtmlCase{"TagsDropped", "<p>Album <b>full</b></p>", "Album full"},
        HtmlCase{"HeadAndScriptDropped",
                 "<html><HEAD><title>Error</title></head><body>"
                 "<script>var a = '<b>';</SCRIPT>Quota exceeded</body></html>",
                 "Quota exceeded"},
        HtmlCase{"BlanksAndTabsFolded", "a \t  b", "a b"},
        HtmlCase{"BlankAfterLineBreakGoes", "a\r\n   b", "a\r\nb"},
        HtmlCase{"BlankLinesFold", "a\r\n\r\n\r\n\r\nb", "a\r\nb"},
        HtmlCase{"EntitiesInAnyCase", "&LT;x&gt; &quot;y&quot; &apos;z&apos; &Amp;&nbsp;w",
                 "<x> \"y\" 'z' & w"},
        // &amp; goes last, so an escaped entity stays an entity.
        HtmlCase{"EscapedEntityStays", "&amp;lt;", "&lt;"},
        HtmlCase{"StrayCloseBracketNeverCopied", "a > b", "a b"},
        HtmlCase{"UnclosedTagDropsTheRest", "Error <b class=x", "Error"},
        HtmlCase{"ControlCharactersTrimmed", "\x01\r\n Server busy \r\n\x02", "Server busy"},
        HtmlCase{"EmptyStaysEmpty", "", ""}),
    [](const testing::TestParamInfo<HtmlCase>& info) { return std::string(info.param.name); });

struct StatusCase
{
    const char* name;
    quint32 status;
    const char* text;
};

void PrintTo(const StatusCase& c, std::ostream* out)
{
    *out << c.name;
}

class StatusText : public testing::TestWithParam<StatusCase>
{};

TEST_P(StatusText, NamesTheStatus)
{
    const StatusCase& c = GetParam();
    EXPECT_EQ(TVelkoHTTPUpload::statusText(c.status), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    TVelkoHTTPUpload, StatusText,
    testing::Values(StatusCase{"BadRequest", 400, "Bad request."},
                    StatusCase{"AccessDenied", 401, "Access denied."},
                    StatusCase{"NotFound", 404, "Page not found."},
                    StatusCase{"ProxyAuthentication", 407, "Proxy authentication required."},
                    StatusCase{"RequestTimeout", 408, "Server timed out waiting for request."},
                    StatusCase{"TooLarge", 413, "Request entity too large."},
                    StatusCase{"MediaType", 415, "Media type or service not supported."},
                    StatusCase{"InternalError", 500, "Internal server error."},
                    StatusCase{"Unavailable", 503, "Service unavailable (temporarily overloaded)"},
                    StatusCase{"HttpVersion", 505, "HTTP version not supported."},
                    StatusCase{"ConflictHasNone", 409, ""}, StatusCase{"TeapotHasNone", 418, ""}),
    [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST(ErrorText, DetailFollowsAfterABlankLineOnlyWhenGiven)
{
    EXPECT_EQ(
        TVelkoHTTPUpload::errorText(etHttpStatus, 500, QString(), QStringLiteral("Disk full")),
        QStringLiteral("Internal server error.\r\n\r\nDisk full"));
    EXPECT_EQ(TVelkoHTTPUpload::errorText(etHttpStatus, 404, QString(), QString()),
              QStringLiteral("Page not found."));
    EXPECT_EQ(TVelkoHTTPUpload::errorText(etSystem, 7, QStringLiteral("Couldn't connect to server"),
                                          QStringLiteral("Connection refused")),
              QStringLiteral("Couldn't connect to server\r\n\r\nConnection refused"));
    EXPECT_EQ(
        TVelkoHTTPUpload::errorText(etException, 9, QString(), QStringLiteral("std::bad_alloc")),
        QStringLiteral("An unexpected error has occurred.\r\n\r\nstd::bad_alloc"));
    // An unknown status shows the detail alone, after the separator.
    EXPECT_EQ(TVelkoHTTPUpload::errorText(etHttpStatus, 418, QString(), QStringLiteral("x")),
              QStringLiteral("\r\n\r\nx"));
}

TEST(UploadSpeedHistory, SmallBodiesGiveNoSampleAndNoEstimate)
{
    UploadSpeedHistory history;
    history.add(9999, 1000.0);
    EXPECT_EQ(history.count(), 0);
    history.add(10000, 0.0);
    EXPECT_EQ(history.count(), 0);
    history.add(20000, 1000.0);
    EXPECT_EQ(history.estimate(9999), 0.0);
}

TEST(UploadSpeedHistory, EstimateUsesSamplesOfASimilarSizeOnly)
{
    UploadSpeedHistory history;
    history.add(20000, 1000.0); // 20 s
    history.add(20000, 4000.0); // 5 s
    // |20000 - 30000| < 15000: both count, total size over total time.
    EXPECT_DOUBLE_EQ(history.estimate(30000), 40000.0 / 25.0);
    // |20000 - 50000| >= 25000: none.
    EXPECT_EQ(history.estimate(50000), 0.0);
    // The bound is strict on both sides: 40000 has h = 20000 and d + h = 40000.
    EXPECT_EQ(history.estimate(40000), 0.0);
}

TEST(UploadSpeedHistory, EstimateTakesTheNewestThreeMatches)
{
    UploadSpeedHistory history;
    history.add(100000, 1.0); // oldest, far slower: left out
    for (int i = 0; i < 3; ++i)
        history.add(100000, 50000.0);
    history.add(1000000, 7.0); // another size: no match
    EXPECT_DOUBLE_EQ(history.estimate(100000), 50000.0);
}

// libproxy without a desktop session reads the environment, afresh at every lookup.
TEST(ProxyResolver, FollowsTheEnvironment)
{
    for (const char* name : {"DESKTOP_SESSION", "XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "http_proxy", "https_proxy", "HTTP_PROXY",
                             "HTTPS_PROXY", "no_proxy", "NO_PROXY", "all_proxy"})
        unsetenv(name);
    const QString site = QStringLiteral("http://photos.example/");
    EXPECT_EQ(upload::proxyFor(site), QString()) << "direct means none";

    setenv("http_proxy", "http://127.0.0.1:3128", 1);
    EXPECT_EQ(upload::proxyFor(site), QStringLiteral("http://127.0.0.1:3128"));
    setenv("https_proxy", "http://127.0.0.1:3129", 1);
    EXPECT_EQ(upload::proxyFor(QStringLiteral("https://photos.example/")),
              QStringLiteral("http://127.0.0.1:3129"));

    setenv("no_proxy", "photos.example", 1);
    EXPECT_EQ(upload::proxyFor(site), QString());
    unsetenv("no_proxy");

    // curl would read a bare "socks" as version 4.
    setenv("http_proxy", "socks://127.0.0.1:1080", 1);
    EXPECT_EQ(upload::proxyFor(site), QStringLiteral("socks5://127.0.0.1:1080"));

    unsetenv("http_proxy");
    unsetenv("https_proxy");
}

} // namespace
