#include "ColorOps.h"

#include "Cancel.h"
#include "ImagingResult.h"
#include "ParallelRows.h"
#include "PixelKernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace imaging {
namespace {

using Lut = std::array<std::uint8_t, 256>;

constexpr int kMaxChange = 1000;

inline std::uint8_t clampByte(int v)
{
    return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline std::uint8_t roundToByte(double v)
{
    return clampByte(int(std::floor(v + 0.5)));
}

// Rec. 601 in 16-bit fixed point; the weights add up to 65536 so greys map onto themselves.
inline int luma(int r, int g, int b)
{
    return int((std::uint32_t(r) * 19595u + std::uint32_t(g) * 38470u + std::uint32_t(b) * 7471u +
                32768u) >>
               16);
}

int checkBitmap(const Bitmap& bitmap)
{
    return bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0 ? NoBitmap : Success;
}

bool inRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

struct Span
{
    int begin = 0;
    int end = 0;
    bool isEmpty() const { return begin >= end; }
};

// The rows the region touches, clipped to the picture.
Span regionRows(const Bitmap& bitmap)
{
    if (!bitmap.region())
        return {0, bitmap.height()};
    const Rect& r = *bitmap.region();
    return {std::max(0, r.top), std::min(bitmap.height(), r.bottom)};
}

// The columns of row y inside the region, clipped to the picture. The ellipse gives the
// span directly; its ends are then settled with inRegion() so that rounding cannot make
// this disagree with the per-pixel test.
Span rowSpan(const Bitmap& bitmap, int y)
{
    if (!bitmap.region())
        return {0, bitmap.width()};
    const Rect& r = *bitmap.region();
    if (r.width() <= 0 || r.height() <= 0)
        return {};
    const double a = r.width() / 2.0;
    const double b = r.height() / 2.0;
    const double dy = (y + 0.5 - r.top - b) / b;
    if (dy * dy > 1.0)
        return {};
    const double half = a * std::sqrt(1.0 - dy * dy);
    const double centre = r.left + a;
    Span s{int(std::ceil(centre - half - 0.5)), int(std::floor(centre + half - 0.5)) + 1};
    s.begin = std::clamp(s.begin, r.left, r.right);
    s.end = std::clamp(s.end, s.begin, r.right);
    while (!s.isEmpty() && !bitmap.inRegion(s.begin, y))
        ++s.begin;
    while (!s.isEmpty() && !bitmap.inRegion(s.end - 1, y))
        --s.end;
    if (!s.isEmpty()) {
        while (s.begin > r.left && bitmap.inRegion(s.begin - 1, y))
            --s.begin;
        while (s.end < r.right && bitmap.inRegion(s.end, y))
            ++s.end;
    }
    s.begin = std::max(s.begin, 0);
    s.end = std::min(s.end, bitmap.width());
    return s;
}

// The rows of the region cut into pieces for the cores.
std::vector<RowRange> regionPieces(const Bitmap& bitmap)
{
    const Span rows = regionRows(bitmap);
    return splitRows(rows.begin, rows.end, bitmap.stride());
}

// Calls fn(pixels, count, piece index) for the run of region pixels on every row of the
// pieces, the pieces at once on several threads, polling the cancel flag once a row.
template <typename Fn>
int forEachSpan(Bitmap& bitmap, const std::vector<RowRange>& pieces, const Fn& fn)
{
    return runRows(pieces, [&](const RowRange& piece) {
        for (int y = piece.begin; y < piece.end; ++y) {
            if (cancelRequested())
                return int(Cancelled);
            const Span s = rowSpan(bitmap, y);
            if (!s.isEmpty())
                fn(bitmap.scanLine(y) + std::size_t(s.begin) * 3, std::size_t(s.end - s.begin),
                   piece.index);
        }
        return int(Success);
    });
}

// The same for operations that only change each pixel by itself: fn(pixels, count).
template <typename Fn> int forEachSpan(Bitmap& bitmap, const Fn& fn)
{
    return forEachSpan(bitmap, regionPieces(bitmap),
                       [&fn](std::uint8_t* p, std::size_t count, int) { fn(p, count); });
}

int applyLut(Bitmap& bitmap, const Lut& lut)
{
    return forEachSpan(bitmap, [&lut](std::uint8_t* p, std::size_t count) {
        const std::size_t bytes = count * 3;
        for (std::size_t i = 0; i < bytes; ++i)
            p[i] = lut[p[i]];
    });
}

int applyLuts(Bitmap& bitmap, const std::array<Lut, 3>& luts)
{
    return forEachSpan(bitmap, [&luts](std::uint8_t* p, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i, p += 3) {
            p[0] = luts[0][p[0]];
            p[1] = luts[1][p[1]];
            p[2] = luts[2][p[2]];
        }
    });
}

// A 3×3 channel mix in fixed point with `Shift` fractional bits: out[i] = Σ m[i][j]·in[j].
// out[i] = Σ m[i][j]·in[j] in fixed point with `shift` fractional bits, over count pixels.
PIXEL_KERNEL void mixChannels(std::uint8_t* __restrict p, std::size_t count,
                              const int* __restrict matrix, int shift)
{
    int m[9];
    std::copy_n(matrix, 9, m);
    const int half = 1 << (shift - 1);
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const int r = p[0];
        const int g = p[1];
        const int b = p[2];
        p[0] = clampByte((m[0] * r + m[1] * g + m[2] * b + half) >> shift);
        p[1] = clampByte((m[3] * r + m[4] * g + m[5] * b + half) >> shift);
        p[2] = clampByte((m[6] * r + m[7] * g + m[8] * b + half) >> shift);
    }
}

