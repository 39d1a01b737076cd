// The photo site as the program and a browser meet it: on loopback, with a data folder of its own.
#include "CredentialKey.h"
#include "SiteFixture.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <optional>
#include <regex>

using namespace photosite;
using upload::CredentialKey;
using namespace photosite::test;

namespace {

constexpr char kLogin[] = "/programma/checklogin.aspx";
constexpr char kAddBook[] = "/programma/addbook.aspx";
constexpr char kFreeSpace[] = "/programma/getfreespace.aspx";
constexpr char kUpload[] = "/programma/uploadfile.aspx";

const CredentialKey& key()
{
    static const CredentialKey loaded = *CredentialKey::load(VELKO_CREDENTIAL_KEY, nullptr);
    return loaded;
}

// A picture as far as the site looks: the JPEG start marker and some bytes.
std::string jpegBytes(std::size_t size)
{
    std::string bytes(size, '\x42');
    bytes[0] = '\xFF';
    bytes[1] = '\xD8';
    bytes[2] = '\xFF';
    return bytes;
}

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The program's side of the protocol, as the upload wizard sends it.
class Program
{
public:
    Program(const SiteProcess& site, std::string email, std::string password)
        : mSite(site), mEmail(key().encode(email)), mPassword(key().encode(password))
    {}

