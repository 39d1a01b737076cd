// JPEG decoding for the stand-alone programs: libjpeg's DCT scaling does most of the shrinking,
// an area average fits the rest exactly into the box.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace exported {

// Pixels as 0x00RRGGBB, row after row without padding.
struct RgbImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
};

class PictureError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The size of a width × height picture fitted into the box by its limiting side, never enlarged.
struct FittedSize
{
    int width = 0;
    int height = 0;
};
FittedSize fitInto(int width, int height, int boxWidth, int boxHeight);

// Decodes bytes fitted into the box; throws PictureError for bytes that are no JPEG picture
// this program can show.
RgbImage decodeJpeg(std::span<const std::uint8_t> bytes, int boxWidth, int boxHeight);

// Area-averaged reduction (or plain copy at the same size) to width × height.
RgbImage resized(const RgbImage& source, int width, int height);

} // namespace exported
