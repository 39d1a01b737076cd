#include "ColorOps.h"

#include "Cancel.h"
#include "ImagingResult.h"
#include "ParallelRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace imaging {
namespace {

struct Rgb
{
    int r = 0;
    int g = 0;
    int b = 0;
};

Bitmap makeBitmap(int width, int height, const std::function<Rgb(int x, int y)>& colour)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), Success);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            std::uint8_t* p = bitmap.scanLine(y) + std::size_t(x) * 3;
            p[0] = std::uint8_t(c.r);
            p[1] = std::uint8_t(c.g);
            p[2] = std::uint8_t(c.b);
        }
    }
    return bitmap;
}

Bitmap makeUniform(int width, int height, Rgb c)
{
    return makeBitmap(width, height, [c](int, int) { return c; });
}

// Every combination of 16 levels per channel, 0 and 255 included.
Bitmap allColours()
{
    return makeBitmap(64, 64, [](int x, int y) {
        const int i = y * 64 + x;
        return Rgb{(i & 15) * 17, ((i >> 4) & 15) * 17, ((i >> 8) & 15) * 17};
    });
}

Rgb pixel(const Bitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.scanLine(y) + std::size_t(x) * 3;
    return {p[0], p[1], p[2]};
}

std::vector<std::uint8_t> bytes(const Bitmap& bitmap)
{
    return {bitmap.bits(), bitmap.bits() + bitmap.byteCount()};
}

double lumaOf(Rgb c)
{
    return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
}

struct Stats
{
    double mean = 0;
    double deviation = 0;
    double minimum = 255;
    double maximum = 0;
};

Stats lumaStats(const Bitmap& bitmap)
{
    Stats s;
    double sum = 0;
    double squares = 0;
    const double n = double(bitmap.width()) * bitmap.height();
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const double l = lumaOf(pixel(bitmap, x, y));
            sum += l;
            squares += l * l;
            s.minimum = std::min(s.minimum, l);
            s.maximum = std::max(s.maximum, l);
        }
    }
    s.mean = sum / n;
    s.deviation = std::sqrt(std::max(0.0, squares / n - s.mean * s.mean));
    return s;
}

// Mean over the picture of each pixel's largest minus smallest channel.
double meanChroma(const Bitmap& bitmap)
{
    double sum = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const Rgb c = pixel(bitmap, x, y);
            sum += std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
        }
    }
    return sum / (double(bitmap.width()) * bitmap.height());
}

std::array<double, 3> channelMeans(const Bitmap& bitmap)
{
    std::array<double, 3> sum{};
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const Rgb c = pixel(bitmap, x, y);
            sum[0] += c.r;
            sum[1] += c.g;
            sum[2] += c.b;
        }
    }
    const double n = double(bitmap.width()) * bitmap.height();
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

// The operations that take one value, as the edit window calls them.
using ValueOp = int (*)(Bitmap&, int);
struct NamedOp
{
    const char* name;
    ValueOp op;
    int limit;
};
const std::array<NamedOp, 4> kValueOps{{{"contrast", changeContrast, 1000},
                                        {"intensity", changeIntensity, 1000},
                                        {"saturation", changeSaturation, 1000},
                                        {"hue", changeHue, 360}}};

int balanceFromSettings(Bitmap& bitmap, double r, double g, double b)
{
    return balanceColors(bitmap, {std::min(1.0, 1 + r), std::max(0.0, g), std::max(0.0, b)},
                         {std::max(0.0, r), std::min(1.0, 1 + g), std::max(0.0, b)},
                         {std::max(0.0, r), std::max(0.0, g), std::min(1.0, 1 + b)});
}

TEST(ColorOpsArguments, EmptyBitmapIsRefusedByEveryOperation)
{
    Bitmap empty;
    ColorRef colour = 0;
    for (const NamedOp& op : kValueOps)
        EXPECT_EQ(op.op(empty, 10), NoBitmap) << op.name;
    EXPECT_EQ(balanceColors(empty, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}), NoBitmap);
    EXPECT_EQ(autoColorLevel(empty, 0, 50, 50, AutoLevel::Color), NoBitmap);
    EXPECT_EQ(desaturate(empty), NoBitmap);
    EXPECT_EQ(antiAlias(empty, 0, 2, 1), NoBitmap);
    EXPECT_EQ(getPixelColor(empty, 0, 0, colour), NoBitmap);
    EXPECT_EQ(removeRedeye(empty, 0, 128, 100), NoBitmap);
}

