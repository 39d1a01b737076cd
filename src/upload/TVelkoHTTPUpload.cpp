#include "TVelkoHTTPUpload.h"

#include "HttpServerAddress.h"
#include "SignInDialog.h"
#include "THTTPThread.h"
#include "UploadSpeedHistory.h"
#include "uLanguage.h"

#include <QIODevice>
#include <QTimer>
#include <QWidget>

#include <mutex>
#include <vector>

using upload::THTTPThread;

namespace upload {

UploadSpeedHistory& speedHistory()
{
    static UploadSpeedHistory history;
    return history;
}

} // namespace upload

namespace {

enum : unsigned
{
    TextUnexpectedError = 554,
};

struct StatusTextRow
{
    quint32 status;
    unsigned textId;
};

constexpr StatusTextRow kStatusTexts[] = {
    {400, 537}, {401, 538}, {402, 539}, {403, 540}, {404, 541}, {405, 542},
    {406, 543}, {407, 544}, {408, 545}, {413, 546}, {415, 547}, {500, 548},
    {501, 549}, {502, 550}, {503, 551}, {504, 552}, {505, 553},
};

std::mutex gOptionsMutex;
TVelkoHTTPUpload::Options gOptions;

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20;
}

void replaceAll(QString& text, QLatin1String from, QLatin1String to)
{
    text.replace(from, to, Qt::CaseInsensitive);
}

void replaceWhileFound(QString& text, QLatin1String from, QLatin1String to)
{
    while (text.contains(from, Qt::CaseInsensitive))
        text.replace(from, to, Qt::CaseInsensitive);
}

} // namespace

struct TVelkoHTTPUpload::Private
{
    std::unique_ptr<THTTPThread> current;
    // Workers that have sent their final message and are ending; joined once they have.
    std::vector<std::unique_ptr<THTTPThread>> ending;
    // Between a completed request and the next one of its chain.
    upload::CurlHandle kept;
    // Window procedure frames on the stack.
    int depth = 0;
};

TVelkoHTTPUpload::TVelkoHTTPUpload(QWidget* window)
    : QObject(window), mWindow(window), d(std::make_shared<Private>())
{}

TVelkoHTTPUpload::~TVelkoHTTPUpload()
{
    // stop() cancels, drops any message not yet handled and waits: no event after this.
    if (d->current)
        d->current->stop();
    for (const auto& thread : d->ending)
        thread->stop();
}

bool TVelkoHTTPUpload::SendRequest(const QString& Server, const QString& Page,
                                   TVelkoHTTPPostType PostType, QIODevice* PostData)
{
    QByteArray body;
    if (PostData && PostData->isOpen()) {
        if (!PostData->isSequential())
            PostData->seek(0);
        body = PostData->readAll();
    }
    return SendRequest(Server, Page, PostType, body);
}

bool TVelkoHTTPUpload::SendRequest(const QString& Server, const QString& Page,
                                   TVelkoHTTPPostType PostType, const QByteArray& PostData)
{
    mServer = Server;
    d->kept.reset(); // a new chain
    return startWorker(Page, PostType, PostData);
}

bool TVelkoHTTPUpload::startWorker(const QString& page, TVelkoHTTPPostType postType,
                                   QByteArray body)
{
    upload::initCurlOnce();
    // Busy: one more look after 100 ms, or as soon as the request in flight has ended (its
    // worker gives the flag back only after its last event has been handled).
    if (!THTTPThread::tryActivate()) {
        THTTPThread::waitUntilInactive(std::chrono::milliseconds(100));
        if (!THTTPThread::tryActivate())
            return false;
    }
    std::erase_if(d->ending, [](const auto& thread) { return !thread->isRunning(); });

    upload::HttpRequest request;
    request.baseUrl = upload::parseServerString(mServer).baseUrl();
    request.page = page;
    request.postType = postType;
    request.body = std::move(body);
    request.options = options();

    // The handler learns which worker sends: a chain's next worker starts while the one
    // before is still in its last message.
    auto sender = std::make_shared<THTTPThread*>(nullptr);
    auto thread = std::make_unique<THTTPThread>(
        [this, sender](const WindowMessage& message) { return windowProc(*sender, message); },
        std::move(request), std::move(d->kept));
    *sender = thread.get();
    if (!thread->start()) {
        THTTPThread::deactivate();
        return false;
    }
    if (d->current)
        d->ending.push_back(std::move(d->current));
    d->current = std::move(thread);
    return true;
}

bool TVelkoHTTPUpload::Cancel()
{
    if (!isBusy())
        return false;
    d->current->requestStop();
    return true;
}

bool TVelkoHTTPUpload::isBusy() const
{
    return d->current && d->current->holdsActive();
}

qintptr TVelkoHTTPUpload::windowProc(THTTPThread* sender, const WindowMessage& message)
{
    const std::shared_ptr<Private> keep = d;
    const QPointer<TVelkoHTTPUpload> self(this);
    ++keep->depth;
    const qintptr result = dispatch(sender, message);
    if (--keep->depth == 0 && !self) {
        // Deleted by its own handler: the workers go once the channel's delivery has returned.
        QTimer::singleShot(0, [keep] {});
    }
    return result;
}

