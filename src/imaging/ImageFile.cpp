#include "ImageFile.h"

#include "BmpCodec.h"
#include "JpegCodec.h"
#include "ImagingResult.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <new>

namespace imaging {
namespace {

enum class Kind { Unknown, Jpeg, Bmp };

Kind kindOf(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (bytes.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return Kind::Jpeg;
    if (bytes.size() >= 2 && data[0] == 'B' && data[1] == 'M')
        return Kind::Bmp;
    return Kind::Unknown;
}

// A file larger than the biggest picture we accept is no picture of ours: 32-bit pixels at
// the limit plus room for headers and palettes.
qint64 fileSizeLimit()
{
    return pixelLimit() * 4 + (1 << 20);
}

int openFile(const QString& fileName, QFile& file)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return FileNotFound;
    if (info.isDir())
        return FileOpenFailed;
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::OpenError && !info.exists() ? FileNotFound
                                                                         : FileOpenFailed;
    return Success;
}

// Reads at most limit bytes. A file that shrinks or fails mid-read is FileReadFailed.
int readUpTo(QFile& file, qint64 limit, QByteArray& bytes)
{
    const qint64 size = std::min(file.size(), limit);
    if (size <= 0)
        return FileReadFailed;
    try {
        bytes.resize(qsizetype(size));
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 read = file.read(bytes.data() + done, size - done);
        if (read <= 0)
            return FileReadFailed;
        done += read;
    }
    return Success;
}

int infoFromBytes(const QByteArray& bytes, PictureInfo& info)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto size = std::size_t(bytes.size());
    switch (kindOf(bytes)) {
    case Kind::Jpeg:
        return readJpegInfo(data, size, info);
    case Kind::Bmp:
        return readBmpInfo(data, size, info);
    case Kind::Unknown:
        break;
    }
    return FileFormatUnknown;
}

} // namespace

int loadBitmapFromMemory(const QByteArray& bytes, Bitmap& bitmap, const LoadOptions& options)
{
    if (bytes.isEmpty())
        return FileReadFailed;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto size = std::size_t(bytes.size());
    switch (kindOf(bytes)) {
    case Kind::Jpeg: {
        JpegDecodeOptions jpeg;
        jpeg.minimumWidth = options.minimumWidth;
        jpeg.minimumHeight = options.minimumHeight;
        jpeg.fast = options.fast;
        return loadJpeg(data, size, bitmap, jpeg);
    }
    case Kind::Bmp:
        return loadBmp(data, size, bitmap);
    case Kind::Unknown:
        break;
    }
    return FileFormatUnknown;
}

int loadBitmap(const QString& fileName, Bitmap& bitmap, const LoadOptions& options)
{
    QFile file;
    if (const int result = openFile(fileName, file); result != Success)
        return result;
    if (file.size() > fileSizeLimit())
        return PictureTooLarge;
    QByteArray bytes;
    if (const int result = readUpTo(file, fileSizeLimit(), bytes); result != Success)
        return result;
    return loadBitmapFromMemory(bytes, bitmap, options);
}

int fileInfo(const QString& fileName, PictureInfo& info)
{
    QFile file;
    if (const int result = openFile(fileName, file); result != Success)
        return result;
    // EXIF and a few other markers fit in the first 256 KB of nearly every photo.
    constexpr qint64 kFirstRead = 256 * 1024;
    QByteArray bytes;
    if (const int result = readUpTo(file, kFirstRead, bytes); result != Success)
        return result;
    int result = infoFromBytes(bytes, info);
    if ((result == FileReadFailed || result == CorruptFile) && file.size() > bytes.size()) {
        // Markers that run on past the first read (or a reader that wants the whole file
        // to check the declared sizes): try once more with all of it.
        file.seek(0);
        if (const int read = readUpTo(file, fileSizeLimit(), bytes); read != Success)
            return read;
        result = infoFromBytes(bytes, info);
    }
    return result;
}

int saveBitmapToBuffer(const Bitmap& bitmap, FileFormat format, int qualityFactor,
                       QByteArray& out)
{
    if (bitmap.isNull())
        return NoBitmap;
    if (format == FileFormat::Bmp)
        return saveBmp(bitmap, out);
    return saveJpeg(bitmap, jpegQualityForFactor(qualityFactor), out);
}

} // namespace imaging
