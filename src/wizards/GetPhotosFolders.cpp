#include "GetPhotosFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace getphotos {

QString proposeSubFolderName(const QStringList& entryNames, const QString& baseText)
{
    const QString base = baseText.trimmed() + QLatin1Char(' ');
    // 64 bits, so that "Photos 2147483647" proposes the next number instead of overflowing.
    qint64 largest = 0;
    for (const QString& name : entryNames) {
        if (!name.startsWith(base))
            continue;
        bool isNumber = false;
        const int number = name.mid(base.size()).toInt(&isNumber);
        largest = std::max(largest, isNumber ? qint64(number) : qint64(0));
    }
    return base + QString::number(largest + 1);
}

QStringList entriesStartingWith(const QString& folder, const QString& prefix)
{
    const QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                   QDir::NoDotAndDotDot);
    QStringList matching;
    for (const QString& name : all) {
        if (name.startsWith(prefix))
            matching << name;
    }
    return matching;
}

QString proposeSubFolderIn(const QString& folder, const QString& baseText)
{
    const QString base = baseText.trimmed() + QLatin1Char(' ');
    return proposeSubFolderName(entriesStartingWith(folder, base), baseText);
}

QString canonicalFolderPath(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QString canonical = QFileInfo(clean).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QFileInfo info(clean);
    const QString parent = info.path();
    if (parent == clean) // the root, which always exists; here only if unreadable
        return clean;
    const QString resolvedParent = canonicalFolderPath(parent);
    return resolvedParent.endsWith(QLatin1Char('/'))
               ? resolvedParent + info.fileName()
               : resolvedParent + QLatin1Char('/') + info.fileName();
}

bool isSameFolder(const QString& a, const QString& b)
{
    return canonicalFolderPath(a) == canonicalFolderPath(b);
}

bool createFolder(const QString& path, QString* reason)
{
    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    if (::mkdir(QFile::encodeName(name).constData(), 0777) == 0)
        return true;
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace getphotos
