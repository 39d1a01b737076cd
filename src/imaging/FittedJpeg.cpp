#include "FittedJpeg.h"

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
                                         int maximumHeight, double areaFactor,
                                         bool highQuality, const CancelFlag* cancel,
                                         FittedJpegDetails& details)
{
    details = {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > pixelLimit() * 4 + (1 << 20))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return fitPictureBytes(bytes, maximumWidth, maximumHeight, areaFactor, highQuality, cancel,
                           details);
}

std::optional<QByteArray> fitPictureBytes(const QByteArray& bytes, int maximumWidth,
                                          int maximumHeight, double areaFactor,
                                          bool highQuality, const CancelFlag* cancel,
                                          FittedJpegDetails& details)
{
    details = {};
    if (bytes.isEmpty())
        return std::nullopt;
    const CancelScope scope(cancel);

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
    if (loadBitmapFromMemory(bytes, bitmap, options) != Success)
        return std::nullopt;
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
        if (sizeBitmap(bitmap, width, height, mode) != Success)
            return std::nullopt;
    }
    details.unchanged = target.unchanged;

    QByteArray encoded;
    if (saveBitmapToBuffer(bitmap, FileFormat::Jpeg, 2, encoded) != Success)
        return std::nullopt;
    if (cancel && cancel->load(std::memory_order_relaxed))
        return std::nullopt;
    details.resultWidth = bitmap.width();
    details.resultHeight = bitmap.height();
    return encoded;
}

std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor,
                                         bool highQuality, const CancelFlag* cancel)
{
    FittedJpegDetails details;
    return LoadFittedJpeg(fileName, maximumWidth, maximumHeight, areaFactor, highQuality, cancel,
                          details);
}

std::optional<QByteArray> LoadThumbnailStream(const QString& fileName, int size,
                                              ColorRef /*background*/)
{
    return LoadFittedJpeg(fileName, size, size, 0, false, nullptr);
}
