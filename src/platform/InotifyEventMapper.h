// Turns raw inotify records into the namespace's change events, pairing moves by cookie.
#pragma once

#include <QByteArray>

#include <functional>
#include <vector>

struct FileSystemChange
{
    enum class Kind
    {
        Path,
        Overflow,
        WatchGone
    };
    Kind kind = Kind::Path;
    quint32 event = 0; // a ShellChangeEvent for Kind::Path
    QByteArray path;
    QByteArray secondPath; // the new path of a rename
    int wd = -1;           // for Kind::WatchGone
};

class InotifyEventMapper
{
public:
    using PathOfWatch = std::function<QByteArray(int wd)>; // empty for an unknown watch

    // Maps a buffer of whole inotify_event records. A move whose partner has not come yet
    // is held until a later feed pairs it or flushPendingMoves gives it up.
    std::vector<FileSystemChange> feed(const char* data, size_t size, const PathOfWatch& pathOf);
    // Moves still unpaired: out of the watched folders, so they count as removals.
    std::vector<FileSystemChange> flushPendingMoves();
    bool hasPendingMoves() const { return !mPending.empty(); }

private:
    struct PendingMove
    {
        quint32 cookie;
        QByteArray path;
        bool isFolder;
    };
    std::vector<PendingMove> mPending;
};
