// Stands for the hidden application window "Velko Fotodesk" by which a second copy finds
// the running one, and for the drive request (message 2024) it posts to it.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// What a second copy hands to the first: the drive (as a path) and whether the request
// comes from a second copy (lParam 1) or from the program's own command line (lParam 0).
struct DriveRequest
{
    QString drivePath;
    bool fromSecondCopy = false;
};

// The small framed message a second copy sends: "VFDK", a version, the path, the flag.
// Kept apart from the sockets so that malformed frames can be tested directly.
namespace DriveRequestFrame {
QByteArray encode(const DriveRequest& request);
// nullopt while the buffer holds only part of a frame; throws nothing on garbage:
// a malformed frame yields an empty optional and `malformed` set.
std::optional<DriveRequest> decode(QByteArray& buffer, bool* malformed);
inline constexpr int kMaxFrameSize = 64 * 1024;
} // namespace DriveRequestFrame

// Decides which copy of the program this is. The first copy holds a lock file in the user's
// runtime folder and listens on a local socket beside it; a second copy connects and hands
// over its request. A lock and socket left by a killed first copy are noticed (the lock's
// owner is gone), removed and listened on again.
//
// The hand-over is a small handshake, so that a request is acted on exactly when its sender
// counted it as delivered: the second sends the frame, the first answers "ready", the second
// answers "go" only while it still waits, and the first acts only on "go". A sender that gave
// up closes without "go", and the first drops its request.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        First,
        Second
    };

    // `name` keeps tests apart from a real running copy; the folder defaults to
    // $XDG_RUNTIME_DIR (or a per-user folder in the temporary folder).
    explicit SingleInstance(const QString& name = QStringLiteral("velko-fotodesk"),
                            const QString& folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // First when this copy holds the lock (or no lock can be taken at all, so that the
    // program still runs); Second while a live copy holds it.
    Role start();

    // How long a second copy waits for a busy first copy, in all.
    static constexpr int kDefaultAnswerWaitMs = 15000;
    void setAnswerWait(int milliseconds) { mAnswerWaitMs = milliseconds; }

    // Second copy: hands the request to the first; true once the first is bound to act on it,
    // false when it did not answer in time (it then never acts on it).
    bool sendToFirst(const DriveRequest& request);

    // First copy: requests are held until the program is ready for them, then emitted.
    void setReady();

    QString socketPath() const { return mSocketPath; }

signals:
    // Second copy, on the thread that sends: the request is with the first, and the wait for
    // its answer begins.
    void waitingForAnswer();
    // The first copy is asked to come to the front.
    void activationRequested();
    void requestReceived(const DriveRequest& request);

private:
    struct Conversation;

    bool listen();
    void acceptConnection();
    void converse(QLocalSocket& socket, Conversation& conversation);
    void deliver(const DriveRequest& request);

    QString mSocketPath;
    int mAnswerWaitMs = kDefaultAnswerWaitMs;
    std::unique_ptr<QLockFile> mLock;
    std::unique_ptr<QLocalServer> mServer;
    bool mReady = false;
    std::vector<DriveRequest> mPending;
};
