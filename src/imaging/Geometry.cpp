#include "Geometry.h"

#include "Cancel.h"
#include "ImagingResult.h"
#include "ParallelRows.h"
#include "PixelKernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace imaging {
namespace {

// ---- Resampling ---------------------------------------------------------------------

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

double catmullRom(double x)
{
    x = std::abs(x);
    if (x < 1)
        return 1.5 * x * x * x - 2.5 * x * x + 1;
    if (x < 2)
        return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
    return 0;
}

double tent(double x)
{
    x = std::abs(x);
    return x < 1 ? 1 - x : 0;
}

// For each output position, the first source index and fixed-point weights of its taps.
struct Contributions
{
    int taps = 0; // per output position, unused taps have weight 0
    std::vector<int> first;
    std::vector<int> weights;
};

Contributions contributions(int inSize, int outSize, SizeMode mode)
{
    const double scale = double(outSize) / inSize;
    const double widen = scale < 1 ? 1 / scale : 1;
    const double support = (mode == SizeMode::Bicubic ? 2.0 : 1.0) * widen;
    Contributions result;
    result.taps = std::min(inSize, int(std::ceil(support * 2)) + 1);
    result.first.resize(std::size_t(outSize));
    result.weights.assign(std::size_t(outSize) * std::size_t(result.taps), 0);
    std::vector<double> raw(std::size_t(result.taps));
    for (int i = 0; i < outSize; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        int first = int(std::floor(centre - support)) + 1;
        first = std::clamp(first, 0, inSize - result.taps);
        double sum = 0;
        for (int k = 0; k < result.taps; ++k) {
            const double x = (first + k - centre) / widen;
            raw[std::size_t(k)] = mode == SizeMode::Bicubic ? catmullRom(x) : tent(x);
            sum += raw[std::size_t(k)];
        }
        if (sum == 0) { // a kernel that misses every tap: take the nearest pixel
            raw.assign(raw.size(), 0);
            raw[std::size_t(std::clamp(int(std::lround(centre)) - first, 0, result.taps - 1))] = 1;
            sum = 1;
        }
        int* weights = &result.weights[std::size_t(i) * std::size_t(result.taps)];
        int total = 0;
        int largest = 0;
        for (int k = 0; k < result.taps; ++k) {
            weights[k] = int(std::lround(raw[std::size_t(k)] / sum * kWeightOne));
            total += weights[k];
            if (weights[k] > weights[largest])
                largest = k;
        }
        weights[largest] += kWeightOne - total; // flat areas stay exactly flat
        result.first[std::size_t(i)] = first;
    }
    return result;
}

inline std::uint8_t clampToByte(int value)
{
    value = (value + kWeightOne / 2) >> kWeightBits;
    return std::uint8_t(std::clamp(value, 0, 255));
}

// accumulator[x] += weight · row[x].
PIXEL_KERNEL void accumulateRow(int* __restrict accumulator, const std::uint8_t* __restrict row,
                                std::size_t bytes, int weight)
{
    for (std::size_t x = 0; x < bytes; ++x)
        accumulator[x] += weight * row[x];
}

PIXEL_KERNEL void roundRow(const int* __restrict accumulator, std::uint8_t* __restrict target,
                           std::size_t bytes)
{
    for (std::size_t x = 0; x < bytes; ++x)
        target[x] = clampToByte(accumulator[x]);
}

int resampleRows(const Bitmap& in, Bitmap& out, int height, SizeMode mode)
{
    if (const int result = out.allocate(in.width(), height); result != Success)
        return result;
    const Contributions c = contributions(in.height(), height, mode);
    const std::size_t rowBytes = in.stride();
    return parallelRows(0, height, rowBytes * std::size_t(c.taps), [&](const RowRange& rows) {
        std::vector<int> accumulator(rowBytes);
        for (int y = rows.begin; y < rows.end; ++y) {
            if (cancelRequested())
                return int(Cancelled);
            std::fill(accumulator.begin(), accumulator.end(), 0);
            const int* weights = &c.weights[std::size_t(y) * std::size_t(c.taps)];
            for (int k = 0; k < c.taps; ++k) {
                const int w = weights[k];
                if (w == 0)
                    continue;
                accumulateRow(accumulator.data(), in.scanLine(c.first[std::size_t(y)] + k),
                              rowBytes, w);
            }
            roundRow(accumulator.data(), out.scanLine(y), rowBytes);
        }
        return int(Success);
    });
}

int resampleColumns(const Bitmap& in, Bitmap& out, int width, SizeMode mode)
{
    if (const int result = out.allocate(width, in.height()); result != Success)
        return result;
    const Contributions c = contributions(in.width(), width, mode);
    const std::size_t work = std::size_t(width) * 3 * std::size_t(c.taps);
    return parallelRows(0, in.height(), work, [&](const RowRange& rows) {
        for (int y = rows.begin; y < rows.end; ++y) {
            if (cancelRequested())
                return int(Cancelled);
            const std::uint8_t* row = in.scanLine(y);
            std::uint8_t* target = out.scanLine(y);
            for (int x = 0; x < width; ++x) {
                const int* weights = &c.weights[std::size_t(x) * std::size_t(c.taps)];
                const std::uint8_t* p = row + std::size_t(c.first[std::size_t(x)]) * 3;
                int r = 0, g = 0, b = 0;
                for (int k = 0; k < c.taps; ++k, p += 3) {
                    r += weights[k] * p[0];
                    g += weights[k] * p[1];
                    b += weights[k] * p[2];
                }
                target[0] = clampToByte(r);
                target[1] = clampToByte(g);
                target[2] = clampToByte(b);
                target += 3;
            }
        }
        return int(Success);
    });
}

void keepAttributes(Bitmap& target, const Bitmap& source, bool swapResolution = false)
{
    target.setBitsPerPixel(source.bitsPerPixel());
    if (swapResolution)
        target.setResolution(source.yResolution(), source.xResolution());
    else
        target.setResolution(source.xResolution(), source.yResolution());
}

// ---- Quarter turns and mirrors ------------------------------------------------------

// Output (x, y) takes the source pixel at row x (or H−1−x) and column y (or W−1−y):
// transpose, the two quarter turns and the transverse mirror, in tiles that stay in cache.
int quarterTurn(Bitmap& bitmap, bool flipRows, bool flipColumns)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    Bitmap out;
    if (const int result = out.allocate(h, w); result != Success)
        return result;
    const Bitmap& in = bitmap;
    const auto step = std::ptrdiff_t(flipRows ? -1 : 1) * std::ptrdiff_t(in.stride());
    const int result = parallelRows(0, w, std::size_t(h) * 3, [&](const RowRange& rows) {
        constexpr int kTile = 32;
        for (int y0 = rows.begin; y0 < rows.end; y0 += kTile) {
            if (cancelRequested())
                return int(Cancelled);
            const int y1 = std::min(rows.end, y0 + kTile);
            for (int x0 = 0; x0 < h; x0 += kTile) {
                const int count = std::min(h, x0 + kTile) - x0;
                for (int y = y0; y < y1; ++y) {
                    const int column = flipColumns ? w - 1 - y : y;
                    std::uint8_t* target = out.scanLine(y) + std::size_t(x0) * 3;
                    const std::uint8_t* source =
                        in.scanLine(flipRows ? h - 1 - x0 : x0) + std::size_t(column) * 3;
                    // Four bytes at a time, the fourth overwritten by the next pixel; not
                    // for the tile's last pixel, nor from the last column, where the fourth
                    // byte would lie in another row or beyond the picture.
                    int x = 0;
                    if (column != w - 1) {
                        for (; x < count - 1; ++x, target += 3, source += step) {
                            std::uint32_t pixel;
                            std::memcpy(&pixel, source, 4);
                            std::memcpy(target, &pixel, 4);
                        }
                    }
                    for (; x < count; ++x, target += 3, source += step)
                        std::memcpy(target, source, 3);
                }
            }
        }
        return int(Success);
    });
    if (result != Success)
        return result;
    keepAttributes(out, bitmap, true);
    bitmap.swap(out);
    return Success;
}

