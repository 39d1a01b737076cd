#include "ScriptedHttpServer.h"

#include <QByteArrayList>
#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace uploadtest {

namespace {

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

QByteArray answerHead(const Reply& reply, bool withLength)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonFor(reply.status) + "\r\n";
    bool typed = false;
    for (const auto& [name, value] : reply.headers) {
        head += name + ": " + value + "\r\n";
        typed = typed || name.compare("content-type", Qt::CaseInsensitive) == 0;
    }
    if (!typed)
        head += "Content-Type: text/html\r\n";
    if (withLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    return head + "\r\n";
}

} // namespace

Reply Reply::answer(int status, QByteArray body,
                    std::vector<std::pair<QByteArray, QByteArray>> headers)
{
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.headers = std::move(headers);
    return reply;
}

Reply Reply::basicChallenge()
{
    return answer(401, "<html><body>Sign in first</body></html>",
                  {{"WWW-Authenticate", "Basic realm=\"Family photos\""}});
}

Reply Reply::of(Kind kind, std::chrono::milliseconds interval)
{
    Reply reply;
    reply.kind = kind;
    reply.interval = interval;
    reply.body = "OK";
    return reply;
}

ScriptedHttpServer::ScriptedHttpServer()
{
    if (::pipe2(mStop, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    mListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (mListen < 0 || ::bind(mListen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(mListen, 16) != 0 ||
        ::getsockname(mListen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    mPort = ntohs(address.sin_port);
    mAcceptThread = std::thread([this] { acceptLoop(); });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    (void)!::write(mStop[1], "x", 1);
    mAcceptThread.join();
    for (std::thread& thread : mThreads)
        thread.join();
    ::close(mListen);
    ::close(mStop[0]);
    ::close(mStop[1]);
}

QString ScriptedHttpServer::server() const
{
    return QStringLiteral("127.0.0.1:%1").arg(mPort);
}

void ScriptedHttpServer::setScript(Script script)
{
    std::lock_guard lock(mMutex);
    mScript = std::move(script);
}

std::vector<RecordedRequest> ScriptedHttpServer::requests() const
{
    std::lock_guard lock(mMutex);
    return mRequests;
}

int ScriptedHttpServer::connectionCount() const
{
    std::lock_guard lock(mMutex);
    return mConnections;
}

int ScriptedHttpServer::closedByClientCount() const
{
    std::lock_guard lock(mMutex);
    return mClosedByClient;
}

void ScriptedHttpServer::recordClosed()
{
    std::lock_guard lock(mMutex);
    ++mClosedByClient;
}

ScriptedHttpServer::Wait ScriptedHttpServer::waitFor(int fd, short events,
                                                     std::chrono::milliseconds limit)
{
    pollfd fds[2] = {{fd, events, 0}, {mStop[0], POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, limit.count() > 0 ? int(limit.count()) : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents)
            return Wait::Stopped;
        return ready == 0 ? Wait::TimedOut : Wait::Ready;
    }
}

bool ScriptedHttpServer::receive(int fd, QByteArray& into)
{
    if (waitFor(fd, POLLIN, {}) != Wait::Ready)
        return false;
    char buffer[65536];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
        recordClosed();
        return false;
    }
    into.append(buffer, got);
    return true;
}

bool ScriptedHttpServer::sendAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        if (waitFor(fd, POLLOUT, {}) != Wait::Ready)
            return false;
        const ssize_t sent = ::send(fd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (sent <= 0) {
            recordClosed();
            return false;
        }
        data += sent;
        size -= sent;
    }
    return true;
}

bool ScriptedHttpServer::readHead(int fd, QByteArray& pending, QByteArray& head)
{
    qsizetype end;
    while ((end = pending.indexOf("\r\n\r\n")) < 0)
        if (!receive(fd, pending))
            return false;
    head = pending.left(end);
    pending.remove(0, end + 4);
    return true;
}

void ScriptedHttpServer::keepUntilClientLeaves(int fd)
{
    QByteArray ignored;
    while (receive(fd, ignored))
        ignored.clear();
}

void ScriptedHttpServer::acceptLoop()
{
    for (;;) {
        if (waitFor(mListen, POLLIN, {}) != Wait::Ready)
            return;
        const int fd = ::accept4(mListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mMutex);
        mThreads.emplace_back([this, fd, connection = mConnections] { serve(fd, connection); });
        ++mConnections;
    }
}

void ScriptedHttpServer::serve(int fd, int connection)
{
    QByteArray pending;
    QByteArray head;
    bool keepOpen = true;
    while (keepOpen && readHead(fd, pending, head)) {
        RecordedRequest request;
        request.connection = connection;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request.method = start.value(0);
        request.path = start.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers[lines[i].left(colon).trimmed().toLower()] =
                    lines[i].mid(colon + 1).trimmed();
        }
        request.declaredLength = request.header("content-length").toLongLong();
        if (request.header("expect").compare("100-continue", Qt::CaseInsensitive) == 0) {
            const QByteArray goOn = "HTTP/1.1 100 Continue\r\n\r\n";
            keepOpen = sendAll(fd, goOn.constData(), goOn.size());
        }
        while (keepOpen && pending.size() < request.declaredLength)
            keepOpen = receive(fd, pending);
        request.bodyLength = std::min<qint64>(pending.size(), request.declaredLength);
        pending.remove(0, request.bodyLength);

        Script script;
        {
            std::lock_guard lock(mMutex);
            mRequests.push_back(request);
            script = mScript;
        }
        if (!keepOpen)
            break;
        answer(fd, script ? script(request) : Reply::answer(200, "OK"), keepOpen);
    }
    ::close(fd);
}

void ScriptedHttpServer::answer(int fd, const Reply& reply, bool& keepOpen)
{
    using Kind = Reply::Kind;
    keepOpen = false;
    switch (reply.kind) {
    case Kind::Answer: {
        const QByteArray bytes = answerHead(reply, true) + reply.body;
        keepOpen = sendAll(fd, bytes.constData(), bytes.size());
        if (keepOpen)
            mBytesAnswered += reply.body.size();
        return;
    }
    case Kind::Garbage: {
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise += char((i * 131 + 7) % 256);
        if (sendAll(fd, noise.constData(), noise.size()))
            keepUntilClientLeaves(fd);
        return;
    }
    case Kind::Endless: {
        Reply head = reply;
        head.headers.emplace_back("Connection", "close");
        const QByteArray start = answerHead(head, false);
        if (!sendAll(fd, start.constData(), start.size()))
            return;
        const QByteArray block(65536, 'z');
        while (sendAll(fd, block.constData(), block.size()))
            mBytesAnswered += block.size();
        return;
    }
    case Kind::Silent:
        keepUntilClientLeaves(fd);
        return;
    case Kind::Trickle: {
        const QByteArray bytes = answerHead(reply, true) + reply.body;
        for (char byte : bytes) {
            if (!sendAll(fd, &byte, 1))
                return;
            // Whatever the client sends meanwhile is read, so that its leaving is seen.
            for (;;) {
                const Wait wait = waitFor(fd, POLLIN, reply.interval);
                if (wait == Wait::Stopped)
                    return;
                if (wait == Wait::TimedOut)
                    break;
                char ignored[4096];
                if (::recv(fd, ignored, sizeof ignored, 0) <= 0) {
                    recordClosed();
                    return;
                }
            }
        }
        keepUntilClientLeaves(fd);
        return;
    }
    case Kind::CloseMidBody: {
        const QByteArray bytes = answerHead(reply, true) + reply.body.left(reply.body.size() / 2);
        sendAll(fd, bytes.constData(), bytes.size());
        ::shutdown(fd, SHUT_RDWR);
        return;
    }
    }
}

} // namespace uploadtest
