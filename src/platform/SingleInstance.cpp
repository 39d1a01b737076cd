#include "SingleInstance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QIODevice>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

constexpr quint32 kMagic = 0x5646444b; // "VFDK"
constexpr quint16 kVersion = 2;        // 2: the ready/go handshake
constexpr char kReady = 'R';
constexpr char kGo = 'G';
// Between tries while the lock's owner is not listening yet.
constexpr int kConnectRetryMs = 100;
// "go" is one byte into a local socket; this only bounds a peer that vanished.
constexpr int kGoWriteMs = 2000;
constexpr int kClientTimeoutMs = 10000;

// $XDG_RUNTIME_DIR, or a private per-user folder that Qt creates and checks the owner of.
QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

int remainingMs(const QDeadlineTimer& deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max()));
}

} // namespace

namespace DriveRequestFrame {

QByteArray encode(const DriveRequest& request)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << request.drivePath << request.fromSecondCopy;

    QByteArray frame;
    QDataStream framed(&frame, QIODevice::WriteOnly);
    framed << quint32(payload.size());
    frame.append(payload);
    return frame;
}

std::optional<DriveRequest> decode(QByteArray& buffer, bool* malformed)
{
    *malformed = false;
    if (buffer.size() < 4)
        return std::nullopt;
    quint32 size = 0;
    {
        QDataStream in(buffer.left(4));
        in >> size;
    }
    if (size > quint32(kMaxFrameSize)) {
        *malformed = true;
        return std::nullopt;
    }
    if (buffer.size() < 4 + qsizetype(size))
        return std::nullopt;

    const QByteArray payload = buffer.mid(4, size);
    buffer.remove(0, 4 + size);
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    DriveRequest request;
    in >> magic >> version >> request.drivePath >> request.fromSecondCopy;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion) {
        *malformed = true;
        return std::nullopt;
    }
    return request;
}

} // namespace DriveRequestFrame

SingleInstance::SingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent)
{
    const QString dir = folder.isEmpty() ? defaultFolder() : folder;
    mSocketPath = dir + QLatin1Char('/') + name + QStringLiteral(".socket");
    mLock = std::make_unique<QLockFile>(dir + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // The lock is stale only when its owner is gone, never because it is old.
    mLock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (mServer)
        mServer->close();
}

SingleInstance::Role SingleInstance::start()
{
    // tryLock removes a lock whose owner is gone, so a failure means a live copy holds it.
    if (mLock->tryLock(0)) {
        listen();
        return Role::First;
    }
    if (mLock->error() == QLockFile::LockFailedError)
        return Role::Second;
    // No lock can be taken here at all (an unwritable folder): run alone rather than never.
    listen();
    return Role::First;
}

bool SingleInstance::listen()
{
    mServer = std::make_unique<QLocalServer>();
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a killed copy would make listen() fail.
    QLocalServer::removeServer(mSocketPath);
    if (!mServer->listen(mSocketPath)) {
        mServer.reset();
        return false;
    }
    connect(mServer.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return true;
}

struct SingleInstance::Conversation
{
    QByteArray buffer;
    std::optional<DriveRequest> request; // set once "ready" was answered
};

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that connects and says nothing is not kept for ever.
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
        auto conversation = std::make_shared<Conversation>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, conversation] { converse(*socket, *conversation); });
    }
}

void SingleInstance::converse(QLocalSocket& socket, Conversation& conversation)
{
    conversation.buffer.append(socket.readAll());
    if (!conversation.request) {
        bool malformed = false;
        conversation.request = DriveRequestFrame::decode(conversation.buffer, &malformed);
        if (malformed) {
            socket.abort();
            return;
        }
        if (!conversation.request)
            return;
        socket.write(&kReady, 1);
        socket.flush();
    }
    if (conversation.buffer.isEmpty())
        return; // waiting for "go"; a close instead drops the request
    const bool go = conversation.buffer.size() == 1 && conversation.buffer.at(0) == kGo;
    const DriveRequest request = *conversation.request;
    socket.disconnectFromServer();
    if (!go)
        return;
    emit activationRequested();
    deliver(request);
}

void SingleInstance::deliver(const DriveRequest& request)
{
    if (mReady)
        emit requestReceived(request);
    else
        mPending.push_back(request);
}

void SingleInstance::setReady()
{
    mReady = true;
    const std::vector<DriveRequest> pending = std::exchange(mPending, {});
    for (const DriveRequest& request : pending)
        emit requestReceived(request);
}

bool SingleInstance::sendToFirst(const DriveRequest& request)
{
    const QDeadlineTimer deadline(mAnswerWaitMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(mSocketPath);
        if (socket.waitForConnected(remainingMs(deadline)))
            break;
        // Refused or not there yet: the live owner of the lock is about to listen.
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(ulong(std::min(kConnectRetryMs, remainingMs(deadline))));
    }
    socket.write(DriveRequestFrame::encode(request));
    if (!socket.waitForBytesWritten(remainingMs(deadline)))
        return false;
    emit waitingForAnswer();
    // A busy first copy answers when its event loop runs again; the kernel keeps the frame.
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(remainingMs(deadline)))
            return false; // closing without "go" withdraws the request
    }
    char answer = 0;
    if (socket.read(&answer, 1) != 1 || answer != kReady)
        return false;
    socket.write(&kGo, 1);
    if (!socket.waitForBytesWritten(kGoWriteMs))
        return false;
    socket.disconnectFromServer();
    return true;
}