void reverseRow(std::uint8_t* row, int width)
{
    std::uint8_t* left = row;
    std::uint8_t* right = row + std::size_t(width - 1) * 3;
    for (; left < right; left += 3, right -= 3) {
        std::swap(left[0], right[0]);
        std::swap(left[1], right[1]);
        std::swap(left[2], right[2]);
    }
}

int rotateHalfTurn(Bitmap& bitmap)
{
    const CancelScope uncancellable(nullptr); // in place: stopping halfway would spoil it
    const int h = bitmap.height();
    const std::size_t stride = bitmap.stride();
    // Row y trades places with row h − 1 − y; the middle row of an odd height only turns.
    return parallelRows(0, (h + 1) / 2, stride * 2, [&](const RowRange& rows) {
        std::vector<std::uint8_t> spare(stride);
        for (int y = rows.begin; y < rows.end; ++y) {
            std::uint8_t* top = bitmap.scanLine(y);
            std::uint8_t* bottom = bitmap.scanLine(h - 1 - y);
            reverseRow(top, bitmap.width());
            if (top != bottom) {
                reverseRow(bottom, bitmap.width());
                std::memcpy(spare.data(), top, stride);
                std::memcpy(top, bottom, stride);
                std::memcpy(bottom, spare.data(), stride);
            }
        }
        return int(Success);
    });
}