// v' = Y + (v − Y)·k with k in 10 fractional bits.
PIXEL_KERNEL void saturatePixels(std::uint8_t* __restrict p, std::size_t count, int k)
{
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const int y = luma(p[0], p[1], p[2]);
        p[0] = clampByte(y + (((p[0] - y) * k + 512) >> 10));
        p[1] = clampByte(y + (((p[1] - y) * k + 512) >> 10));
        p[2] = clampByte(y + (((p[2] - y) * k + 512) >> 10));
    }
}

PIXEL_KERNEL void greyPixels(std::uint8_t* __restrict p, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const auto y = std::uint8_t(luma(p[0], p[1], p[2]));
        p[0] = y;
        p[1] = y;
        p[2] = y;
    }
}

// A 3×3 channel mix in fixed point with `Shift` fractional bits: out[i] = Σ m[i][j]·in[j].
template <int Shift> int applyMatrix(Bitmap& bitmap, const std::array<std::array<int, 3>, 3>& m)
{
    const std::array<int, 9> flat{m[0][0], m[0][1], m[0][2], m[1][0], m[1][1],
                                  m[1][2], m[2][0], m[2][1], m[2][2]};
    return forEachSpan(bitmap, [&flat](std::uint8_t* p, std::size_t count) {
        mixChannels(p, count, flat.data(), Shift);
    });
}

// Linear stretch of [low, high] onto [0, 255], where low and high clip the given shares of
// the histogram at each end. False when there is nothing to stretch.
bool stretchLut(const std::array<std::int64_t, 256>& histogram, std::int64_t total, int blackClip,
                int whiteClip, Lut& lut)
{
    const std::int64_t blackCount = total * blackClip / 10000;
    const std::int64_t whiteCount = total * whiteClip / 10000;
    int low = 0;
    for (std::int64_t sum = 0; low < 255; ++low) {
        sum += histogram[std::size_t(low)];
        if (sum > blackCount)
            break;
    }
    int high = 255;
    for (std::int64_t sum = 0; high > 0; --high) {
        sum += histogram[std::size_t(high)];
        if (sum > whiteCount)
            break;
    }
    if (high <= low)
        return false;
    const int range = high - low;
    for (int v = 0; v < 256; ++v) {
        const int from = std::clamp(v, low, high) - low;
        lut[std::size_t(v)] = std::uint8_t((from * 510 + range) / (2 * range));
    }
    return true;
}

Lut identityLut()
{
    Lut lut{};
    for (int v = 0; v < 256; ++v)
        lut[std::size_t(v)] = std::uint8_t(v);
    return lut;
}

using Histogram = std::array<std::int64_t, 256>;

