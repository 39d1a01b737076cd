#include "PhotoSiteProtocol.h"

#include "EncodeCredential.h"
#include "ProgramVersion.h"
#include "TVelkoHTTPUpload.h"
#include "uLanguage.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <limits>

namespace upload {

namespace {

enum : unsigned
{
    TextOriginalSize = 518,
    TextRecommended = 519,
    TextUnexpectedError = 554,
    TextNotANumber = 559,
};

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray languageNumber()
{
    return number(CurrentLanguage());
}

// The encoded e-mail address and password, the first two lines of every request.
// Every request opens with the scrambled e-mail address and password; fields follow them.
RequestBody credentialBody(const QString& email, const QString& password,
                           const QList<QByteArray>& fields, const QByteArray& images = {})
{
    RequestBody result;
    const std::optional<QByteArray> encodedEmail = EncodeCredential(email, &result.error);
    if (!encodedEmail)
        return result;
    const std::optional<QByteArray> encodedPassword = EncodeCredential(password, &result.error);
    if (!encodedPassword)
        return result;
    result.body = frameBody(QList<QByteArray>{*encodedEmail, *encodedPassword} + fields, images);
    return result;
}

// Walks the lines of an answer after its "OK". A line past the end reads as empty, so a
// short answer fails at its first missing number.
class AnswerReader
{
public:
    explicit AnswerReader(const QByteArray& answer)
        : mText(QString::fromUtf8(answer)), mLines(answerLines(mText))
    {}

    bool isOk() const { return !mLines.isEmpty() && mLines.first() == QLatin1String("OK"); }
    AnswerResult refused() const
    {
        // An empty answer (or one of markup only) would otherwise show as no message at all.
        const QString text = TVelkoHTTPUpload::HtmlToText(mText);
        return {AnswerStatus::Refused,
                text.trimmed().isEmpty() ? GetText(TextUnexpectedError) : text};
    }
    AnswerResult malformed() const
    {
        return {AnswerStatus::Malformed, GetText(TextNotANumber).arg(mBadLine)};
    }

    QString text() { return mNext < mLines.size() ? mLines.at(mNext++) : (++mNext, QString()); }
    bool number(qint32& out)
    {
        const QString line = text();
        const std::optional<qint32> value = parseAnswerNumber(line);
        if (!value) {
            mBadLine = line;
            return false;
        }
        out = *value;
        return true;
    }

private:
    QString mText;
    QStringList mLines;
    qsizetype mNext = 1;
    QString mBadLine;
};

QString offeredText(const TUploadFormat& format, bool recommended)
{
    if (format.isOriginal())
        return GetText(TextOriginalSize);
    QString text =
        QString::number(format.width) + QLatin1Char('x') + QString::number(format.height);
    if (recommended)
        text += QStringLiteral(" (") + GetText(TextRecommended) + QLatin1Char(')');
    return text;
}

// At the first login of the run the list still holds (-1, -1): it takes the standard size and
// the sizes are offered. Later logins leave both alone.
void offerSizes(LoginAnswer& result, TLoginObject& account, TUploadFormatList& formats)
{
    const int recommended = formats.indexOf(-1, -1);
    if (recommended < 0)
        return;
    const TUploadFormat standard{account.limits.standardWidth, account.limits.standardHeight};
    formats.replace(recommended, standard);
    if (account.uploadFormat.isRecommendedPlaceholder())
        account.uploadFormat = standard;
    for (int i = 0; i < formats.count(); ++i) {
        if (account.limits.mayChooseSize != 0 || i == recommended)
            result.offeredSizes.append(
                {formats.at(i), offeredText(formats.at(i), i == recommended)});
    }
    for (int i = 0; i < result.offeredSizes.size(); ++i) {
        if (result.offeredSizes.at(i).format == account.uploadFormat) {
            result.chosenSize = i;
            return;
        }
    }
    result.chosenSize = 0;
    account.uploadFormat = result.offeredSizes.first().format;
}

AnswerResult readSpaceAnswer(const QByteArray& answer, TLoginObject& account)
{
    AnswerReader reader(answer);
    if (!reader.isOk())
        return reader.refused();
    qint32 freeBytes = 0;
    if (!reader.number(freeBytes))
        return reader.malformed();
    account.freeSpace = freeBytes;
    account.uploadHost = reader.text();
    return {};
}

} // namespace

QByteArray frameBody(const QList<QByteArray>& lines, const QByteArray& images)
{
    QByteArray payload;
    qsizetype size = images.size();
    for (const QByteArray& line : lines)
        size += line.size() + kCrLf.size();
    payload.reserve(size);
    for (const QByteArray& line : lines)
        payload += line + kCrLf;
    payload += images;
    return number(payload.size()) + kCrLf + payload;
}

QStringList answerLines(const QString& answer)
{
    return answer.split(QStringLiteral("\r\n"));
}

std::optional<qint32> parseAnswerNumber(const QString& line)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!decimal.match(line).hasMatch())
        return std::nullopt;
    const qint64 value = line.toLongLong();
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

