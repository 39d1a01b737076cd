// Stands for SHChangeNotifyRegister / SHChangeNotifyDeregister and SHChangeNotify.
#pragma once

#include "ShellItemIdList.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <memory>

// The design's event numbers.
enum ShellChangeEvent : quint32
{
    ShcneRenameItem = 0x1,
    ShcneCreate = 0x2,
    ShcneDelete = 0x4,
    ShcneMkDir = 0x8,
    ShcneRmDir = 0x10,
    ShcneMediaInserted = 0x20,
    ShcneMediaRemoved = 0x40,
    ShcneDriveRemoved = 0x80,
    ShcneDriveAdd = 0x100,
    ShcneUpdateDir = 0x1000,
    ShcneUpdateItem = 0x2000,
    ShcneRenameFolder = 0x20000,
    ShcneAllEvents = 0x7FFFFFFF,
};

// One notification, delivered (posted) to a registrant as the message number it asked
// for: the event's type() is that number.
class ShellChangeMessage : public QEvent
{
public:
    ShellChangeMessage(int messageNumber, quint32 event, ShellItemIdList first,
                       ShellItemIdList second);

    quint32 event() const { return mEvent; }
    const ShellItemIdList& first() const { return mFirst; }
    const ShellItemIdList& second() const { return mSecond; }

private:
    quint32 mEvent;
    ShellItemIdList mFirst;
    ShellItemIdList mSecond;
};

class ShellFolderWatch;

// The process-wide notifier, on the GUI thread. It watches with inotify the folders that
// someone holds a ShellFolderWatch for, polls the mount table for volumes coming and going,
// and hands each event to every registration whose folder matches.
// An event goes out once per list naming its path (ShellNamespace::idsOfPath), so a
// receiver may see one change several times, and an announced write is also observed:
// receivers must be idempotent. registerClient, deregisterClient, watchFolder and the
// handles are GUI-thread only; announce, announcePath and instance() work from any thread.
class ShellChangeNotifier : public QObject
{
    Q_OBJECT
public:
    static ShellChangeNotifier& instance();

    using Registration = quint32; // 0 means none

    // Recursive: the folder and everything below it; else the folder and its direct children.
    // The registration keeps its folder watched, and ends by itself when the receiver is
    // destroyed. 0 for no receiver or a message number outside QEvent::User..MaxUser.
    // A rename between two folders reaches a registration that sees only one side as a
    // removal or a creation.
    Registration registerClient(QObject* receiver, int messageNumber, const ShellItemIdList& folder,
                                bool recursive, quint32 events);
    void deregisterClient(Registration registration);

    // Watches a folder for as long as the returned handle lives; handles for one folder share
    // one watch. The root watches the desktop folder, My Documents the home folder, a volume
    // its mount point; My Computer needs none (the mount table is always watched).
    ShellFolderWatch watchFolder(const ShellItemIdList& folder);

    // The program announces its own writes; delivered like the events it observes (lists
    // with a path go out once per alias of that path).
    void announce(quint32 event, const ShellItemIdList& first,
                  const ShellItemIdList& second = ShellItemIdList());
    void announcePath(quint32 event, const QByteArray& path,
                      const QByteArray& secondPath = QByteArray());

    // Reads the mount table now instead of waiting for its change signal.
    void rescanMounts();

private:
    ShellChangeNotifier();
    ~ShellChangeNotifier() override;
    friend class ShellFolderWatch;
    void releaseWatch(quint64 token);
    static ShellChangeNotifier* existingInstance(); // null once the application has ended

    struct Private;
    std::unique_ptr<Private> d;
};

// A move-only handle that keeps a folder watched.
class ShellFolderWatch
{
public:
    ShellFolderWatch() = default;
    ShellFolderWatch(ShellFolderWatch&& other) noexcept;
    ShellFolderWatch& operator=(ShellFolderWatch&& other) noexcept;
    ShellFolderWatch(const ShellFolderWatch&) = delete;
    ShellFolderWatch& operator=(const ShellFolderWatch&) = delete;
    ~ShellFolderWatch();

    bool isActive() const { return mToken != 0; }

private:
    friend class ShellChangeNotifier;
    explicit ShellFolderWatch(quint64 token) : mToken(token) {}
    quint64 mToken = 0;
};