TEST(ColorOpsArguments, OutOfRangeValuesAreRefusedAndChangeNothing)
{
    Bitmap bitmap = allColours();
    const auto before = bytes(bitmap);
    for (const NamedOp& op : kValueOps) {
        EXPECT_EQ(op.op(bitmap, op.limit + 1), InvalidParameter) << op.name;
        EXPECT_EQ(op.op(bitmap, -op.limit - 1), InvalidParameter) << op.name;
    }
    EXPECT_EQ(balanceColors(bitmap, {NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}), InvalidParameter);
    EXPECT_EQ(balanceColors(bitmap, {1, 0, 0}, {0, 1, 0}, {0, 0, 17}), InvalidParameter);
    EXPECT_EQ(autoColorLevel(bitmap, 1, 50, 50, AutoLevel::Color), InvalidParameter);
    EXPECT_EQ(autoColorLevel(bitmap, 0, -1, 50, AutoLevel::Color), InvalidParameter);
    EXPECT_EQ(autoColorLevel(bitmap, 0, 5000, 5000, AutoLevel::Contrast), InvalidParameter);
    EXPECT_EQ(autoColorLevel(bitmap, 0, 50, 50, AutoLevel(4)), InvalidParameter);
    EXPECT_EQ(antiAlias(bitmap, 256, 2, 1), InvalidParameter);
    EXPECT_EQ(antiAlias(bitmap, 0, 0, 1), InvalidParameter);
    EXPECT_EQ(antiAlias(bitmap, 0, 9, 1), InvalidParameter);
    EXPECT_EQ(antiAlias(bitmap, 0, 2, 2), InvalidParameter);
    EXPECT_EQ(removeRedeye(bitmap, 0, 256, 100), InvalidParameter);
    EXPECT_EQ(removeRedeye(bitmap, 0, 128, 201), InvalidParameter);
    EXPECT_EQ(bytes(bitmap), before);
}

TEST(ColorOpsArguments, GetPixelColorReadsRowThenColumnAsBgrRef)
{
    Bitmap bitmap = makeBitmap(5, 3, [](int x, int y) { return Rgb{x * 10, y * 20, 7}; });
    ColorRef colour = 0;
    ASSERT_EQ(getPixelColor(bitmap, 2, 4, colour), Success);
    EXPECT_EQ(colour, 0x0007'2828u); // R 40, G 40, B 7
    ASSERT_EQ(getPixelColor(bitmap, 1, 3, colour), Success);
    EXPECT_EQ(colour, makeColorRef(30, 20, 7));
    EXPECT_EQ(getPixelColor(bitmap, 3, 0, colour), InvalidParameter);
    EXPECT_EQ(getPixelColor(bitmap, 0, 5, colour), InvalidParameter);
    EXPECT_EQ(getPixelColor(bitmap, -1, 0, colour), InvalidParameter);
}

TEST(ColorOpsIdentity, NeutralValuesKeepEveryPixel)
{
    const Bitmap original = allColours();
    const auto expected = bytes(original);
    for (const NamedOp& op : kValueOps) {
        Bitmap bitmap = allColours();
        EXPECT_EQ(op.op(bitmap, 0), Success) << op.name;
        EXPECT_EQ(bytes(bitmap), expected) << op.name;
    }
    for (int degrees : {360, -360}) {
        Bitmap bitmap = allColours();
        EXPECT_EQ(changeHue(bitmap, degrees), Success);
        EXPECT_EQ(bytes(bitmap), expected) << degrees;
    }
    Bitmap balanced = allColours();
    EXPECT_EQ(balanceColors(balanced, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}), Success);
    EXPECT_EQ(bytes(balanced), expected);
}

