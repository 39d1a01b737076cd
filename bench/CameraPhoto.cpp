#include "CameraPhoto.h"

#include "ImagingResult.h"
#include "JpegCodec.h"

#include <QByteArray>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using namespace imaging;

namespace {

// xorshift32: fast enough to give every pixel its own grain.
struct Noise
{
    std::uint32_t state;
    int next(int amplitude)
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % std::uint32_t(2 * amplitude + 1)) - amplitude;
    }
};

std::uint8_t clampByte(int value)
{
    return std::uint8_t(std::clamp(value, 0, 255));
}

} // namespace

void paintPhoto(Bitmap& bitmap, int variant)
{
    const int width = bitmap.width();
    const int height = bitmap.height();
    const int horizon = height * (45 + variant % 7 * 3) / 100;
    const double slow = 0.013 + 0.001 * (variant % 11);
    const double fast = 0.29 + 0.017 * (variant % 5);
    std::vector<int> ripple(std::size_t(width) + std::size_t(height));
    for (std::size_t i = 0; i < ripple.size(); ++i)
        ripple[i] = int(14 * std::sin(double(i) * slow) + 8 * std::sin(double(i) * fast));
    const int sunX = width * (2 + variant % 7) / 10;
    const int sunY = height / (3 + variant % 3);
    const int sunR = height / (8 + variant % 4);
    const int blockWidth = width / (5 + variant % 4);
    Noise noise{2463534242u + std::uint32_t(variant) * 7919u};
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        const bool sky = y < horizon;
        const int t = sky ? 255 * y / horizon : 255 * (y - horizon) / (height - horizon);
        for (int x = 0; x < width; ++x) {
            int r, g, b;
            if (sky) {
                r = 90 + t / 2 + variant;
                g = 140 + t / 4;
                b = 230 - t / 5 - variant;
            } else {
                const int field = ripple[std::size_t(x)] + ripple[std::size_t(y)];
                r = 70 + field + t / 4 + variant * 2;
                g = 110 + field / 2 - t / 5;
                b = 40 + t / 8 + variant;
            }
            const int dx = x - sunX, dy = y - sunY;
            if (dx * dx + dy * dy < sunR * sunR) {
                r = 255;
                g = 230;
                b = 160;
            } else if (!sky && (x / blockWidth) % 2 == 0 && y < horizon + height / 6 &&
                       y > horizon + (x % blockWidth) / 8) {
                r = 150 + ripple[std::size_t(x + y)];
                g = 120;
                b = 100;
            }
            const int grain = noise.next(sky ? 8 : 18);
            row[0] = clampByte(r + grain + noise.next(2));
            row[1] = clampByte(g + grain);
            row[2] = clampByte(b + grain + noise.next(2));
            row += 3;
        }
    }
}

QByteArray cameraJpeg(int width, int height, int variant)
{
    Bitmap bitmap;
    QByteArray bytes;
    if (bitmap.allocate(width, height) != Success)
        return {};
    bitmap.setResolution(300, 300);
    paintPhoto(bitmap, variant);
    if (saveJpeg(bitmap, kCameraQuality, bytes) != Success)
        return {};
    return bytes;
}

bool writeBytes(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size() && file.commit();
}

bool writeCameraJpeg(const QString& fileName, int width, int height, int variant)
{
    return writeBytes(fileName, cameraJpeg(width, height, variant));
}
