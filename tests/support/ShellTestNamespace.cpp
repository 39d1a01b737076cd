#include "ShellTestNamespace.h"

#include "ShellNamespace.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

namespace {

const char* const kVariables[] = {"VELKO_HOME", "VELKO_DESKTOP_DIR", "VELKO_MOUNTINFO",
                                  "VELKO_MEDIA_DIR", "VELKO_DISK_BY_LABEL"};

QByteArray escapeMountField(const QByteArray& field)
{
    QByteArray out;
    for (const char c : field) {
        switch (c) {
        case ' ':
            out += "\\040";
            break;
        case '\t':
            out += "\\011";
            break;
        case '\n':
            out += "\\012";
            break;
        case '\\':
            out += "\\134";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

ShellTestNamespace::ShellTestNamespace(const QByteArray& desktopFolder) : mDesktop(desktopFolder)
{
    mRoot = QFile::encodeName(QDir(mDir.path()).canonicalPath());
    // Traversable by others, so that a test may look at it as an unprivileged user.
    ::chmod(mRoot.constData(), 0755);
    for (const QByteArray& folder : {QByteArray("home"), mDesktop, QByteArray("media"),
                                     QByteArray("etc"), QByteArray("by-label")}) {
        makeFolder(folder);
    }
    writeMountTable(baseMounts());
    apply();
}

ShellTestNamespace::~ShellTestNamespace()
{
    for (const char* name : kVariables) {
        qunsetenv(name);
    }
    ShellNamespace::instance().reset();
}

QByteArray ShellTestNamespace::path(const QByteArray& relative) const
{
    return relative.isEmpty() ? mRoot : mRoot + '/' + relative;
}

void ShellTestNamespace::makeFolder(const QByteArray& relative) const
{
    QByteArray partial = mRoot;
    for (const QByteArray& name : relative.split('/')) {
        partial += '/' + name;
        ::mkdir(partial.constData(), 0755);
    }
}

void ShellTestNamespace::removeFolder(const QByteArray& relative) const
{
    QDir(QFile::decodeName(path(relative))).removeRecursively();
}

void ShellTestNamespace::writeFile(const QByteArray& relative, const QByteArray& content) const
{
    QFile file(QFile::decodeName(path(relative)));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
    }
}

void ShellTestNamespace::writeMountTable(const QByteArray& text) const
{
    QSaveFile file(QFile::decodeName(mountTable()));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.commit();
    }
}

QByteArray ShellTestNamespace::mountLine(int id, const QByteArray& mountPoint,
                                         const QByteArray& fsType, const QByteArray& source,
                                         const QByteArray& root)
{
    return QByteArray::number(id) + " 1 8:" + QByteArray::number(id) + ' ' +
           escapeMountField(root) + ' ' + escapeMountField(mountPoint) +
           " rw,relatime shared:1 - " + fsType + ' ' + escapeMountField(source) + " rw\n";
}

QByteArray ShellTestNamespace::baseMounts()
{
    return mountLine(1, "/", "ext4", "/dev/vda") + mountLine(2, "/proc", "proc", "proc") +
           mountLine(3, "/sys", "sysfs", "sysfs") + mountLine(4, "/dev", "devtmpfs", "devtmpfs");
}

void ShellTestNamespace::apply() const
{
    qputenv("VELKO_HOME", home());
    qputenv("VELKO_DESKTOP_DIR", desktop());
    qputenv("VELKO_MOUNTINFO", mountTable());
    qputenv("VELKO_MEDIA_DIR", media());
    qputenv("VELKO_DISK_BY_LABEL", path("by-label"));
    ShellNamespace::instance().reset();
}
