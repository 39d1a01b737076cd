#include "MadeOnce.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool makeOnce(const QString& folder, const char* mark, const std::function<bool()>& make)
{
    const QString markPath = folder + QLatin1Char('/') + QLatin1String(mark);
    if (QFileInfo::exists(markPath))
        return true;
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder) || !make())
        return false;
    QFile markFile(markPath);
    return markFile.open(QIODevice::WriteOnly);
}
