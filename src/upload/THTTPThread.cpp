#include "THTTPThread.h"

#include "ProgramVersion.h"
#include "ProxyResolver.h"
#include "UploadSpeedHistory.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <optional>

namespace upload {

namespace {

// The process-wide "a request is in flight" flag, and its wake-up for a caller that waits.
std::mutex gActiveMutex;
std::condition_variable gActiveFreed;
bool gActive = false;

constexpr qsizetype kWriteSize = 16384;
constexpr long kReadSize = 8192;

// Wipes a secret before its memory goes back to the heap.
void wipe(QByteArray& secret)
{
    if (!secret.isEmpty())
        std::memset(secret.data(), 0, size_t(secret.size()));
    secret.clear();
}

struct HeaderList
{
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void append(const char* line)
    {
        curl_slist* longer = curl_slist_append(list, line);
        if (!longer)
            throw std::bad_alloc();
        list = longer;
    }
};

} // namespace

void CurlCleanup::operator()(CURL* curl) const
{
    curl_easy_cleanup(curl);
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the callbacks of one curl_easy_perform need.
struct THTTPThread::Transfer
{
    THTTPThread* thread = nullptr;
    bool probe = true;
    qint64 sent = 0;
    qint64 received = 0;
    bool tooLarge = false;
    // When the last piece of the body went to curl, and when the answer began (its first
    // header line): a speed sample spans the whole body.
    std::optional<std::chrono::steady_clock::time_point> bodyHandedOver;
    std::optional<std::chrono::steady_clock::time_point> answerStarted;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    long status() const
    {
        long code = 0;
        curl_easy_getinfo(thread->mCurl.get(), CURLINFO_RESPONSE_CODE, &code);
        return code;
    }

    static size_t write(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Transfer*>(user);
        THTTPThread* thread = self->thread;
        const size_t length = size * count;
        if (thread->cancelled())
            return 0;
        // A server may send more than it announced, or without end: the cap holds in
        // every case, before anything is kept.
        self->received += qint64(length);
        if (self->received > thread->mRequest.options.maxAnswerBytes) {
            self->tooLarge = true;
            return 0;
        }
        const long status = self->status();
        const bool isPost = !thread->mRequest.body.isEmpty();
        if (status == 200 || status == 500) {
            if (self->probe && isPost && status == 200) {
                thread->mStage = stOpenPost; // the probe's page is drained
                return length;
            }
            thread->mStage = stReadAnswer;
            thread->mAnswer.append(data, qsizetype(length));
        }
        return length;
    }

    static size_t read(char* buffer, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Transfer*>(user);
        THTTPThread* thread = self->thread;
        if (thread->cancelled())
            return CURL_READFUNC_ABORT;
        const QByteArray& body = thread->mRequest.body;
        const qint64 chunk =
            std::min<qint64>({qint64(size * count), kWriteSize, qint64(body.size()) - self->sent});
        if (chunk <= 0) {
            thread->mStage = stEndRequest;
            return 0;
        }
        thread->mStage = stWriteBody;
        std::memcpy(buffer, body.constData() + self->sent, size_t(chunk));
        self->sent += chunk;
        thread->send(WM_HTTP_BYTES_SENT, qintptr(self->sent), qintptr(body.size()));
        if (self->sent == body.size()) {
            thread->mStage = stEndRequest;
            self->bodyHandedOver = std::chrono::steady_clock::now();
        }
        return size_t(chunk);
    }

    static size_t header(char*, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Transfer*>(user);
        if (self->bodyHandedOver && !self->answerStarted)
            self->answerStarted = std::chrono::steady_clock::now();
        return size * count;
    }

    // curl rewinds when it must send the body again (a redirect, a second sign-in round).
    static int seek(void* user, curl_off_t offset, int origin)
    {
        auto* self = static_cast<Transfer*>(user);
        if (origin != SEEK_SET || offset < 0 || offset > self->thread->mRequest.body.size())
            return CURL_SEEKFUNC_CANTSEEK;
        self->sent = offset;
        self->bodyHandedOver.reset();
        self->answerStarted.reset();
        return CURL_SEEKFUNC_OK;
    }

    // Called at least once a second, also while connecting or waiting for an answer.
    static int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<Transfer*>(user)->thread->cancelled() ? 1 : 0;
    }
};

THTTPThread::THTTPThread(WindowMessenger::Handler handler, HttpRequest request,
                         CurlHandle connection)
    : WorkerThread(std::move(handler)), mRequest(std::move(request)), mCurl(std::move(connection))
{}

THTTPThread::~THTTPThread()
{
    stop();
    wipe(mPassword);
}

bool THTTPThread::tryActivate()
{
    const std::lock_guard lock(gActiveMutex);
    if (gActive)
        return false;
    gActive = true;
    return true;
}

void THTTPThread::deactivate()
{
    {
        const std::lock_guard lock(gActiveMutex);
        gActive = false;
    }
    gActiveFreed.notify_all();
}

bool THTTPThread::waitUntilInactive(std::chrono::milliseconds limit)
{
    std::unique_lock lock(gActiveMutex);
    return gActiveFreed.wait_for(lock, limit, [] { return !gActive; });
}

void THTTPThread::setCredentials(const QString& user, const QString& password)
{
    wipe(mPassword);
    mUser = user.toUtf8();
    mPassword = password.toUtf8();
    mCredentialsGiven = true;
}

void THTTPThread::execute()
{
    try {
        run();
    } catch (const std::exception& e) {
        mErrorDetail = QString::fromLocal8Bit(e.what());
        recordError(etException, mStage);
    } catch (...) {
        recordError(etException, mStage);
    }
    finish();
}

void THTTPThread::recordError(quint16 type, quint32 code)
{
    mHasError = true;
    mErrorType = type;
    mErrorCode = code;
}

void THTTPThread::recordCurlError(int code, const char* errorBuffer)
{
    recordError(etSystem, quint32(code));
    mSystemText = QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
    const QString detail = QString::fromUtf8(errorBuffer).trimmed();
    if (detail != mSystemText)
        mErrorDetail = detail;
}

void THTTPThread::run()
{
    const bool isPost = !mRequest.body.isEmpty();
    mStage = stStart;
    send(WM_HTTP_BYTES_SENT, 0, qintptr(mRequest.body.size()));

    mStage = stConnect;
    if (!mCurl)
        mCurl.reset(curl_easy_init());
    if (!mCurl) {
        recordCurlError(CURLE_FAILED_INIT, "");
        return;
    }
    if (cancelled())
        return;

    mStage = stProxy;
    mProxy = proxyFor(mRequest.baseUrl);

    // The probe: a GET of the same page, which for a GET is the request itself.
    mStage = stProbe;
    long status = 0;
    for (;;) {
        if (cancelled())
            return;
        Transfer probe;
        probe.thread = this;
        probe.probe = true;
        mAnswer.clear();
        if (!perform(probe))
            return;
        status = probe.status();
        if ((status == 401 || status == 407) && askForCredentials(status))
            continue;
        mStage = stProbe;
        if (!checkStatus(status, stProbe))
            return;
        break;
    }

    if (isPost && status != 500) {
        mStage = stOpenPost;
        if (cancelled())
            return;
        mAnswer.clear();
        mStage = stSendBody;
        Transfer post;
        post.thread = this;
        post.probe = false;
        const auto started = std::chrono::steady_clock::now();
        if (!perform(post))
            return;
        if (post.answerStarted && *post.answerStarted > started) {
            const std::chrono::duration<double> taken = *post.answerStarted - started;
            speedHistory().add(qint32(mRequest.body.size()),
                               double(mRequest.body.size()) / taken.count());
        }
        status = post.status();
        if (!checkStatus(status, stEndRequest))
            return;
    }
    if (cancelled())
        return;

    mStage = stReadAnswer;
    if (status == 200) {
        mStage = stCopyAnswer;
        mStage = stContentType;
        const char* type = nullptr;
        curl_easy_getinfo(mCurl.get(), CURLINFO_CONTENT_TYPE, &type);
        mContentType = type ? QString::fromUtf8(type).toLower() : QString();
    } else {
        mStage = stServerError;
        recordError(etHttpStatus, 500);
        mErrorDetail = TVelkoHTTPUpload::HtmlToText(QString::fromUtf8(mAnswer));
    }
}

void THTTPThread::configure(Transfer& transfer)
{
    CURL* curl = mCurl.get();
    const TVelkoHTTPUpload::Options& options = mRequest.options;
    QString page = mRequest.page;
    if (!page.startsWith(QLatin1Char('/')))
        page.prepend(QLatin1Char('/'));
    const QByteArray url = (mRequest.baseUrl + page).toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kApplicationTitle);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, transfer.errorBuffer);

    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(options.connectTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(options.stallTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(options.maxAnswerBytes));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReadSize);
    curl_easy_setopt(curl, CURLOPT_UPLOAD_BUFFERSIZE, long(kWriteSize));

    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray caFile = options.caFile.toLocal8Bit();
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());

    // An empty string switches off the proxies curl would take from the environment on its
    // own: libproxy has already read them.
    const QByteArray proxy = mProxy.toUtf8();
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.constData());

    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    if (transfer.probe) {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Transfer::read);
        curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, &Transfer::seek);
        curl_easy_setopt(curl, CURLOPT_SEEKDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(mRequest.body.size()));
    }
}