// Per-piece histograms of the region added up, so no two threads count into one.
template <std::size_t Channels, typename Count>
int gatherHistograms(Bitmap& bitmap, std::array<Histogram, Channels>& sums, std::int64_t& total,
                     const Count& count)
{
    const std::vector<RowRange> pieces = regionPieces(bitmap);
    std::vector<std::array<Histogram, Channels>> histograms(pieces.size());
    std::vector<std::int64_t> totals(pieces.size());
    const int result =
        forEachSpan(bitmap, pieces, [&](const std::uint8_t* p, std::size_t n, int i) {
            totals[std::size_t(i)] += std::int64_t(n);
            count(p, n, histograms[std::size_t(i)]);
        });
    sums = {};
    total = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        total += totals[i];
        for (std::size_t c = 0; c < Channels; ++c)
            for (std::size_t v = 0; v < 256; ++v)
                sums[c][v] += histograms[i][c][v];
    }
    return result;
}

int autoColorStretch(Bitmap& bitmap, int blackClip, int whiteClip)
{
    std::array<Histogram, 3> histograms{};
    std::int64_t total = 0;
    const int result =
        gatherHistograms(bitmap, histograms, total,
                         [](const std::uint8_t* p, std::size_t count, std::array<Histogram, 3>& h) {
                             for (std::size_t i = 0; i < count; ++i, p += 3) {
                                 ++h[0][p[0]];
                                 ++h[1][p[1]];
                                 ++h[2][p[2]];
                             }
                         });
    if (result != Success || total == 0)
        return result;
    std::array<Lut, 3> luts{};
    bool any = false;
    for (std::size_t c = 0; c < 3; ++c) {
        if (stretchLut(histograms[c], total, blackClip, whiteClip, luts[c]))
            any = true;
        else
            luts[c] = identityLut();
    }
    return any ? applyLuts(bitmap, luts) : Success;
}

int autoContrastStretch(Bitmap& bitmap, int blackClip, int whiteClip)
{
    std::array<Histogram, 1> histogram{};
    std::int64_t total = 0;
    const int result =
        gatherHistograms(bitmap, histogram, total,
                         [](const std::uint8_t* p, std::size_t count, std::array<Histogram, 1>& h) {
                             for (std::size_t i = 0; i < count; ++i, p += 3)
                                 ++h[0][std::size_t(luma(p[0], p[1], p[2]))];
                         });
    if (result != Success || total == 0)
        return result;
    Lut lut{};
    if (!stretchLut(histogram[0], total, blackClip, whiteClip, lut))
        return Success;
    return applyLut(bitmap, lut);
}

int autoIntensityGamma(Bitmap& bitmap)
{
    // The luma histogram gives the exact sum as well, without a shared running total.
    std::array<Histogram, 1> histogram{};
    std::int64_t total = 0;
    const int result =
        gatherHistograms(bitmap, histogram, total,
                         [](const std::uint8_t* p, std::size_t count, std::array<Histogram, 1>& h) {
                             for (std::size_t i = 0; i < count; ++i, p += 3)
                                 ++h[0][std::size_t(luma(p[0], p[1], p[2]))];
                         });
    if (result != Success || total == 0)
        return result;
    std::int64_t sum = 0;
    for (std::size_t v = 0; v < 256; ++v)
        sum += std::int64_t(v) * histogram[0][v];
    const double mean = double(sum) / double(total) / 255.0;
    // No curve through 0 or 1 can move an all-black or all-white picture.
    if (mean <= 0.5 / 255.0 || mean >= 254.5 / 255.0)
        return Success;
    const double gamma = std::clamp(std::log(0.5) / std::log(mean), 0.4, 2.5);
    Lut lut{};
    for (int v = 0; v < 256; ++v)
        lut[std::size_t(v)] = roundToByte(255.0 * std::pow(v / 255.0, gamma));
    return applyLut(bitmap, lut);
}

// Box (filter 0) or tent (filter 1) weight at offset k of a radius-d kernel.
inline int kernelWeight(int filter, int d, int k)
{
    return filter == 0 ? 1 : d + 1 - std::abs(k);
}

// The kernel's weights, offset −d first.
using Weights = std::array<std::int32_t, 17>;
// A horizontally filtered channel: at most 81 · 255 (the tent of dimension 8), so 16 bits
// hold it, which lets the compiler use 16-bit multiplies, eight at a time.
using Filtered = std::int16_t;

