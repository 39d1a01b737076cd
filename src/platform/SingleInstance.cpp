#include "SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QIODevice>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {

constexpr quint32 kMagic = 0x5646444b; // "VFDK"
constexpr quint16 kVersion = 1;
constexpr char kAck = 'A';
constexpr int kConnectWaitMs = 3000;
constexpr int kClientTimeoutMs = 10000;

// $XDG_RUNTIME_DIR, or a private per-user folder that Qt creates and checks the owner of.
QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
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
    if (mLock->tryLock(0))
        return listen() ? Role::First : Role::Second;

    // Another copy holds the lock. It may still be starting: give it time to listen.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kConnectWaitMs) {
        QLocalSocket probe;
        probe.connectToServer(mSocketPath);
        if (probe.waitForConnected(500)) {
            probe.disconnectFromServer();
            return Role::Second;
        }
        QThread::msleep(50);
    }
    // Nobody answers: the lock's owner is not a working copy. Take over.
    mLock->removeStaleLockFile();
    mLock->tryLock(0);
    return listen() ? Role::First : Role::Second;
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

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that connects and says nothing is not kept for ever.
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            bool malformed = false;
            const std::optional<DriveRequest> request =
                DriveRequestFrame::decode(*buffer, &malformed);
            if (malformed) {
                socket->abort();
                return;
            }
            if (!request)
                return;
            socket->write(&kAck, 1);
            socket->flush();
            socket->disconnectFromServer();
            emit activationRequested();
            deliver(*request);
        });
    }
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

bool SingleInstance::sendToFirst(const DriveRequest& request, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QLocalSocket socket;
    socket.connectToServer(mSocketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(DriveRequestFrame::encode(request));
    if (!socket.waitForBytesWritten(int(std::max<qint64>(1, timeoutMs - timer.elapsed()))))
        return false;
    while (socket.bytesAvailable() < 1) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(int(left)))
            return false;
    }
    char ack = 0;
    return socket.read(&ack, 1) == 1 && ack == kAck;
}