qintptr TVelkoHTTPUpload::dispatch(THTTPThread* sender, const WindowMessage& message)
{
    const QPointer<TVelkoHTTPUpload> self(this);
    switch (message.id) {
    case WM_HTTP_BYTES_SENT:
        if (OnBytesSent)
            OnBytesSent(this, quint32(message.wParam), quint32(message.lParam));
        return 0;
    case WM_HTTP_COMPLETED: {
        bool next = false;
        if (OnCompleted)
            OnCompleted(this, sender->answer(), sender->contentType(), next);
        if (!self || !next || !OnNextRequest)
            return 0;
        d->kept = sender->takeConnection();
        return 1;
    }
    case WM_HTTP_NEXT_REQUEST: {
        QString page;
        TVelkoHTTPPostType postType = TVelkoHTTPPostType::hpMultipart;
        QByteArray body;
        if (OnNextRequest)
            OnNextRequest(this, page, postType, body);
        if (!self)
            return 0;
        if (!startWorker(page, postType, std::move(body)))
            d->kept.reset();
        return 0;
    }
    case WM_HTTP_ERROR: {
        const quint16 type = quint16(quint64(message.lParam) >> 16);
        const quint16 stage = quint16(message.lParam & 0xFFFF);
        const quint32 code = quint32(message.wParam);
        const QString text = errorText(type, code, sender->systemText(), sender->errorDetail());
        if (OnError)
            OnError(this, code, type, stage, text);
        return 0;
    }
    case WM_HTTP_CANCELED:
        if (OnCanceled)
            OnCanceled(this);
        return 0;
    case WM_HTTP_AUTHENTICATE: {
        SignInDialog dialog(message.text, mWindow);
        if (dialog.exec() != QDialog::Accepted || !self)
            return 0;
        sender->setCredentials(dialog.userName(), dialog.password());
        return 1;
    }
    default:
        return 0;
    }
}

QString TVelkoHTTPUpload::statusText(quint32 status)
{
    for (const StatusTextRow& row : kStatusTexts) {
        if (row.status == status)
            return GetText(row.textId);
    }
    return QString();
}

QString TVelkoHTTPUpload::errorText(quint16 type, quint32 code, const QString& systemText,
                                    const QString& detail)
{
    QString text;
    switch (type) {
    case etSystem:
        text = systemText;
        break;
    case etHttpStatus:
        text = statusText(code);
        break;
    default:
        text = GetText(TextUnexpectedError);
        break;
    }
    if (!detail.isEmpty())
        text += QLatin1String("\r\n\r\n") + detail;
    return text;
}

QString TVelkoHTTPUpload::HtmlToText(const QString& Html)
{
    QString text;
    text.reserve(Html.size());
    bool inTag = false;
    bool inHead = false;
    bool inScript = false;
    const auto upperSlice = [&Html](qsizetype from, qsizetype count) {
        return from < 0 ? QString() : Html.mid(from, count).toUpper();
    };
    for (qsizetype i = 0; i < Html.size(); ++i) {
        const QChar c = Html.at(i);
        if (c == QLatin1Char('<')) {
            inTag = true;
            if (upperSlice(i + 1, 4) == QLatin1String("HEAD"))
                inHead = true;
            if (upperSlice(i + 1, 6) == QLatin1String("SCRIPT"))
                inScript = true;
        } else if (c == QLatin1Char('>')) {
            if (upperSlice(i - 6, 7) == QLatin1String("</HEAD>"))
                inHead = false;
            if (upperSlice(i - 8, 9) == QLatin1String("</SCRIPT>"))
                inScript = false;
            inTag = false;
            continue;
        }
        if (!inTag && !inHead && !inScript)
            text.append(c);
    }

    replaceAll(text, QLatin1String("\t"), QLatin1String(" "));
    replaceAll(text, QLatin1String("&nbsp;"), QLatin1String(" "));
    replaceWhileFound(text, QLatin1String("  "), QLatin1String(" "));
    replaceWhileFound(text, QLatin1String("\n "), QLatin1String("\n"));
    replaceWhileFound(text, QLatin1String("\r\n\r\n"), QLatin1String("\r\n"));
    replaceAll(text, QLatin1String("&gt;"), QLatin1String(">"));
    replaceAll(text, QLatin1String("&lt;"), QLatin1String("<"));
    replaceAll(text, QLatin1String("&quot;"), QLatin1String("\""));
    replaceAll(text, QLatin1String("&apos;"), QLatin1String("'"));
    replaceAll(text, QLatin1String("&amp;"), QLatin1String("&"));

    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlankOrControl(text.at(first)))
        ++first;
    while (last > first && isBlankOrControl(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

double TVelkoHTTPUpload::EstimateSpeed(qint32 Size)
{
    return upload::speedHistory().estimate(Size);
}

int TVelkoHTTPUpload::speedSampleCount()
{
    return upload::speedHistory().count();
}

void TVelkoHTTPUpload::setOptions(const Options& options)
{
    const std::lock_guard lock(gOptionsMutex);
    gOptions = options;
}

TVelkoHTTPUpload::Options TVelkoHTTPUpload::options()
{
    const std::lock_guard lock(gOptionsMutex);
    return gOptions;
}