TEST(ColorOpsIdentity, SmallNonZeroValuesKeepGreys)
{
    // Fixed-point rounding must not drift a grey off the grey axis.
    Bitmap bitmap = makeBitmap(256, 1, [](int x, int) { return Rgb{x, x, x}; });
    const auto expected = bytes(bitmap);
    EXPECT_EQ(changeSaturation(bitmap, 700), Success);
    EXPECT_EQ(changeHue(bitmap, 37), Success);
    EXPECT_EQ(changeHue(bitmap, -180), Success);
    EXPECT_EQ(bytes(bitmap), expected);
}

TEST(ColorOpsExtremes, ContrastAndIntensityEndsAreFlatOrBinaryWithoutWrapping)
{
    const auto ramp = [] { return makeBitmap(256, 1, [](int x, int) { return Rgb{x, x, x}; }); };
    Bitmap flat = ramp();
    ASSERT_EQ(changeContrast(flat, -1000), Success);
    for (int x = 0; x < 256; ++x)
        ASSERT_EQ(pixel(flat, x, 0).r, 128) << x;

    Bitmap steep = ramp();
    ASSERT_EQ(changeContrast(steep, 1000), Success);
    EXPECT_EQ(pixel(steep, 0, 0).r, 0);
    EXPECT_EQ(pixel(steep, 126, 0).r, 0);
    EXPECT_EQ(pixel(steep, 129, 0).r, 255);
    EXPECT_EQ(pixel(steep, 255, 0).r, 255);
    for (int x = 1; x < 256; ++x)
        ASSERT_GE(pixel(steep, x, 0).r, pixel(steep, x - 1, 0).r) << x;

    Bitmap white = allColours();
    ASSERT_EQ(changeIntensity(white, 1000), Success);
    EXPECT_EQ(lumaStats(white).minimum, 255.0);
    Bitmap black = allColours();
    ASSERT_EQ(changeIntensity(black, -1000), Success);
    EXPECT_EQ(lumaStats(black).maximum, 0.0);
}

TEST(ColorOpsExtremes, SaturationAndHueKeepChannelOrderWhereTheyMust)
{
    // Wrapping at 255 or 0 would reorder a pixel's channels.
    Bitmap vivid = allColours();
    ASSERT_EQ(changeSaturation(vivid, 1000), Success);
    Bitmap grey = allColours();
    ASSERT_EQ(changeSaturation(grey, -1000), Success);
    const Bitmap original = allColours();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Rgb o = pixel(original, x, y);
            const Rgb v = pixel(vivid, x, y);
            const Rgb g = pixel(grey, x, y);
            ASSERT_FALSE(o.r > o.g && v.r < v.g) << x << "," << y;
            ASSERT_FALSE(o.g < o.b && v.g > v.b) << x << "," << y;
            ASSERT_EQ(g.r, g.g);
            ASSERT_EQ(g.g, g.b);
            ASSERT_NEAR(g.r, lumaOf(o), 1.0);
        }
    }
    // A third of a turn permutes the channels exactly, so turning back restores them.
    Bitmap turned = allColours();
    ASSERT_EQ(changeHue(turned, 360 / 3), Success);
    ASSERT_EQ(changeHue(turned, -360 / 3), Success);
    EXPECT_EQ(bytes(turned), bytes(original));
}

TEST(ColorOpsDirection, ContrastSpreadsOrNarrowsAndBrightnessLightens)
{
    const Stats before = lumaStats(allColours());
    Bitmap more = allColours();
    ASSERT_EQ(changeContrast(more, 400), Success);
    EXPECT_GT(lumaStats(more).deviation, before.deviation * 1.2);
    Bitmap less = allColours();
    ASSERT_EQ(changeContrast(less, -400), Success);
    EXPECT_LT(lumaStats(less).deviation, before.deviation * 0.8);
    EXPECT_NEAR(lumaStats(less).mean, before.mean, 2.0);

    Bitmap lighter = allColours();
    ASSERT_EQ(changeIntensity(lighter, 200), Success);
    EXPECT_NEAR(pixel(lighter, 0, 0).r, 51, 1); // black moved by a fifth of the range
    EXPECT_GT(lumaStats(lighter).mean, before.mean + 30);
    Bitmap darker = allColours();
    ASSERT_EQ(changeIntensity(darker, -200), Success);
    EXPECT_LT(lumaStats(darker).mean, before.mean - 30);
}