// Horizontal pass where the whole kernel lies in the row: out[j] = Σ w[k]·src[j + 3(k − R)]
// for the interleaved bytes j in [from, to), from ≥ 3R. With R fixed the taps unroll and
// the loop over j vectorises, each sum staying in a register.
template <int R>
void filterSpan(const std::uint8_t* src, Filtered* out, std::size_t from, std::size_t to,
                const Weights& weights)
{
    std::array<Filtered, 2 * R + 1> w{};
    for (std::size_t k = 0; k < w.size(); ++k)
        w[k] = Filtered(weights[k]);
    const std::uint8_t* base = src + (from - 3 * R);
    for (std::size_t j = 0; j < to - from; ++j) {
        Filtered acc = 0;
        for (std::size_t k = 0; k < w.size(); ++k)
            acc = Filtered(acc + w[k] * base[j + 3 * k]);
        out[from + j] = acc;
    }
}

// Vertical pass and division for bytes of one weight, with all 2R + 1 rows of the kernel
// present: smooth[j] = the rounded quotient, differs[j] = 1 where it is more than the
// threshold away from p[j]. The division is a float division: the sums are below 2^21, so
// they and the weight are exact in a float, and a correctly rounded quotient never reaches
// the next integer (that would take an error of 1/weight, far above a float's 2^-15 at
// 256), so it truncates to the exact quotient.
template <int R>
void smoothSpan(const Filtered* const* rows, const Weights& weights, std::int32_t weight,
                int threshold, const std::uint8_t* p, std::size_t bytes, std::uint8_t* smooth,
                std::uint8_t* differs)
{
    std::array<const Filtered*, 2 * R + 1> r{};
    std::array<Filtered, 2 * R + 1> w{}; // 16 bits both: a widening multiply
    std::copy_n(rows, 2 * R + 1, r.begin());
    for (std::size_t k = 0; k < w.size(); ++k)
        w[k] = Filtered(weights[k]);
    const float divisor = float(weight);
    const std::int32_t half = weight / 2;
    for (std::size_t j = 0; j < bytes; ++j) {
        std::int32_t sum = half;
        for (std::size_t k = 0; k < r.size(); ++k)
            sum += std::int32_t(w[k]) * std::int32_t(r[k][j]);
        const int value = int(float(sum) / divisor);
        smooth[j] = std::uint8_t(value);
        differs[j] = std::abs(value - int(p[j])) > threshold ? 1 : 0;
    }
}

// Calls fn.template operator()<R>() for the radius 1 … 8, so each gets its unrolled loops.
template <typename Fn> void withRadius(int radius, const Fn& fn)
{
    switch (radius) {
    case 1:
        return fn.template operator()<1>();
    case 2:
        return fn.template operator()<2>();
    case 3:
        return fn.template operator()<3>();
    case 4:
        return fn.template operator()<4>();
    case 5:
        return fn.template operator()<5>();
    case 6:
        return fn.template operator()<6>();
    case 7:
        return fn.template operator()<7>();
    default:
        return fn.template operator()<8>();
    }
}

// The separable smoothing behind antiAlias. Rows are filtered horizontally once, into a
// ring that holds the 2d + 1 rows a vertical pass needs, each before its own row is
// written, so the result only ever reads the unchanged picture. The rows go to the cores in
// pieces; the rows within d of a cut are saved first, since a piece reads its neighbours'
// rows while they are written.
class Smoother
{
public:
    Smoother(Bitmap& bitmap, int threshold, int dimension, int filter)
        : mBitmap(bitmap), mThreshold(threshold), mRadius(dimension), mFilter(filter)
    {
        mColumns = {0, bitmap.width()};
        if (bitmap.region()) {
            mColumns.begin = std::max(0, bitmap.region()->left);
            mColumns.end = std::min(bitmap.width(), bitmap.region()->right);
        }
    }

