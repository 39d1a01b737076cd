#include "TreeTestNamespace.h"

#include "ShellChangeNotifier.h"
#include "ShellNamespace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

namespace {

// The kernel's escapes for blanks and backslashes in mount points.
QByteArray escapeMountField(const QByteArray& field)
{
    QByteArray escaped;
    for (const char c : field) {
        switch (c) {
        case ' ':
            escaped += "\\040";
            break;
        case '\t':
            escaped += "\\011";
            break;
        case '\n':
            escaped += "\\012";
            break;
        case '\\':
            escaped += "\\134";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

bool TreeTestNamespace::setUp()
{
    if (!mDir.isValid())
        return false;
    mRoot = QFile::encodeName(QDir(mDir.path()).canonicalPath());
    qputenv("VELKO_HOME", path("home"));
    qputenv("VELKO_DESKTOP_DIR", path("desktop"));
    qputenv("VELKO_MOUNTINFO", path("mountinfo"));
    qputenv("VELKO_MEDIA_DIR", path("media"));
    return true;
}

void TreeTestNamespace::rebuild()
{
    for (const char* top : {"home", "desktop", "vol", "media"})
        QDir(QFile::decodeName(path(top))).removeRecursively();
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

QByteArray TreeTestNamespace::path(const QByteArray& relative) const
{
    return relative.isEmpty() ? mRoot : mRoot + '/' + relative;
}

void TreeTestNamespace::makeFolder(const QByteArray& relative) const
{
    QByteArray partial = mRoot;
    for (const QByteArray& name : relative.split('/')) {
        partial += '/' + name;
        ::mkdir(partial.constData(), 0755);
    }
}

void TreeTestNamespace::removeFolder(const QByteArray& relative) const
{
    QDir(QFile::decodeName(path(relative))).removeRecursively();
}

void TreeTestNamespace::writeMountTable(const std::vector<TestMount>& mounts) const
{
    QByteArray text = "1 0 8:1 /srv /srv-bind rw - ext4 /dev/vtesta1 rw\n"
                      "this line is not a mount\n";
    for (const TestMount& mount : mounts) {
        text += QByteArray::number(mount.mountId) + " 1 8:" + QByteArray::number(mount.mountId) +
                " / " + escapeMountField(path(mount.relativeMountPoint)) +
                " rw,relatime shared:1 - " + mount.fsType + ' ' + mount.device + " rw\n";
    }
    QSaveFile file(QFile::decodeName(path("mountinfo")));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.commit();
    }
}

std::vector<TestMount> TreeTestNamespace::standardMounts()
{
    return {{30, "vol/disk", "ext4", "/dev/vtestb1"},
            {31, "media/card", "vfat", "/dev/vtestc1"},
            {32, "proc-like", "proc", "proc"}};
}
