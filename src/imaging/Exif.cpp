#include "Exif.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace imaging {
namespace {

class TiffReader
{
public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : mData(data), mSize(size), mBigEndian(bigEndian)
    {}
    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= mSize && count <= mSize - offset;
    }
    std::uint16_t u16(std::size_t offset) const
    {
        const std::uint8_t* p = mData + offset;
        return mBigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
    }
    std::uint32_t u32(std::size_t offset) const
    {
        const std::uint8_t* p = mData + offset;
        return mBigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                std::uint32_t(p[2]) << 8 | p[3]
                          : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                                std::uint32_t(p[1]) << 8 | p[0];
    }
    // A RATIONAL stored at the offset the entry's value gives; 0 when unreadable.
    double rational(std::size_t entry) const
    {
        const std::size_t offset = u32(entry + 8);
        if (!has(offset, 8))
            return 0;
        const std::uint32_t denominator = u32(offset + 4);
        return denominator ? double(u32(offset)) / denominator : 0;
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    bool mBigEndian;
};

constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeRational = 5;

int toDpi(double value, int unit)
{
    if (!(value > 0) || value > 1e6)
        return 0;
    return int(std::lround(unit == 3 ? value * 2.54 : value));
}

} // namespace

ExifInfo parseExif(const std::uint8_t* data, std::size_t size)
{
    ExifInfo info;
    if (size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return info;
    const std::uint8_t* tiff = data + 6;
    const std::size_t tiffSize = size - 6;
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else
        return info;
    const TiffReader reader(tiff, tiffSize, bigEndian);
    if (reader.u16(2) != 42)
        return info;
    const std::size_t ifd = reader.u32(4);
    if (!reader.has(ifd, 2))
        return info;
    const unsigned count = reader.u16(ifd);
    double xResolution = 0;
    double yResolution = 0;
    int unit = 2; // inches when the file does not say
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + std::size_t(i) * 12;
        if (!reader.has(entry, 12))
            break;
        const std::uint16_t tag = reader.u16(entry);
        const std::uint16_t type = reader.u16(entry + 2);
        if (tag == 0x0112 && type == kTypeShort) {
            const int orientation = reader.u16(entry + 8);
            if (orientation >= 1 && orientation <= 8)
                info.orientation = orientation;
        } else if (tag == 0x011A && type == kTypeRational) {
            xResolution = reader.rational(entry);
        } else if (tag == 0x011B && type == kTypeRational) {
            yResolution = reader.rational(entry);
        } else if (tag == 0x0128 && type == kTypeShort) {
            unit = reader.u16(entry + 8);
        }
    }
    if (unit == 2 || unit == 3) {
        info.xResolution = toDpi(xResolution, unit);
        info.yResolution = toDpi(yResolution, unit);
    }
    return info;
}

QByteArray exifThumbnail(const std::uint8_t* data, std::size_t size)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8 || size > 0xFFFFFFFFu)
        return {};
    // libexif finds the APP1 block itself and checks the preview's offset and length.
    const std::unique_ptr<ExifData, void (*)(ExifData*)> exif(
        exif_data_new_from_data(data, unsigned(size)), exif_data_unref);
    if (!exif || !exif->data || exif->size == 0)
        return {};
    return QByteArray(reinterpret_cast<const char*>(exif->data), qsizetype(exif->size));
}

} // namespace imaging