RequestBody buildLoginRequest(const TLoginObject& account, const QString& email,
                              const QString& password, bool throughProxy)
{
    const bool session = account.hasSession();
    return credentialBody(email, password,
                          {languageNumber(), QByteArray(account.firstLogin ? "2" : "0"),
                           QByteArray(session ? "0" : "2"), ProgramFileVersion().toUtf8(),
                           session ? QByteArray() : QByteArray(throughProxy ? "1" : "0")});
}

RequestBody buildCreateAlbumRequest(const TLoginObject& account, const QString& albumName)
{
    return credentialBody(account.userName, account.password,
                          {albumName.toUtf8(), languageNumber()});
}

RequestBody buildFreeSpaceRequest(const TLoginObject& account)
{
    return credentialBody(account.userName, account.password,
                          {languageNumber(), number(account.limits.maxImageBytes), "2"});
}

RequestBody buildUploadRequest(const TLoginObject& account, const UploadPhoto& photo)
{
    const TPhotoAlbum* album = account.chosenAlbum();
    return credentialBody(
        account.userName, account.password,
        {number(account.albumId), album ? album->key.toUtf8() : QByteArray(),
         QFileInfo(photo.filePath).fileName().toUtf8(), languageNumber(), account.session.toUtf8(),
         number(photo.mainImage.size()), number(account.limits.maxImageBytes), number(photo.width),
         number(photo.height), QByteArray(photo.displayCopy.isEmpty() ? "0" : "1"),
         number(photo.mainImage.size()), number(photo.displayCopy.size()),
         number(photo.thumbnail.size())},
        photo.mainImage + photo.displayCopy + photo.thumbnail);
}

LoginAnswer readLoginAnswer(const QByteArray& answer, TLoginObject& account,
                            TUploadFormatList& formats, const QString& email,
                            const QString& password, const QDateTime& now)
{
    LoginAnswer result;
    AnswerReader reader(answer);
    auto fail = [&result](const AnswerResult& failure) {
        static_cast<AnswerResult&>(result) = failure;
        return result;
    };
    if (!reader.isOk())
        return fail(reader.refused());
    if (!reader.number(result.messageKind))
        return fail(reader.malformed());
    static const QRegularExpression lineBreak(QStringLiteral("<BR>"),
                                              QRegularExpression::CaseInsensitiveOption);
    result.message = reader.text().replace(lineBreak, QStringLiteral("\r\n"));
    if (result.messageKind == 2)
        return result;

    account.firstLogin = false;
    account.userName = email;
    account.password = password;
    account.userPath = reader.text();
    if (!reader.number(account.userNumber))
        return fail(reader.malformed());
    if (!account.hasSession()) {
        account.session = now.toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('/') +
                          QString::number(account.userNumber);
    }

    qint32 albumCount = 0;
    if (!reader.number(albumCount))
        return fail(reader.malformed());
    account.albums.clear();
    for (qint32 i = 0; i < albumCount; ++i) {
        TPhotoAlbum album;
        if (!reader.number(album.id))
            return fail(reader.malformed());
        album.name = reader.text();
        album.key = reader.text();
        album.path = reader.text();
        account.albums.add(album);
    }
    if (account.albums.indexOfId(account.albumId) < 0 && !account.albums.isEmpty())
        account.albumId = account.albums.at(0).id;

    TLoginLimits limits;
    for (qint32* field :
         {&limits.mayChooseSize, &limits.displayCopyMode, &limits.unused, &limits.standardWidth,
          &limits.standardHeight, &limits.thumbnailSize, &limits.displayCopySeconds,
          &limits.displayCopyPercent, &limits.maxImageBytes, &limits.preparationCap}) {
        if (!reader.number(*field))
            return fail(reader.malformed());
    }
    if (limits.mayChooseSize == 0)
        limits.displayCopyMode = 1;
    account.limits = limits;

    offerSizes(result, account, formats);
    account.SaveSettings();
    return result;
}

AnswerResult readCreateAlbumAnswer(const QByteArray& answer, TLoginObject& account,
                                   const QString& albumName)
{
    AnswerReader reader(answer);
    if (!reader.isOk())
        return reader.refused();
    TPhotoAlbum album;
    album.name = albumName;
    if (!reader.number(album.id))
        return reader.malformed();
    album.key = reader.text();
    album.path = reader.text();
    account.albums.add(album);
    account.albumId = album.id;
    account.SaveSettings();
    return {};
}

AnswerResult readFreeSpaceAnswer(const QByteArray& answer, TLoginObject& account)
{
    return readSpaceAnswer(answer, account);
}

AnswerResult readUploadAnswer(const QByteArray& answer, TLoginObject& account)
{
    return readSpaceAnswer(answer, account);
}

} // namespace upload