TEST(ColorOpsDirection, SaturationAndHueMoveColoursTheRightWay)
{
    const double chroma = meanChroma(allColours());
    Bitmap vivid = allColours();
    ASSERT_EQ(changeSaturation(vivid, 500), Success);
    EXPECT_GT(meanChroma(vivid), chroma * 1.2);
    Bitmap dull = allColours();
    ASSERT_EQ(changeSaturation(dull, -500), Success);
    EXPECT_NEAR(meanChroma(dull), chroma * 0.5, 2.0);

    const auto turnRed = [](int degrees) {
        Bitmap red = makeUniform(2, 2, {220, 30, 20});
        EXPECT_EQ(changeHue(red, degrees), Success);
        return pixel(red, 1, 1);
    };
    const Rgb green = turnRed(120);
    EXPECT_GT(green.g, 150);
    EXPECT_LT(std::max(green.r, green.b), 60);
    const Rgb blue = turnRed(-120);
    EXPECT_GT(blue.b, 150);
    EXPECT_LT(std::max(blue.r, blue.g), 60);
    const Rgb orange = turnRed(30); // a small turn moves red toward yellow, not magenta
    EXPECT_GT(orange.g, orange.b);
}

TEST(ColorOpsDirection, BalanceAddsOtherChannelsOrScalesItsOwn)
{
    Bitmap warmer = makeUniform(3, 3, {100, 60, 40});
    ASSERT_EQ(balanceFromSettings(warmer, 0.5, 0, 0), Success);
    EXPECT_EQ(pixel(warmer, 1, 1).r, 150); // 100 + 0.5·60 + 0.5·40
    EXPECT_EQ(pixel(warmer, 1, 1).g, 60);
    EXPECT_EQ(pixel(warmer, 1, 1).b, 40);

    Bitmap bluer = makeUniform(3, 3, {200, 200, 200});
    ASSERT_EQ(balanceFromSettings(bluer, -0.5, 0, 1.0), Success);
    EXPECT_EQ(pixel(bluer, 0, 0).r, 100);
    EXPECT_EQ(pixel(bluer, 0, 0).g, 200);
    EXPECT_EQ(pixel(bluer, 0, 0).b, 255); // clamped, not wrapped

    Bitmap swapped = makeUniform(1, 1, {10, 20, 30});
    ASSERT_EQ(balanceColors(swapped, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}), Success);
    EXPECT_EQ(pixel(swapped, 0, 0).r, 30);
    EXPECT_EQ(pixel(swapped, 0, 0).b, 10);
}

TEST(ColorOpsAutoLevel, ContrastStretchesALowContrastPictureToNearlyFullRange)
{
    // A grey ramp 100…150 with a few stray black and white pixels the clipping ignores.
    Bitmap bitmap = makeBitmap(200, 50, [](int x, int y) {
        if (y == 0 && x < 10)
            return x % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
        const int v = 100 + x / 4;
        return Rgb{v, v + 2, v - 2};
    });
    ASSERT_EQ(autoColorLevel(bitmap, 0, 50, 50, AutoLevel::Contrast), Success);
    int low = 255;
    int high = 0;
    for (int y = 1; y < 50; ++y) {
        for (int x = 0; x < 200; ++x) {
            low = std::min(low, pixel(bitmap, x, y).g);
            high = std::max(high, pixel(bitmap, x, y).g);
        }
    }
    EXPECT_LE(low, 10);
    EXPECT_GE(high, 245);
    // One curve for all channels keeps the green-over-red order.
    EXPECT_GE(pixel(bitmap, 100, 20).g, pixel(bitmap, 100, 20).r);
}

