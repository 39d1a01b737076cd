// Test pictures: a gradient that any scaling keeps recognisable, as a bitmap or as JPEG bytes.
#pragma once

#include "Bitmap.h"
#include "ImagingResult.h"
#include "JpegCodec.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdint>

namespace testsupport {

inline imaging::Bitmap gradient(int width, int height)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = std::uint8_t(x * 255 / width);
            row[3 * x + 1] = std::uint8_t(y * 255 / height);
            row[3 * x + 2] = 90;
        }
    }
    return bitmap;
}

inline QByteArray jpegBytes(int width, int height)
{
    QByteArray bytes;
    EXPECT_EQ(imaging::saveJpeg(gradient(width, height), 90, bytes), imaging::Success);
    return bytes;
}

} // namespace testsupport
