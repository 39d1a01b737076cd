// A loopback HTTP server whose every answer the test scripts, including the ways a bad server
// misbehaves. It records each request as it arrived, so a test can check what the client sent.
#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace uploadtest {

struct RecordedRequest
{
    int connection = 0; // numbered from 0 in the order of accepting
    QByteArray method;
    QByteArray path;
    std::map<QByteArray, QByteArray> headers; // lower-case names
    qint64 declaredLength = 0;                // Content-Length, 0 when none
    qint64 bodyLength = 0;                    // body bytes that arrived

    QByteArray header(const char* name) const
    {
        const auto found = headers.find(QByteArray(name));
        return found == headers.end() ? QByteArray() : found->second;
    }
};

struct Reply
{
    enum class Kind
    {
        Answer,       // status, headers and body; the connection is kept
        Garbage,      // bytes that are no HTTP, then nothing
        Endless,      // a 200 head without a length, then body bytes until the client leaves
        Silent,       // the request is read and never answered
        Trickle,      // the answer one byte per interval
        CloseMidBody, // a length, half the body, then the connection is closed
    };
    Kind kind = Kind::Answer;
    int status = 200;
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    std::chrono::milliseconds interval{0};

    static Reply answer(int status, QByteArray body = {},
                        std::vector<std::pair<QByteArray, QByteArray>> headers = {});
    // 401 with a Basic challenge: the server asks for a user name and password.
    static Reply basicChallenge();
    static Reply of(Kind kind, std::chrono::milliseconds interval = {});
};

class ScriptedHttpServer
{
public:
    using Script = std::function<Reply(const RecordedRequest&)>;

    // Listens on 127.0.0.1 on a port the system chooses; every request gets 200 "OK" until
    // the script says otherwise.
    ScriptedHttpServer();
    // Stops listening and ends every connection still open.
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int port() const { return mPort; }
    // "127.0.0.1:<port>", a server string as the program gives it.
    QString server() const;

    void setScript(Script script);

    std::vector<RecordedRequest> requests() const;
    int connectionCount() const;
    // Connections the client closed (or reset) itself.
    int closedByClientCount() const;
    // Body bytes of answers written so far, over all connections.
    qint64 bytesAnswered() const { return mBytesAnswered; }

private:
    void acceptLoop();
    void serve(int fd, int connection);
    enum class Wait
    {
        Ready,
        TimedOut,
        Stopped
    };
    Wait waitFor(int fd, short events, std::chrono::milliseconds limit);
    // False when the client left (counted) or the server stops.
    bool receive(int fd, QByteArray& into);
    bool sendAll(int fd, const char* data, qint64 size);
    bool readHead(int fd, QByteArray& pending, QByteArray& head);
    void keepUntilClientLeaves(int fd);
    void answer(int fd, const Reply& reply, bool& keepOpen);
    void recordClosed();

    int mListen = -1;
    int mStop[2] = {-1, -1}; // written to wake every poll() when the server ends
    int mPort = 0;
    std::atomic<qint64> mBytesAnswered{0};

    mutable std::mutex mMutex;
    Script mScript;
    std::vector<RecordedRequest> mRequests;
    int mConnections = 0;
    int mClosedByClient = 0;
    std::vector<std::thread> mThreads;
    std::thread mAcceptThread;
};

} // namespace uploadtest