TEST(ColorOpsAutoLevel, ColorRemovesACastAndIntensityLiftsADarkPicture)
{
    // A neutral ramp seen through a warm cast.
    const auto castRamp = [] {
        return makeBitmap(256, 8, [](int x, int) {
            return Rgb{60 + x * 180 / 255, 30 + x * 150 / 255, 10 + x * 120 / 255};
        });
    };
    Bitmap bitmap = castRamp();
    ASSERT_EQ(autoColorLevel(bitmap, 0, 50, 50, AutoLevel::Color), Success);
    const auto means = channelMeans(bitmap);
    EXPECT_NEAR(means[0], means[1], 3.0);
    EXPECT_NEAR(means[1], means[2], 3.0);
    EXPECT_GT(meanChroma(castRamp()), 40.0);
    EXPECT_LT(meanChroma(bitmap), 6.0);

    Bitmap dark = makeBitmap(64, 64, [](int x, int y) { return Rgb{x / 2, y / 2, 20}; });
    const double before = lumaStats(dark).mean;
    ASSERT_EQ(autoColorLevel(dark, 0, 50, 50, AutoLevel::Intensity), Success);
    EXPECT_GT(lumaStats(dark).mean, before + 30);
    EXPECT_LT(lumaStats(dark).mean, 140.0);
}

TEST(ColorOpsAutoLevel, FlatPicturesStayAsTheyAre)
{
    for (AutoLevel kind : {AutoLevel::Color, AutoLevel::Contrast, AutoLevel::Intensity}) {
        for (Rgb c : {Rgb{90, 120, 30}, Rgb{0, 0, 0}, Rgb{255, 255, 255}}) {
            Bitmap bitmap = makeUniform(16, 16, c);
            const auto before = bytes(bitmap);
            EXPECT_EQ(autoColorLevel(bitmap, 0, 50, 50, kind), Success);
            if (kind != AutoLevel::Intensity || c.r == 0 || c.r == 255) {
                EXPECT_EQ(bytes(bitmap), before) << int(kind) << " " << c.r;
            }
        }
    }
}

TEST(ColorOpsDesaturate, GivesLumaGreyInEveryChannel)
{
    Bitmap bitmap = allColours();
    ASSERT_EQ(desaturate(bitmap), Success);
    const Bitmap original = allColours();
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Rgb c = pixel(bitmap, x, y);
            ASSERT_EQ(c.r, c.g);
            ASSERT_EQ(c.g, c.b);
            ASSERT_NEAR(c.r, lumaOf(pixel(original, x, y)), 0.6);
        }
    }
    Bitmap primaries = makeBitmap(3, 1, [](int x, int) {
        return Rgb{x == 0 ? 255 : 0, x == 1 ? 255 : 0, x == 2 ? 255 : 0};
    });
    ASSERT_EQ(desaturate(primaries), Success);
    EXPECT_GT(pixel(primaries, 1, 0).r, pixel(primaries, 0, 0).r); // green reads lightest
    EXPECT_GT(pixel(primaries, 0, 0).r, pixel(primaries, 2, 0).r); // blue darkest
}

TEST(ColorOpsRegion, OperationsChangeExactlyThePixelsInsideTheEllipse)
{
    const std::array<Rect, 5> regions{{{3, 2, 40, 21},
                                       {-7, -5, 12, 50},   // partly outside the picture
                                       {20, 10, 21, 11},   // a single pixel
                                       {10, 10, 10, 30},   // empty
                                       {30, 0, 120, 70}}}; // mostly to the right
    for (const Rect& region : regions) {
        Bitmap bitmap = makeUniform(48, 32, {200, 40, 90});
        bitmap.setRegionEllipse(region);
        ASSERT_EQ(desaturate(bitmap), Success);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                const bool grey = pixel(bitmap, x, y).r == pixel(bitmap, x, y).g;
                ASSERT_EQ(grey, bitmap.inRegion(x, y))
                    << x << "," << y << " in " << region.left << "," << region.top;
            }
        }
    }
}

