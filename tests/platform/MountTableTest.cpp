#include "MountTable.h"

#include "ShellChangeNotifier.h"
#include "ShellTestNamespace.h"

#include <QFile>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

std::vector<QByteArray> mountPoints(const std::vector<ShellVolume>& volumes)
{
    std::vector<QByteArray> points;
    for (const ShellVolume& volume : volumes) {
        points.push_back(volume.mountPoint);
    }
    return points;
}

const ShellVolume* volumeAt(const std::vector<ShellVolume>& volumes, const QByteArray& mountPoint)
{
    for (const ShellVolume& volume : volumes) {
        if (volume.mountPoint == mountPoint) {
            return &volume;
        }
    }
    return nullptr;
}

ShellVolume volume(const QByteArray& mountPoint, const QByteArray& device, int id, bool removable)
{
    ShellVolume v;
    v.mountPoint = mountPoint;
    v.device = device;
    v.mountId = id;
    v.removable = removable;
    return v;
}

} // namespace

TEST(MountTable, DecodesOctalEscapes)
{
    EXPECT_EQ(MountTable::decodeField("/media/My\\040Card"), "/media/My Card");
    EXPECT_EQ(MountTable::decodeField("a\\011b\\012c\\134d"), "a\tb\nc\\d");
    // Not an escape: left as it is.
    EXPECT_EQ(MountTable::decodeField("a\\09b\\"), "a\\09b\\");
    EXPECT_EQ(MountTable::decodeField("\\000"), "\\000");
}

TEST(MountTable, ParsesFieldsAndSkipsGarbage)
{
    const QByteArray text = "36 35 98:0 /mnt1 /mnt/par\\040x rw,noatime master:1 - ext3 "
                            "/dev/root rw,errors=continue\n"
                            "\n"
                            "garbage that is not a mount\n"
                            "x 35 98:0 / /a rw - ext4 /dev/sda rw\n"
                            "37 35 98:0 / /b rw ext4 /dev/sda rw\n"
                            "38 35 98:0 / /c rw -\n"
                            "39 35 nodevice / /d rw - ext4 /dev/sda rw\n"
                            "40 35 8:1 / relative rw - ext4 /dev/sda rw\n"
                            "41 1 8:2 / /ok rw - xfs /dev/sd\\040b rw";
    const std::vector<MountInfoEntry> entries = MountTable::parse(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].mountId, 36);
    EXPECT_EQ(entries[0].parentId, 35);
    EXPECT_EQ(entries[0].root, "/mnt1");
    EXPECT_EQ(entries[0].mountPoint, "/mnt/par x");
    EXPECT_EQ(entries[0].fsType, "ext3");
    EXPECT_EQ(entries[0].source, "/dev/root");
    EXPECT_EQ(entries[1].mountPoint, "/ok");
    EXPECT_EQ(entries[1].source, "/dev/sd b");
}

TEST(MountTable, KeepsRootAndRealDevicesOnly)
{
    ShellTestNamespace ns;
    ASSERT_TRUE(ns.isValid());
    for (const char* folder : {"media/CARD", "media/net", "media/tmp", "srv/data", "srv/part",
                               "srv/nfs", "srv/loop", "srv/over", "cd"}) {
        ns.makeFolder(folder);
    }
    ns.writeFile("hosts");
    using T = ShellTestNamespace;
    const QByteArray text =
        T::mountLine(1, "/", "overlay", "overlay") + T::mountLine(2, "/proc", "proc", "proc") +
        T::mountLine(3, "/dev/pts", "devpts", "devpts") +
        T::mountLine(4, "/sys/fs/cgroup", "cgroup2", "cgroup2") +
        T::mountLine(5, ns.media() + "/CARD", "vfat", "/dev/sdb1") +
        T::mountLine(6, ns.media() + "/net", "nfs4", "server:/export") +
        T::mountLine(7, ns.media() + "/tmp", "tmpfs", "tmpfs") +
        T::mountLine(8, ns.path("srv/data"), "ext4", "/dev/sdc1") +
        // A bind mount of part of a file system, as containers make them.
        T::mountLine(9, ns.path("srv/part"), "ext4", "/dev/sdc1", "/var/lib/x") +
        T::mountLine(10, ns.path("srv/nfs"), "nfs4", "server:/other") +
        T::mountLine(11, ns.path("srv/loop"), "squashfs", "/dev/loop3") +
        T::mountLine(12, ns.path("srv/over"), "overlay", "overlay") +
        // A single file bind-mounted from the host's disk.
        T::mountLine(13, ns.path("hosts"), "ext4", "/dev/vda") +
        T::mountLine(14, ns.path("cd"), "iso9660", "/dev/sr0") +
        // A mount point that does not exist here.
        T::mountLine(15, ns.path("missing"), "ext4", "/dev/sdd1");
    const std::vector<ShellVolume> volumes =
        MountTable::selectVolumes(MountTable::parse(text), ShellNamespace::instance().roots());
    const std::vector<QByteArray> expected = {"/", ns.path("cd"), ns.media() + "/CARD",
                                              ns.media() + "/net", ns.path("srv/data")};
    std::vector<QByteArray> sortedExpected = expected;
    std::vector<QByteArray> got = mountPoints(volumes);
    std::sort(sortedExpected.begin(), sortedExpected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, sortedExpected);

    EXPECT_TRUE(volumeAt(volumes, ns.media() + "/CARD")->removable);
    EXPECT_TRUE(volumeAt(volumes, ns.media() + "/net")->removable);
    EXPECT_TRUE(volumeAt(volumes, ns.path("cd"))->removable);
    EXPECT_FALSE(volumeAt(volumes, ns.path("srv/data"))->removable);
    EXPECT_FALSE(volumeAt(volumes, "/")->removable);
    EXPECT_EQ(volumeAt(volumes, "/")->label, QStringLiteral("File System"));
    EXPECT_EQ(volumeAt(volumes, ns.path("srv/data"))->label, QStringLiteral("data"));
    EXPECT_EQ(volumeAt(volumes, ns.path("srv/data"))->mountId, 8);
    EXPECT_EQ(volumeAt(volumes, ns.path("srv/data"))->device, "/dev/sdc1");
}

