#include "TreeTestNamespace.h"

#include "ShellChangeNotifier.h"
#include "ShellNamespace.h"

#include <QCoreApplication>

void TreeTestNamespace::rebuild()
{
    mFolder.reset();
    mFolder = std::make_unique<ShellTestNamespace>("desktop");
    for (const char* folder :
         {"home/Pictures/Photos 1/Old", "home/Pictures/Photos 10", "home/Pictures/2024/Trip",
          "home/Pictures/.thumbnails/large", "home/Documents/Letters", "home/.config/app",
          "home/Trash", "desktop/Projects", "desktop/.secret", "vol/disk/Archive/A/Deep",
          "vol/disk/Archive/B", "vol/disk/.Trash-1000/files", "media/card", "vol/usb"})
        makeFolder(folder);
    writeMountTable(standardMounts());
    ShellNamespace::instance().reset();
    // Let the notifier take the new table as its baseline before any tree registers.
    ShellChangeNotifier::instance().rescanMounts();
    QCoreApplication::processEvents();
}

void TreeTestNamespace::writeMountTable(const std::vector<TestMount>& mounts) const
{
    // A bind mount of a sub-tree and a garbage line, which the namespace must pass over.
    QByteArray text =
        ShellTestNamespace::mountLine(1, "/srv-bind", "ext4", "/dev/vtesta1", "/srv") +
        "this line is not a mount\n";
    for (const TestMount& mount : mounts)
        text += ShellTestNamespace::mountLine(mount.mountId, path(mount.relativeMountPoint),
                                              mount.fsType, mount.device);
    mFolder->writeMountTable(text);
}

std::vector<TestMount> TreeTestNamespace::standardMounts()
{
    return {{30, "vol/disk", "ext4", "/dev/vtestb1"},
            {31, "media/card", "vfat", "/dev/vtestc1"},
            {32, "proc-like", "proc", "proc"}};
}
