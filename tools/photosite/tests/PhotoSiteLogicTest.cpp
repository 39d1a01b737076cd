// The site's protocol framing, credential key and name and path rules, without a server.
#include "CredentialKey.h"
#include "SiteProtocol.h"
#include "SiteRules.h"
#include "WebText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

using namespace photosite;
using upload::CredentialKey;

namespace {

const CredentialKey& sharedKey()
{
    static const CredentialKey key = [] {
        std::string error;
        auto loaded = CredentialKey::load(VELKO_CREDENTIAL_KEY, &error);
        if (!loaded)
            throw std::runtime_error(error);
        return *loaded;
    }();
    return key;
}

std::string framed(const std::string& lines, const std::string& bytes = {})
{
    return std::to_string(lines.size() + bytes.size()) + "\r\n" + lines + bytes;
}

} // namespace

TEST(CredentialKeyTest, EncodesPairsOddEndsAndForeignCharacters)
{
    const CredentialKey& key = sharedKey();
    const std::string pair = key.encode("ab");
    EXPECT_TRUE(std::regex_match(pair, std::regex("[1-9][0-9]{4}"))) << pair;
    EXPECT_EQ(key.encode("AB"), pair) << "upper-casing makes credentials case-insensitive";
    EXPECT_EQ(key.encode("abc"), pair + "C");
    EXPECT_EQ(key.encode("a,"), "0A,");
    EXPECT_EQ(key.encode(",ab"), "0,A" + key.encode("B"));
    EXPECT_EQ(key.encode(""), "");
}

TEST(CredentialKeyTest, EveryPairHasItsOwnNumber)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-:/.";
    std::set<std::string> seen;
    for (char first : alphabet)
        for (char second : alphabet)
            seen.insert(sharedKey().encode(std::string{first, second}));
    EXPECT_EQ(seen.size(), 41u * 41u);
}

struct KeyFileCase
{
    const char* name;
    std::string (*edit)(std::string);
    const char* reason;
};

class KeyFileTest : public testing::TestWithParam<KeyFileCase>
{};

