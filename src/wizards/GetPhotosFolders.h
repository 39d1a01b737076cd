// The Get Photos wizard's folder arithmetic: the proposed "Photos N" sub-folder, whether two
// folders are the same one, and making the new sub-folder. No widgets.
#pragma once

#include <QString>
#include <QStringList>

namespace getphotos {

// The proposal for a destination holding these names: base (the language's word, trimmed)
// + " " + (the largest number after base + " " among them + 1). A name whose rest is not a
// number counts as 0, so an empty folder gives "Photos 1".
QString proposeSubFolderName(const QStringList& entryNames, const QString& baseText);

// Every entry of the folder (files and folders, hidden ones too) whose name starts with
// the prefix; empty when the folder cannot be read.
QStringList entriesStartingWith(const QString& folder, const QString& prefix);

// The proposal for the folder as it is on the disk now.
QString proposeSubFolderIn(const QString& folder, const QString& baseText);

// The folder's path with every symbolic link resolved; a folder that does not exist yet
// (the new sub-folder) is resolved through the nearest one above it that does.
QString canonicalFolderPath(const QString& path);

// Letter case counts: on Linux "Photos" and "photos" are two folders.
bool isSameFolder(const QString& a, const QString& b);

// Creates the one folder (not its parents). On failure false and the system's reason;
// an existing folder of that name is a failure too.
bool createFolder(const QString& path, QString* reason);

} // namespace getphotos
