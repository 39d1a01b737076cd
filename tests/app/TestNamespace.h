#pragma once

#include "ShellNamespace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A whole namespace in a temporary folder: a home with a desktop folder, one volume
// (the temporary folder itself), and empty machine and user settings.
class TestNamespace
{
public:
    TestNamespace()
    {
        const QString root = mDir.path();
        QDir(root).mkpath(QStringLiteral("home/Desktop"));
        QDir(root).mkpath(QStringLiteral("home/Pictures/Holiday"));
        QDir(root).mkpath(QStringLiteral("etc/Velkorp"));
        QDir(root).mkpath(QStringLiteral("config"));
        QFile mounts(root + QStringLiteral("/mountinfo"));
        if (mounts.open(QIODevice::WriteOnly))
            mounts.write(
                QStringLiteral("30 1 8:1 / %1 rw - ext4 /dev/sdz1 rw\n").arg(root).toLocal8Bit());
        qputenv("VELKO_HOME", QFile::encodeName(home()));
        qputenv("VELKO_DESKTOP_DIR", QFile::encodeName(home() + QStringLiteral("/Desktop")));
        qputenv("VELKO_MOUNTINFO", QFile::encodeName(root + QStringLiteral("/mountinfo")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root + QStringLiteral("/etc")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
        ShellNamespace::instance().reset();
    }

    QString root() const { return mDir.path(); }
    QString home() const { return mDir.path() + QStringLiteral("/home"); }

    // Writes the machine-wide language setting.
    void setLanguageCode(const QString& code) const
    {
        QFile settings(root() + QStringLiteral("/etc/Velkorp/Fotodesk.conf"));
        if (settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
            settings.write("Language=" + code.toLatin1() + "\n");
    }

private:
    QTemporaryDir mDir;
};