bool THTTPThread::perform(Transfer& transfer)
{
    CURL* curl = mCurl.get();
    configure(transfer);
    HeaderList headers;
    headers.append(mRequest.postType == TVelkoHTTPPostType::hpUrlEncoded
                       ? "Content-Type: application/x-www-form-urlencoded"
                       : "Content-Type: multipart/form-data");
    // Straight to the body: no round trip for "100 Continue".
    headers.append("Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);

    const CURLcode result = curl_easy_perform(curl);
    // Nothing of this transfer may outlive it in the handle a chain keeps.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (cancelled())
        return false;
    if (transfer.tooLarge) {
        recordCurlError(CURLE_FILESIZE_EXCEEDED, "");
        return false;
    }
    if (result != CURLE_OK) {
        recordCurlError(result, transfer.errorBuffer);
        return false;
    }
    return true;
}

bool THTTPThread::checkStatus(long status, quint16 statusStage)
{
    if (status == 200 || status == 500)
        return true;
    mStage = statusStage;
    if (status == 0)
        recordCurlError(CURLE_WEIRD_SERVER_REPLY, "");
    else
        recordError(etHttpStatus, quint32(status));
    return false;
}

bool THTTPThread::askForCredentials(long status)
{
    const bool proxy = status == 407;
    QString who = proxy ? mProxy : mRequest.baseUrl;
    mCredentialsGiven = false;
    WindowMessage message{WM_HTTP_AUTHENTICATE, 0, 0, who};
    const std::optional<qintptr> answer = send(message);
    if (!answer || *answer != 1 || !mCredentialsGiven || cancelled())
        return false;
    CURL* curl = mCurl.get();
    if (proxy) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, mUser.constData());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, mPassword.constData());
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_ANY));
    } else {
        curl_easy_setopt(curl, CURLOPT_USERNAME, mUser.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, mPassword.constData());
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_ANY));
    }
    // curl keeps its own copy.
    wipe(mPassword);
    return true;
}

void THTTPThread::finish()
{
    bool released = false;
    const auto release = [&] {
        if (!released) {
            mHoldsActive.store(false);
            deactivate();
        }
        released = true;
    };
    try {
        const bool wasCancelled = cancelled();
        if (wasCancelled || mHasError) {
            mCurl.reset(); // closes the connection
            mAnswer.clear();
        }
        if (wasCancelled) {
            release();
            send(WM_HTTP_CANCELED);
        } else if (mHasError) {
            release();
            send(WM_HTTP_ERROR, qintptr(mErrorCode), (qintptr(mErrorType) << 16) | mStage);
        } else {
            const std::optional<qintptr> next = send(WM_HTTP_COMPLETED, 0, qintptr(mAnswer.size()));
            mAnswer.clear();
            if (!next || *next != 1) {
                mCurl.reset();
                release();
            } else {
                release();
                send(WM_HTTP_NEXT_REQUEST);
            }
        }
    } catch (...) {
        // Ending must not end the program: report what went wrong as the request's error.
        mCurl.reset();
        release();
        try {
            mErrorDetail.clear();
            send(WM_HTTP_ERROR, mStage, (qintptr(etException) << 16) | mStage);
        } catch (...) {
        }
    }
}

} // namespace upload