TEST(ColorOpsAntiAlias, SmoothsEdgesButKeepsFlatAreasAndTheOutside)
{
    Bitmap flat = makeUniform(20, 15, {70, 140, 210});
    const auto flatBefore = bytes(flat);
    ASSERT_EQ(antiAlias(flat, 0, 2, 1), Success); // the picture's edges included
    EXPECT_EQ(bytes(flat), flatBefore);

    const auto edge = [] {
        return makeBitmap(20, 20, [](int x, int) {
            return x < 10 ? Rgb{0, 0, 0} : Rgb{240, 240, 240};
        });
    };
    Bitmap smoothed = edge();
    ASSERT_EQ(antiAlias(smoothed, 0, 2, 1), Success);
    const int left = pixel(smoothed, 9, 10).r;
    const int right = pixel(smoothed, 10, 10).r;
    EXPECT_GT(left, 0);
    EXPECT_LT(right, 240);
    EXPECT_EQ(left + right, 240); // the tent is symmetric
    EXPECT_EQ(pixel(smoothed, 2, 10).r, 0);
    EXPECT_EQ(pixel(smoothed, 17, 10).r, 240);
    EXPECT_EQ(pixel(smoothed, 9, 0).r, left); // rows stay alike up to the edge

    Bitmap highThreshold = edge();
    ASSERT_EQ(antiAlias(highThreshold, 200, 2, 1), Success);
    EXPECT_EQ(bytes(highThreshold), bytes(edge()));

    Bitmap inRegion = edge();
    inRegion.setRegionEllipse({6, 6, 14, 14});
    ASSERT_EQ(antiAlias(inRegion, 0, 2, 0), Success);
    const Bitmap original = edge();
    bool changed = false;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool same = pixel(inRegion, x, y).r == pixel(original, x, y).r;
            if (!inRegion.inRegion(x, y)) {
                ASSERT_TRUE(same) << x << "," << y;
            }
            changed = changed || !same;
        }
    }
    EXPECT_TRUE(changed);
}

// The smoothing computed the slow, obvious way: each pixel the weighted mean of the
// neighbours that exist, kept when it differs from the pixel by no more than the threshold.
Bitmap smoothedDirectly(const Bitmap& in, int threshold, int d, int filter)
{
    Bitmap out;
    EXPECT_EQ(copyBitmap(out, in), Success);
    const auto weight = [&](int k) { return filter == 0 ? 1 : d + 1 - std::abs(k); };
    for (int y = 0; y < in.height(); ++y) {
        for (int x = 0; x < in.width(); ++x) {
            if (!in.inRegion(x, y))
                continue;
            std::array<int, 3> sum{};
            int total = 0;
            for (int j = -d; j <= d; ++j) {
                for (int k = -d; k <= d; ++k) {
                    if (y + j < 0 || y + j >= in.height() || x + k < 0 || x + k >= in.width())
                        continue;
                    const int w = weight(j) * weight(k);
                    const Rgb p = pixel(in, x + k, y + j);
                    sum[0] += w * p.r;
                    sum[1] += w * p.g;
                    sum[2] += w * p.b;
                    total += w;
                }
            }
            const Rgb own = pixel(in, x, y);
            const std::array<int, 3> mine{own.r, own.g, own.b};
            std::array<int, 3> mean{};
            bool differs = false;
            for (std::size_t c = 0; c < 3; ++c) {
                mean[c] = (sum[c] + total / 2) / total;
                differs = differs || std::abs(mean[c] - mine[c]) > threshold;
            }
            if (differs) {
                std::uint8_t* p = out.scanLine(y) + x * 3;
                for (std::size_t c = 0; c < 3; ++c)
                    p[c] = std::uint8_t(mean[c]);
            }
        }
    }
    return out;
}

TEST(ColorOpsAntiAlias, MatchesTheDirectWeightedMeanEverywhere)
{
    const auto noisy = [] {
        std::uint32_t seed = 12345;
        return makeBitmap(37, 23, [&seed](int, int) {
            seed = seed * 1664525 + 1013904223;
            return Rgb{int(seed >> 24), int((seed >> 16) & 255), int((seed >> 8) & 255)};
        });
    };
    for (const int filter : {0, 1}) {
        for (const int d : {1, 2, 8}) {
            for (const int threshold : {0, 40}) {
                Bitmap fast = noisy();
                ASSERT_EQ(antiAlias(fast, threshold, d, filter), Success);
                EXPECT_EQ(bytes(fast), bytes(smoothedDirectly(noisy(), threshold, d, filter)))
                    << "filter " << filter << " dimension " << d << " threshold " << threshold;
            }
        }
    }
    Bitmap region = noisy();
    region.setRegionEllipse({3, 2, 30, 20});
    Bitmap expected = noisy();
    expected.setRegionEllipse({3, 2, 30, 20});
    ASSERT_EQ(antiAlias(region, 0, 2, 1), Success);
    EXPECT_EQ(bytes(region), bytes(smoothedDirectly(expected, 0, 2, 1)));
}

