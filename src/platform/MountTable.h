// Reads the kernel's mount table (/proc/self/mountinfo format) into the volumes that
// My Computer shows.
#pragma once

#include "ShellNamespace.h"

#include <QByteArray>

#include <map>
#include <optional>
#include <vector>

struct MountInfoEntry
{
    int mountId = 0;
    int parentId = 0;
    QByteArray root;       // the part of the file system mounted; not "/" for bind mounts
    QByteArray mountPoint; // escapes decoded
    QByteArray fsType;
    QByteArray source; // escapes decoded
};

namespace MountTable {

// Decodes the kernel's octal escapes ("\040" is a space); other backslashes stay.
QByteArray decodeField(const QByteArray& field);
// One entry per line that parses; malformed lines are skipped.
std::vector<MountInfoEntry> parse(const QByteArray& text);
bool isPseudoFileSystem(const QByteArray& fsType);
// Canonical device path -> label, from a /dev/disk/by-label style folder of symlinks.
std::map<QByteArray, QString> readLabels(const QByteArray& byLabelDir);
// The volumes worth showing, sorted by mount point: "/" and mounts of real devices,
// without pseudo file systems, partial bind mounts and mount points that are not folders.
std::vector<ShellVolume> selectVolumes(const std::vector<MountInfoEntry>& entries,
                                       const ShellRoots& roots);
// The volume mounted at the point; null when there is none.
const ShellVolume* findVolume(const std::vector<ShellVolume>& volumes,
                              const QByteArray& mountPoint);
// A volume's name when it has no label: "File System" for "/", else the mount point's last name.
QString fallbackLabel(const QByteArray& mountPoint);

// Reads and selects; nullopt when the table cannot be read.
std::optional<std::vector<ShellVolume>> load(const ShellRoots& roots);

struct VolumeChange
{
    quint32 event; // a ShellChangeEvent
    QByteArray mountPoint;
};
// What changed between two selections, by mount point: drive added (removable: then medium
// inserted); medium removed (removable) then drive removed; the same mount point with
// another mount or device: medium removed, medium inserted.
std::vector<VolumeChange> diff(const std::vector<ShellVolume>& before,
                               const std::vector<ShellVolume>& after);

} // namespace MountTable