    int run()
    {
        const Span rows = regionRows(mBitmap);
        if (rows.isEmpty() || mColumns.isEmpty())
            return Success;
        mWeightX.assign(std::size_t(mColumns.end - mColumns.begin), 0);
        for (int x = mColumns.begin; x < mColumns.end; ++x)
            mWeightX[std::size_t(x - mColumns.begin)] = weightSum(x, mBitmap.width());
        mFullWeightX = weightSum(mRadius, 2 * mRadius + 1);
        for (int k = -mRadius; k <= mRadius; ++k)
            mWeights[std::size_t(k + mRadius)] = kernelWeight(mFilter, mRadius, k);
        const std::vector<RowRange> pieces =
            splitRows(rows.begin, rows.end, mBitmap.stride() * std::size_t(2 * mRadius + 1));
        saveRowsAtCuts(pieces);
        return runRows(pieces, [this](const RowRange& piece) { return smoothPiece(piece); });
    }

private:
    // Per piece: the horizontally filtered rows and the vertical sums of one row.
    struct Buffers
    {
        std::vector<Filtered> ring;
        std::vector<std::int32_t> sum;
        std::vector<std::uint8_t> smooth;  // the filtered bytes of one row
        std::vector<std::uint8_t> differs; // 1 where a byte differs by more than the threshold
    };