TEST(MountTable, LaterMountOnTheSamePointWins)
{
    ShellTestNamespace ns;
    ns.makeFolder("media/usb");
    const QByteArray point = ns.media() + "/usb";
    const QByteArray text = ShellTestNamespace::mountLine(1, "/", "ext4", "/dev/vda") +
                            ShellTestNamespace::mountLine(20, point, "vfat", "/dev/sdb1") +
                            ShellTestNamespace::mountLine(21, point, "exfat", "/dev/sdc1");
    const auto volumes =
        MountTable::selectVolumes(MountTable::parse(text), ShellNamespace::instance().roots());
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumeAt(volumes, point)->device, "/dev/sdc1");
    EXPECT_EQ(volumeAt(volumes, point)->mountId, 21);
}

TEST(MountTable, LabelsComeFromTheLabelLinks)
{
    ShellTestNamespace ns;
    ns.makeFolder("media/sdb1");
    ns.makeFolder("media/sdc1");
    ns.makeFolder("dev");
    ns.writeFile("dev/sdb1");
    // udev escapes a space as \x20; links may be relative.
    ASSERT_EQ(::symlink("../dev/sdb1", ns.path("by-label/HOLIDAY\\x202024").constData()), 0);
    ASSERT_EQ(::symlink("/dev/nonexistent9", ns.path("by-label/OTHER").constData()), 0);
    const QByteArray text =
        ShellTestNamespace::mountLine(1, "/", "ext4", "/dev/vda") +
        ShellTestNamespace::mountLine(20, ns.media() + "/sdb1", "vfat", ns.path("dev/sdb1")) +
        ShellTestNamespace::mountLine(21, ns.media() + "/sdc1", "vfat", "/dev/nonexistent9");
    ns.writeMountTable(text);
    ns.apply();
    const auto volumes = ShellNamespace::instance().volumes();
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumeAt(volumes, ns.media() + "/sdb1")->label, QStringLiteral("HOLIDAY 2024"));
    EXPECT_EQ(volumeAt(volumes, ns.media() + "/sdc1")->label, QStringLiteral("OTHER"));
}

TEST(MountTable, ThisMachinesTableKeepsRootAndNoPseudoFileSystems)
{
    ShellRoots roots = ShellRoots::fromEnvironment();
    roots.mountTable = QStringLiteral("/proc/self/mountinfo");
    const auto volumes = MountTable::load(roots);
    ASSERT_TRUE(volumes);
    // Inside a chroot the root file system is not in the table at all.
    QFile table(roots.mountTable);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const bool tableHasRoot = table.readAll().contains(" / / ");
    EXPECT_EQ(volumeAt(*volumes, "/") != nullptr, tableHasRoot);
    for (const char* pseudo : {"/proc", "/sys", "/dev", "/dev/pts", "/dev/shm", "/sys/fs/cgroup"}) {
        EXPECT_FALSE(volumeAt(*volumes, pseudo)) << pseudo;
    }
}

TEST(MountTable, UnreadableTableIsReported)
{
    ShellRoots roots;
    roots.mountTable = QStringLiteral("/nonexistent/mountinfo");
    EXPECT_FALSE(MountTable::load(roots));
}

TEST(MountTable, DiffNamesDrivesAndMedia)
{
    const ShellVolume root = volume("/", "/dev/vda", 1, false);
    const ShellVolume card = volume("/media/card", "/dev/sdb1", 20, true);
    const ShellVolume disk = volume("/srv/disk", "/dev/sdc1", 21, false);
    using Changes = std::vector<std::pair<quint32, QByteArray>>;
    const auto diff = [](const std::vector<ShellVolume>& a, const std::vector<ShellVolume>& b) {
        Changes out;
        for (const auto& change : MountTable::diff(a, b)) {
            out.emplace_back(change.event, change.mountPoint);
        }
        return out;
    };
    EXPECT_EQ(diff({root}, {root}), Changes{});
    EXPECT_EQ(diff({root}, {root, card}),
              (Changes{{ShcneDriveAdd, "/media/card"}, {ShcneMediaInserted, "/media/card"}}));
    EXPECT_EQ(diff({root, card}, {root}),
              (Changes{{ShcneMediaRemoved, "/media/card"}, {ShcneDriveRemoved, "/media/card"}}));
    EXPECT_EQ(diff({root}, {root, disk}), (Changes{{ShcneDriveAdd, "/srv/disk"}}));
    EXPECT_EQ(diff({root, disk}, {root}), (Changes{{ShcneDriveRemoved, "/srv/disk"}}));
    ShellVolume otherCard = card;
    otherCard.mountId = 22;
    EXPECT_EQ(diff({root, card}, {root, otherCard}),
              (Changes{{ShcneMediaRemoved, "/media/card"}, {ShcneMediaInserted, "/media/card"}}));
    otherCard = card;
    otherCard.device = "/dev/sdd1";
    EXPECT_EQ(diff({root, card}, {root, otherCard}),
              (Changes{{ShcneMediaRemoved, "/media/card"}, {ShcneMediaInserted, "/media/card"}}));
}
