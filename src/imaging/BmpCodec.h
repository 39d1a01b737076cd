// Windows bitmap files: decoding every common variant and encoding 24-bit files.
#pragma once

#include "Bitmap.h"
#include "PictureInfo.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace imaging {

// Reads the headers only. Success, FileFormatUnknown when the data is no BMP (or holds JPEG
// or PNG data), FileReadFailed when the headers are cut short, CorruptFile for headers that
// contradict themselves, PictureTooLarge above pixelLimit().
int readBmpInfo(const std::uint8_t* data, std::size_t size, PictureInfo& info);

// Decodes 1-, 4- and 8-bit palettes (also RLE4 and RLE8), 16 bits (5-5-5, 5-6-5 and bit
// fields), 24 bits and 32 bits (plain and bit fields), bottom-up and top-down, into RGB.
// Sets the file's depth and resolution. Truncated pixel data, RLE runs past a row and
// palette indexes out of range never read outside the data: a truncated file fails with
// FileReadFailed, impossible values with CorruptFile. Palette indexes beyond the palette and
// pixels an RLE stream skips are black. Polls the thread's cancel flag once a row (Cancelled).
// On failure out is left as it was.
int loadBmp(const std::uint8_t* data, std::size_t size, Bitmap& out);

// A 24-bit bottom-up file with the bitmap's resolution. NoBitmap for an empty bitmap.
int saveBmp(const Bitmap& bitmap, QByteArray& out);

} // namespace imaging
