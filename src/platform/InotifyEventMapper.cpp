#include "InotifyEventMapper.h"

#include "ShellChangeNotifier.h"
#include "ShellPaths.h"

#include <sys/inotify.h>

#include <algorithm>
#include <cstring>

namespace {

FileSystemChange pathChange(quint32 event, QByteArray path, QByteArray secondPath = {})
{
    FileSystemChange change;
    change.event = event;
    change.path = std::move(path);
    change.secondPath = std::move(secondPath);
    return change;
}

} // namespace

std::vector<FileSystemChange> InotifyEventMapper::feed(const char* data, size_t size,
                                                       const PathOfWatch& pathOf)
{
    std::vector<FileSystemChange> changes;
    size_t offset = 0;
    while (size - offset >= sizeof(inotify_event)) {
        inotify_event header;
        std::memcpy(&header, data + offset, sizeof header);
        const size_t recordSize = sizeof header + header.len;
        if (recordSize > size - offset) {
            break; // the kernel hands out whole records; never read past the buffer
        }
        const char* namePtr = data + offset + sizeof header;
        const QByteArray name(namePtr, qstrnlen(namePtr, header.len));
        offset += recordSize;

        if (header.mask & IN_Q_OVERFLOW) {
            std::vector<FileSystemChange> flushed = flushPendingMoves();
            changes.insert(changes.end(), flushed.begin(), flushed.end());
            FileSystemChange overflow;
            overflow.kind = FileSystemChange::Kind::Overflow;
            changes.push_back(overflow);
            continue;
        }
        if (header.mask & IN_IGNORED) {
            FileSystemChange gone;
            gone.kind = FileSystemChange::Kind::WatchGone;
            gone.wd = header.wd;
            changes.push_back(gone);
            continue;
        }
        const QByteArray dir = pathOf(header.wd);
        if (dir.isEmpty() || name.isEmpty()) {
            continue; // events about the watched folder itself come from its parent's watch
        }
        const QByteArray path = ShellPaths::join(dir, name);
        const bool isFolder = header.mask & IN_ISDIR;
        if (header.mask & IN_CREATE) {
            changes.push_back(pathChange(isFolder ? ShcneMkDir : ShcneCreate, path));
        } else if (header.mask & IN_DELETE) {
            changes.push_back(pathChange(isFolder ? ShcneRmDir : ShcneDelete, path));
        } else if (header.mask & IN_CLOSE_WRITE) {
            changes.push_back(pathChange(ShcneUpdateItem, path));
        } else if (header.mask & IN_MOVED_FROM) {
            mPending.push_back(PendingMove{header.cookie, path, isFolder});
        } else if (header.mask & IN_MOVED_TO) {
            const quint32 cookie =
                header.cookie; // a struct with a flexible array cannot be captured
            const auto from =
                std::find_if(mPending.begin(), mPending.end(),
                             [cookie](const PendingMove& m) { return m.cookie == cookie; });
            if (from == mPending.end()) {
                changes.push_back(pathChange(isFolder ? ShcneMkDir : ShcneCreate, path));
            } else {
                changes.push_back(
                    pathChange(isFolder ? ShcneRenameFolder : ShcneRenameItem, from->path, path));
                mPending.erase(from);
            }
        }
    }
    return changes;
}

std::vector<FileSystemChange> InotifyEventMapper::flushPendingMoves()
{
    std::vector<FileSystemChange> changes;
    for (const PendingMove& move : mPending) {
        changes.push_back(pathChange(move.isFolder ? ShcneRmDir : ShcneDelete, move.path));
    }
    mPending.clear();
    return changes;
}