    void saveRowsAtCuts(const std::vector<RowRange>& pieces)
    {
        mSavedIndex.assign(std::size_t(mBitmap.height()), -1);
        mSaved.clear();
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            const int cut = pieces[i].begin;
            for (int y = std::max(0, cut - mRadius); y < std::min(mBitmap.height(), cut + mRadius);
                 ++y) {
                if (mSavedIndex[std::size_t(y)] >= 0)
                    continue;
                mSavedIndex[std::size_t(y)] = int(mSaved.size() / mBitmap.stride());
                mSaved.insert(mSaved.end(), mBitmap.scanLine(y),
                              mBitmap.scanLine(y) + mBitmap.stride());
            }
        }
    }

    // Row y as it was before any piece wrote: another piece's rows come from the copies.
    const std::uint8_t* originalRow(int y, const RowRange& piece) const
    {
        const int saved = mSavedIndex[std::size_t(y)];
        if ((y < piece.begin || y >= piece.end) && saved >= 0)
            return mSaved.data() + std::size_t(saved) * mBitmap.stride();
        return mBitmap.scanLine(y);
    }

    int smoothPiece(const RowRange& piece)
    {
        const std::size_t n = std::size_t(mColumns.end - mColumns.begin);
        Buffers buffers;
        buffers.ring.assign(std::size_t(2 * mRadius + 1) * n * 3, 0);
        buffers.sum.assign(n * 3, 0);
        buffers.smooth.assign(n * 3, 0);
        buffers.differs.assign(n * 3, 0);
        int next = std::max(0, piece.begin - mRadius);
        for (int y = piece.begin; y < piece.end; ++y) {
            if (cancelRequested())
                return Cancelled;
            for (const int last = std::min(mBitmap.height() - 1, y + mRadius); next <= last; ++next)
                filterRow(originalRow(next, piece), ringRow(buffers, next));
            const Span s = rowSpan(mBitmap, y);
            if (!s.isEmpty())
                smoothRow(buffers, y, s);
        }
        return Success;
    }

    int weightSum(int at, int size) const
    {
        int sum = 0;
        for (int k = std::max(-mRadius, -at); k <= std::min(mRadius, size - 1 - at); ++k)
            sum += kernelWeight(mFilter, mRadius, k);
        return sum;
    }

    Filtered* ringRow(Buffers& buffers, int y) const
    {
        const std::size_t n = std::size_t(mColumns.end - mColumns.begin);
        return buffers.ring.data() + std::size_t(y % (2 * mRadius + 1)) * n * 3;
    }

    void filterRow(const std::uint8_t* src, Filtered* ring) const
    {
        Filtered* out = ring - std::ptrdiff_t(mColumns.begin) * 3;
        // Where the whole kernel lies in the row, over the interleaved bytes in a loop the
        // compiler vectorises; only the columns near the ends go pixel by pixel.
        const int inner = std::max(mColumns.begin, mRadius);
        const int innerEnd = std::max(inner, std::min(mColumns.end, mBitmap.width() - mRadius));
        for (int x = mColumns.begin; x < inner; ++x)
            filterPixel(src, out, x);
        const std::size_t from = std::size_t(inner) * 3;
        const std::size_t to = std::size_t(innerEnd) * 3;
        if (from < to) {
            withRadius(mRadius, [&]<int R>() { filterSpan<R>(src, out, from, to, mWeights); });
        }
        for (int x = std::max(inner, innerEnd); x < mColumns.end; ++x)
            filterPixel(src, out, x);
    }

    void filterPixel(const std::uint8_t* src, Filtered* out, int x) const
    {
        std::int32_t r = 0;
        std::int32_t g = 0;
        std::int32_t b = 0;
        for (int k = std::max(-mRadius, -x); k <= std::min(mRadius, mBitmap.width() - 1 - x); ++k) {
            const int w = kernelWeight(mFilter, mRadius, k);
            const std::uint8_t* p = src + std::size_t(x + k) * 3;
            r += w * p[0];
            g += w * p[1];
            b += w * p[2];
        }
        Filtered* o = out + std::size_t(x) * 3;
        o[0] = Filtered(r);
        o[1] = Filtered(g);
        o[2] = Filtered(b);
    }

    void smoothRow(Buffers& buffers, int y, const Span& s) const
    {
        const int top = std::max(0, y - mRadius);
        const int bottom = std::min(mBitmap.height() - 1, y + mRadius);
        const std::int32_t weightY = weightSum(y, mBitmap.height());
        // Away from the picture's edges every pixel has the whole kernel's weight.
        const int innerBegin = std::clamp(mRadius, s.begin, s.end);
        const int innerEnd = std::clamp(mBitmap.width() - mRadius, innerBegin, s.end);
        if (top == y - mRadius && bottom == y + mRadius) {
            sumColumns(buffers, y, s.begin, innerBegin);
            sumColumns(buffers, y, innerEnd, s.end);
            smoothInner(buffers, y, innerBegin, innerEnd, mFullWeightX * weightY);
        } else {
            sumColumns(buffers, y, s.begin, s.end);
            smoothInnerFromSums(buffers, y, innerBegin, innerEnd, mFullWeightX * weightY);
        }
        smoothEdge(buffers, y, s.begin, innerBegin, weightY);
        smoothEdge(buffers, y, innerEnd, s.end, weightY);
    }

    // The vertical sums of columns [begin, end) of row y into buffers.sum.
    void sumColumns(Buffers& buffers, int y, int begin, int end) const
    {
        if (begin >= end)
            return;
        std::int32_t* sum = buffers.sum.data();
        const std::size_t from = std::size_t(begin - mColumns.begin) * 3;
        const std::size_t to = std::size_t(end - mColumns.begin) * 3;
        std::fill(sum + from, sum + to, 0);
        const int top = std::max(0, y - mRadius);
        const int bottom = std::min(mBitmap.height() - 1, y + mRadius);
        for (int row = top; row <= bottom; ++row) {
            const std::int32_t w = kernelWeight(mFilter, mRadius, row - y);
            const Filtered* h = ringRow(buffers, row);
            for (std::size_t i = from; i < to; ++i)
                sum[i] += w * h[i];
        }
    }

    // Columns [begin, end) of a row whose kernel has all its rows: the sums and the division
    // in one vectorised pass.
    void smoothInner(Buffers& buffers, int y, int begin, int end, std::int32_t weight) const
    {
        if (begin >= end)
            return;
        std::array<const Filtered*, 17> rows{};
        const std::size_t offset = std::size_t(begin - mColumns.begin) * 3;
        for (int k = 0; k <= 2 * mRadius; ++k)
            rows[std::size_t(k)] = ringRow(buffers, y - mRadius + k) + offset;
        const std::size_t bytes = std::size_t(end - begin) * 3;
        const std::uint8_t* p = mBitmap.scanLine(y) + std::size_t(begin) * 3;
        withRadius(mRadius, [&]<int R>() {
            smoothSpan<R>(rows.data(), mWeights, weight, mThreshold, p, bytes,
                          buffers.smooth.data(), buffers.differs.data());
        });
        takeSmoothed(buffers, y, begin, end);
    }

    // The same where the kernel is cut by the top or bottom edge, from buffers.sum.
    void smoothInnerFromSums(Buffers& buffers, int y, int begin, int end, std::int32_t weight) const
    {
        if (begin >= end)
            return;
        const std::size_t bytes = std::size_t(end - begin) * 3;
        const std::int32_t* sum = buffers.sum.data() + std::size_t(begin - mColumns.begin) * 3;
        const std::uint8_t* p = mBitmap.scanLine(y) + std::size_t(begin) * 3;
        const float divisor = float(weight); // exact: see smoothSpan
        for (std::size_t j = 0; j < bytes; ++j) {
            const int value = int(float(sum[j] + weight / 2) / divisor);
            buffers.smooth[j] = std::uint8_t(value);
            buffers.differs[j] = std::abs(value - int(p[j])) > mThreshold ? 1 : 0;
        }
        takeSmoothed(buffers, y, begin, end);
    }

    // A pixel takes its smoothed value when any of its channels differs enough.
    void takeSmoothed(const Buffers& buffers, int y, int begin, int end) const
    {
        std::uint8_t* p = mBitmap.scanLine(y) + std::size_t(begin) * 3;
        const std::uint8_t* smooth = buffers.smooth.data();
        const std::uint8_t* differs = buffers.differs.data();
        const std::size_t bytes = std::size_t(end - begin) * 3;
        for (std::size_t j = 0; j < bytes; j += 3) {
            if (differs[j] | differs[j + 1] | differs[j + 2]) {
                p[j] = smooth[j];
                p[j + 1] = smooth[j + 1];
                p[j + 2] = smooth[j + 2];
            }
        }
    }

    // Pixels whose weight changes from one to the next. Division by the weight through a
    // 2^40 reciprocal: exact for these sums (below 2^21).
    void smoothEdge(const Buffers& buffers, int y, int begin, int end, std::int32_t weightY) const
    {
        std::uint8_t* p = mBitmap.scanLine(y) + std::size_t(begin) * 3;
        for (int x = begin; x < end; ++x, p += 3) {
            const std::size_t i = std::size_t(x - mColumns.begin);
            const std::int32_t weight = mWeightX[i] * weightY;
            const std::uint64_t reciprocal =
                ((std::uint64_t(1) << 40) + std::uint64_t(weight) - 1) / std::uint64_t(weight);
            std::array<int, 3> smooth{};
            bool differs = false;
            for (std::size_t c = 0; c < 3; ++c) {
                const auto rounded = std::uint64_t(buffers.sum[i * 3 + c] + weight / 2);
                smooth[c] = int((rounded * reciprocal) >> 40);
                differs = differs || std::abs(smooth[c] - p[c]) > mThreshold;
            }
            if (differs) {
                for (std::size_t c = 0; c < 3; ++c)
                    p[c] = std::uint8_t(smooth[c]);
            }
        }
    }

    Bitmap& mBitmap;
    int mThreshold;
    int mRadius;
    int mFilter;
    Span mColumns;
    std::vector<std::int32_t> mWeightX;
    std::int32_t mFullWeightX = 0; // the whole kernel's sum
    Weights mWeights{};
    std::vector<std::uint8_t> mSaved; // rows near the cuts between pieces, as they were
    std::vector<int> mSavedIndex;     // row → its copy in mSaved, or −1
};

} // namespace

