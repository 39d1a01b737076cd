#include "TestPictures.h"

#include "ImagingResult.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace testpictures {

imaging::Bitmap quadrants(int width, int height)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, row += 3) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            std::uint8_t r = 255, g = 255, b = 255;
            if (!right && !bottom)
                g = b = 0; // red
            else if (right && !bottom)
                r = b = 0; // green
            else if (!right && bottom)
                r = g = 0; // blue
            if (x < width / 8 && y < height / 8)
                r = g = b = 0; // the mark
            row[0] = r;
            row[1] = g;
            row[2] = b;
        }
    }
    return bitmap;
}

imaging::Bitmap gradient(int width, int height)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x, row += 3) {
            row[0] = std::uint8_t(x * 255 / std::max(1, width - 1));
            row[1] = std::uint8_t(y * 255 / std::max(1, height - 1));
            row[2] = std::uint8_t(128);
        }
    }
    return bitmap;
}

Mean meanOf(const imaging::Bitmap& bitmap, int left, int top, int width, int height)
{
    Mean mean;
    for (int y = top; y < top + height; ++y) {
        const std::uint8_t* p = bitmap.scanLine(y) + std::size_t(left) * 3;
        for (int x = 0; x < width; ++x, p += 3) {
            mean.r += p[0];
            mean.g += p[1];
            mean.b += p[2];
        }
    }
    const double n = double(width) * height;
    mean.r /= n;
    mean.g /= n;
    mean.b /= n;
    return mean;
}

QByteArray encodeJpeg(const imaging::Bitmap& bitmap, const JpegOptions& options)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(bitmap.width());
    cinfo.image_height = JDIMENSION(bitmap.height());
    switch (options.color) {
    case JpegColor::Grey:
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegColor::Rgb:
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        break;
    case JpegColor::Cmyk:
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    if (options.densityUnit) {
        cinfo.density_unit = UINT8(options.densityUnit);
        cinfo.X_density = UINT16(options.xDensity);
        cinfo.Y_density = UINT16(options.yDensity);
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.app1.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1,
                          reinterpret_cast<const JOCTET*>(options.app1.constData()),
                          unsigned(options.app1.size()));
    std::vector<std::uint8_t> row(std::size_t(bitmap.width()) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* source = bitmap.scanLine(int(cinfo.next_scanline));
        for (int x = 0; x < bitmap.width(); ++x) {
            const std::uint8_t* p = source + x * 3;
            switch (options.color) {
            case JpegColor::Grey:
                row[std::size_t(x)] = std::uint8_t((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000);
                break;
            case JpegColor::Rgb:
                std::memcpy(&row[std::size_t(x) * 3], p, 3);
                break;
            case JpegColor::Cmyk: {
                // Inverted CMYK with no black: the ink channels carry the colour.
                row[std::size_t(x) * 4 + 0] = p[0];
                row[std::size_t(x) * 4 + 1] = p[1];
                row[std::size_t(x) * 4 + 2] = p[2];
                row[std::size_t(x) * 4 + 3] = 255;
                break;
            }
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

namespace {
void put16(QByteArray& out, int value, bool bigEndian)
{
    if (bigEndian) {
        out.append(char(value >> 8));
        out.append(char(value));
    } else {
        out.append(char(value));
        out.append(char(value >> 8));
    }
}
void put32(QByteArray& out, std::uint32_t value, bool bigEndian)
{
    if (bigEndian) {
        put16(out, int(value >> 16), true);
        put16(out, int(value & 0xFFFF), true);
    } else {
        put16(out, int(value & 0xFFFF), false);
        put16(out, int(value >> 16), false);
    }
}
} // namespace

QByteArray exifBlock(int orientation, int xDpi, int yDpi, bool bigEndian)
{
    const bool withResolution = xDpi > 0 && yDpi > 0;
    const int entries = withResolution ? 4 : 1;
    QByteArray tiff;
    tiff.append(bigEndian ? "MM" : "II");
    put16(tiff, 42, bigEndian);
    put32(tiff, 8, bigEndian);
    put16(tiff, entries, bigEndian);
    const std::uint32_t rationals = 8 + 2 + std::uint32_t(entries) * 12 + 4;
    auto entry = [&](int tag, int type, std::uint32_t count, std::uint32_t value, bool shortValue) {
        put16(tiff, tag, bigEndian);
        put16(tiff, type, bigEndian);
        put32(tiff, count, bigEndian);
        if (shortValue) {
            put16(tiff, int(value), bigEndian);
            put16(tiff, 0, bigEndian);
        } else {
            put32(tiff, value, bigEndian);
        }
    };
    entry(0x0112, 3, 1, std::uint32_t(orientation), true);
    if (withResolution) {
        entry(0x011A, 5, 1, rationals, false);
        entry(0x011B, 5, 1, rationals + 8, false);
        entry(0x0128, 3, 1, 2, true);
    }
    put32(tiff, 0, bigEndian); // no next IFD
    if (withResolution) {
        put32(tiff, std::uint32_t(xDpi), bigEndian);
        put32(tiff, 1, bigEndian);
        put32(tiff, std::uint32_t(yDpi), bigEndian);
        put32(tiff, 1, bigEndian);
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace testpictures
