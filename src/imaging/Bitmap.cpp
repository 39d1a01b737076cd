#include "Bitmap.h"

#include "ImagingResult.h"

#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <new>
#include <utility>

namespace imaging {
namespace {
std::atomic<std::int64_t> gPixelLimit{kDefaultPixelLimit};

// Photo-sized buffers are asked to be backed by 2 MiB pages. A fresh 24 MP bitmap is
// 18,000 small pages; faulting them in one by one costs more than most operations on it.
// Only advice: where the system has no such pages nothing changes.
void adviseLargePages(std::uint8_t* pixels, std::size_t bytes)
{
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    const auto begin =
        (reinterpret_cast<std::uintptr_t>(pixels) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(pixels) + bytes) & ~(kLargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
} // namespace

std::int64_t pixelLimit()
{
    return gPixelLimit.load(std::memory_order_relaxed);
}

void setPixelLimit(std::int64_t pixels)
{
    gPixelLimit.store(pixels, std::memory_order_relaxed);
}

bool sizeAllowed(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0 || width > 1'000'000'000 || height > 1'000'000'000)
        return false;
    return width * height <= pixelLimit();
}

int Bitmap::allocate(int width, int height)
{
    if (width <= 0 || height <= 0)
        return InvalidParameter;
    if (!sizeAllowed(width, height))
        return PictureTooLarge;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow)
                                               std::uint8_t[std::size_t(width) * 3 * height]);
    if (!pixels)
        return NoMemory;
    adviseLargePages(pixels.get(), std::size_t(width) * 3 * height);
    mPixels = std::move(pixels);
    mWidth = width;
    mHeight = height;
    mRegion.reset();
    return Success;
}

void Bitmap::reset()
{
    mPixels.reset();
    mWidth = 0;
    mHeight = 0;
    mRegion.reset();
}

bool Bitmap::inRegion(int x, int y) const
{
    if (!mRegion)
        return true;
    const Rect& r = *mRegion;
    if (r.width() <= 0 || r.height() <= 0)
        return false;
    // Pixel centres against the ellipse inscribed in the rectangle.
    const double a = r.width() / 2.0;
    const double b = r.height() / 2.0;
    const double dx = (x + 0.5 - r.left - a) / a;
    const double dy = (y + 0.5 - r.top - b) / b;
    return dx * dx + dy * dy <= 1.0;
}

void Bitmap::swap(Bitmap& other) noexcept
{
    std::swap(mPixels, other.mPixels);
    std::swap(mWidth, other.mWidth);
    std::swap(mHeight, other.mHeight);
    std::swap(mBitsPerPixel, other.mBitsPerPixel);
    std::swap(mXResolution, other.mXResolution);
    std::swap(mYResolution, other.mYResolution);
    std::swap(mRegion, other.mRegion);
}

int copyBitmap(Bitmap& destination, const Bitmap& source)
{
    if (source.isNull())
        return NoBitmap;
    Bitmap copy;
    if (const int result = copy.allocate(source.width(), source.height()); result != Success)
        return result;
    std::memcpy(copy.bits(), source.bits(), source.byteCount());
    copy.setBitsPerPixel(source.bitsPerPixel());
    copy.setResolution(source.xResolution(), source.yResolution());
    if (source.region())
        copy.setRegionEllipse(*source.region());
    destination = std::move(copy);
    return Success;
}

} // namespace imaging