    std::vector<std::string> send(const char* path, const std::string& body)
    {
        return answerLines(httpPost(mSite.base() + path, body, programBody()).body);
    }
    std::vector<std::string> login()
    {
        return send(kLogin, frame({mEmail, mPassword, "1", "2", "2", "1.0.0", "0"}));
    }
    std::vector<std::string> createAlbum(const std::string& name)
    {
        return send(kAddBook, frame({mEmail, mPassword, name, "1"}));
    }
    std::vector<std::string> freeSpace()
    {
        return send(kFreeSpace, frame({mEmail, mPassword, "1", "8388608", "2"}));
    }
    std::string uploadBody(const std::string& albumId, const std::string& albumKey,
                           const std::string& fileName, const std::string& main,
                           const std::string& thumb = {})
    {
        const std::string size = std::to_string(main.size());
        return frame({mEmail, mPassword, albumId, albumKey, fileName, "1", "20261208153000/1", size,
                      "8388608", "640", "480", "0", size, "0", std::to_string(thumb.size())},
                     main + thumb);
    }

private:
    const SiteProcess& mSite;
    std::string mEmail;
    std::string mPassword;
};

class PhotoSiteServerTest : public testing::Test
{
protected:
    // One megabyte per account, photos of up to two.
    SiteProcess site{{"--quota", "1", "--max-photo", "2", "--manual", VELKO_MANUAL}};
    std::string cookie = registerAccount(site.base(), "Anna%40example.org", "Secret1");
    Program program{site, "anna@example.org", "Secret1"};
};

TEST_F(PhotoSiteServerTest, LoginAlbumsSpaceAndUploadFollowTheProtocol)
{
    for (const char* path : {kLogin, kAddBook, kFreeSpace, kUpload})
        EXPECT_EQ(httpGet(site.base() + path).status, 200) << path << ": the probe before a POST";

    auto answer = program.login();
    ASSERT_EQ(answer[0], "OK") << answer[0];
    // kind, text, user path, number, no albums, then the ten limits.
    ASSERT_EQ(answer.size(), 16u);
    EXPECT_EQ(answer[1], "0");
    EXPECT_EQ(answer[3], "anna");
    EXPECT_EQ(answer[5], "0");
    EXPECT_EQ(answer[14], "2097152") << "largest image";
    EXPECT_EQ(answer[15], "1048576") << "preparation cap: the account's space";

    EXPECT_EQ(Program(site, "ANNA@EXAMPLE.ORG", "secret1").login()[0], "OK")
        << "credentials are upper-cased before scrambling";
    const auto wrong = Program(site, "anna@example.org", "Secret2").login();
    EXPECT_NE(wrong[0], "OK");
    EXPECT_EQ(wrong[0], "The e-mail address or password is not correct.");

    const auto album = program.createAlbum("Summer 2026");
    ASSERT_EQ(album[0], "OK");
    EXPECT_EQ(album[3], "/anna/" + album[1] + "/");
    answer = program.login();
    ASSERT_EQ(answer[5], "1");
    EXPECT_EQ(answer[6], album[1]);
    EXPECT_EQ(answer[7], "Summer 2026");
    EXPECT_EQ(answer[8], album[2]);

    const std::string host = "127.0.0.1:" + std::to_string(site.port());
    EXPECT_EQ(program.freeSpace(), (std::vector<std::string>{"OK", "1048576", host}));

    const std::string photo = jpegBytes(300000);
    const std::string thumb = jpegBytes(5000);
    const auto stored =
        program.send(kUpload, program.uploadBody(album[1], album[2], "IMG_0001.jpg", photo, thumb));
    EXPECT_EQ(stored, (std::vector<std::string>{"OK", std::to_string(1048576 - 305000), host}));

    // The family sees it through the album's key; the thumbnail is what the gallery shows.
    const Reply gallery = httpGet(site.base() + album[3] + "?key=" + album[2]);
    ASSERT_EQ(gallery.status, 200);
    std::smatch img;
    ASSERT_TRUE(std::regex_search(gallery.body, img, std::regex("<img src=\"([^\"]+)\"")));
    EXPECT_NE(gallery.body.find("IMG_0001.jpg"), std::string::npos);
    const Reply small =
        httpGet(site.base() + std::regex_replace(img[1].str(), std::regex("&amp;"), "&"));
    EXPECT_EQ(small.headers.at("content-type"), "image/jpeg");
    EXPECT_EQ(small.body, thumb);
    EXPECT_EQ(httpGet(site.base() + album[3]).status, 303) << "no key, no session: sign in";
}

TEST_F(PhotoSiteServerTest, RestsAnAccountAfterFiveWrongPasswords)
{
    Program guesser(site, "anna@example.org", "guess");
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(guesser.login()[0], "The e-mail address or password is not correct.");
    const std::string locked = "Too many wrong passwords for this account. Try again in a minute.";
    EXPECT_EQ(guesser.login()[0], locked);
    EXPECT_EQ(program.login()[0], locked) << "even the right password waits";
}

struct Refusal
{
    const char* name;
    // Sends something the site must refuse; returns the answer's first line.
    std::string (*send)(Program&, const std::vector<std::string>& album);
    const char* expected;
};

class RefusedBodyTest : public PhotoSiteServerTest, public testing::WithParamInterface<Refusal>
{};

TEST_P(RefusedBodyTest, StoresNothing)
{
    const auto album = program.createAlbum("Trip");
    ASSERT_EQ(album[0], "OK");
    EXPECT_EQ(GetParam().send(program, album), GetParam().expected);
    EXPECT_EQ(program.freeSpace()[1], "1048576");
    EXPECT_EQ(program.login()[5], "1") << "no album was added";
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, RefusedBodyTest,
    testing::Values(
        Refusal{"OverQuota",
                [](Program& p, const std::vector<std::string>& a) {
                    return p.send(kUpload,
                                  p.uploadBody(a[1], a[2], "big.jpg", jpegBytes(1048577)))[0];
                },
                "There is not enough free space in your account for this photo."},
        Refusal{"LengthLineLies",
                [](Program& p, const std::vector<std::string>& a) {
                    std::string body = p.uploadBody(a[1], a[2], "a.jpg", jpegBytes(1000));
                    body.replace(0, body.find("\r\n"),
                                 std::to_string(std::stoi(body.substr(0, body.find("\r\n"))) + 1));
                    return p.send(kUpload, body)[0];
                },
                "The length line does not match the body."},
        Refusal{"NotAPicture",
                [](Program& p, const std::vector<std::string>& a) {
                    return p.send(kUpload, p.uploadBody(a[1], a[2], "a.jpg",
                                                        "<html><script>x</script></html>"))[0];
                },
                "The upload holds something that is not a JPEG or BMP picture."},
        Refusal{"FileNameWithFolder",
                [](Program& p, const std::vector<std::string>& a) {
                    return p.send(kUpload,
                                  p.uploadBody(a[1], a[2], "../../a.jpg", jpegBytes(100)))[0];
                },
                "The file name of the photo is not valid."},
        Refusal{"WrongAlbumKey",
                [](Program& p, const std::vector<std::string>& a) {
                    return p.send(kUpload, p.uploadBody(a[1], "0000", "a.jpg", jpegBytes(100)))[0];
                },
                "The photo album does not exist."},
        Refusal{"BadAlbumName",
                [](Program& p, const std::vector<std::string>&) {
                    return p.createAlbum("<script>alert(1)</script>")[0];
                },
                "The name of a photo album may contain only letters a-z and A-Z, digits 0-9, "
                "spaces, \"-\" and \"_\", at most 100 of them."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PhotoSiteServerTest, RefusesLengthsThatLieAndPathsThatClimb)
{
    const std::string head = "POST " + std::string(kUpload) +
                             " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: multipart/form-data\r\n";
    // Over the cap before a byte of the body arrives.
    EXPECT_EQ(
        rawExchange(site.port(), head + "Content-Length: 99999999\r\n\r\n", false).substr(0, 12),
        "HTTP/1.1 413");
    // A chunked body that grows past the cap is cut off.
    const std::string chunk = "8000\r\n" + std::string(0x8000, 'x') + "\r\n";
    EXPECT_EQ(rawExchange(site.port(),
                          "POST " + std::string(kAddBook) +
                              " HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
                              chunk + chunk + chunk + "0\r\n\r\n",
                          true)
                  .find("HTTP/1.1 200"),
              std::string::npos);
    EXPECT_EQ(program.freeSpace()[1], "1048576");
    EXPECT_EQ(program.login()[5], "0");
    EXPECT_TRUE(std::filesystem::is_empty(site.dataFolder() / "tmp"));

    for (const char* path :
         {"/fotodesk/manual/../../../../etc/passwd", "/fotodesk/manual/%2e%2e/%2e%2e/photosite.db",
          "/anna/../anna/edit/"}) {
        const Reply reply = httpGet(site.base() + path, pathAsIs());
        EXPECT_EQ(reply.status, 400) << path;
    }
    EXPECT_NE(httpGet(site.base() + "/fotodesk/manual/default.aspx").body.find("<html"),
              std::string::npos);
}

struct Interruption
{
    const char* name;
    // The raw request for an upload body, sent before the client goes.
    std::string (*request)(const std::string& head, const std::string& body);
    bool leaves; // the client closes at once, else it waits for an answer
};

class InterruptedUploadTest : public PhotoSiteServerTest,
                              public testing::WithParamInterface<Interruption>
{};

TEST_P(InterruptedUploadTest, LeavesNoFileAndNoRow)
{
    const auto album = program.createAlbum("Trip");
    const std::string body =
        program.uploadBody(album[1], album[2], "a.jpg", jpegBytes(200000), jpegBytes(3000));
    const std::string head = "POST " + std::string(kUpload) +
                             " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: multipart/form-data\r\n";
    const std::string request = GetParam().request(head, body);
    if (GetParam().leaves) {
        rawSendAndLeave(site.port(), request);
    } else {
        const std::string reply = rawExchange(site.port(), request, true);
        EXPECT_EQ(reply.find("HTTP/1.1 200"), std::string::npos) << reply;
    }

    EXPECT_EQ(program.freeSpace()[1], "1048576") << "no photo row";
    EXPECT_TRUE(filesIn(site.dataFolder() / "photos").empty());
    EXPECT_TRUE(filesIn(site.dataFolder() / "tmp").empty());
    // The next upload is whole.
    ASSERT_EQ(program.send(kUpload, body)[0], "OK");
    EXPECT_EQ(filesIn(site.dataFolder() / "photos").size(), 2u);
    EXPECT_TRUE(filesIn(site.dataFolder() / "tmp").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, InterruptedUploadTest,
    testing::Values(Interruption{"BodyEndsBeforeItsLength",
                                 [](const std::string& head, const std::string& body) {
                                     return head +
                                            "Content-Length: " + std::to_string(body.size() + 500) +
                                            "\r\n\r\n" + body;
                                 },
                                 false},
                    Interruption{"ClientGoesHalfWay",
                                 [](const std::string& head, const std::string& body) {
                                     return head +
                                            "Content-Length: " + std::to_string(body.size()) +
                                            "\r\n\r\n" + body.substr(0, body.size() / 2);
                                 },
                                 true},
                    Interruption{"ChunkedBodyStopsHalfWay",
                                 [](const std::string& head, const std::string& body) {
                                     char size[24];
                                     std::snprintf(size, sizeof size, "%zx", body.size() / 2);
                                     return head + "Transfer-Encoding: chunked\r\n\r\n" + size +
                                            "\r\n" + body.substr(0, body.size() / 2) + "\r\n";
                                 },
                                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PhotoSiteServerTest, AStartSetsAsideWhatARunThatDiedWhileStoringLeft)
{
    const auto album = program.createAlbum("Trip");
    ASSERT_EQ(program.send(kUpload, program.uploadBody(album[1], album[2], "a.jpg", jpegBytes(1000),
                                                       jpegBytes(100)))[0],
              "OK");
    const auto kept = filesIn(site.dataFolder() / "photos");
    ASSERT_EQ(kept.size(), 2u);
    const std::string id = kept[0].substr(0, kept[0].find('-'));

    site.stop();
    // A photo whose row was never committed, a display copy its row does not have, and a
    // piece not yet renamed.
    for (const auto& stray :
         {site.dataFolder() / "photos" / (std::to_string(std::stoi(id) + 1) + "-photo"),
          site.dataFolder() / "photos" / (id + "-display"),
          site.dataFolder() / "tmp" / "image-abc123"})
        std::ofstream(stray) << "\xFF\xD8\xFF half";
    site.start();

    EXPECT_EQ(filesIn(site.dataFolder() / "photos"), kept);
    EXPECT_EQ(
        filesIn(site.dataFolder() / "unlisted"),
        (std::vector<std::string>{id + "-display", std::to_string(std::stoi(id) + 1) + "-photo"}));
    EXPECT_TRUE(filesIn(site.dataFolder() / "tmp").empty());
    const std::string at = site.base() + album[3] + id + "/";
    EXPECT_EQ(httpGet(at + "thumb?key=" + album[2]).status, 200);
    EXPECT_EQ(httpGet(at + "display?key=" + album[2]).status, 404);
    EXPECT_EQ(program.freeSpace()[1], std::to_string(1048576 - 1100));
}

TEST_F(PhotoSiteServerTest, SignInFormReturnsOnlyToThisSiteAndEditPagesDelete)
{
    const auto album = program.createAlbum("Trip");
    for (const char* name : {"a.jpg", "b.jpg"})
        ASSERT_EQ(program.send(kUpload, program.uploadBody(album[1], album[2], name,
                                                           jpegBytes(2000), jpegBytes(200)))[0],
                  "OK");
    const auto signIn = [&](const std::string& password, const std::string& next) {
        const Reply form = httpGet(site.base() + "/signin");
        const std::string visitor = form.headers.at("set-cookie").substr(0, 76);
        Reply done = httpPost(site.base() + "/signin",
                              "email=ANNA%40example.org&password=" + password + "&next=" + next +
                                  "&csrf=" + csrfOf(form.body),
                              withCookie(visitor));
        if (done.headers.count("set-cookie")) {
            EXPECT_NE(done.headers.at("set-cookie").substr(0, 76), visitor) << "a fresh id";
        }
        return done;
    };
    EXPECT_EQ(signIn("Secret2", "").status, 403);
    const std::string edit = album[3] + "edit/";
    const Reply back = signIn("SECRET1", "%2Fanna%2F" + album[1] + "%2Fedit%2F");
    ASSERT_EQ(back.status, 303);
    EXPECT_EQ(back.headers.at("location"), edit);
    // Browsers drop a tab from an address: "/<tab>/host" is another site.
    for (const char* next :
         {"%2F%09%2Fevil.example", "%2F%2Fevil.example", "https%3A%2F%2Fevil.example"})
        EXPECT_EQ(signIn("secret1", next).headers.at("location"), "/anna/edit/") << next;

    const std::string mine = back.headers.at("set-cookie").substr(0, 76);
    const Reply page = httpGet(site.base() + edit, withCookie(mine));
    ASSERT_EQ(page.status, 200);
    std::smatch first;
    ASSERT_TRUE(std::regex_search(page.body, first, std::regex("name=\"photo\" value=\"(\\d+)\"")));
    EXPECT_EQ(httpPost(site.base() + edit,
                       "action=delete&photo=" + first[1].str() + "&csrf=" + csrfOf(page.body),
                       withCookie(mine))
                  .status,
              303);
    EXPECT_EQ(program.freeSpace()[1], std::to_string(1048576 - 2200));
    const auto left = filesIn(site.dataFolder() / "photos");
    EXPECT_EQ(left.size(), 2u);
    for (const std::string& file : left)
        EXPECT_NE(file.substr(0, file.find('-')), first[1].str()) << file;
    const std::string gallery = httpGet(site.base() + album[3], withCookie(mine)).body;
    EXPECT_EQ(gallery.find("a.jpg"), std::string::npos);
    EXPECT_NE(gallery.find("b.jpg"), std::string::npos);

    // Deleting a whole album asks first, then takes its photos' files with it.
    const std::string albums = site.base() + "/anna/edit/";
    const std::string token = csrfOf(httpGet(albums, withCookie(mine)).body);
    const Reply ask = httpPost(albums, "action=ask-delete&album=" + album[1] + "&csrf=" + token,
                               withCookie(mine));
    ASSERT_EQ(ask.status, 200);
    EXPECT_NE(ask.body.find("Trip with its 1 photo from"), std::string::npos);
    EXPECT_EQ(program.login()[5], "1");
    EXPECT_EQ(
        httpPost(albums, "action=delete&album=" + album[1] + "&csrf=" + token, withCookie(mine))
            .status,
        303);
    EXPECT_EQ(program.login()[5], "0");
    EXPECT_TRUE(filesIn(site.dataFolder() / "photos").empty());
}

TEST_F(PhotoSiteServerTest, WebPagesNeedSignInAndTokenAndEscapeWhatTheyShow)
{
    const auto album = program.createAlbum("Trip");
    const std::string edit = site.base() + album[3] + "edit/";
    const Reply anonymous = httpGet(edit);
    EXPECT_EQ(anonymous.status, 303);
    EXPECT_EQ(anonymous.headers.at("location"),
              "/signin?next=%2Fanna%2F" + album[1] + "%2Fedit%2F");

    const Reply page = httpGet(edit, withCookie(cookie));
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(httpPost(edit, "action=rename&name=Stolen", withCookie(cookie)).status, 403);
    EXPECT_EQ(
        httpPost(edit, "action=rename&name=Stolen&csrf=" + std::string(64, 'a'), withCookie(cookie))
            .status,
        403);
    EXPECT_EQ(
        httpPost(edit, "action=rename&name=%3Cb%3E&csrf=" + csrfOf(page.body), withCookie(cookie))
            .status,
        422);
    EXPECT_EQ(program.login()[7], "Trip") << "no form changed the name";

    // What a hostile client may name a photo is shown as text, never as markup.
    const std::string hostile = "<img src=x onerror=alert(1)>.jpg";
    ASSERT_EQ(
        program.send(kUpload, program.uploadBody(album[1], album[2], hostile, jpegBytes(100)))[0],
        "OK");
    for (const std::string& url : {edit, site.base() + album[3]}) {
        const std::string html = httpGet(url, withCookie(cookie)).body;
        EXPECT_EQ(html.find("<img src=x"), std::string::npos) << url;
        EXPECT_NE(html.find("&lt;img src=x onerror=alert(1)&gt;.jpg"), std::string::npos) << url;
    }
    const std::string info =
        httpGet(site.base() + "/programerror/?prg=VelkoFotodesk&vrs=1.0&dbv=4&err=%3Cscript%3E")
            .body;
    EXPECT_EQ(info.find("<script>"), std::string::npos);
    EXPECT_NE(info.find("&lt;script&gt;"), std::string::npos);

    const std::string renamed = csrfOf(httpGet(edit, withCookie(cookie)).body);
    EXPECT_EQ(
        httpPost(edit, "action=rename&name=Trip+2026&csrf=" + renamed, withCookie(cookie)).status,
        303);
    EXPECT_EQ(program.login()[7], "Trip 2026");
    const Reply cookieHeader = httpGet(site.base() + "/signin");
    EXPECT_NE(cookieHeader.headers.at("set-cookie").find("HttpOnly; SameSite=Lax"),
              std::string::npos);
}

TEST_F(PhotoSiteServerTest, GalleryRendersInAHeadlessBrowser)
{
    if (std::system("command -v chromium >/dev/null") != 0)
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh)";
    const auto album = program.createAlbum("Garden");
    for (const char* name : {"rose.jpg", "tulip.jpg"})
        ASSERT_EQ(program.send(kUpload, program.uploadBody(album[1], album[2], name,
                                                           jpegBytes(4000), jpegBytes(300)))[0],
                  "OK");
    const auto profile = site.dataFolder() / "browser-profile";
    const std::string command =
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic "
        "--no-first-run --disable-background-networking --disable-component-update "
        "--disable-sync --user-data-dir=" +
        profile.string() + " --dump-dom '" + site.base() + album[3] + "?key=" + album[2] +
        "' 2>/dev/null";
    std::string dom;
    FILE* browser = popen(command.c_str(), "r");
    ASSERT_NE(browser, nullptr);
    std::array<char, 4096> buffer;
    while (const size_t got = fread(buffer.data(), 1, buffer.size(), browser))
        dom.append(buffer.data(), got);
    EXPECT_EQ(pclose(browser), 0);
    const std::regex figure(
        "<figure class=\"photo\"><a href=\"[^\"]+/display[^\"]*|"
        "<figure class=\"photo\"><a href=\"[^\"]+\"><img src=\"[^\"]+/thumb\\?key=");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(dom.begin(), dom.end(), figure), std::sregex_iterator()),
        2)
        << dom;
    EXPECT_NE(dom.find("<title>Garden - Velko Photosite</title>"), std::string::npos);
    EXPECT_NE(dom.find("<figcaption>tulip.jpg</figcaption>"), std::string::npos);
}

TEST(PhotoSiteFullDiskTest, AnswersWhenItCannotKeepAnUpload)
{
    // A limit on file sizes, which the site inherits, stands for a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::optional<SiteProcess> started;
    try {
        started.emplace(std::vector<std::string>{"--quota", "10", "--max-photo", "2"});
    } catch (...) {
        setrlimit(RLIMIT_FSIZE, &saved);
        throw;
    }
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    const SiteProcess& site = *started;
    registerAccount(site.base(), "Anna%40example.org", "Secret1");
    Program program(site, "anna@example.org", "Secret1");
    const auto album = program.createAlbum("Trip");

    const auto refused = program.send(
        kUpload, program.uploadBody(album[1], album[2], "big.jpg", jpegBytes(1500000)));
    EXPECT_EQ(refused[0].rfind("The photo site has no room to store the photo", 0), 0u)
        << refused[0];
    EXPECT_EQ(program.freeSpace()[1], "10485760");
    EXPECT_TRUE(filesIn(site.dataFolder() / "photos").empty());
    EXPECT_EQ(
        program.send(kUpload, program.uploadBody(album[1], album[2], "a.jpg", jpegBytes(1000)))[0],
        "OK");
}

TEST(PhotoSiteTlsTest, ServesTheProtocolOverTls)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("photosite-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string cert = (folder / "cert.pem").string();
    const std::string keyFile = (folder / "key.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
                           "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                           keyFile + " -out " + cert + " >/dev/null 2>&1")
                              .c_str()),
              0);
    // The upload host named in the answers: the one reached, or the public name given, which
    // without a scheme is taken as this site's own and so as https.
    for (const std::string publicHost : {"", "photos.example.org:8443"}) {
        std::vector<std::string> options{"--tls-cert", cert, "--tls-key", keyFile};
        if (!publicHost.empty())
            options.insert(options.end(), {"--public-host", publicHost});
        SiteProcess site(options);
        const Reply probe = httpGet(site.base() + kLogin, trusting(cert));
        EXPECT_EQ(probe.status, 200);
        registerAccount(site.base(), "bo%40example.org", "secret9", cert);
        const Reply space = httpPost(
            site.base() + kFreeSpace,
            frame({key().encode("bo@example.org"), key().encode("secret9"), "1", "8388608", "2"}),
            programBody(cert));
        EXPECT_EQ(answerLines(space.body).back(),
                  "https://" + (publicHost.empty() ? "127.0.0.1:" + std::to_string(site.port())
                                                   : publicHost));
    }
    std::filesystem::remove_all(folder);
}

} // namespace
