// Pictures the imaging tests make themselves.
#pragma once

#include "Bitmap.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace testpictures {

// A picture with four flat quadrants (red, green, blue, white) and a black mark in the
// top-left corner, so any turn or mirror is visible even after JPEG's losses. Quadrant
// colours are flat over 16 × 16 blocks when the sides are multiples of 32.
imaging::Bitmap quadrants(int width, int height);

// Smooth gradients, for resampling.
imaging::Bitmap gradient(int width, int height);

// The mean colour of a block, to compare through JPEG's losses.
struct Mean
{
    double r = 0, g = 0, b = 0;
};
Mean meanOf(const imaging::Bitmap& bitmap, int left, int top, int width, int height);

enum class JpegColor { Grey, Rgb, Cmyk };
struct JpegOptions
{
    JpegColor color = JpegColor::Rgb;
    bool progressive = false;
    int quality = 95;
    int densityUnit = 0; // JFIF: 1 dots per inch, 2 per cm
    int xDensity = 1;
    int yDensity = 1;
    QByteArray app1; // a payload written as APP1, e.g. an EXIF block

    JpegOptions& withColor(JpegColor c) { color = c; return *this; }
    JpegOptions& asProgressive() { progressive = true; return *this; }
    JpegOptions& withQuality(int q) { quality = q; return *this; }
    JpegOptions& withDensity(int unit, int x, int y)
    {
        densityUnit = unit;
        xDensity = x;
        yDensity = y;
        return *this;
    }
    JpegOptions& withApp1(const QByteArray& payload) { app1 = payload; return *this; }
};
// Encodes with libjpeg itself, not through the library under test. CMYK is written as
// Adobe does, inverted (255 is no ink).
QByteArray encodeJpeg(const imaging::Bitmap& bitmap, const JpegOptions& options = {});

// An EXIF APP1 payload with an orientation and, when given, a resolution (inches).
QByteArray exifBlock(int orientation, int xDpi = 0, int yDpi = 0, bool bigEndian = false);

// Writes bytes to a file; fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace testpictures
