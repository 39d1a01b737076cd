// One HTTP request at a time to a web server, on a worker thread (THTTPThread), reported back
// to the owning window through events: bytes sent, completion with the answer, cancel, error.
// It knows nothing of the photo site's protocol: a body goes out, an answer comes back.
#pragma once

#include "WindowMessenger.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QWidget;

namespace upload {
class THTTPThread;
}

// Selects the request's Content-Type line; the body is neither built nor checked.
enum class TVelkoHTTPPostType : quint8
{
    hpMultipart = 0,  // "Content-Type: multipart/form-data" (no boundary)
    hpUrlEncoded = 1, // "Content-Type: application/x-www-form-urlencoded"
};

// Where a request stopped; reported as DebugVal, and as ErrCode of a type 2 error.
enum THTTPStage : quint16
{
    stStart = 1,
    stConnect = 2,
    stProxy = 3,
    stProbe = 4,
    stOpenPost = 5,
    stSendBody = 6,
    stWriteBody = 7,
    stEndRequest = 8,
    stReadAnswer = 9,
    stCopyAnswer = 10,
    stContentType = 11,
    stServerError = 12,
};

// ErrType of OnError.
enum THTTPErrorType : quint16
{
    etSystem = 0,     // ErrCode is curl's code (CURLcode), ErrText curl's text
    etHttpStatus = 1, // ErrCode is the HTTP status
    etException = 2,  // ErrCode is the stage
};

// The worker's messages to the component's window.
inline constexpr int WM_HTTP_COMPLETED = WM_USER + 1;  // wParam: 0, lParam: answer length
inline constexpr int WM_HTTP_ERROR = WM_USER + 2;      // wParam: code, lParam: type << 16 | stage
inline constexpr int WM_HTTP_BYTES_SENT = WM_USER + 3; // wParam: sent, lParam: total
inline constexpr int WM_HTTP_CANCELED = WM_USER + 4;
inline constexpr int WM_HTTP_NEXT_REQUEST = WM_USER + 5;
// The worker asks for a user name and password after a 401 or 407; text: the server or proxy
// that asks; result 1 when the user gave them (they then go with the retried probe).
inline constexpr int WM_HTTP_AUTHENTICATE = WM_USER + 7;

// The events; Sender is the component.
using TVelkoHTTPCompletedEvent =
    std::function<void(QObject* Sender, const QByteArray& Response,
                       const QString& ResponseContentType, bool& bNextRequest)>;
using TVelkoHTTPErrorEvent = std::function<void(QObject* Sender, quint32 ErrCode, quint16 ErrType,
                                                quint16 DebugVal, const QString& ErrText)>;
using TVelkoHTTPCanceledEvent = std::function<void(QObject* Sender)>;
// The handler sets the next request's page, post type and body (empty: a GET).
using TVelkoHTTPNextRequestEvent = std::function<void(
    QObject* Sender, QString& Page, TVelkoHTTPPostType& PostType, QByteArray& PostData)>;
using TVelkoHTTPBytesSentEvent =
    std::function<void(QObject* Sender, quint32 BytesSent, quint32 TotalBytes)>;

class TVelkoHTTPUpload : public QObject
{
    Q_OBJECT
public:
    // window: parent of the sign-in dialog; events are raised on the thread that creates the
    // component (the GUI thread).
    explicit TVelkoHTTPUpload(QWidget* window);
    // Cancels a request in progress and waits for its worker; no event is raised after.
    ~TVelkoHTTPUpload() override;

    TVelkoHTTPCompletedEvent OnCompleted;
    TVelkoHTTPErrorEvent OnError;
    TVelkoHTTPCanceledEvent OnCanceled;
    TVelkoHTTPNextRequestEvent OnNextRequest;
    TVelkoHTTPBytesSentEvent OnBytesSent;

    // Starts one request: a GET when PostData is null or empty, else a POST of its bytes
    // from position 0 to the end (copied before returning; the caller keeps the device).
    // Server: see parseServerString. When a request is in flight anywhere in the process,
    // waits up to 100 ms for it to end; still busy, returns false and starts nothing.
    // From OnError and OnCanceled a new request starts at once (the in-flight flag is given
    // back before them); from OnCompleted it is refused: chain there with bNextRequest.
    bool SendRequest(const QString& Server, const QString& Page, TVelkoHTTPPostType PostType,
                     QIODevice* PostData);
    bool SendRequest(const QString& Server, const QString& Page, TVelkoHTTPPostType PostType,
                     const QByteArray& PostData);

    // Ends the request in progress; its outcome arrives as OnCanceled, within about a second.
    // False when no request is in flight.
    bool Cancel();
    bool isBusy() const;

    // The server of the last request, as given to SendRequest.
    QString server() const { return mServer; }

    // A readable text from a server's HTML answer: tags, HEAD and SCRIPT dropped, white
    // space folded, the five entities and &nbsp; replaced.
    static QString HtmlToText(const QString& Html);

    // Expected upload speed in bytes per second for a body of Size bytes, from the speed
    // samples of this process; 0 when unknown.
    static double EstimateSpeed(qint32 Size);
    // How many speed samples this process has recorded (one per body of 10000 bytes or more).
    static int speedSampleCount();

    // The bounds that keep a bad server from hanging the program or filling its memory, and
    // the certificates TLS trusts. Tests lower the bounds to reach them quickly and name the
    // certificate of their own site.
    struct Options
    {
        qint64 maxAnswerBytes = 16 * 1024 * 1024;
        int connectTimeoutSeconds = 15;
        int stallTimeoutSeconds = 30; // no byte in either direction for this long
        QString caFile;               // empty: the system's certificates
    };
    // Set them while no request is in flight.
    static void setOptions(const Options& options);
    static Options options();

    // The texts of a failure, as OnError passes them: the status text of an HTTP status, the
    // system text given for curl's failures, a fixed text for exceptions; then the detail.
    static QString statusText(quint32 status);
    static QString errorText(quint16 type, quint32 code, const QString& systemText,
                             const QString& detail);

private:
    struct Private;

    qintptr windowProc(upload::THTTPThread* sender, const WindowMessage& message);
    qintptr dispatch(upload::THTTPThread* sender, const WindowMessage& message);
    bool startWorker(const QString& page, TVelkoHTTPPostType postType, QByteArray body);

    QPointer<QWidget> mWindow;
    QString mServer;
    // Shared with the window procedure while it runs: a handler may delete the component, and
    // the workers' channels must outlive the message they are delivering.
    std::shared_ptr<Private> d;
};
