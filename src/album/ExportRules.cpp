#include "ExportRules.h"

#include <QFileInfo>

namespace album {

int installerPieceCount(qint64 fileSize)
{
    return int((fileSize + kInstallerPieceSize - 1) / kInstallerPieceSize);
}

std::uint32_t reservedBlockCount(int photoCount, bool slideshow)
{
    const auto photos = std::uint32_t(photoCount);
    return (slideshow ? photos : 2 * photos) + 4;
}

bool offersScreensaverOptions(bool slideshow, const QString& target)
{
    return slideshow && QFileInfo(target).fileName().toLower().endsWith(QLatin1String(".scr"));
}

QString installerTitle(const QString& trimmedTitle, const QString& target)
{
    if (!trimmedTitle.isEmpty())
        return trimmedTitle;
    const QString name = QFileInfo(target).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString installerCreator(const QString& trimmedCompany)
{
    return trimmedCompany.isEmpty() ? QStringLiteral("-") : trimmedCompany;
}

int progressPercent(int index, int count)
{
    return count > 0 ? int(qint64(index) * 100 / count) : 0;
}

} // namespace album
