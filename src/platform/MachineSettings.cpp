#include "MachineSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// Built from the environment on every call: Qt caches the user-scope folder for the
// process's lifetime and names IniFormat files ".ini", and tests move these folders.
QString settingsFileIn(const QString& configDir)
{
    return configDir + QStringLiteral("/Velkorp/Fotodesk.conf");
}

// Relative entries are invalid by the XDG rules and are skipped.
QString firstAbsoluteEntry(const QString& list)
{
    const QStringList entries = list.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        if (QDir::isAbsolutePath(entry)) {
            return QDir::cleanPath(entry);
        }
    }
    return {};
}

std::unique_ptr<QSettings> openExisting(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        return nullptr;
    }
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (settings->status() == QSettings::AccessError) {
        return nullptr;
    }
    return settings;
}

// Qt rewrites a file that had unparsable lines without them, and it keeps parsed files in a
// process-wide cache that reports the format error only on the first parse. So the check
// parses a private copy, which no earlier open can have cached.
bool parsesInFull(const QString& path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray contents = source.readAll();
    QTemporaryFile copy;
    if (!copy.open() || copy.write(contents) != contents.size() || !copy.flush()) {
        return false;
    }
    return QSettings(copy.fileName(), QSettings::IniFormat).status() == QSettings::NoError;
}

} // namespace

QString machineSettingsPath()
{
    QString dir = firstAbsoluteEntry(qEnvironmentVariable("XDG_CONFIG_DIRS"));
    if (dir.isEmpty()) {
        dir = QStringLiteral("/etc/xdg");
    }
    return settingsFileIn(dir);
}

QString userSettingsPath()
{
    // A single folder, not a list: a ':' in it is part of the name.
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir)) {
        return settingsFileIn(QDir::cleanPath(dir));
    }
    return settingsFileIn(QDir::homePath() + QStringLiteral("/.config"));
}

std::unique_ptr<QSettings> openMachineSettings()
{
    return openExisting(machineSettingsPath());
}

std::unique_ptr<QSettings> openUserSettings(bool create)
{
    const QString path = userSettingsPath();
    const QFileInfo info(path);
    if (info.exists()) {
        return parsesInFull(path) ? openExisting(path) : nullptr;
    }
    if (!create || !QDir().mkpath(info.absolutePath())) {
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}