TEST_P(KeyFileTest, RefusesABrokenFile)
{
    std::ifstream file(VELKO_CREDENTIAL_KEY);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string error;
    EXPECT_FALSE(CredentialKey::parse(GetParam().edit(text), &error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Broken, KeyFileTest,
    testing::Values(KeyFileCase{"RepeatedNumber",
                                [](std::string t) {
                                    const auto last = t.rfind(' ');
                                    const auto prev = t.rfind(' ', last - 1);
                                    return t.substr(0, last + 1) +
                                           t.substr(prev + 1, last - prev - 1) + "\n";
                                },
                                "twice"},
                    KeyFileCase{
                        "FourDigits",
                        [](std::string t) { return t.substr(0, t.rfind(' ') + 1) + "1234\n"; },
                        "five digits"},
                    KeyFileCase{"MissingRow",
                                [](std::string t) {
                                    t.pop_back();
                                    return t.substr(0, t.rfind('\n') + 1);
                                },
                                "41 rows"},
                    KeyFileCase{"AlphabetWithComma",
                                [](std::string t) {
                                    const auto line = t.find('\n', t.rfind('#')) + 1;
                                    t[t.find('/', line)] = ',';
                                    return t;
                                },
                                "alphabet"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BodyCase
{
    const char* name;
    std::string body;
    const char* refusal; // nullptr: accepted
};

class UploadBodyTest : public testing::TestWithParam<BodyCase>
{};

TEST_P(UploadBodyTest, ReadsOrRefuses)
{
    const BodyCase& c = GetParam();
    FramedBody body(c.body, c.body.size());
    UploadRequest upload;
    std::string refusal;
    if (!body.checkLength())
        refusal = body.error();
    else if (auto error = readUploadRequest(body, 5000, upload))
        refusal = *error;
    if (!c.refusal) {
        EXPECT_EQ(refusal, "");
        EXPECT_EQ(upload.fileName, "IMG 1.jpg");
        EXPECT_EQ(upload.mainSize + upload.displaySize + upload.thumbSize,
                  static_cast<std::int32_t>(c.body.size() - upload.imageOffset));
    } else {
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    }
}

std::string uploadLines(const std::string& sizes, const std::string& flag = "1",
                        const std::string& main = "30")
{
    return "E\r\nP\r\n7\r\nk3y\r\nIMG 1.jpg\r\n1\r\n20261208/7\r\n" + main +
           "\r\n5000\r\n640\r\n480\r\n" + flag + "\r\n" + sizes;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, UploadBodyTest,
    testing::Values(
        BodyCase{"ThreeImages", framed(uploadLines("30\r\n20\r\n10\r\n"), std::string(60, 'x')),
                 nullptr},
        BodyCase{"NoDisplayCopy",
                 framed(uploadLines("30\r\n0\r\n0\r\n", "0"), std::string(30, 'x')), nullptr},
        BodyCase{"LengthLineTooLarge",
                 "999\r\n" + uploadLines("30\r\n0\r\n0\r\n", "0") + std::string(30, 'x'),
                 "does not match"},
        BodyCase{"LengthLineMissing", uploadLines("30\r\n0\r\n0\r\n", "0"), "length line"},
        BodyCase{"ImagesShorterThanSaid",
                 framed(uploadLines("30\r\n20\r\n10\r\n"), std::string(59, 'x')),
                 "do not match the body"},
        BodyCase{"SizeNotANumber", framed(uploadLines("3O\r\n0\r\n0\r\n", "0"), "x"), "not valid"},
        BodyCase{"FlagDisagrees",
                 framed(uploadLines("30\r\n20\r\n0\r\n", "0"), std::string(50, 'x')),
                 "do not agree"},
        BodyCase{"ImageOverLimit",
                 framed(uploadLines("5001\r\n0\r\n0\r\n", "0", "5001"), std::string(5001, 'x')),
                 "larger than"},
        BodyCase{"CutShort", framed("E\r\nP\r\n7\r\n"), "incomplete"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SiteProtocolTest, LengthLineCountsTextAndImageBytes)
{
    const std::string text(48, 'a');
    const std::string body = "1050\r\n" + text + "\r\n" + std::string(1000, 'j');
    FramedBody framedBody(body, body.size());
    EXPECT_TRUE(framedBody.checkLength());
}

TEST(SiteProtocolTest, LoginAnswerListsAlbumsThenTheTenLimits)
{
    LoginLimits limits;
    limits.maxImageBytes = 4000000;
    limits.preparationCap = 2147483647;
    EXPECT_EQ(loginAnswer(0, "", "anna", 3, {{7, "Summer 2026", "k7", "/anna/7/"}}, limits),
              "OK\r\n0\r\n\r\nanna\r\n3\r\n1\r\n7\r\nSummer 2026\r\nk7\r\n/anna/7/\r\n"
              "1\r\n2\r\n0\r\n800\r\n600\r\n160\r\n10\r\n50\r\n4000000\r\n2147483647");
    EXPECT_EQ(spaceAnswer(5'000'000'000LL, "up.example:81"), "OK\r\n2147483647\r\nup.example:81");
    EXPECT_EQ(failureAnswer("OK"), "Refused: OK");
}

struct NameCase
{
    const char* name;
    std::string album;
    bool valid;
};

class AlbumNameTest : public testing::TestWithParam<NameCase>
{};

TEST_P(AlbumNameTest, FollowsTheRule)
{
    EXPECT_EQ(isValidAlbumName(GetParam().album), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Names, AlbumNameTest,
    testing::Values(NameCase{"LettersDigitsSpace", "Summer 2026", true},
                    NameCase{"DashUnderscore", "a-b_c", true},
                    NameCase{"HundredCharacters", std::string(100, 'x'), true},
                    NameCase{"HundredAndOne", std::string(101, 'x'), false},
                    NameCase{"Empty", "", false}, NameCase{"OnlySpaces", "   ", false},
                    NameCase{"Markup", "<b>x</b>", false}, NameCase{"Accent", "Caf\xc3\xa9", false},
                    NameCase{"LineBreak", "a\r\nOK", false}, NameCase{"Slash", "a/b", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct PathCase
{
    const char* name;
    std::string relative;
    bool inside;
};

class ResolveInsideTest : public testing::TestWithParam<PathCase>
{};

TEST_P(ResolveInsideTest, StaysInTheFolder)
{
    const auto resolved = resolveInside("/srv/site", GetParam().relative);
    EXPECT_EQ(resolved.has_value(), GetParam().inside);
    if (resolved) {
        EXPECT_EQ(resolved->string().rfind("/srv/site/", 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ResolveInsideTest,
                         testing::Values(PathCase{"Plain", "images/a.png", true},
                                         PathCase{"Climbs", "images/../../etc/passwd", false},
                                         PathCase{"Absolute", "/etc/passwd", false},
                                         PathCase{"Backslash", "..\\x", false},
                                         PathCase{"Nul", std::string("a\0b", 3), false},
                                         PathCase{"Empty", "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WebTextTest, EscapesEveryCharacterThatOpensMarkup)
{
    EXPECT_EQ(escapeHtml("<img src=x onerror='a'>&\""),
              "&lt;img src=x onerror=&#39;a&#39;&gt;&amp;&quot;");
}

TEST(WebTextTest, ReadsFormsAndCookies)
{
    const auto fields = parseForm("name=Summer+2026&photo=3&photo=4&note=%3Cb%3E");
    ASSERT_TRUE(fields);
    EXPECT_EQ(formValue(*fields, "name"), "Summer 2026");
    EXPECT_EQ(formValue(*fields, "note"), "<b>");
    EXPECT_EQ(fields->size(), 4u);
    EXPECT_FALSE(parseForm("a=%4"));
    EXPECT_FALSE(parseForm("a=%zz"));
    EXPECT_EQ(cookieValue("x=1; vps_session=abc; y=2", "vps_session"), "abc");
    EXPECT_EQ(cookieValue("my_vps_session=abc", "vps_session"), "");
}

TEST(WebTextTest, ReturnsOnlyToThisSite)
{
    EXPECT_TRUE(isLocalReturnPath("/anna/edit/"));
    EXPECT_FALSE(isLocalReturnPath("//evil.example/"));
    EXPECT_FALSE(isLocalReturnPath("/\\evil.example/"));
    EXPECT_FALSE(isLocalReturnPath("https://evil.example/"));
    EXPECT_FALSE(isLocalReturnPath("/a\r\nSet-Cookie: x"));
    EXPECT_FALSE(isLocalReturnPath("/\t/evil.example/"));
}
