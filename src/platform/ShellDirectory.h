// Directory reading for the shell namespace, on raw byte paths.
#pragma once

#include <QByteArray>

#include <functional>

namespace ShellDirectory {

// Calls visit(name, isFolder) for the entries that the ShellEnumFlag flags ask for; a
// symlink to a folder is a folder. False when the folder cannot be read.
bool list(const QByteArray& path, unsigned flags,
          const std::function<void(const QByteArray& name, bool isFolder)>& visit);
// The same, stopping at once when visit returns false (a listing nobody wants any more).
bool listWhile(const QByteArray& path, unsigned flags,
               const std::function<bool(const QByteArray& name, bool isFolder)>& visit);
// True when the folder holds a non-hidden sub-folder; stops at the first one and answers
// from the link count alone when that says there are none. Unreadable counts as none.
bool hasSubFolders(const QByteArray& path);
bool isFolder(const QByteArray& path); // follows symlinks

} // namespace ShellDirectory
