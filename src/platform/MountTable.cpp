#include "MountTable.h"

#include "ShellChangeNotifier.h"
#include "ShellDirectory.h"
#include "ShellNameOrder.h"
#include "ShellPaths.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// udev writes unsafe label characters as \xHH.
QString decodeUdevLabel(const QByteArray& name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == '\\' && i + 3 < name.size() && name.at(i + 1) == 'x') {
            bool ok = false;
            const int value = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += name.at(i);
    }
    return QString::fromUtf8(out);
}

bool isUnderMediaDir(const QByteArray& mountPoint, const ShellRoots& roots)
{
    return std::any_of(roots.mediaDirs.begin(), roots.mediaDirs.end(), [&](const QByteArray& dir) {
        return !dir.isEmpty() && mountPoint != dir && ShellPaths::isAtOrUnder(mountPoint, dir);
    });
}

QString labelFor(const MountInfoEntry& entry, const QByteArray& device,
                 const std::map<QByteArray, QString>& labels)
{
    if (const auto it = labels.find(device); it != labels.end() && !it->second.isEmpty()) {
        return it->second;
    }
    return MountTable::fallbackLabel(entry.mountPoint);
}

} // namespace

namespace MountTable {

QByteArray decodeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size() && isOctal(field.at(i + 1)) &&
            isOctal(field.at(i + 2)) && isOctal(field.at(i + 3))) {
            const int value = (field.at(i + 1) - '0') * 64 + (field.at(i + 2) - '0') * 8 +
                              (field.at(i + 3) - '0');
            if (value > 0 && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field.at(i);
    }
    return out;
}

std::vector<MountInfoEntry> parse(const QByteArray& text)
{
    std::vector<MountInfoEntry> entries;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (separator < 6 || fields.size() < separator + 3) {
            continue;
        }
        bool idOk = false;
        bool parentOk = false;
        MountInfoEntry entry;
        entry.mountId = fields.at(0).toInt(&idOk);
        entry.parentId = fields.at(1).toInt(&parentOk);
        entry.root = decodeField(fields.at(3));
        entry.mountPoint = ShellPaths::clean(decodeField(fields.at(4)));
        entry.fsType = fields.at(separator + 1);
        entry.source = decodeField(fields.at(separator + 2));
        if (!idOk || !parentOk || !fields.at(2).contains(':') || entry.mountPoint.isEmpty() ||
            !entry.root.startsWith('/')) {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool isPseudoFileSystem(const QByteArray& fsType)
{
    static const QSet<QByteArray> kPseudo = {
        "proc",        "sysfs",      "tmpfs",           "devtmpfs",      "cgroup",
        "cgroup2",     "devpts",     "mqueue",          "overlay",       "squashfs",
        "fuse.portal", "securityfs", "debugfs",         "tracefs",       "pstore",
        "bpf",         "configfs",   "fusectl",         "hugetlbfs",     "autofs",
        "binfmt_misc", "efivarfs",   "ramfs",           "nsfs",          "rpc_pipefs",
        "selinuxfs",   "nfsd",       "fuse.gvfsd-fuse", "fuse.snapfuse", "fuse.lxcfs",
        "aufs",        "erofs",      "zonefs",          "cpuset",        "none"};
    return kPseudo.contains(fsType);
}

std::map<QByteArray, QString> readLabels(const QByteArray& byLabelDir)
{
    std::map<QByteArray, QString> labels;
    DIR* dir = opendir(byLabelDir.constData());
    if (!dir) {
        return labels;
    }
    const auto closer = qScopeGuard([dir] { closedir(dir); });
    while (const dirent* entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.')) {
            continue;
        }
        char target[PATH_MAX];
        const ssize_t length = readlinkat(dirfd(dir), entry->d_name, target, sizeof target);
        if (length <= 0 || length >= ssize_t(sizeof target)) {
            continue;
        }
        QByteArray device(target, length);
        if (!device.startsWith('/')) {
            device = ShellPaths::join(byLabelDir, device);
        }
        labels[ShellPaths::canonical(device)] = decodeUdevLabel(name);
    }
    return labels;
}

std::vector<ShellVolume> selectVolumes(const std::vector<MountInfoEntry>& entries,
                                       const ShellRoots& roots)
{
    // A later mount on the same point hides the earlier one.
    std::map<QByteArray, const MountInfoEntry*> byMountPoint;
    for (const MountInfoEntry& entry : entries) {
        const bool isRoot = entry.mountPoint == "/";
        if (!isRoot) {
            if (isPseudoFileSystem(entry.fsType) || entry.root != "/") {
                continue;
            }
            if (!entry.source.startsWith("/dev/") && !isUnderMediaDir(entry.mountPoint, roots)) {
                continue;
            }
        }
        byMountPoint[entry.mountPoint] = &entry;
    }
    const std::map<QByteArray, QString> labels = readLabels(roots.diskByLabel);
    std::vector<ShellVolume> volumes;
    for (const auto& [mountPoint, entry] : byMountPoint) {
        if (!ShellDirectory::isFolder(mountPoint)) {
            continue; // containers bind-mount single files
        }
        ShellVolume volume;
        volume.mountPoint = mountPoint;
        volume.device = entry->source;
        volume.mountId = entry->mountId;
        const QByteArray device =
            entry->source.startsWith('/') ? ShellPaths::canonical(entry->source) : entry->source;
        volume.label = labelFor(*entry, device, labels);
        volume.removable =
            isUnderMediaDir(mountPoint, roots) || entry->source.startsWith("/dev/sr");
        volumes.push_back(std::move(volume));
    }
    std::sort(volumes.begin(), volumes.end(), [](const ShellVolume& a, const ShellVolume& b) {
        return ShellNameOrder::compareNames(a.mountPoint, b.mountPoint) < 0;
    });
    return volumes;
}

const ShellVolume* findVolume(const std::vector<ShellVolume>& volumes, const QByteArray& mountPoint)
{
    const auto it = std::find_if(volumes.begin(), volumes.end(), [&](const ShellVolume& volume) {
        return volume.mountPoint == mountPoint;
    });
    return it == volumes.end() ? nullptr : &*it;
}

QString fallbackLabel(const QByteArray& mountPoint)
{
    return mountPoint == "/" ? QStringLiteral("File System")
                             : QFile::decodeName(ShellPaths::lastName(mountPoint));
}

std::optional<std::vector<ShellVolume>> load(const ShellRoots& roots)
{
    QFile file(roots.mountTable);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // readAll reads on to the end of /proc files, which report no size.
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return selectVolumes(parse(text), roots);
}

std::vector<VolumeChange> diff(const std::vector<ShellVolume>& before,
                               const std::vector<ShellVolume>& after)
{
    std::vector<VolumeChange> changes;
    for (const ShellVolume& old : before) {
        const ShellVolume* now = findVolume(after, old.mountPoint);
        if (!now) {
            if (old.removable) {
                changes.push_back({ShcneMediaRemoved, old.mountPoint});
            }
            changes.push_back({ShcneDriveRemoved, old.mountPoint});
        } else if (now->mountId != old.mountId || now->device != old.device) {
            changes.push_back({ShcneMediaRemoved, old.mountPoint});
            changes.push_back({ShcneMediaInserted, old.mountPoint});
        }
    }
    for (const ShellVolume& now : after) {
        if (!findVolume(before, now.mountPoint)) {
            changes.push_back({ShcneDriveAdd, now.mountPoint});
            if (now.removable) {
                changes.push_back({ShcneMediaInserted, now.mountPoint});
            }
        }
    }
    return changes;
}

} // namespace MountTable