// ---- Free rotation ------------------------------------------------------------------

// The x range [from, to] where lo ≤ a + b·x ≤ hi, intersected into the current range.
void clipSpan(double a, double b, double lo, double hi, double& from, double& to)
{
    if (std::abs(b) < 1e-12) {
        if (a < lo || a > hi)
            to = from - 1;
        return;
    }
    double x0 = (lo - a) / b;
    double x1 = (hi - a) / b;
    if (x0 > x1)
        std::swap(x0, x1);
    from = std::max(from, x0);
    to = std::min(to, x1);
}

// Bilinear mix of a 2 × 2 neighbourhood with 8-bit fractions, rounded; a·(256−f) + b·f is
// written as a·256 + (b−a)·f, the same number for one multiplication. Every byte is read
// before any is written, since the target could alias the source as far as the compiler
// knows.
inline void blend(const std::uint8_t* p00, const std::uint8_t* p01, const std::uint8_t* p10,
                  const std::uint8_t* p11, int fx, int fy, std::uint8_t* target)
{
    int mixed[3];
    for (int k = 0; k < 3; ++k) {
        const int top = (p00[k] << 8) + (p01[k] - p00[k]) * fx;
        const int bottom = (p10[k] << 8) + (p11[k] - p10[k]) * fx;
        mixed[k] = ((top << 8) + (bottom - top) * fy + 32768) >> 16;
    }
    for (int k = 0; k < 3; ++k)
        target[k] = std::uint8_t(mixed[k]);
}

// Where one output row takes its pixels from the source.
struct RowSpan
{
    int first = 0; // [first, last] maps into the picture, the rest is fill
    int last = -1;
    int innerFirst = 0; // [innerFirst, innerLast] has all four neighbours inside
    int innerLast = -1;
    std::int64_t sx = 0; // source position of `first`, 32.32 fixed point
    std::int64_t sy = 0;
};

