// The photo site's protocol: the four request bodies (login, create album, free space, upload
// a photo) and the readers of their answers, which fill the account. Bodies are text lines
// behind a first line with the length of everything after it; answers are lines of which
// the first is "OK". Each body goes out with TVelkoHTTPUpload::SendRequest as hpMultipart.
#pragma once

#include "TLoginObject.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace upload {

// Login, album creation and free space go to the site host, uploads to the upload host.
inline constexpr char kLoginPage[] = "/programma/checklogin.aspx";
inline constexpr char kCreateAlbumPage[] = "/programma/addbook.aspx";
inline constexpr char kFreeSpacePage[] = "/programma/getfreespace.aspx";
inline constexpr char kUploadPage[] = "/programma/uploadfile.aspx";

// The length line, then each line ended by CRLF, then the image bytes as they are.
QByteArray frameBody(const QList<QByteArray>& lines, const QByteArray& images = {});
// An answer's lines: split at each CRLF; what follows the last CRLF is the last line.
QStringList answerLines(const QString& answer);
// A decimal 32-bit integer with an optional "-" and nothing around it.
std::optional<qint32> parseAnswerNumber(const QString& line);

// A built body, or the reason it could not be built (the credential key is unusable), in
// the user's language.
struct RequestBody
{
    QByteArray body;
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// email and password as typed in the login form (not trimmed). throughProxy is sent only
// while the account has no session (see TLoginObject::usesProxy).
RequestBody buildLoginRequest(const TLoginObject& account, const QString& email,
                              const QString& password, bool throughProxy);
RequestBody buildCreateAlbumRequest(const TLoginObject& account, const QString& albumName);
RequestBody buildFreeSpaceRequest(const TLoginObject& account);

// The images of one photo as the wizard made them; an empty display copy or thumbnail is
// left out (its size line is "0").
struct UploadPhoto
{
    QString filePath; // only the file name is sent
    QByteArray mainImage;
    qint32 width = 0;
    qint32 height = 0;
    QByteArray displayCopy;
    QByteArray thumbnail;
};
// For the account's chosen album; its key is empty when that album is not in the list.
RequestBody buildUploadRequest(const TLoginObject& account, const UploadPhoto& photo);

enum class AnswerStatus
{
    Ok,
    Refused,   // the first line is not "OK"; the account is unchanged
    Malformed, // a number line did not parse; what the reader changed before it stays
};

// text: the failure text (the whole answer through HtmlToText) or the error to show.
struct AnswerResult
{
    AnswerStatus status = AnswerStatus::Ok;
    QString text;
    bool ok() const { return status == AnswerStatus::Ok; }
};

// One entry of the size list as offered at the first login.
struct OfferedSize
{
    TUploadFormat format;
    QString text; // "1024x768", "800x600 (recommended; ...)", "upload original photos"
};

struct LoginAnswer : AnswerResult
{
    qint32 messageKind = 0; // 0 none, 1 notice (shown, then go on), 2 stop (nothing changed)
    QString message;        // "<BR>" already turned into CRLF
    // Filled at the first login of the run only; later logins keep the sizes offered then.
    QList<OfferedSize> offeredSizes;
    int chosenSize = -1; // index into offeredSizes
};

// Reads a login answer into the account and, at the first login of the run, sets the
// recommended entry of formats and offers the sizes. email and password are those sent.
// Saves the settings when the answer was read in full. now: the session's time stamp.
LoginAnswer readLoginAnswer(const QByteArray& answer, TLoginObject& account,
                            TUploadFormatList& formats, const QString& email,
                            const QString& password,
                            const QDateTime& now = QDateTime::currentDateTime());
// Adds the new album (with the name sent) to the account, chooses it and saves the settings.
AnswerResult readCreateAlbumAnswer(const QByteArray& answer, TLoginObject& account,
                                   const QString& albumName);
// The free-space and upload answers both carry the free bytes and the upload host.
AnswerResult readFreeSpaceAnswer(const QByteArray& answer, TLoginObject& account);
AnswerResult readUploadAnswer(const QByteArray& answer, TLoginObject& account);

} // namespace upload
