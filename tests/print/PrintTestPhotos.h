// Photos for the print tests: JPEG files of a given pixel size and resolution, plain or split
// into coloured halves, so that a placed or printed photo shows which part of it is visible.
#pragma once

#include "Bitmap.h"
#include "ImagingResult.h"
#include "JpegCodec.h"

#include <QColor>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace printtest {

using PixelColour = std::function<QColor(int x, int y)>;

inline void writePhoto(const QString& path, int width, int height, int dpi,
                       const PixelColour& colour)
{
    imaging::Bitmap bitmap;
    ASSERT_EQ(bitmap.allocate(width, height), imaging::Success);
    bitmap.setResolution(dpi, dpi);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QColor c = colour(x, y);
            row[3 * x] = std::uint8_t(c.red());
            row[3 * x + 1] = std::uint8_t(c.green());
            row[3 * x + 2] = std::uint8_t(c.blue());
        }
    }
    QByteArray bytes;
    ASSERT_EQ(imaging::saveJpeg(bitmap, 92, bytes), imaging::Success);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline void writePlainPhoto(const QString& path, int width, int height, int dpi, QColor colour)
{
    writePhoto(path, width, height, dpi, [colour](int, int) { return colour; });
}

// Red on the left (or top) half, blue on the other.
inline void writeHalvesPhoto(const QString& path, int width, int height, int dpi, bool across)
{
    writePhoto(path, width, height, dpi, [=](int x, int y) {
        const bool first = across ? x < width / 2 : y < height / 2;
        return first ? QColor(220, 20, 20) : QColor(20, 20, 220);
    });
}

inline bool isReddish(QColor c)
{
    return c.red() > 150 && c.blue() < 100;
}
inline bool isBluish(QColor c)
{
    return c.blue() > 150 && c.red() < 100;
}

} // namespace printtest