int rotateFree(Bitmap& bitmap, double radians, bool resize, ColorRef fill)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    int outW = w;
    int outH = h;
    if (resize) {
        constexpr double kSlack = 1e-7; // 90.00° must not grow by a pixel of rounding
        const double grownW = std::ceil(w * std::abs(c) + h * std::abs(s) - kSlack);
        const double grownH = std::ceil(w * std::abs(s) + h * std::abs(c) - kSlack);
        if (!sizeAllowed(std::int64_t(grownW), std::int64_t(grownH)))
            return PictureTooLarge;
        outW = std::max(1, int(grownW));
        outH = std::max(1, int(grownH));
    }
    Bitmap out;
    if (const int result = out.allocate(outW, outH); result != Success)
        return result;
    const std::uint8_t fillPixel[3] = {std::uint8_t(redOf(fill)), std::uint8_t(greenOf(fill)),
                                       std::uint8_t(blueOf(fill))};
    const double inCx = (w - 1) / 2.0;
    const double inCy = (h - 1) / 2.0;
    const double outCx = (outW - 1) / 2.0;
    const double outCy = (outH - 1) / 2.0;
    constexpr double kOne = 4294967296.0; // 32.32 fixed point
    const std::int64_t stepX = std::llround(c * kOne);
    const std::int64_t stepY = std::llround(-s * kOne);
    const std::uint8_t* const source = bitmap.scanLine(0);
    const std::size_t stride = bitmap.stride();

    // Pixels near an edge: clamped to the picture.
    auto edgePixels = [&](const RowSpan& span, std::uint8_t* target, int begin, int end) {
        std::int64_t sx = span.sx + (begin - span.first) * stepX;
        std::int64_t sy = span.sy + (begin - span.first) * stepY;
        for (int x = begin; x < end; ++x, sx += stepX, sy += stepY) {
            const int ix = std::clamp(int(sx >> 32), 0, w - 1);
            const int iy = std::clamp(int(sy >> 32), 0, h - 1);
            const int fx = ix == w - 1 ? 0 : int((sx >> 24) & 0xFF);
            const int fy = iy == h - 1 ? 0 : int((sy >> 24) & 0xFF);
            const std::uint8_t* row0 = source + stride * std::size_t(iy);
            const std::uint8_t* row1 = source + stride * std::size_t(std::min(iy + 1, h - 1));
            const std::size_t left = std::size_t(ix) * 3;
            const std::size_t right = std::size_t(std::min(ix + 1, w - 1)) * 3;
            blend(row0 + left, row0 + right, row1 + left, row1 + right, fx, fy,
                  target + std::size_t(x) * 3);
        }
    };
    auto innerPixels = [&](const RowSpan& span, std::uint8_t* target, int begin, int end) {
        std::int64_t sx = span.sx + (begin - span.first) * stepX;
        std::int64_t sy = span.sy + (begin - span.first) * stepY;
        for (int x = begin; x < end; ++x, sx += stepX, sy += stepY) {
            const std::uint8_t* p00 =
                source + stride * std::size_t(sy >> 32) + std::size_t(sx >> 32) * 3;
            blend(p00, p00 + 3, p00 + stride, p00 + stride + 3, int((sx >> 24) & 0xFF),
                  int((sy >> 24) & 0xFF), target + std::size_t(x) * 3);
        }
    };
    auto turnRow = [&](int y) {
        const double dy = y - outCy;
        // Source of output (x, y): the inverse turn of its offset from the centre.
        const double ax = -outCx * c + dy * s + inCx;
        const double ay = outCx * s + dy * c + inCy;
        double from = 0;
        double to = outW - 1;
        clipSpan(ax, c, 0, w - 1, from, to);
        clipSpan(ay, -s, 0, h - 1, from, to);
        RowSpan span;
        span.first = std::clamp(int(std::ceil(from - 1e-9)), 0, outW);
        span.last = std::clamp(int(std::floor(to + 1e-9)), -1, outW - 1);
        span.last = std::max(span.last, span.first - 1);
        // A margin of a whole pixel keeps the fixed-point steps' rounding on the safe side.
        double innerFrom = span.first;
        double innerTo = span.last;
        clipSpan(ax, c, 1, w - 2, innerFrom, innerTo);
        clipSpan(ay, -s, 1, h - 2, innerFrom, innerTo);
        span.innerFirst = std::clamp(int(std::ceil(innerFrom)), span.first, span.last + 1);
        span.innerLast =
            std::max(span.innerFirst - 1, std::min(int(std::floor(innerTo)), span.last));
        span.sx = std::llround((ax + span.first * c) * kOne);
        span.sy = std::llround((ay - span.first * s) * kOne);

        std::uint8_t* target = out.scanLine(y);
        auto fillRange = [&](int begin, int end) {
            for (int x = begin; x < end; ++x)
                std::memcpy(target + std::size_t(x) * 3, fillPixel, 3);
        };
        fillRange(0, span.first);
        fillRange(span.last + 1, outW);
        edgePixels(span, target, span.first, span.innerFirst);
        innerPixels(span, target, span.innerFirst, span.innerLast + 1);
        edgePixels(span, target, span.innerLast + 1, span.last + 1);
    };
    const int result = parallelRows(0, outH, std::size_t(outW) * 3, [&](const RowRange& rows) {
        for (int y = rows.begin; y < rows.end; ++y) {
            if (cancelRequested())
                return int(Cancelled);
            turnRow(y);
        }
        return int(Success);
    });
    if (result != Success)
        return result;

    keepAttributes(out, bitmap);
    bitmap.swap(out);
    return Success;
}

} // namespace