int changeContrast(Bitmap& bitmap, int change)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(change, -kMaxChange, kMaxChange))
        return InvalidParameter;
    if (change == 0)
        return Success;
    const double c = change / 1000.0;
    const double k = change < 0 ? 1.0 + c : 1.0 / (1.0 - 0.99 * c);
    Lut lut{};
    for (int v = 0; v < 256; ++v)
        lut[std::size_t(v)] = roundToByte(127.5 + (v - 127.5) * k);
    return applyLut(bitmap, lut);
}

int changeIntensity(Bitmap& bitmap, int change)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(change, -kMaxChange, kMaxChange))
        return InvalidParameter;
    if (change == 0)
        return Success;
    const int offset = int(std::lround(change * 255 / 1000.0));
    Lut lut{};
    for (int v = 0; v < 256; ++v)
        lut[std::size_t(v)] = clampByte(v + offset);
    return applyLut(bitmap, lut);
}

int changeSaturation(Bitmap& bitmap, int change)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(change, -kMaxChange, kMaxChange))
        return InvalidParameter;
    if (change == 0)
        return Success;
    const int k = int(std::lround(1024.0 * (1000 + change) / 1000.0)); // 10 fractional bits
    return forEachSpan(bitmap,
                       [k](std::uint8_t* p, std::size_t count) { saturatePixels(p, count, k); });
}

