// Stands for the imaging library's bitmap handle: owned pixels with the file's depth and
// resolution, and an optional region that some operations are limited to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace imaging {

// A colour as the design's records carry it: 0x00BBGGRR.
using ColorRef = std::uint32_t;
constexpr ColorRef makeColorRef(int r, int g, int b)
{
    return ColorRef(r & 0xFF) | (ColorRef(g & 0xFF) << 8) | (ColorRef(b & 0xFF) << 16);
}
constexpr int redOf(ColorRef c) { return int(c & 0xFF); }
constexpr int greenOf(ColorRef c) { return int((c >> 8) & 0xFF); }
constexpr int blueOf(ColorRef c) { return int((c >> 16) & 0xFF); }

// Pictures above this many pixels are refused before anything is allocated: 300 million
// pixels (900 MB as RGB) covers every camera and panorama a desktop user has, and keeps a
// hostile header from asking for gigabytes. Tests and fuzzers lower it.
constexpr std::int64_t kDefaultPixelLimit = 300'000'000;
std::int64_t pixelLimit();
void setPixelLimit(std::int64_t pixels);
// True when width × height is positive and within pixelLimit().
bool sizeAllowed(std::int64_t width, std::int64_t height);

// Right and bottom are exclusive.
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// Every bitmap holds 8-bit RGB, three bytes a pixel in R, G, B order, rows top to bottom
// without padding, whatever the file held; bitsPerPixel() remembers the file's depth.
class Bitmap
{
public:
    Bitmap() = default;
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;
    Bitmap(const Bitmap&) = delete; // copies go through copyBitmap, which can fail
    Bitmap& operator=(const Bitmap&) = delete;

    // Replaces the contents with width × height uninitialised pixels. Returns Success,
    // InvalidParameter for a non-positive size, PictureTooLarge above the limit, NoMemory.
    // Depth and resolution are kept; the region is dropped.
    int allocate(int width, int height);
    // Drops the pixels and the region (the library's free).
    void reset();

    bool isNull() const { return !mPixels; }
    int width() const { return mWidth; }
    int height() const { return mHeight; }
    std::size_t stride() const { return std::size_t(mWidth) * 3; }
    std::size_t byteCount() const { return stride() * std::size_t(mHeight); }
    std::uint8_t* bits() { return mPixels.get(); }
    const std::uint8_t* bits() const { return mPixels.get(); }
    std::uint8_t* scanLine(int y) { return mPixels.get() + stride() * std::size_t(y); }
    const std::uint8_t* scanLine(int y) const
    {
        return mPixels.get() + stride() * std::size_t(y);
    }

    // The depth of the file the picture came from (1, 4, 8, 16, 24 or 32); 24 otherwise.
    int bitsPerPixel() const { return mBitsPerPixel; }
    void setBitsPerPixel(int bits) { mBitsPerPixel = bits; }
    // Dots per inch; 0 when the file gave none.
    int xResolution() const { return mXResolution; }
    int yResolution() const { return mYResolution; }
    void setResolution(int x, int y)
    {
        mXResolution = x;
        mYResolution = y;
    }

    // The elliptical region inscribed in the rectangle (the library's ellipse region).
    // Operations that honour a region change only the pixels inside it.
    void setRegionEllipse(const Rect& bounds) { mRegion = bounds; }
    void freeRegion() { mRegion.reset(); }
    const std::optional<Rect>& region() const { return mRegion; }
    // True when (x, y) lies inside the region, or there is no region.
    bool inRegion(int x, int y) const;

    // Exchanges everything with another bitmap.
    void swap(Bitmap& other) noexcept;

private:
    std::unique_ptr<std::uint8_t[]> mPixels;
    int mWidth = 0;
    int mHeight = 0;
    int mBitsPerPixel = 24;
    int mXResolution = 0;
    int mYResolution = 0;
    std::optional<Rect> mRegion;
};

// An independent copy with depth, resolution and region (the library's copy).
int copyBitmap(Bitmap& destination, const Bitmap& source);

} // namespace imaging