int sizeBitmap(Bitmap& bitmap, int width, int height, SizeMode mode)
{
    if (bitmap.isNull())
        return NoBitmap;
    if (width <= 0 || height <= 0)
        return InvalidParameter;
    if (!sizeAllowed(width, height))
        return PictureTooLarge;
    if (width == bitmap.width() && height == bitmap.height())
        return Success;
    // Rows first when that is cheaper: that pass runs along contiguous memory and
    // vectorises, the column pass does not.
    const double rowsFirst = double(bitmap.width()) * height * 0.3 + double(width) * height;
    const double columnsFirst = double(width) * bitmap.height() + double(width) * height * 0.3;
    Bitmap intermediate;
    Bitmap out;
    int result;
    if (height == bitmap.height()) {
        result = resampleColumns(bitmap, out, width, mode);
    } else if (width == bitmap.width()) {
        result = resampleRows(bitmap, out, height, mode);
    } else if (rowsFirst <= columnsFirst) {
        result = resampleRows(bitmap, intermediate, height, mode);
        if (result == Success)
            result = resampleColumns(intermediate, out, width, mode);
    } else {
        result = resampleColumns(bitmap, intermediate, width, mode);
        if (result == Success)
            result = resampleRows(intermediate, out, height, mode);
    }
    if (result != Success)
        return result;
    keepAttributes(out, bitmap);
    bitmap.swap(out);
    return Success;
}

int rotateBitmap(Bitmap& bitmap, int angleHundredths, bool resize, ColorRef fill)
{
    if (bitmap.isNull())
        return NoBitmap;
    const int angle = ((angleHundredths % 36000) + 36000) % 36000;
    if (angle == 0)
        return Success;
    if (angle == 18000)
        return rotateHalfTurn(bitmap);
    const bool keepsCanvas = bitmap.width() == bitmap.height() || resize;
    if (angle == 9000 && keepsCanvas)
        return quarterTurn(bitmap, true, false);
    if (angle == 27000 && keepsCanvas)
        return quarterTurn(bitmap, false, true);
    return rotateFree(bitmap, angle / 100.0 * std::numbers::pi / 180.0, resize, fill);
}

int flipBitmap(Bitmap& bitmap)
{
    if (bitmap.isNull())
        return NoBitmap;
    const CancelScope uncancellable(nullptr); // in place: stopping halfway would spoil it
    const int h = bitmap.height();
    const std::size_t stride = bitmap.stride();
    return parallelRows(0, h / 2, stride * 2, [&](const RowRange& rows) {
        std::vector<std::uint8_t> spare(stride);
        for (int y = rows.begin; y < rows.end; ++y) {
            std::memcpy(spare.data(), bitmap.scanLine(y), stride);
            std::memcpy(bitmap.scanLine(y), bitmap.scanLine(h - 1 - y), stride);
            std::memcpy(bitmap.scanLine(h - 1 - y), spare.data(), stride);
        }
        return int(Success);
    });
}

int reverseBitmap(Bitmap& bitmap)
{
    if (bitmap.isNull())
        return NoBitmap;
    const CancelScope uncancellable(nullptr);
    return parallelRows(0, bitmap.height(), bitmap.stride(), [&](const RowRange& rows) {
        for (int y = rows.begin; y < rows.end; ++y)
            reverseRow(bitmap.scanLine(y), bitmap.width());
        return int(Success);
    });
}

int trimBitmap(Bitmap& bitmap, int left, int top, int width, int height)
{
    if (bitmap.isNull())
        return NoBitmap;
    if (width <= 0 || height <= 0)
        return InvalidParameter;
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(left) + width, bitmap.width());
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(top) + height, bitmap.height());
    if (x0 >= x1 || y0 >= y1)
        return InvalidParameter;
    Bitmap out;
    if (const int result = out.allocate(int(x1 - x0), int(y1 - y0)); result != Success)
        return result;
    const CancelScope uncancellable(nullptr); // a plain copy, not worth stopping halfway
    parallelRows(0, out.height(), out.stride(), [&](const RowRange& rows) {
        for (int y = rows.begin; y < rows.end; ++y)
            std::memcpy(out.scanLine(y), bitmap.scanLine(int(y0) + y) + x0 * 3, out.stride());
        return int(Success);
    });
    keepAttributes(out, bitmap);
    bitmap.swap(out);
    return Success;
}

int orientUpright(Bitmap& bitmap, int orientation)
{
    if (bitmap.isNull())
        return NoBitmap;
    switch (orientation) {
    case 2:
        return reverseBitmap(bitmap);
    case 3:
        return rotateHalfTurn(bitmap);
    case 4:
        return flipBitmap(bitmap);
    case 5:
        return quarterTurn(bitmap, false, false); // transpose
    case 6:
        return quarterTurn(bitmap, true, false); // a quarter clockwise
    case 7:
        return quarterTurn(bitmap, true, true); // transverse
    case 8:
        return quarterTurn(bitmap, false, true); // a quarter anticlockwise
    default:
        return Success;
    }
}

} // namespace imaging
