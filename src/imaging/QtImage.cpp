#include "QtImage.h"

#include "ImageFile.h"
#include "ImagingResult.h"

namespace imaging {

QImage toQImage(const Bitmap& bitmap)
{
    if (bitmap.isNull())
        return {};
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), qsizetype(bitmap.stride()),
                  QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32); // the format painting is fastest with
}

QImage decodeImage(const QByteArray& bytes)
{
    Bitmap bitmap;
    if (loadBitmapFromMemory(bytes, bitmap) != Success)
        return {};
    return toQImage(bitmap);
}

} // namespace imaging
