#include "ExifThumbnail.h"

#include <cstdint>

namespace {

void put16(QByteArray& out, std::uint32_t value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void put32(QByteArray& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void entry(QByteArray& out, std::uint16_t tag, std::uint16_t type, std::uint32_t value)
{
    constexpr std::uint16_t kShort = 3;
    put16(out, tag);
    put16(out, type);
    put32(out, 1);
    if (type == kShort) {
        put16(out, value);
        put16(out, 0);
    } else {
        put32(out, value);
    }
}

// The markers before the first scan, without any APP1 "Exif" segment; the scan and what
// follows are copied unchanged.
QByteArray withoutExif(const QByteArray& jpeg)
{
    QByteArray out = jpeg.left(2);
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && std::uint8_t(jpeg[at]) == 0xFF) {
        const auto marker = std::uint8_t(jpeg[at + 1]);
        if (marker == 0xDA) // start of scan
            break;
        const int length = std::uint8_t(jpeg[at + 2]) << 8 | std::uint8_t(jpeg[at + 3]);
        const bool exif = marker == 0xE1 && jpeg.mid(at + 4, 6) == QByteArray("Exif\0\0", 6);
        if (!exif)
            out.append(jpeg.mid(at, 2 + length));
        at += 2 + length;
    }
    return out + jpeg.mid(at);
}

} // namespace

QByteArray addExifThumbnail(const QByteArray& jpeg, const QByteArray& thumbnailJpeg,
                            int orientation)
{
    if (jpeg.size() < 4 || std::uint8_t(jpeg[0]) != 0xFF || std::uint8_t(jpeg[1]) != 0xD8)
        return {};
    constexpr std::uint16_t kShort = 3;
    constexpr std::uint16_t kLong = 4;
    constexpr std::uint32_t kIfd0 = 8;
    constexpr std::uint32_t kIfd1 = kIfd0 + 2 + 12 + 4;
    constexpr std::uint32_t kThumbnail = kIfd1 + 2 + 3 * 12 + 4;

    QByteArray tiff("II*\0", 4);
    put32(tiff, kIfd0);
    put16(tiff, 1);
    entry(tiff, 0x0112, kShort, std::uint32_t(orientation));
    put32(tiff, kIfd1);
    put16(tiff, 3);
    entry(tiff, 0x0103, kShort, 6); // compression: JPEG
    entry(tiff, 0x0201, kLong, kThumbnail);
    entry(tiff, 0x0202, kLong, std::uint32_t(thumbnailJpeg.size()));
    put32(tiff, 0); // no further IFD
    tiff.append(thumbnailJpeg);

    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const qsizetype length = payload.size() + 2;
    if (length > 0xFFFF)
        return {};
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(payload);

    QByteArray out = withoutExif(jpeg);
    out.insert(2, segment);
    return out;
}
