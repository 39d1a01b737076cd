// The photo site's protocol from the program's side: request bodies, the answers read into
// the account, the login settings, and one whole exchange with the real site on loopback.
#include "PhotoSiteProtocol.h"

#include "CredentialKey.h"
#include "EncodeCredential.h"
#include "EventLoopWait.h"
#include "MachineSettings.h"
#include "ProgramVersion.h"
#include "SiteFixture.h"
#include "TVelkoHTTPUpload.h"
#include "TestApplication.h"
#include "uLanguage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

using namespace upload;

namespace {

const CredentialKey& key()
{
    static const CredentialKey loaded = *CredentialKey::load(VELKO_CREDENTIAL_KEY, nullptr);
    return loaded;
}

QByteArray keyEncode(const QString& text)
{
    return QByteArray::fromStdString(key().encode(text.toStdString()));
}

QByteArray encoded(const QString& text)
{
    QString error;
    const std::optional<QByteArray> result = EncodeCredential(text, &error);
    EXPECT_TRUE(result) << error.toStdString();
    return result.value_or(QByteArray());
}

// The length line and the rest of a body.
std::pair<QByteArray, QByteArray> splitBody(const QByteArray& body)
{
    const qsizetype end = body.indexOf("\r\n");
    return {body.left(end), body.mid(end + 2)};
}

QList<QByteArray> bodyLines(const QByteArray& body, int count)
{
    QByteArray rest = splitBody(body).second;
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        const qsizetype end = rest.indexOf("\r\n");
        lines << rest.left(end);
        rest = rest.mid(end + 2);
    }
    return lines;
}

QByteArray answer(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

// "OK", kind, text, user path, number, the albums, then the ten limits.
QByteArray loginAnswer(int kind, const QString& text, const QList<TPhotoAlbum>& albums,
                       int mayChooseSize = 1, int standardWidth = 1024, int standardHeight = 768)
{
    QStringList lines{
        QStringLiteral("OK"),   QString::number(kind), text,
        QStringLiteral("anna"), QStringLiteral("42"),  QString::number(albums.size())};
    for (const TPhotoAlbum& album : albums)
        lines << QString::number(album.id) << album.name << album.key << album.path;
    for (int value :
         {mayChooseSize, 2, 7, standardWidth, standardHeight, 160, 10, 50, 2097152, 1048576})
        lines << QString::number(value);
    return answer(lines);
}

// The data folder (and with it the credential key) is found through the application object.
class ApplicationEnvironment : public testing::Environment
{
public:
    void SetUp() override { testsupport::ensureApplication(); }
};
const testing::Environment* const kApplication =
    testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const QList<TPhotoAlbum> kAlbums{
    {5, QStringLiteral("Summer"), QStringLiteral("k5"), QStringLiteral("/anna/5/")},
    {9, QStringLiteral("Winter"), QStringLiteral("k9"), QStringLiteral("/anna/9/")}};

// Every test gets a settings folder of its own.
class ProtocolTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mConfig.isValid());
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
        formats.fillStandard();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString settingsText() const
    {
        QFile file(userSettingsPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir mConfig;
    TLoginObject account;
    TUploadFormatList formats;
};

} // namespace

TEST(Framing, LengthLineCountsTextLinesAndImageBytes)
{
    // 48 bytes of text plus CRLF: a 50-byte line.
    const QByteArray body = frameBody({QByteArray(48, 'a')}, QByteArray(1000, '\xFF'));
    EXPECT_TRUE(body.startsWith("1050\r\n" + QByteArray(48, 'a') + "\r\n\xFF"));
    EXPECT_EQ(body.size(), 6 + 1050);
}

TEST(Framing, AnswerLinesKeepWhatFollowsTheLastLineBreak)
{
    EXPECT_EQ(answerLines(QStringLiteral("OK\r\n5\r\nhost")),
              (QStringList{QStringLiteral("OK"), QStringLiteral("5"), QStringLiteral("host")}));
    EXPECT_EQ(answerLines(QStringLiteral("OK\r\n")), (QStringList{QStringLiteral("OK"), {}}));
    EXPECT_EQ(answerLines(QStringLiteral("a\nb")).size(), 1) << "a bare LF ends no line";
}

