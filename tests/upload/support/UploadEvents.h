// What a TVelkoHTTPUpload reported, gathered for a test's checks.
#pragma once

#include "EventLoopWait.h"
#include "TVelkoHTTPUpload.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <vector>

namespace uploadtest {

struct UploadError
{
    quint32 code = 0;
    quint16 type = 0;
    quint16 stage = 0;
    QString text;
};

struct NextRequest
{
    QString page;
    TVelkoHTTPPostType postType = TVelkoHTTPPostType::hpMultipart;
    QByteArray body;
};

class UploadEvents
{
public:
    explicit UploadEvents(TVelkoHTTPUpload& upload)
    {
        upload.OnCompleted = [this](QObject*, const QByteArray& response,
                                    const QString& contentType, bool& next) {
            answers.push_back(response);
            contentTypes.push_back(contentType);
            next = !chain.empty();
            ended = !next;
        };
        upload.OnNextRequest = [this](QObject*, QString& page, TVelkoHTTPPostType& postType,
                                      QByteArray& body) {
            page = chain.front().page;
            postType = chain.front().postType;
            body = chain.front().body;
            chain.erase(chain.begin());
        };
        upload.OnError = [this](QObject*, quint32 code, quint16 type, quint16 stage,
                                const QString& text) {
            errors.push_back({code, type, stage, text});
            ended = true;
        };
        upload.OnCanceled = [this](QObject*) {
            ++canceled;
            ended = true;
        };
        upload.OnBytesSent = [this](QObject*, quint32 sent, quint32 total) {
            bytesSent.emplace_back(sent, total);
            if (onBytesSent)
                onBytesSent(sent, total);
        };
    }

    // Waits for the end of the request (or chain) and says how long it took since start().
    bool waitForEnd(std::chrono::milliseconds limit = 20s)
    {
        return pumpUntil([this] { return ended; }, limit);
    }
    void start()
    {
        ended = false;
        clock.start();
    }

    std::vector<QByteArray> answers;
    std::vector<QString> contentTypes;
    std::vector<UploadError> errors;
    int canceled = 0;
    std::vector<std::pair<quint32, quint32>> bytesSent;
    std::function<void(quint32 sent, quint32 total)> onBytesSent;
    std::vector<NextRequest> chain; // requests still to follow the one that completes
    bool ended = false;
    QElapsedTimer clock;
};

} // namespace uploadtest
