#include "ThumbnailCache.h"

#include "Cancel.h"
#include "FittedJpeg.h"
#include "ImagingResult.h"
#include "ProgramVersion.h"
#include "QtImage.h"
#include "TPhoto.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryFile>

#include <cctype>
#include <cstdio>

using namespace imaging;

QByteArray thumbnailUri(const QString& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr QByteArrayView kKept = "!$&'()*+,-./:=@_~";
    QByteArray uri = "file://";
    for (const char c : QFile::encodeName(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) && byte < 0x80) {
            uri += c;
        } else if (kKept.contains(c)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

namespace {

// What a cache entry is checked against, taken before the file is read, so a change during
// the read leaves an entry that is stale rather than wrong.
struct Source
{
    QString path;
    QString uri;
    QString name; // md5 of the URI + ".png"
    qint64 mtime = 0;
    qint64 size = 0;
};

Source sourceOf(const QFileInfo& info)
{
    Source source;
    source.path = info.absoluteFilePath();
    const QByteArray uri = thumbnailUri(source.path);
    source.uri = QString::fromLatin1(uri);
    source.name =
        QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    // Straight from stat: QFileInfo's times go through the local time zone, whose cache
    // glibc rewrites on every call without TZ, and the decoders run this at once.
    const FileStamp stamp = fileStampOf(source.path);
    source.mtime = stamp.modifiedNs / 1000000000;
    source.size = stamp.size;
    return source;
}

bool insideFolder(const QString& path, const QString& folder)
{
    return path.startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}

bool insideCache(const QFileInfo& file, const QString& cache)
{
    if (insideFolder(file.absoluteFilePath(), QDir(cache).absolutePath()))
        return true;
    const QString canonicalCache = QFileInfo(cache).canonicalFilePath();
    return !canonicalCache.isEmpty() && insideFolder(file.canonicalFilePath(), canonicalCache);
}

QString failFolder(const QString& cache)
{
    return cache + QStringLiteral("/fail/velko-fotodesk-") + ProgramFileVersion();
}

// The entry's picture when its keys match the file; a null image otherwise. Thumb::Size is
// optional in the standard, so only a present one must match.
QImage validEntry(const QString& fileName, const Source& source)
{
    QImageReader reader(fileName, "png");
    QImage image;
    if (!reader.read(&image))
        return {};
    if (image.text(QStringLiteral("Thumb::URI")) != source.uri)
        return {};
    bool ok = false;
    if (image.text(QStringLiteral("Thumb::MTime")).toLongLong(&ok) != source.mtime || !ok)
        return {};
    const QString size = image.text(QStringLiteral("Thumb::Size"));
    if (!size.isEmpty() && size.toLongLong() != source.size)
        return {};
    return image;
}

// Folders of the cache are private to the user.
bool makeFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolder(parent))
        return false;
    // Another thread may create it at the same moment.
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
           QFileInfo(path).isDir();
}

// Written under a temporary name in the same folder and renamed into place, so other
// programs and threads never see half a file.
void writeEntry(const QString& folder, const Source& source, QImage image, const QString& mimeType)
{
    if (cancelRequested() || !makeFolder(folder))
        return;
    image.setText(QStringLiteral("Thumb::URI"), source.uri);
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(source.mtime));
    image.setText(QStringLiteral("Thumb::Size"), QString::number(source.size));
    if (!mimeType.isEmpty())
        image.setText(QStringLiteral("Thumb::Mimetype"), mimeType);
    image.setText(QStringLiteral("Software"),
                  QStringLiteral("Velko Fotodesk ") + ProgramFileVersion());
    // Not synced to disk: a thumbnail lost to a crash is simply made again, and syncing
    // thousands of them would cost more than making them.
    QTemporaryFile file(folder + QStringLiteral("/.velko-XXXXXX.png")); // created 0600
    if (!file.open() || !image.save(&file, "PNG") || !file.flush())
        return; // the temporary file goes with it
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + source.name);
    if (::rename(QFile::encodeName(file.fileName()).constData(), target.constData()) == 0)
        file.setAutoRemove(false);
}

QString mimeTypeOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (bytes.startsWith("BM"))
        return QStringLiteral("image/bmp");
    return {};
}

// Failures of the file's contents; a missing file, one that cannot be opened, a lack of
// memory or a cancel may pass without the file changing, so they are not remembered.
bool contentsFailed(int result)
{
    return result == FileReadFailed || result == FileFormatUnknown || result == CorruptFile ||
           result == PictureTooLarge;
}

Bitmap toBitmap(const QImage& image, ColorRef background)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Bitmap bitmap;
    if (argb.isNull() || bitmap.allocate(argb.width(), argb.height()) != Success)
        return {};
    const int backgroundRgb[3] = {redOf(background), greenOf(background), blueOf(background)};
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* out = bitmap.scanLine(y);
        for (int x = 0; x < argb.width(); ++x, out += 3) {
            const int alpha = qAlpha(in[x]);
            const int rgb[3] = {qRed(in[x]), qGreen(in[x]), qBlue(in[x])};
            for (int c = 0; c < 3; ++c)
                out[c] =
                    std::uint8_t((rgb[c] * alpha + backgroundRgb[c] * (255 - alpha) + 127) / 255);
        }
    }
    return bitmap;
}

} // namespace

QString thumbnailCacheDir()
{
    // The base directory specification ignores relative paths.
    const QString cacheHome = qEnvironmentVariable("XDG_CACHE_HOME");
    const QString base =
        QDir::isAbsolutePath(cacheHome) ? cacheHome : QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

std::optional<QByteArray> LoadCachedThumbnail(const QString& path, int size, ColorRef background)
{
    const QString cache = thumbnailCacheDir();
    const QFileInfo info(path);
    if (size <= 0 || size > kNormalThumbnailSize || !info.isFile() || insideCache(info, cache))
        return LoadThumbnailStream(path, size, background);
    if (cancelRequested())
        return std::nullopt;

    const Source source = sourceOf(info);
    const QString normal = cache + QStringLiteral("/normal");
    if (const QImage cached = validEntry(normal + QLatin1Char('/') + source.name, source);
        !cached.isNull()) {
        Bitmap bitmap = toBitmap(cached, background);
        if (!bitmap.isNull())
            return fitBitmapToJpeg(bitmap, size, size, false);
    }
    const QString fail = failFolder(cache);
    if (!validEntry(fail + QLatin1Char('/') + source.name, source).isNull())
        return std::nullopt;
    if (auto preview = LoadEmbeddedPreview(path, size))
        return preview;
    if (cancelRequested())
        return std::nullopt;

    QByteArray bytes;
    int result = readPictureFile(path, bytes);
    if (result == FileNotFound || result == FileOpenFailed)
        return std::nullopt;
    Bitmap bitmap;
    if (result == Success) {
        FittedJpegDetails details;
        // Bicubic: the entry is kept and seen by other programs too.
        result =
            fitPicture(bytes, kNormalThumbnailSize, kNormalThumbnailSize, 0, true, bitmap, details);
    }
    if (result != Success) {
        if (contentsFailed(result)) {
            QImage mark(1, 1, QImage::Format_ARGB32);
            mark.fill(Qt::transparent);
            writeEntry(fail, source, mark, mimeTypeOf(bytes));
        }
        return std::nullopt;
    }
    writeEntry(normal, source, toQImage(bitmap), mimeTypeOf(bytes));
    return fitBitmapToJpeg(bitmap, size, size, false);
}
