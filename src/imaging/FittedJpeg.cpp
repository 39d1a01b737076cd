#include "FittedJpeg.h"

#include "Exif.h"
#include "Geometry.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "JpegCodec.h"

#include <QFile>

#include <algorithm>
#include <cmath>

using namespace imaging;

namespace {

// Halves to even, as the grids' and viewers' sizes have always been rounded.
int roundHalfEven(double value)
{
    return std::max(1, int(std::nearbyint(value)));
}

std::optional<QByteArray> encodeAtSize(Bitmap& bitmap, int width, int height, bool highQuality)
{
    if ((bitmap.width() != width || bitmap.height() != height) &&
        sizeBitmap(bitmap, width, height, highQuality ? SizeMode::Bicubic : SizeMode::Fast) !=
            Success)
        return std::nullopt;
    QByteArray encoded;
    if (saveBitmapToBuffer(bitmap, FileFormat::Jpeg, 2, encoded) != Success || cancelRequested())
        return std::nullopt;
    return encoded;
}

} // namespace

FittedSize fittedSize(int storedWidth, int storedHeight, int maximumWidth, int maximumHeight,
                      double areaFactor)
{
    FittedSize size{storedWidth, storedHeight, true};
    if (storedWidth <= 0 || storedHeight <= 0)
        return size;
    if (areaFactor > 0) {
        if (areaFactor == 1)
            return size;
        const double side = std::sqrt(areaFactor);
        return {roundHalfEven(side * storedWidth), roundHalfEven(side * storedHeight), false};
    }
    if (storedWidth <= maximumWidth && storedHeight <= maximumHeight)
        return size;
    if (maximumWidth <= 0 || maximumHeight <= 0)
        return {1, 1, false};
    const double byHeight = double(storedHeight) / maximumHeight;
    const double byWidth = double(storedWidth) / maximumWidth;
    const double scale = byHeight >= byWidth ? double(maximumHeight) / storedHeight
                                             : double(maximumWidth) / storedWidth;
    return {roundHalfEven(storedWidth * scale), roundHalfEven(storedHeight * scale), false};
}

std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor, bool highQuality,
                                         const CancelFlag* cancel, FittedJpegDetails& details)
{
    details = {};
    QByteArray bytes;
    if (readPictureFile(fileName, bytes) != Success)
        return std::nullopt;
    return fitPictureBytes(bytes, maximumWidth, maximumHeight, areaFactor, highQuality, cancel,
                           details);
}

int readPictureFile(const QString& fileName, QByteArray& bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? FileOpenFailed : FileNotFound;
    // No picture within the pixel limit is larger; a huge file is not read at all.
    if (file.size() > pixelLimit() * 4 + (1 << 20))
        return PictureTooLarge;
    bytes = file.readAll();
    return Success;
}

int fitPicture(const QByteArray& bytes, int maximumWidth, int maximumHeight, double areaFactor,
               bool highQuality, Bitmap& out, FittedJpegDetails& details)
{
    details = {};
    if (bytes.isEmpty())
        return FileReadFailed;

    // The stored size decides the result's size, whatever scale the decoder then uses.
    PictureInfo info;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const bool jpeg = readJpegInfo(data, std::size_t(bytes.size()), info) == Success;
    LoadOptions options;
    options.fast = !highQuality;
    FittedSize target;
    if (jpeg) {
        target = fittedSize(info.width, info.height, maximumWidth, maximumHeight, areaFactor);
        if (!target.unchanged) {
            options.minimumWidth = target.width;
            options.minimumHeight = target.height;
        }
    }
    Bitmap bitmap;
    if (const int result = loadBitmapFromMemory(bytes, bitmap, options); result != Success)
        return result;
    if (!jpeg) {
        info.width = bitmap.width();
        info.height = bitmap.height();
        target = fittedSize(info.width, info.height, maximumWidth, maximumHeight, areaFactor);
    }
    details.storedWidth = info.width;
    details.storedHeight = info.height;

    if (!target.unchanged || bitmap.width() != info.width || bitmap.height() != info.height) {
        const SizeMode mode = highQuality ? SizeMode::Bicubic : SizeMode::Fast;
        const int width = target.unchanged ? info.width : target.width;
        const int height = target.unchanged ? info.height : target.height;
        if (const int result = sizeBitmap(bitmap, width, height, mode); result != Success)
            return result;
    }
    details.unchanged = target.unchanged;
    details.resultWidth = bitmap.width();
    details.resultHeight = bitmap.height();
    out = std::move(bitmap);
    return cancelRequested() ? Cancelled : Success;
}