class ColorOpsRedeye : public ::testing::Test
{
protected:
    static constexpr Rgb kSkin{224, 172, 140};
    static constexpr Rgb kPupil{200, 50, 40};

    // A red disc of radius 6 at (20, 15) on skin.
    static Bitmap face()
    {
        return makeBitmap(40, 30, [](int x, int y) {
            const int dx = x - 20;
            const int dy = y - 15;
            return dx * dx + dy * dy <= 36 ? kPupil : kSkin;
        });
    }
};

TEST_F(ColorOpsRedeye, DarkensTheRedDiscAndNothingOutsideTheRegion)
{
    Bitmap bitmap = face();
    bitmap.setRegionEllipse({12, 7, 29, 24});
    ASSERT_EQ(removeRedeye(bitmap, makeColorRef(0, 0, 0), 128, 100), Success);
    const Bitmap original = face();
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const Rgb before = pixel(original, x, y);
            const Rgb after = pixel(bitmap, x, y);
            if (before.r == kPupil.r) {
                EXPECT_LT(after.r, 60) << x << "," << y;
                EXPECT_EQ(after.r, after.g); // black turns it grey at its own lightness
                EXPECT_EQ(after.g, (kPupil.g + kPupil.b + 1) / 2);
            } else {
                ASSERT_EQ(after.r, before.r) << x << "," << y; // skin is not red
                ASSERT_EQ(after.b, before.b) << x << "," << y;
            }
        }
    }

    // The same disc cut by a smaller region: only the inside changes.
    Bitmap cut = face();
    cut.setRegionEllipse({20, 9, 27, 22});
    ASSERT_EQ(removeRedeye(cut, makeColorRef(0, 0, 0), 128, 100), Success);
    EXPECT_EQ(pixel(cut, 16, 15).r, kPupil.r);
    EXPECT_LT(pixel(cut, 23, 15).r, 60);
}

TEST_F(ColorOpsRedeye, LeavesPicturesWithoutRedAlone)
{
    Bitmap bitmap = makeBitmap(32, 32, [](int x, int y) {
        const int r = 120 + x * 4; // skin tones and browns: green keeps up with red
        return Rgb{r, r * 3 / 4 + y / 2, 80 + x};
    });
    bitmap.setRegionEllipse({0, 0, 32, 32});
    const auto before = bytes(bitmap);
    ASSERT_EQ(removeRedeye(bitmap, makeColorRef(0, 0, 0), 128, 100), Success);
    EXPECT_EQ(bytes(bitmap), before);

    Bitmap darkRed = makeUniform(8, 8, {110, 20, 20}); // below the threshold
    ASSERT_EQ(removeRedeye(darkRed, makeColorRef(0, 0, 0), 128, 100), Success);
    EXPECT_EQ(pixel(darkRed, 4, 4).r, 110);
}

TEST_F(ColorOpsRedeye, ColouredReplacementKeepsThePixelsLightness)
{
    Bitmap bitmap = makeUniform(4, 4, kPupil);
    ASSERT_EQ(removeRedeye(bitmap, makeColorRef(40, 80, 120), 128, 100), Success);
    const Rgb c = pixel(bitmap, 2, 2);
    EXPECT_LT(c.r, c.g);
    EXPECT_LT(c.g, c.b);
    EXPECT_NEAR(lumaOf(c), (kPupil.g + kPupil.b) / 2.0, 1.5);
}

TEST(ColorOpsCancel, ASetFlagStopsEveryOperation)
{
    CancelFlag flag{1};
    CancelScope scope(&flag);
    Bitmap bitmap = allColours();
    for (const NamedOp& op : kValueOps)
        EXPECT_EQ(op.op(bitmap, 90), Cancelled) << op.name;
    EXPECT_EQ(balanceColors(bitmap, {0.5, 0, 0}, {0, 1, 0}, {0, 0, 1}), Cancelled);
    for (AutoLevel kind : {AutoLevel::Color, AutoLevel::Contrast, AutoLevel::Intensity})
        EXPECT_EQ(autoColorLevel(bitmap, 0, 50, 50, kind), Cancelled) << int(kind);
    EXPECT_EQ(desaturate(bitmap), Cancelled);
    EXPECT_EQ(antiAlias(bitmap, 0, 2, 1), Cancelled);
    EXPECT_EQ(removeRedeye(bitmap, 0, 128, 100), Cancelled);
    EXPECT_EQ(bytes(bitmap), bytes(allColours())); // stopped before the first row
}

