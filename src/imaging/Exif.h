// The few EXIF fields a viewer needs: orientation and resolution, and the camera's own
// small preview.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace imaging {

struct ExifInfo
{
    int orientation = 1; // 1 to 8; anything else in the file reads as 1
    int xResolution = 0; // dots per inch, 0 when absent
    int yResolution = 0;
};

// Parses an APP1 payload that starts with "Exif\0\0". Anything malformed leaves the
// defaults: a broken EXIF block never makes a picture unreadable.
ExifInfo parseExif(const std::uint8_t* data, std::size_t size);

// The JPEG preview a camera stores in the EXIF block's second IFD (JPEGInterchangeFormat and
// its length), found in the first bytes of a JPEG file. Empty when there is none, or when the
// block or the preview runs past the bytes given. The bytes are not checked to decode.
QByteArray exifThumbnail(const std::uint8_t* data, std::size_t size);

// True when the orientation turns the picture by a quarter, so width and height swap.
constexpr bool orientationSwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

} // namespace imaging
