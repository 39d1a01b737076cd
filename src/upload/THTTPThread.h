// The worker of the HTTP upload component: one request (a probe GET, then the POST when there is
// a body) through libcurl, its progress and outcome sent to the component's window.
#pragma once

#include "TVelkoHTTPUpload.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

using CURL = void;

namespace upload {

struct CurlCleanup
{
    void operator()(CURL* curl) const;
};
// One easy handle per chain: its connection is kept between chained requests.
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

// Before the first thread uses curl; safe to call again.
void initCurlOnce();

class UploadSpeedHistory;
// The samples of this process.
UploadSpeedHistory& speedHistory();

struct HttpRequest
{
    QString baseUrl; // "http://host:port"
    QString page;
    TVelkoHTTPPostType postType = TVelkoHTTPPostType::hpMultipart;
    QByteArray body; // empty: a GET
    TVelkoHTTPUpload::Options options;
};

class THTTPThread : public WorkerThread
{
public:
    // connection: the handle of the chain this request continues, or none.
    THTTPThread(WindowMessenger::Handler handler, HttpRequest request, CurlHandle connection);
    ~THTTPThread() override;

    // Only one request is in flight in the whole process. The window takes the flag before it
    // starts a worker; the worker gives it back just before its final message.
    static bool tryActivate();
    static void deactivate();
    // Waits up to limit for the flag to be given back; true when it has been.
    static bool waitUntilInactive(std::chrono::milliseconds limit);
    // True from the start until this worker gives the flag back.
    bool holdsActive() const { return mHoldsActive.load(); }

    // Read and written by the window while the worker waits in a message.
    const QByteArray& answer() const { return mAnswer; }
    const QString& contentType() const { return mContentType; }
    // curl's text for a failure of type 0.
    const QString& systemText() const { return mSystemText; }
    // The server's error page as text, curl's own description, or an exception's message.
    const QString& errorDetail() const { return mErrorDetail; }
    // For WM_HTTP_AUTHENTICATE: given names go with the retried probe.
    void setCredentials(const QString& user, const QString& password);
    // For WM_HTTP_COMPLETED with a chained request to follow.
    CurlHandle takeConnection() { return std::move(mCurl); }

protected:
    void execute() override;

private:
    struct Transfer;
    friend struct Transfer;

    void run();
    void configure(Transfer& transfer);
    bool perform(Transfer& transfer);
    bool checkStatus(long status, quint16 statusStage);
    bool askForCredentials(long status);
    void recordCurlError(int code, const char* errorBuffer);
    void recordError(quint16 type, quint32 code);
    bool cancelled() { return cancelFlag().load() != 0; }
    void finish();

    std::atomic<bool> mHoldsActive = true;
    HttpRequest mRequest;
    CurlHandle mCurl;
    quint16 mStage = stStart;

    bool mHasError = false;
    quint16 mErrorType = 0;
    quint32 mErrorCode = 0;
    QString mSystemText;
    QString mErrorDetail;

    QByteArray mAnswer;
    QString mContentType;
    QString mProxy;
    QByteArray mUser;
    QByteArray mPassword;
    bool mCredentialsGiven = false;
};

} // namespace upload