struct NumberCase
{
    const char* name;
    const char* line;
    std::optional<qint32> value;
};

class AnswerNumberTest : public testing::TestWithParam<NumberCase>
{};

TEST_P(AnswerNumberTest, ParsesDecimal32BitOnly)
{
    EXPECT_EQ(parseAnswerNumber(QString::fromLatin1(GetParam().line)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, AnswerNumberTest,
    testing::Values(NumberCase{"Zero", "0", 0}, NumberCase{"Negative", "-1", -1},
                    NumberCase{"Largest", "2147483647", 2147483647},
                    NumberCase{"Smallest", "-2147483648", std::numeric_limits<qint32>::min()},
                    NumberCase{"JustTooLarge", "2147483648", std::nullopt},
                    NumberCase{"ElevenDigits", "99999999999", std::nullopt},
                    NumberCase{"Plus", "+5", std::nullopt},
                    NumberCase{"LeadingSpace", " 5", std::nullopt},
                    NumberCase{"Empty", "", std::nullopt},
                    NumberCase{"Letters", "12a", std::nullopt},
                    NumberCase{"Hex", "0x10", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct CredentialCase
{
    const char* name;
    const char* text;
    const char* tail; // what the encoding must end with
};

class EncodeCredentialTest : public testing::TestWithParam<CredentialCase>
{};

TEST_P(EncodeCredentialTest, MatchesTheSitesKeyAndEndsAsItShould)
{
    const QString text = QString::fromUtf8(GetParam().text);
    const QByteArray result = encoded(text);
    EXPECT_EQ(result, keyEncode(text));
    QString upper = text;
    for (QChar& c : upper) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = c.toUpper();
    }
    EXPECT_EQ(result, encoded(upper)) << "upper and lower case letters are one credential";
    EXPECT_TRUE(result.endsWith(GetParam().tail)) << result.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EncodeCredentialTest,
    testing::Values(CredentialCase{"OddLengthKeepsItsLastCharacter", "anna@x.or", "R"},
                    CredentialCase{"PairWithACommaIsZeroAndBoth", "ab,c", "0,C"},
                    CredentialCase{"PairOfTwoOutsiders", "a1@@", "0@@"},
                    CredentialCase{"NonAsciiBytesPassThrough", "xü", "0X\xC3\xBC"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeCredentialKey, EveryPairOfTheAlphabetIsFiveDigits)
{
    EXPECT_EQ(encoded(QStringLiteral("AB")).size(), 5);
    EXPECT_EQ(encoded(QStringLiteral("ab")), encoded(QStringLiteral("AB")));
    EXPECT_TRUE(encoded(QString()).isEmpty());
}

// A fresh process (the key is cached once read) with no key file in the data folder.
TEST(EncodeCredentialKeyDeathTest, MissingKeyFileIsAnErrorNotACrash)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("VELKO_DATA_DIR", "/nonexistent/velko-data");
            QString error;
            const bool encodedAnyway = EncodeCredential(QStringLiteral("ab"), &error).has_value();
            const RequestBody body = buildFreeSpaceRequest(TLoginObject());
            std::cerr << error.toStdString() << "|" << body.error.toStdString();
            std::exit(!encodedAnyway && !body.ok() && body.body.isEmpty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "key file cannot be used: cannot read .*\\|The photo site");
}

TEST(UploadFormatSetting, RoundTripsThroughSigned16BitHalves)
{
    for (const TUploadFormat format : {TUploadFormat{-1, -1}, TUploadFormat{0, 0},
                                       TUploadFormat{1600, 1200}, TUploadFormat{800, 600}}) {
        EXPECT_EQ(TUploadFormat::fromSetting(format.toSetting()), format)
            << format.width << "x" << format.height;
    }
    EXPECT_EQ(TUploadFormat({1024, 768}).toSetting(), 1024 * 65536 + 768);
}

TEST_F(ProtocolTest, SettingsRoundTripWithoutThePassword)
{
    account.LoadSettings();
    EXPECT_TRUE(account.firstLogin) << "no settings file";
    EXPECT_EQ(account.uploadFormat, (TUploadFormat{-1, -1}));

    account.userName = QStringLiteral("anna@example.org");
    account.password = QStringLiteral("Secret-Word-1");
    account.albumId = 77;
    account.uploadFormat = {-1, -1};
    account.SaveSettings();
    EXPECT_FALSE(settingsText().contains(QStringLiteral("Secret-Word-1"), Qt::CaseInsensitive));

    TLoginObject loaded;
    loaded.LoadSettings();
    EXPECT_FALSE(loaded.firstLogin);
    EXPECT_EQ(loaded.userName, account.userName);
    EXPECT_EQ(loaded.albumId, 77);
    EXPECT_EQ(loaded.uploadFormat, (TUploadFormat{-1, -1}));
    EXPECT_TRUE(loaded.password.isEmpty());
}

TEST_F(ProtocolTest, SiteHostAloneIsStillAFirstLoginAndABadValueStopsLoading)
{
    {
        auto settings = openUserSettings(true);
        settings->setValue(QStringLiteral("SiteHost"), QStringLiteral("127.0.0.1:8080"));
    }
    account.LoadSettings();
    EXPECT_TRUE(account.firstLogin);

    {
        auto settings = openUserSettings(true);
        settings->setValue(QStringLiteral("UserName"), QStringLiteral("bo@example.org"));
        settings->setValue(QStringLiteral("AlbumID"), QStringLiteral("seven"));
        settings->setValue(QStringLiteral("UploadFormat"), TUploadFormat{800, 600}.toSetting());
    }
    TLoginObject loaded;
    loaded.LoadSettings();
    EXPECT_FALSE(loaded.firstLogin);
    EXPECT_EQ(loaded.userName, QStringLiteral("bo@example.org"));
    EXPECT_EQ(loaded.albumId, 0);
    EXPECT_EQ(loaded.uploadFormat, (TUploadFormat{-1, -1})) << "read after the bad value";

    loaded.SaveSettings();
    EXPECT_EQ(openUserSettings(false)->value(QStringLiteral("SiteHost")),
              QStringLiteral("127.0.0.1:8080"))
        << "saving the login keeps the site's address";
}

TEST_F(ProtocolTest, SavedFormatOutsideTheListBecomesTheRecommendedEntry)
{
    account.uploadFormat = {640, 480};
    account.settleUploadFormat(formats);
    EXPECT_EQ(account.uploadFormat, (TUploadFormat{-1, -1}));
    account.uploadFormat = {1024, 768};
    account.settleUploadFormat(formats);
    EXPECT_EQ(account.uploadFormat, (TUploadFormat{1024, 768}));
}

TEST_F(ProtocolTest, LoginRequestFlagsFollowTheSessionAndCredentialsGoAsTyped)
{
    account.firstLogin = true;
    RequestBody first =
        buildLoginRequest(account, QStringLiteral(" Anna@x.org"), QStringLiteral("pw"), true);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(bodyLines(first.body, 7),
              (QList<QByteArray>{keyEncode(QStringLiteral(" ANNA@X.ORG")),
                                 keyEncode(QStringLiteral("PW")), "1", "2", "2",
                                 ProgramFileVersion().toUtf8(), "1"}));
    EXPECT_TRUE(first.body.endsWith("\r\n1\r\n"));

    account.firstLogin = false;
    account.session = QStringLiteral("20261208180000/42");
    const RequestBody later =
        buildLoginRequest(account, QStringLiteral("anna@x.org"), QStringLiteral("pw"), true);
    EXPECT_EQ(bodyLines(later.body, 7).mid(3),
              (QList<QByteArray>{"0", "0", ProgramFileVersion().toUtf8(), ""}))
        << "a session sends no proxy flag";
}

TEST_F(ProtocolTest, UploadRequestCarriesTheFieldsAndImagesInOrder)
{
    account.userName = QStringLiteral("anna@x.org");
    account.password = QStringLiteral("pw");
    account.session = QStringLiteral("20261208180000/42");
    account.limits.maxImageBytes = 2097152;
    for (const TPhotoAlbum& album : kAlbums)
        account.albums.add(album);
    account.albumId = 9;

    UploadPhoto photo{QStringLiteral("/home/anna/Pictures/IMG 1.jpg"),
                      QByteArray(300, 'm'),
                      640,
                      480,
                      {},
                      QByteArray(20, 't')};
    const RequestBody request = buildUploadRequest(account, photo);
    ASSERT_TRUE(request.ok());
    const QList<QByteArray> lines = bodyLines(request.body, 15);
    EXPECT_EQ(lines.mid(2),
              (QList<QByteArray>{"9", "k9", "IMG 1.jpg", "1", "20261208180000/42", "300", "2097152",
                                 "640", "480", "0", "300", "0", "20"}));
    const auto [lengthLine, rest] = splitBody(request.body);
    EXPECT_EQ(lengthLine.toLongLong(), rest.size());
    EXPECT_TRUE(rest.endsWith(QByteArray(300, 'm') + QByteArray(20, 't')));

    photo.displayCopy = QByteArray(100, 'd');
    account.albumId = 123; // no longer listed
    const QByteArray withCopy = buildUploadRequest(account, photo).body;
    EXPECT_EQ(bodyLines(withCopy, 15).mid(2, 2), (QList<QByteArray>{"123", ""}));
    EXPECT_EQ(bodyLines(withCopy, 15).mid(11), (QList<QByteArray>{"1", "300", "100", "20"}));
    EXPECT_TRUE(
        withCopy.endsWith(QByteArray(300, 'm') + QByteArray(100, 'd') + QByteArray(20, 't')));
}

TEST_F(ProtocolTest, FirstLoginFillsTheAccountOffersSizesAndSaves)
{
    account.LoadSettings();
    account.settleUploadFormat(formats);
    const QDateTime now(QDate(2026, 12, 8), QTime(9, 5, 7));
    const LoginAnswer result =
        readLoginAnswer(loginAnswer(1, QStringLiteral("Hello<br>there<BR>"), kAlbums), account,
                        formats, QStringLiteral("Anna@x.org"), QStringLiteral("pw"), now);
    ASSERT_TRUE(result.ok()) << result.text.toStdString();
    EXPECT_EQ(result.messageKind, 1);
    EXPECT_EQ(result.message, QStringLiteral("Hello\r\nthere\r\n"));
    EXPECT_FALSE(account.firstLogin);
    EXPECT_EQ(account.userName, QStringLiteral("Anna@x.org"));
    EXPECT_EQ(account.userPath, QStringLiteral("anna"));
    EXPECT_EQ(account.session, QStringLiteral("20261208090507/42"));
    ASSERT_EQ(account.albums.count(), 2);
    EXPECT_EQ(account.albums.at(1).path, QStringLiteral("/anna/9/"));
    EXPECT_EQ(account.albumId, 5) << "the saved id 0 is not listed: the first album";
    EXPECT_EQ(account.limits.displayCopyMode, 2);
    EXPECT_EQ(account.limits.preparationCap, 1048576);

    // The saved (-1, -1) of a first run became the standard size, offered among all sizes.
    EXPECT_EQ(account.uploadFormat, (TUploadFormat{1024, 768}));
    QStringList texts;
    for (const OfferedSize& size : result.offeredSizes)
        texts << size.text;
    EXPECT_EQ(texts, (QStringList{GetText(518),
                                  QStringLiteral("1024x768 (") + GetText(519) + QStringLiteral(")"),
                                  QStringLiteral("800x600"), QStringLiteral("1024x768"),
                                  QStringLiteral("1600x1200")}));
    EXPECT_EQ(result.chosenSize, 1);

    TLoginObject saved;
    saved.LoadSettings();
    EXPECT_EQ(saved.albumId, 5);
    EXPECT_EQ(saved.uploadFormat, (TUploadFormat{1024, 768}));

    // A later login of the run keeps the session and the sizes.
    const LoginAnswer again =
        readLoginAnswer(loginAnswer(0, {}, kAlbums, 1, 640, 480), account, formats,
                        QStringLiteral("Anna@x.org"), QStringLiteral("pw"), now.addSecs(60));
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.offeredSizes.isEmpty());
    EXPECT_EQ(account.session, QStringLiteral("20261208090507/42"));
    EXPECT_EQ(formats.indexOf(640, 480), -1);
}

TEST_F(ProtocolTest, MayNotChooseSizeOffersOnlyTheRecommendedOne)
{
    account.uploadFormat = {1600, 1200};
    const LoginAnswer result =
        readLoginAnswer(loginAnswer(0, {}, kAlbums, 0, 800, 600), account, formats,
                        QStringLiteral("a@x.org"), QStringLiteral("pw"));
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.offeredSizes.size(), 1);
    EXPECT_EQ(result.offeredSizes[0].text,
              QStringLiteral("800x600 (") + GetText(519) + QStringLiteral(")"));
    EXPECT_EQ(result.chosenSize, 0);
    EXPECT_EQ(account.uploadFormat, (TUploadFormat{800, 600})) << "the saved size is not offered";
    EXPECT_EQ(account.limits.displayCopyMode, 1);
}

TEST_F(ProtocolTest, StopMessageChangesNothing)
{
    account.albumId = 3;
    const LoginAnswer result =
        readLoginAnswer(loginAnswer(2, QStringLiteral("Closed<Br>today"), kAlbums), account,
                        formats, QStringLiteral("a@x.org"), QStringLiteral("pw"));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.messageKind, 2);
    EXPECT_EQ(result.message, QStringLiteral("Closed\r\ntoday"));
    EXPECT_TRUE(account.firstLogin);
    EXPECT_TRUE(account.userName.isEmpty());
    EXPECT_TRUE(account.session.isEmpty());
    EXPECT_EQ(account.albums.count(), 0);
    EXPECT_EQ(account.albumId, 3);
    EXPECT_EQ(formats.indexOf(-1, -1), 1);
    EXPECT_FALSE(QFile::exists(userSettingsPath()));
}

TEST_F(ProtocolTest, RefusalIsTheWholeAnswerAsTextAndChangesNothing)
{
    const LoginAnswer result = readLoginAnswer(
        "<html><head><title>x</title></head><body>Wrong <b>password</b></body></html>", account,
        formats, QStringLiteral("a@x.org"), QStringLiteral("pw"));
    EXPECT_EQ(result.status, AnswerStatus::Refused);
    EXPECT_EQ(result.text, QStringLiteral("Wrong password"));
    EXPECT_TRUE(account.firstLogin);

    account.freeSpace = 10;
    const AnswerResult space = readFreeSpaceAnswer("Not enough", account);
    EXPECT_EQ(space.status, AnswerStatus::Refused);
    EXPECT_EQ(space.text, QStringLiteral("Not enough"));
    EXPECT_EQ(account.freeSpace, 10);

    const AnswerResult empty = readUploadAnswer({}, account);
    EXPECT_EQ(empty.status, AnswerStatus::Refused);
    EXPECT_EQ(empty.text, GetText(554)) << "a refusal never shows as no text";
}

TEST_F(ProtocolTest, MalformedNumberFailsAndKeepsWhatWasRead)
{
    QByteArray bad = loginAnswer(0, {}, kAlbums);
    bad.replace("\r\n42\r\n", "\r\n42x\r\n");
    const LoginAnswer result =
        readLoginAnswer(bad, account, formats, QStringLiteral("a@x.org"), QStringLiteral("pw"));
    EXPECT_EQ(result.status, AnswerStatus::Malformed);
    EXPECT_EQ(result.text, GetText(559).arg(QStringLiteral("42x")));
    EXPECT_FALSE(account.firstLogin);
    EXPECT_EQ(account.userPath, QStringLiteral("anna"));

    // An answer cut short fails at its first missing number.
    TLoginObject other;
    const LoginAnswer cut = readLoginAnswer(loginAnswer(0, {}, kAlbums).left(40), other, formats,
                                            QStringLiteral("a@x.org"), QStringLiteral("pw"));
    EXPECT_EQ(cut.status, AnswerStatus::Malformed);

    account.freeSpace = 10;
    EXPECT_EQ(readUploadAnswer("OK\r\n99999999999\r\nhost", account).status,
              AnswerStatus::Malformed);
    EXPECT_EQ(account.freeSpace, 10);
}

TEST_F(ProtocolTest, CreatedAlbumIsAddedChosenAndSaved)
{
    account.userName = QStringLiteral("a@x.org");
    account.albums.add(kAlbums[0]);
    account.albumId = 5;
    ASSERT_TRUE(
        readCreateAlbumAnswer("OK\r\n12\r\nkey12\r\n/anna/12/", account, QStringLiteral("New one"))
            .ok());
    ASSERT_EQ(account.albums.count(), 2);
    EXPECT_EQ(account.chosenAlbum()->name, QStringLiteral("New one"));
    EXPECT_EQ(account.chosenAlbum()->key, QStringLiteral("key12"));
    TLoginObject saved;
    saved.LoadSettings();
    EXPECT_EQ(saved.albumId, 12);

    ASSERT_TRUE(readFreeSpaceAnswer("OK\r\n5000\r\nup.example:8080", account).ok());
    EXPECT_EQ(account.freeSpace, 5000);
    EXPECT_EQ(account.uploadHost, QStringLiteral("up.example:8080"));
}

// The whole exchange with the site the project ships, through the HTTP component.
class RealSiteTest : public ProtocolTest
{
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        mHttp.OnCompleted = [this](QObject*, const QByteArray& response, const QString&, bool&) {
            mAnswer = response;
        };
        mHttp.OnError = [this](QObject*, quint32 code, quint16 type, quint16, const QString& text) {
            mAnswer = QStringLiteral("error %1/%2: %3").arg(type).arg(code).arg(text).toUtf8();
        };
    }

    QByteArray exchange(const QString& server, const char* page, const RequestBody& request)
    {
        EXPECT_TRUE(request.ok()) << request.error.toStdString();
        mAnswer.reset();
        if (!mHttp.SendRequest(server, QString::fromLatin1(page), TVelkoHTTPPostType::hpMultipart,
                               request.body))
            return "not sent";
        EXPECT_TRUE(pumpUntil([this] { return mAnswer.has_value(); }, 20s));
        return mAnswer.value_or("no answer");
    }

    photosite::test::SiteProcess mSite;
    QWidget mWindow;
    TVelkoHTTPUpload mHttp{&mWindow};
    std::optional<QByteArray> mAnswer;
};

TEST_F(RealSiteTest, LogsInCreatesAnAlbumChecksSpaceAndUploadsAPhoto)
{
    photosite::test::registerAccount(mSite.base(), "anna%40example.org", "Secret1");
    const QString site = QStringLiteral("127.0.0.1:%1").arg(mSite.port());
    account.LoadSettings();
    account.settleUploadFormat(formats);

    const QString email = QStringLiteral("Anna@Example.org");
    const QString password = QStringLiteral("SECRET1");
    const LoginAnswer login = readLoginAnswer(
        exchange(site, kLoginPage, buildLoginRequest(account, email, password, false)), account,
        formats, email, password);
    ASSERT_TRUE(login.ok()) << login.text.toStdString();
    EXPECT_EQ(login.messageKind, 0);
    EXPECT_FALSE(login.offeredSizes.isEmpty());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d{14}/\\d+$")).match(account.session).hasMatch());

    const QString name = QStringLiteral("Summer 2026");
    ASSERT_TRUE(
        readCreateAlbumAnswer(
            exchange(site, kCreateAlbumPage, buildCreateAlbumRequest(account, name)), account, name)
            .ok());
    const TPhotoAlbum album = *account.chosenAlbum();

    ASSERT_TRUE(
        readFreeSpaceAnswer(exchange(site, kFreeSpacePage, buildFreeSpaceRequest(account)), account)
            .ok());
    const qint32 freeBefore = account.freeSpace;
    EXPECT_GT(freeBefore, 0);
    EXPECT_EQ(account.uploadHost, site);

    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "JPG"));
    const UploadPhoto photo{QStringLiteral("/tmp/somewhere/beach.jpg"), jpeg, 64, 48, {}, {}};
    const AnswerResult upload = readUploadAnswer(
        exchange(account.uploadHost, kUploadPage, buildUploadRequest(account, photo)), account);
    ASSERT_TRUE(upload.ok()) << upload.text.toStdString();
    EXPECT_EQ(account.freeSpace, freeBefore - jpeg.size());

    const auto gallery = photosite::test::httpGet(mSite.base() + album.path.toStdString() +
                                                  "?key=" + album.key.toStdString());
    EXPECT_NE(gallery.body.find("beach.jpg"), std::string::npos);
}