int changeHue(Bitmap& bitmap, int degrees)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(degrees, -360, 360))
        return InvalidParameter;
    if (degrees % 360 == 0)
        return Success;
    // Rotation about the unit axis (1, 1, 1) / √3 (Rodrigues' formula).
    const double angle = degrees * std::numbers::pi / 180.0;
    const double third = (1.0 - std::cos(angle)) / 3.0;
    const double side = std::sin(angle) / std::numbers::sqrt3;
    const int plus = int(std::lround((third + side) * 4096));
    const int minus = int(std::lround((third - side) * 4096));
    const int diagonal = 4096 - plus - minus; // rows add up to one: greys stay exact
    return applyMatrix<12>(
        bitmap, {{{diagonal, minus, plus}, {plus, diagonal, minus}, {minus, plus, diagonal}}});
}

int balanceColors(Bitmap& bitmap, const ChannelFactors& red, const ChannelFactors& green,
                  const ChannelFactors& blue)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    const std::array<const ChannelFactors*, 3> sources{&red, &green, &blue};
    std::array<std::array<int, 3>, 3> m{};
    for (std::size_t j = 0; j < 3; ++j) {
        const std::array<double, 3> to{sources[j]->toRed, sources[j]->toGreen, sources[j]->toBlue};
        for (std::size_t i = 0; i < 3; ++i) {
            if (!std::isfinite(to[i]) || std::abs(to[i]) > 16.0)
                return InvalidParameter;
            m[i][j] = int(std::lround(to[i] * 16384)); // 14 fractional bits
        }
    }
    if (m == std::array<std::array<int, 3>, 3>{{{16384, 0, 0}, {0, 16384, 0}, {0, 0, 16384}}})
        return Success;
    return applyMatrix<14>(bitmap, m);
}

int autoColorLevel(Bitmap& bitmap, int method, int blackClip, int whiteClip, AutoLevel kind)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (method != 0 || !inRange(blackClip, 0, 10000) || !inRange(whiteClip, 0, 10000) ||
        blackClip + whiteClip >= 10000)
        return InvalidParameter;
    switch (kind) {
    case AutoLevel::Color:
        return autoColorStretch(bitmap, blackClip, whiteClip);
    case AutoLevel::Contrast:
        return autoContrastStretch(bitmap, blackClip, whiteClip);
    case AutoLevel::Intensity:
        return autoIntensityGamma(bitmap);
    }
    return InvalidParameter;
}

int desaturate(Bitmap& bitmap)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    return forEachSpan(bitmap, [](std::uint8_t* p, std::size_t count) { greyPixels(p, count); });
}

int antiAlias(Bitmap& bitmap, int threshold, int dimension, int filter)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(threshold, 0, 255) || !inRange(dimension, 1, 8) || !inRange(filter, 0, 1))
        return InvalidParameter;
    return Smoother(bitmap, threshold, dimension, filter).run();
}

int getPixelColor(const Bitmap& bitmap, int row, int column, ColorRef& color)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(row, 0, bitmap.height() - 1) || !inRange(column, 0, bitmap.width() - 1))
        return InvalidParameter;
    const std::uint8_t* p = bitmap.scanLine(row) + std::size_t(column) * 3;
    color = makeColorRef(p[0], p[1], p[2]);
    return Success;
}

int removeRedeye(Bitmap& bitmap, ColorRef replacement, int threshold, int lightness)
{
    if (const int r = checkBitmap(bitmap); r != Success)
        return r;
    if (!inRange(threshold, 0, 255) || !inRange(lightness, 0, 200))
        return InvalidParameter;
    const int repR = redOf(replacement);
    const int repG = greenOf(replacement);
    const int repB = blueOf(replacement);
    const int repLuma = luma(repR, repG, repB);
    return forEachSpan(bitmap, [&](std::uint8_t* p, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i, p += 3) {
            const int r = p[0];
            const int g = p[1];
            const int b = p[2];
            if (r < threshold || 2 * r <= 3 * std::max(g, b))
                continue;
            const int own = std::min(255, ((g + b) * lightness + 100) / 200);
            const int shift = own - repLuma;
            p[0] = clampByte(repR + shift);
            p[1] = clampByte(repG + shift);
            p[2] = clampByte(repB + shift);
        }
    });
}

} // namespace imaging
