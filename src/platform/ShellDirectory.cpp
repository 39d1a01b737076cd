#include "ShellDirectory.h"

#include "ShellNamespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Takes over an open folder descriptor.
DirPtr adoptDirectory(int fd)
{
    if (fd < 0) {
        return DirPtr();
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
    }
    return DirPtr(dir);
}

int openFolder(const QByteArray& path)
{
    return open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool entryIsFolder(DIR* dir, const dirent* entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return true;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat st = {};
        return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    default:
        return false;
    }
}

} // namespace

namespace ShellDirectory {

bool list(const QByteArray& path, unsigned flags,
          const std::function<void(const QByteArray& name, bool isFolder)>& visit)
{
    return listWhile(path, flags, [&](const QByteArray& name, bool isFolder) {
        visit(name, isFolder);
        return true;
    });
}

bool listWhile(const QByteArray& path, unsigned flags,
               const std::function<bool(const QByteArray& name, bool isFolder)>& visit)
{
    const DirPtr dir = adoptDirectory(openFolder(path));
    if (!dir) {
        return false;
    }
    const bool folders = flags & EnumFolders;
    const bool nonFolders = flags & EnumNonFolders;
    const bool hidden = flags & EnumIncludeHidden;
    while (const dirent* entry = readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name) || (entry->d_name[0] == '.' && !hidden)) {
            continue;
        }
        if (!nonFolders && entry->d_type != DT_DIR && entry->d_type != DT_LNK &&
            entry->d_type != DT_UNKNOWN) {
            continue; // cannot be a folder: spare the stat
        }
        const bool folder = entryIsFolder(dir.get(), entry);
        if ((folder ? folders : nonFolders) && !visit(QByteArray(entry->d_name), folder)) {
            break;
        }
    }
    return true;
}

bool hasSubFolders(const QByteArray& path)
{
    const int fd = openFolder(path);
    if (fd < 0) {
        return false;
    }
    // A folder's link count is 2 + its sub-folders where the file system counts them;
    // 1 means it does not. Answering from it spares reading the folder.
    struct stat st = {};
    if (fstat(fd, &st) != 0 || st.st_nlink == 2) {
        close(fd);
        return false;
    }
    const DirPtr dir = adoptDirectory(fd);
    if (!dir) {
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.' && entryIsFolder(dir.get(), entry)) {
            return true;
        }
    }
    return false;
}

bool isFolder(const QByteArray& path)
{
    // DONT_SYNC and NO_AUTOMOUNT: a stale network mount or an automount point must not
    // stall the GUI thread, which asks this of mount points and new folders.
    struct statx st = {};
    return statx(AT_FDCWD, path.constData(), AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_TYPE,
                 &st) == 0 &&
           S_ISDIR(st.stx_mode);
}

} // namespace ShellDirectory
