#include "ProgramData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString programDataFolder()
{
    // Tests point the program at a data folder of their own.
    if (const QString redirected = qEnvironmentVariable("VELKO_DATA_DIR"); !redirected.isEmpty())
        return QDir::cleanPath(redirected);
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed program lives in <prefix>/bin; its data in <prefix>/share/velko-fotodesk.
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/velko-fotodesk"));
    if (QFileInfo(exeDir).fileName() == QLatin1String("bin") && QFileInfo::exists(installed))
        return installed;
    return exeDir;
}

QString programDataFile(const QString& relativePath)
{
    return programDataFolder() + QLatin1Char('/') + relativePath;
}
