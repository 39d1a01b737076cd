#include "BmpCodec.h"

#include "Cancel.h"
#include "ImagingResult.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace imaging {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kCoreHeaderSize = 12;

enum Compression : std::uint32_t
{
    RgbCompression = 0,
    Rle8Compression = 1,
    Rle4Compression = 2,
    BitFieldsCompression = 3,
    JpegCompression = 4,
    PngCompression = 5,
    AlphaBitFieldsCompression = 6,
};

std::uint16_t readU16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t readI32(const std::uint8_t* p)
{
    return std::int32_t(readU32(p));
}

void writeU16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void writeU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

int dotsPerInch(std::int32_t pixelsPerMetre)
{
    if (pixelsPerMetre <= 0)
        return 0;
    return int((std::int64_t(pixelsPerMetre) * 254 + 5000) / 10000);
}

std::uint32_t pixelsPerMetre(int dpi)
{
    if (dpi <= 0)
        return 0;
    return std::uint32_t((std::int64_t(dpi) * 10000 + 127) / 254);
}

bool isKnownInfoHeaderSize(std::uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

struct Header
{
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = RgbCompression;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue
    bool core = false;
    std::uint32_t colorsUsed = 0;
    std::size_t paletteOffset = 0; // the palette (or nothing) lies between here and pixelOffset
    std::size_t pixelOffset = 0;
    int xDpi = 0;
    int yDpi = 0;
};

int checkDepth(const Header& h)
{
    switch (h.compression) {
    case RgbCompression:
        switch (h.bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return Success;
        default:
            return CorruptFile;
        }
    case Rle8Compression:
        return h.bitsPerPixel == 8 ? Success : CorruptFile;
    case Rle4Compression:
        return h.bitsPerPixel == 4 ? Success : CorruptFile;
    case BitFieldsCompression:
    case AlphaBitFieldsCompression:
        return h.bitsPerPixel == 16 || h.bitsPerPixel == 32 ? Success : CorruptFile;
    default:
        // JPEG or PNG inside the file, or something newer.
        return FileFormatUnknown;
    }
}

int parseHeader(const std::uint8_t* data, std::size_t size, Header& h)
{
    if (!data || size < 2 || data[0] != 'B' || data[1] != 'M')
        return FileFormatUnknown;
    if (size < kFileHeaderSize + 4)
        return FileReadFailed;
    const std::uint32_t headerSize = readU32(data + kFileHeaderSize);
    if (headerSize != kCoreHeaderSize && !isKnownInfoHeaderSize(headerSize))
        return headerSize < kCoreHeaderSize ? CorruptFile : FileFormatUnknown;
    if (size - kFileHeaderSize < headerSize)
        return FileReadFailed;

    const std::uint8_t* p = data + kFileHeaderSize;
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (headerSize == kCoreHeaderSize) {
        h.core = true;
        width = readU16(p + 4);
        height = readU16(p + 6);
        h.bitsPerPixel = readU16(p + 10);
    } else {
        width = readI32(p + 4);
        height = readI32(p + 8);
        h.bitsPerPixel = readU16(p + 14);
        h.compression = readU32(p + 16);
        h.xDpi = dotsPerInch(readI32(p + 24));
        h.yDpi = dotsPerInch(readI32(p + 28));
        h.colorsUsed = readU32(p + 32);
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0 || height > std::numeric_limits<int>::max())
        return CorruptFile;
    if (const int result = checkDepth(h); result != Success)
        return result;
    if (!sizeAllowed(width, height))
        return PictureTooLarge;
    h.width = int(width);
    h.height = int(height);

    std::size_t headersEnd = kFileHeaderSize + headerSize;
    const bool bitFields =
        h.compression == BitFieldsCompression || h.compression == AlphaBitFieldsCompression;
    if (bitFields) {
        // Masks follow a plain info header, and sit in the same place inside the larger ones.
        if (headerSize == kInfoHeaderSize)
            headersEnd += h.compression == AlphaBitFieldsCompression ? 16 : 12;
        if (size < headersEnd)
            return FileReadFailed;
        const std::uint8_t* m = data + kFileHeaderSize + kInfoHeaderSize;
        h.masks = {readU32(m), readU32(m + 4), readU32(m + 8)};
    } else if (h.bitsPerPixel == 16) {
        h.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (h.bitsPerPixel == 32) {
        h.masks = {0xFF0000, 0xFF00, 0xFF};
    }
    h.paletteOffset = headersEnd;
    h.pixelOffset = readU32(data + 10);
    if (h.pixelOffset < headersEnd)
        return CorruptFile;
    return Success;
}

using Rgb = std::array<std::uint8_t, 3>;
// Indexes past the file's palette stay black, so no per-pixel check is needed.
using Palette = std::array<Rgb, 256>;

Palette readPalette(const std::uint8_t* data, const Header& h)
{
    Palette palette{};
    const std::size_t entrySize = h.core ? 3 : 4;
    std::size_t count = std::size_t(1) << h.bitsPerPixel;
    if (h.colorsUsed != 0 && h.colorsUsed < count)
        count = h.colorsUsed;
    // Some writers store fewer entries than they claim; never read into the pixels.
    count = std::min(count, (h.pixelOffset - h.paletteOffset) / entrySize);
    const std::uint8_t* p = data + h.paletteOffset;
    for (std::size_t i = 0; i < count; ++i, p += entrySize)
        palette[i] = {p[2], p[1], p[0]};
    return palette;
}

// One bit-field channel scaled to 8 bits with rounding, through a table for the usual widths.
class Channel
{
public:
    explicit Channel(std::uint32_t mask)
        : mMask(mask), mShift(mask ? std::countr_zero(mask) : 0), mMax(mask >> mShift)
    {
        if (mMax <= 0xFFFF) {
            mTable.resize(std::size_t(mMax) + 1);
            for (std::uint32_t v = 0; v <= mMax; ++v)
                mTable[v] = scale(v);
        }
    }

    std::uint8_t operator()(std::uint32_t pixel) const
    {
        const std::uint32_t v = (pixel & mMask) >> mShift;
        return mTable.empty() ? scale(v) : mTable[v];
    }

private:
    std::uint8_t scale(std::uint32_t v) const
    {
        if (mMax == 0)
            return 0;
        return std::uint8_t((std::uint64_t(v) * 510 + mMax) / (std::uint64_t(mMax) * 2));
    }

    std::uint32_t mMask;
    int mShift;
    std::uint32_t mMax;
    std::vector<std::uint8_t> mTable;
};

void decodeRow24(const std::uint8_t* s, std::uint8_t* d, int width)
{
    for (int x = 0; x < width; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
    }
}

void decodeRow32(const std::uint8_t* s, std::uint8_t* d, int width)
{
    for (int x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
    }
}

class RowDecoder
{
public:
    RowDecoder(const std::uint8_t* data, const Header& h)
        : mHeader(h), mRed(h.masks[0]), mGreen(h.masks[1]), mBlue(h.masks[2])
    {
        if (h.bitsPerPixel <= 8)
            mPalette = readPalette(data, h);
        mPlain32 = h.masks == std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }

    void decode(const std::uint8_t* s, std::uint8_t* d) const
    {
        const int width = mHeader.width;
        switch (mHeader.bitsPerPixel) {
        case 1:
            for (int x = 0; x < width; ++x, d += 3)
                put(d, (s[x >> 3] >> (7 - (x & 7))) & 1);
            break;
        case 4:
            for (int x = 0; x < width; ++x, d += 3)
                put(d, (x & 1) ? s[x >> 1] & 0x0F : s[x >> 1] >> 4);
            break;
        case 8:
            for (int x = 0; x < width; ++x, d += 3)
                put(d, s[x]);
            break;
        case 16:
            for (int x = 0; x < width; ++x, s += 2, d += 3)
                putBitFields(d, readU16(s));
            break;
        case 24:
            decodeRow24(s, d, width);
            break;
        case 32:
            if (mPlain32) {
                decodeRow32(s, d, width);
            } else {
                for (int x = 0; x < width; ++x, s += 4, d += 3)
                    putBitFields(d, readU32(s));
            }
            break;
        }
    }

    void put(std::uint8_t* d, unsigned index) const { std::memcpy(d, mPalette[index].data(), 3); }

private:
    void putBitFields(std::uint8_t* d, std::uint32_t pixel) const
    {
        d[0] = mRed(pixel);
        d[1] = mGreen(pixel);
        d[2] = mBlue(pixel);
    }

    const Header& mHeader;
    Palette mPalette{};
    Channel mRed;
    Channel mGreen;
    Channel mBlue;
    bool mPlain32 = false;
};

std::uint64_t rowBytes(const Header& h)
{
    return (std::uint64_t(h.width) * std::uint64_t(h.bitsPerPixel) + 31) / 32 * 4;
}

int decodeRows(const std::uint8_t* data, const Header& h, Bitmap& bitmap)
{
    const std::size_t stride = std::size_t(rowBytes(h));
    const RowDecoder decoder(data, h);
    const std::uint8_t* row = data + h.pixelOffset;
    for (int r = 0; r < h.height; ++r, row += stride) {
        if (cancelRequested())
            return Cancelled;
        decoder.decode(row, bitmap.scanLine(h.topDown ? r : h.height - 1 - r));
    }
    return Success;
}

// Runs and deltas that leave the row or the picture are clipped; what the stream never
// reaches stays black. A stream that ends before the end marker or the last row is truncated.
int decodeRle(const std::uint8_t* data, std::size_t size, const Header& h, Bitmap& bitmap)
{
    const RowDecoder decoder(data, h);
    const bool rle4 = h.compression == Rle4Compression;
    std::memset(bitmap.bits(), 0, bitmap.byteCount());

    std::size_t pos = h.pixelOffset;
    std::int64_t x = 0;
    std::int64_t r = 0;
    std::uint8_t* line = nullptr;
    auto startRow = [&] {
        line = r < h.height ? bitmap.scanLine(int(h.topDown ? r : h.height - 1 - r)) : nullptr;
    };
    startRow();

    while (r < h.height) {
        if (size - pos < 2)
            return FileReadFailed;
        const unsigned count = data[pos];
        const unsigned value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            const std::int64_t end = std::min<std::int64_t>(x + count, h.width);
            for (std::int64_t i = 0; x < end; ++x, ++i)
                decoder.put(line + x * 3, rle4 ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            x = end;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++r;
            if (cancelRequested())
                return Cancelled;
            startRow();
            break;
        case 1: // end of picture
            return Success;
        case 2: { // delta
            if (size - pos < 2)
                return FileReadFailed;
            x = std::min<std::int64_t>(x + data[pos], h.width);
            const unsigned dy = data[pos + 1];
            pos += 2;
            if (dy > 0) {
                r += dy;
                if (cancelRequested())
                    return Cancelled;
                startRow();
            }
            break;
        }
        default: { // absolute run, padded to a 16-bit boundary
            const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
            if (size - pos < bytes)
                return FileReadFailed;
            const std::uint8_t* s = data + pos;
            const std::int64_t end = std::min<std::int64_t>(x + value, h.width);
            for (std::int64_t i = 0; x < end; ++x, ++i) {
                const unsigned index = rle4 ? ((i & 1) ? s[i >> 1] & 0x0F : s[i >> 1] >> 4) : s[i];
                decoder.put(line + x * 3, index);
            }
            x = end;
            pos += std::min(bytes + (bytes & 1), size - pos);
            break;
        }
        }
    }
    return Success;
}

} // namespace

int readBmpInfo(const std::uint8_t* data, std::size_t size, PictureInfo& info)
{
    Header h;
    if (const int result = parseHeader(data, size, h); result != Success)
        return result;
    info = PictureInfo{};
    info.width = h.width;
    info.height = h.height;
    info.bitsPerPixel = h.bitsPerPixel;
    info.xResolution = h.xDpi;
    info.yResolution = h.yDpi;
    return Success;
}

int loadBmp(const std::uint8_t* data, std::size_t size, Bitmap& out)
{
    Header h;
    if (const int result = parseHeader(data, size, h); result != Success)
        return result;
    if (h.pixelOffset >= size)
        return FileReadFailed;
    const bool rle = h.compression == Rle8Compression || h.compression == Rle4Compression;
    // Checked before allocating, so a short file cannot ask for a large picture.
    if (!rle && rowBytes(h) * std::uint64_t(h.height) > size - h.pixelOffset)
        return FileReadFailed;

    Bitmap bitmap;
    if (const int result = bitmap.allocate(h.width, h.height); result != Success)
        return result;
    bitmap.setBitsPerPixel(h.bitsPerPixel);
    bitmap.setResolution(h.xDpi, h.yDpi);

    const int result = rle ? decodeRle(data, size, h, bitmap) : decodeRows(data, h, bitmap);
    if (result != Success)
        return result;
    out = std::move(bitmap);
    return Success;
}

int saveBmp(const Bitmap& bitmap, QByteArray& out)
{
    if (bitmap.isNull())
        return NoBitmap;
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    const std::uint64_t imageSize = std::uint64_t(stride) * std::uint64_t(height);
    const std::uint64_t headersSize = kFileHeaderSize + kInfoHeaderSize;
    if (imageSize + headersSize > std::numeric_limits<std::uint32_t>::max())
        return FileWriteFailed; // the format's size fields cannot hold it

    QByteArray bytes;
    try {
        bytes.resize(qsizetype(headersSize + imageSize));
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
    auto* d = reinterpret_cast<std::uint8_t*>(bytes.data());
    std::memset(d, 0, headersSize);
    d[0] = 'B';
    d[1] = 'M';
    writeU32(d + 2, std::uint32_t(headersSize + imageSize));
    writeU32(d + 10, std::uint32_t(headersSize));
    std::uint8_t* info = d + kFileHeaderSize;
    writeU32(info, kInfoHeaderSize);
    writeU32(info + 4, std::uint32_t(width));
    writeU32(info + 8, std::uint32_t(height));
    writeU16(info + 12, 1);
    writeU16(info + 14, 24);
    writeU32(info + 20, std::uint32_t(imageSize));
    writeU32(info + 24, pixelsPerMetre(bitmap.xResolution()));
    writeU32(info + 28, pixelsPerMetre(bitmap.yResolution()));

    std::uint8_t* row = d + headersSize;
    const std::size_t padding = stride - std::size_t(width) * 3;
    for (int y = height - 1; y >= 0; --y, row += stride) {
        // Swapping R and B is its own inverse.
        decodeRow24(bitmap.scanLine(y), row, width);
        std::memset(row + stride - padding, 0, padding);
    }
    out = std::move(bytes);
    return Success;
}

} // namespace imaging
