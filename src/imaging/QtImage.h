// Bitmaps and encoded pictures as QImage, for the widgets that paint them.
#pragma once

#include "Bitmap.h"

#include <QByteArray>
#include <QImage>

namespace imaging {

// A deep copy in QImage's own aligned rows; a null image for an empty bitmap.
QImage toQImage(const Bitmap& bitmap);
// Decodes JPEG or BMP bytes; a null image when they do not decode.
QImage decodeImage(const QByteArray& bytes);

} // namespace imaging