std::optional<QByteArray> fitPictureBytes(const QByteArray& bytes, int maximumWidth,
                                          int maximumHeight, double areaFactor, bool highQuality,
                                          const CancelFlag* cancel, FittedJpegDetails& details)
{
    const CancelScope scope(cancel ? cancel : registeredCancelFlag());
    Bitmap bitmap;
    if (fitPicture(bytes, maximumWidth, maximumHeight, areaFactor, highQuality, bitmap, details) !=
        Success) {
        details.resultWidth = details.resultHeight = 0;
        return std::nullopt;
    }
    auto encoded = encodeAtSize(bitmap, bitmap.width(), bitmap.height(), highQuality);
    if (!encoded)
        details.resultWidth = details.resultHeight = 0;
    return encoded;
}

std::optional<QByteArray> fitBitmapToJpeg(Bitmap& bitmap, int maximumWidth, int maximumHeight,
                                          bool highQuality)
{
    const FittedSize target =
        fittedSize(bitmap.width(), bitmap.height(), maximumWidth, maximumHeight);
    return encodeAtSize(bitmap, target.width, target.height, highQuality);
}

bool previewFits(int previewWidth, int previewHeight, int pictureWidth, int pictureHeight, int size)
{
    if (previewWidth <= 0 || previewHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return false;
    if (std::max(previewWidth, previewHeight) < size)
        return false;
    const double previewShape = double(previewWidth) / previewHeight;
    const double pictureShape = double(pictureWidth) / pictureHeight;
    return std::abs(previewShape / pictureShape - 1) <= 0.01;
}

std::optional<QByteArray> LoadEmbeddedPreview(const QString& fileName, int size)
{
    QFile file(fileName);
    if (size <= 0 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(kEmbeddedPreviewRead);
    const auto* data = reinterpret_cast<const std::uint8_t*>(head.constData());
    // The photo's own header must lie within the same bytes: its stored size is what the
    // preview is checked against.
    PictureInfo picture;
    if (readJpegInfo(data, std::size_t(head.size()), picture) != Success)
        return std::nullopt;
    const QByteArray preview = exifThumbnail(data, std::size_t(head.size()));
    PictureInfo previewInfo;
    if (preview.isEmpty() ||
        readJpegInfo(reinterpret_cast<const std::uint8_t*>(preview.constData()),
                     std::size_t(preview.size()), previewInfo) != Success)
        return std::nullopt;
    // The preview is stored the way the photo is, so the photo's orientation turns it.
    const bool swap = orientationSwapsSides(picture.orientation);
    const int uprightWidth = swap ? previewInfo.height : previewInfo.width;
    const int uprightHeight = swap ? previewInfo.width : previewInfo.height;
    if (!previewFits(uprightWidth, uprightHeight, picture.width, picture.height, size))
        return std::nullopt;

    // The photo's own fitted size, so a thumbnail has the same size whichever way it is made.
    const FittedSize target = fittedSize(picture.width, picture.height, size, size);
    JpegDecodeOptions options;
    options.fast = true;
    options.minimumWidth = swap ? target.height : target.width;
    options.minimumHeight = swap ? target.width : target.height;
    Bitmap bitmap;
    if (loadJpeg(reinterpret_cast<const std::uint8_t*>(preview.constData()),
                 std::size_t(preview.size()), bitmap, options) != Success ||
        orientUpright(bitmap, picture.orientation) != Success)
        return std::nullopt;
    return encodeAtSize(bitmap, target.width, target.height, false);
}

std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor, bool highQuality,
                                         const CancelFlag* cancel)
{
    FittedJpegDetails details;
    return LoadFittedJpeg(fileName, maximumWidth, maximumHeight, areaFactor, highQuality, cancel,
                          details);
}

std::optional<QByteArray> LoadThumbnailStream(const QString& fileName, int size,
                                              ColorRef /*background*/)
{
    if (auto preview = LoadEmbeddedPreview(fileName, size))
        return preview;
    if (cancelRequested())
        return std::nullopt;
    return LoadFittedJpeg(fileName, size, size, 0, false, registeredCancelFlag());
}