// Full-size pictures are worked on by several threads in pieces of rows; each operation must
// give exactly the pixels one thread gives, with and without a region. The pictures are
// noisy, so a row taken from a wrong or half-written neighbour shows.
struct ThreadedCase
{
    const char* name;
    int width;
    int height;
    std::function<int(Bitmap&)> op;
};

Bitmap noisy(int width, int height)
{
    std::uint32_t seed = 12345;
    return makeBitmap(width, height, [&seed, width, height](int x, int y) {
        seed = seed * 1103515245u + 12345u;
        const int grain = int((seed >> 16) % 61) - 30;
        return Rgb{std::clamp(x * 255 / width + grain, 0, 255),
                   std::clamp(y * 255 / height + grain, 0, 255),
                   std::clamp(((x / 7 + y / 5) % 2) * 200 + 20 + grain, 0, 255)};
    });
}

void PrintTo(const ThreadedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ColorOpsThreads : public ::testing::TestWithParam<ThreadedCase>
{};

TEST_P(ColorOpsThreads, GiveThePixelsOfOneThread)
{
    const ThreadedCase& c = GetParam();
    for (const bool withRegion : {false, true}) {
        Bitmap one = noisy(c.width, c.height);
        Bitmap many = noisy(c.width, c.height);
        if (withRegion) {
            const Rect ellipse{c.width / 9, -3, c.width - 5, c.height * 3 / 4};
            one.setRegionEllipse(ellipse);
            many.setRegionEllipse(ellipse);
        }
        {
            const SingleThreadScope single;
            ASSERT_EQ(c.op(one), Success);
        }
        ASSERT_EQ(c.op(many), Success);
        EXPECT_TRUE(bytes(many) == bytes(one)) << (withRegion ? "with region" : "whole picture");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ColorOpsThreads,
    ::testing::Values(
        ThreadedCase{"Contrast", 700, 500, [](Bitmap& b) { return changeContrast(b, 300); }},
        ThreadedCase{"Intensity", 700, 500, [](Bitmap& b) { return changeIntensity(b, -200); }},
        ThreadedCase{"Saturation", 700, 500, [](Bitmap& b) { return changeSaturation(b, 600); }},
        ThreadedCase{"Hue", 700, 500, [](Bitmap& b) { return changeHue(b, -40); }},
        ThreadedCase{"Balance", 700, 500,
                     [](Bitmap& b) { return balanceFromSettings(b, 0.3, -0.2, 0.1); }},
        ThreadedCase{"AutoColor", 700, 500,
                     [](Bitmap& b) { return autoColorLevel(b, 0, 50, 50, AutoLevel::Color); }},
        ThreadedCase{"AutoContrast", 700, 500,
                     [](Bitmap& b) { return autoColorLevel(b, 0, 300, 50, AutoLevel::Contrast); }},
        ThreadedCase{"AutoIntensity", 700, 500,
                     [](Bitmap& b) { return autoColorLevel(b, 0, 0, 0, AutoLevel::Intensity); }},
        ThreadedCase{"Desaturate", 700, 500, [](Bitmap& b) { return desaturate(b); }},
        ThreadedCase{"AntiAlias", 700, 500, [](Bitmap& b) { return antiAlias(b, 0, 2, 1); }},
        ThreadedCase{"AntiAliasBoxThreshold", 700, 500,
                     [](Bitmap& b) { return antiAlias(b, 20, 5, 0); }},
        // Pieces of a few rows, fewer than the kernel reaches: cuts close to each other.
        ThreadedCase{"AntiAliasShortPieces", 4000, 24,
                     [](Bitmap& b) { return antiAlias(b, 0, 8, 1); }},
        ThreadedCase{"Redeye", 700, 500,
                     [](Bitmap& b) { return removeRedeye(b, makeColorRef(10, 20, 30), 100, 80); }}),
    [](const ::testing::TestParamInfo<ThreadedCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
} // namespace imaging
