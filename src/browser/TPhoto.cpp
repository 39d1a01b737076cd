#include "TPhoto.h"

#include "ShellDirectory.h"
#include "ShellNamespace.h"

#include <QFile>

#include <sys/stat.h>

#include <atomic>

namespace {
std::atomic<quint64> gNextSerial{1};
}

FileStamp fileStampOf(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size)};
}

TPhoto::TPhoto(QString path) : mSerial(gNextSerial.fetch_add(1)), mPath(std::move(path)) {}

void TPhoto::setThumbnail(const QByteArray& jpeg, QSize size)
{
    mThumbnail = jpeg;
    mThumbnailSize = jpeg.isEmpty() ? QSize() : size;
}

bool isPhotoPath(const QString& path)
{
    return path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
}

bool listFolderFiles(const QString& folder,
                     const std::function<bool(const QString& path, bool isPhoto)>& visit)
{
    QByteArray prefix = QFile::encodeName(folder);
    if (!prefix.endsWith('/'))
        prefix += '/';
    return ShellDirectory::listWhile(prefix, EnumNonFolders, [&](const QByteArray& name, bool) {
        const QString path = QFile::decodeName(prefix + name);
        return visit(path, isPhotoPath(path));
    });
}
