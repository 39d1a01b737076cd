// Stands for the hidden application window "Velko Fotodesk" by which a second copy finds
// the running one, and for the drive request (message 2024) it posts to it.
#pragma once

#include <QByteArray>
#include <QLocalServer>
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
// over its request. A socket left by a killed first copy is noticed (its lock is stale or
// the connection is refused), removed and listened on again.
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

    Role start();

    // Second copy: hands the request to the first; true once the first confirmed it.
    bool sendToFirst(const DriveRequest& request, int timeoutMs = 5000);

    // First copy: requests are held until the program is ready for them, then emitted.
    void setReady();

    QString socketPath() const { return mSocketPath; }

signals:
    // The first copy is asked to come to the front.
    void activationRequested();
    void requestReceived(const DriveRequest& request);

private:
    bool listen();
    void acceptConnection();
    void deliver(const DriveRequest& request);

    QString mSocketPath;
    std::unique_ptr<QLockFile> mLock;
    std::unique_ptr<QLocalServer> mServer;
    bool mReady = false;
    std::vector<DriveRequest> mPending;
};
