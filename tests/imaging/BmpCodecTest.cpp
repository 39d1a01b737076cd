#include "BmpCodec.h"

#include "Cancel.h"
#include "ImagingResult.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

using namespace imaging;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb
{
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

void PrintTo(const Rgb& c, std::ostream* os)
{
    *os << '(' << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
}

// Colours whose channels are 0 or 255 survive every depth and every bit-field width.
const std::vector<Rgb> kColours = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                                   {0, 0, 255}, {0, 255, 255},   {255, 0, 255}, {255, 255, 0}};

constexpr int kWidth = 5; // odd, so every depth but 32 bits pads its rows
constexpr int kHeight = 3;
// No symmetry, so a flipped, mirrored or shifted decode shows. Index 0 is black, which lets
// the run-length streams leave those pixels out.
constexpr int kIndex[kHeight][kWidth] = {{1, 1, 1, 2, 0}, {4, 0, 0, 5, 6}, {7, 7, 3, 2, 3}};

std::vector<Rgb> referencePicture()
{
    std::vector<Rgb> out;
    for (const auto& row : kIndex)
        for (int index : row)
            out.push_back(kColours[index]);
    return out;
}

// The one-bit variant: odd indexes become one colour, even ones the other.
const std::vector<Rgb> kTwoColours = {{0, 255, 255}, {255, 0, 0}};

std::vector<Rgb> twoColourPicture()
{
    std::vector<Rgb> out;
    for (const auto& row : kIndex)
        for (int index : row)
            out.push_back(kTwoColours[index & 1]);
    return out;
}

std::vector<Rgb> pixelsOf(const Bitmap& bitmap)
{
    std::vector<Rgb> out;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3)
            out.push_back({p[0], p[1], p[2]});
    }
    return out;
}

void put16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v);
    put16(b, v >> 16);
}

void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

// Everything a test file is made of; writeBmp lays it out the way writers do.
struct BmpSpec
{
    std::uint32_t headerSize = 40;
    std::int32_t width = kWidth;
    std::int32_t height = kHeight; // negative for top-down
    int bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks{}; // after a 40-byte header, or inside a larger one
    std::vector<Rgb> palette{};
    std::uint32_t colorsUsed = 0;
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    Bytes pixels{};
};

Bytes writeBmp(const BmpSpec& s)
{
    Bytes b = {'B', 'M'};
    put32(b, 0); // file size, set below
    put32(b, 0);
    put32(b, 0); // pixel offset, set below
    put32(b, s.headerSize);
    if (s.headerSize == 12) {
        put16(b, std::uint32_t(s.width));
        put16(b, std::uint32_t(s.height));
        put16(b, 1);
        put16(b, std::uint32_t(s.bitsPerPixel));
    } else {
        put32(b, std::uint32_t(s.width));
        put32(b, std::uint32_t(s.height));
        put16(b, 1);
        put16(b, std::uint32_t(s.bitsPerPixel));
        put32(b, s.compression);
        put32(b, std::uint32_t(s.pixels.size()));
        put32(b, std::uint32_t(s.xPixelsPerMetre));
        put32(b, std::uint32_t(s.yPixelsPerMetre));
        put32(b, s.colorsUsed);
        put32(b, 0);
        const std::size_t headerEnd = 14 + s.headerSize;
        for (std::uint32_t mask : s.masks)
            put32(b, mask);
        if (s.headerSize > 40)
            b.resize(headerEnd, 0);
    }
    for (const Rgb& c : s.palette) {
        b.insert(b.end(), {c.b, c.g, c.r});
        if (s.headerSize != 12)
            b.push_back(0);
    }
    set32(b, 10, std::uint32_t(b.size()));
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    set32(b, 2, std::uint32_t(b.size()));
    return b;
}

// Rows in file order, each padded to four bytes with junk that must be ignored.
Bytes packRows(int bitsPerPixel, bool topDown, const std::function<std::uint32_t(int, int)>& value)
{
    Bytes out;
    for (int row = 0; row < kHeight; ++row) {
        const int y = topDown ? row : kHeight - 1 - row;
        Bytes line;
        int bitsUsed = 0;
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t v = value(x, y);
            if (bitsPerPixel < 8) {
                if (bitsUsed % 8 == 0)
                    line.push_back(0);
                bitsUsed += bitsPerPixel;
                line.back() |= std::uint8_t(v << (8 - bitsUsed % 8) % 8);
                continue;
            }
            for (int i = 0; i < bitsPerPixel / 8; ++i)
                line.push_back(std::uint8_t(v >> (8 * i)));
        }
        while (line.size() % 4 != 0)
            line.push_back(0xEE);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

std::uint32_t indexAt(int x, int y)
{
    return std::uint32_t(kIndex[y][x]);
}

// The reference colour at (x, y) expressed in the given bit fields.
std::function<std::uint32_t(int, int)> inMasks(std::uint32_t red, std::uint32_t green,
                                               std::uint32_t blue, std::uint32_t junk = 0)
{
    return [=](int x, int y) {
        const Rgb c = kColours[kIndex[y][x]];
        return (c.r ? red : 0) | (c.g ? green : 0) | (c.b ? blue : 0) | junk;
    };
}

// A palette that holds the reference colours in a shuffled order, so that index and
// colour differ; the pixels then store the shuffled indexes.
const std::vector<int> kShuffle = {3, 0, 7, 5, 1, 6, 2, 4}; // palette slot of each colour

std::vector<Rgb> shuffledPalette(std::size_t entries)
{
    std::vector<Rgb> palette(entries, Rgb{10, 20, 30});
    for (std::size_t i = 0; i < kColours.size(); ++i)
        palette[std::size_t(kShuffle[i])] = kColours[i];
    return palette;
}

std::uint32_t shuffledIndexAt(int x, int y)
{
    return std::uint32_t(kShuffle[std::size_t(kIndex[y][x])]);
}

std::vector<Rgb> identityPalette()
{
    return kColours;
}

// Run-length streams of the reference picture, bottom row first, using runs, absolute
// runs, deltas, line ends and the end marker; the black pixels are never written.
Bytes rle8Stream()
{
    return {
        2, 7, 0, 3, 3, 2, 3, 0, 0, 0,       // 7 7 | 3 2 3 (absolute, padded) | end of line
        1, 4, 0, 2, 2, 0, 1, 5, 1, 6, 0, 0, // 4 | delta 2 right | 5 | 6 | end of line
        3, 1, 1, 2, 0, 1,                   // 1 1 1 | 2 | end of picture
    };
}

Bytes rle4Stream()
{
    return {
        2, 0x77, 0, 3,    0x32, 0x30, 0, 0, // 7 7 | 3 2 3 | end of line
        1, 0x40, 0, 2,    2,    0,    2, 0x56,
        0, 0,                      // 4 | delta | 5 6 (alternating run) | end of line
        3, 0x11, 1, 0x20, 0,    1, // 1 1 1 | 2 | end of picture
    };
}

struct Variant
{
    std::string name;
    Bytes file;
    std::vector<Rgb> expected;
    int depth;
};

std::vector<Variant> allVariants()
{
    std::vector<Variant> v;
    const auto reference = referencePicture();
    auto add = [&](std::string name, const BmpSpec& spec, std::vector<Rgb> expected) {
        v.push_back({std::move(name), writeBmp(spec), std::move(expected), spec.bitsPerPixel});
    };

    add("1-bit palette",
        {.bitsPerPixel = 1,
         .palette = kTwoColours,
         .pixels = packRows(1, false, [](int x, int y) { return indexAt(x, y) & 1; })},
        twoColourPicture());
    add("4-bit full palette",
        {.bitsPerPixel = 4,
         .palette = shuffledPalette(16),
         .pixels = packRows(4, false, shuffledIndexAt)},
        reference);
    add("4-bit short palette",
        {.bitsPerPixel = 4,
         .palette = identityPalette(),
         .colorsUsed = 8,
         .pixels = packRows(4, false, indexAt)},
        reference);
    add("8-bit short palette",
        {.bitsPerPixel = 8,
         .palette = shuffledPalette(8),
         .colorsUsed = 8,
         .pixels = packRows(8, false, shuffledIndexAt)},
        reference);
    add("8-bit top-down",
        {.height = -kHeight,
         .bitsPerPixel = 8,
         .palette = shuffledPalette(256),
         .pixels = packRows(8, true, shuffledIndexAt)},
        reference);
    add("8-bit core header",
        {.headerSize = 12,
         .bitsPerPixel = 8,
         .palette = shuffledPalette(256),
         .pixels = packRows(8, false, shuffledIndexAt)},
        reference);
    add("RLE8",
        {.bitsPerPixel = 8,
         .compression = 1,
         .palette = identityPalette(),
         .colorsUsed = 8,
         .pixels = rle8Stream()},
        reference);
    add("RLE4",
        {.bitsPerPixel = 4,
         .compression = 2,
         .palette = shuffledPalette(16),
         .pixels =
             [] {
                 // The stream names colours; the palette is shuffled.
                 Bytes s = rle4Stream();
                 const auto map = [](std::uint8_t n) { return std::uint8_t(kShuffle[n]); };
                 for (std::size_t i : {1u, 4u, 5u, 9u, 15u, 19u, 21u})
                     s[i] = std::uint8_t(map(s[i] >> 4) << 4 | map(s[i] & 0x0F));
                 return s;
             }()},
        reference);
    add("16-bit default 5-5-5",
        {.bitsPerPixel = 16,
         .pixels = packRows(16, false, inMasks(0x7C00, 0x03E0, 0x001F, 0x8000))},
        reference);
    add("16-bit 5-6-5 bit fields",
        {.bitsPerPixel = 16,
         .compression = 3,
         .masks = {0xF800, 0x07E0, 0x001F},
         .pixels = packRows(16, false, inMasks(0xF800, 0x07E0, 0x001F))},
        reference);
    add("16-bit 4-4-4 in a 56-byte header",
        {.headerSize = 56,
         .bitsPerPixel = 16,
         .compression = 3,
         .masks = {0x0F00, 0x00F0, 0x000F, 0xF000},
         .pixels = packRows(16, false, inMasks(0x0F00, 0x00F0, 0x000F, 0xF000))},
        reference);
    add("24-bit bottom-up",
        {.bitsPerPixel = 24, .pixels = packRows(24, false, inMasks(0xFF0000, 0xFF00, 0xFF))},
        reference);
    add("24-bit top-down",
        {.height = -kHeight,
         .bitsPerPixel = 24,
         .pixels = packRows(24, true, inMasks(0xFF0000, 0xFF00, 0xFF))},
        reference);
    add("24-bit core header",
        {.headerSize = 12,
         .bitsPerPixel = 24,
         .pixels = packRows(24, false, inMasks(0xFF0000, 0xFF00, 0xFF))},
        reference);
    add("32-bit default, junk in the unused byte",
        {.bitsPerPixel = 32,
         .pixels = packRows(32, false, inMasks(0xFF0000, 0xFF00, 0xFF, 0x5A000000))},
        reference);
    add("32-bit bit fields after a 40-byte header",
        {.bitsPerPixel = 32,
         .compression = 3,
         .masks = {0xFF, 0xFF00, 0xFF000000},
         .pixels = packRows(32, false, inMasks(0xFF, 0xFF00, 0xFF000000, 0x00A50000))},
        reference);
    add("32-bit 10-10-10 in a V4 header, top-down",
        {.headerSize = 108,
         .height = -kHeight,
         .bitsPerPixel = 32,
         .compression = 3,
         .masks = {0x3FF00000, 0x000FFC00, 0x000003FF},
         .pixels = packRows(32, true, inMasks(0x3FF00000, 0x000FFC00, 0x000003FF))},
        reference);
    add("24-bit V5 header ignores its masks",
        {.headerSize = 124,
         .bitsPerPixel = 24,
         .masks = {0xFF, 0xFF00, 0xFF0000},
         .pixels = packRows(24, false, inMasks(0xFF0000, 0xFF00, 0xFF))},
        reference);
    return v;
}

TEST(BmpDecode, EveryVariantDecodesToTheReferencePixels)
{
    for (const Variant& variant : allVariants()) {
        SCOPED_TRACE(variant.name);
        Bitmap bitmap;
        ASSERT_EQ(loadBmp(variant.file.data(), variant.file.size(), bitmap), Success);
        EXPECT_EQ(bitmap.width(), kWidth);
        EXPECT_EQ(bitmap.height(), kHeight);
        EXPECT_EQ(bitmap.bitsPerPixel(), variant.depth);
        EXPECT_EQ(pixelsOf(bitmap), variant.expected);

        PictureInfo info;
        ASSERT_EQ(readBmpInfo(variant.file.data(), variant.file.size(), info), Success);
        EXPECT_EQ(info.width, kWidth);
        EXPECT_EQ(info.height, kHeight);
        EXPECT_EQ(info.bitsPerPixel, variant.depth);
    }
}

// One row of pixels in arbitrary bit fields, with the values rounded by hand.
std::vector<Rgb> decodeFields(int bitsPerPixel, std::vector<std::uint32_t> masks,
                              const std::vector<std::uint32_t>& values)
{
    Bytes pixels{};
    for (std::uint32_t v : values)
        for (int i = 0; i < bitsPerPixel / 8; ++i)
            pixels.push_back(std::uint8_t(v >> (8 * i)));
    while (pixels.size() % 4 != 0)
        pixels.push_back(0);
    const Bytes file = writeBmp({.width = std::int32_t(values.size()),
                                 .height = 1,
                                 .bitsPerPixel = bitsPerPixel,
                                 .compression = 3,
                                 .masks = std::move(masks),
                                 .pixels = pixels});
    Bitmap bitmap;
    EXPECT_EQ(loadBmp(file.data(), file.size(), bitmap), Success);
    return pixelsOf(bitmap);
}

TEST(BmpDecode, BitFieldsOfAnyWidthScaleToEightBitsWithRounding)
{
    // 5-6-5: 16/31 -> 131.6, 33/63 -> 133.6, 1/31 -> 8.2; then the extremes.
    EXPECT_EQ(
        decodeFields(16, {0xF800, 0x07E0, 0x001F}, {(16u << 11) | (33u << 5) | 1u, 0xFFFF, 0x0000}),
        (std::vector<Rgb>{{132, 134, 8}, {255, 255, 255}, {0, 0, 0}}));
    // 3 bits (3/7 -> 109.3), 1 bit, and a channel with no mask at all.
    EXPECT_EQ(decodeFields(16, {0xE000, 0x0001, 0x0000}, {(3u << 13) | 1u}),
              (std::vector<Rgb>{{109, 255, 0}}));
    // 10 bits (512/1023 -> 127.6, 1/1023 -> 0.25), 16 bits (32768/65535 -> 127.5019)
    // and 24 bits (2^23/(2^24-1) -> 127.5000076) round up across the whole range.
    EXPECT_EQ(
        decodeFields(32, {0x3FF00000, 0x000FFC00, 0x000003FF}, {(512u << 20) | (1u << 10) | 1023u}),
        (std::vector<Rgb>{{128, 0, 255}}));
    EXPECT_EQ(decodeFields(32, {0xFFFF0000, 0x000000FF, 0x0000FF00}, {0x8000'3412u}),
              (std::vector<Rgb>{{128, 0x12, 0x34}}));
    EXPECT_EQ(decodeFields(32, {0xFFFFFF00, 0x000000FF, 0}, {0x8000'0001u}),
              (std::vector<Rgb>{{128, 1, 0}}));
}

Bytes rle8File(const Bytes& stream, std::int32_t width = kWidth, std::int32_t height = kHeight)
{
    return writeBmp({.width = width,
                     .height = height,
                     .bitsPerPixel = 8,
                     .compression = 1,
                     .palette = identityPalette(),
                     .colorsUsed = 8,
                     .pixels = stream});
}

TEST(BmpDecode, RunLengthEdgeCasesStayInsideTheirRowAndPicture)
{
    const Rgb black = kColours[0];
    const Rgb white = kColours[1];
    const Rgb red = kColours[2];
    const Rgb green = kColours[3];
    struct Case
    {
        const char* name;
        Bytes file;
        std::vector<Rgb> expected; // top row first
    };
    const std::vector<Case> cases = {
        {"delta down moves to a later row and keeps the column",
         rle8File({1, 1, 0, 2, 2, 1, 1, 2, 0, 1}),
         {black, black, black, black, black, black, black, black, red, black, white, black, black,
          black, black}},
        {"a run past the row is clipped, not wrapped",
         rle8File({9, 2, 0, 0, 1, 3, 0, 1}),
         {black, black, black, black, black, green, black, black, black, black, red, red, red, red,
          red}},
        {"an absolute run past the row is clipped",
         rle8File({0, 7, 1, 2, 3, 1, 2, 3, 1, 0, 0, 1}),
         {black, black, black, black, black, black, black, black, black, black, white, red, green,
          white, red}},
        {"a delta past the picture ends it",
         rle8File({1, 1, 0, 2, 0, 200, 1, 2}),
         {black, black, black, black, black, black, black, black, black, black, white, black, black,
          black, black}},
        {"a delta past the row clips the following run",
         rle8File({0, 2, 200, 0, 2, 1, 0, 1}),
         {black, black, black, black, black, black, black, black, black, black, black, black, black,
          black, black}},
        {"all rows ended without the end marker",
         rle8File({1, 1, 0, 0, 0, 0, 0, 0}),
         {black, black, black, black, black, black, black, black, black, black, white, black, black,
          black, black}},
        {"RLE4 runs alternate their two colours",
         writeBmp({.bitsPerPixel = 4,
                   .compression = 2,
                   .palette = identityPalette(),
                   .colorsUsed = 8,
                   .pixels = {7, 0x12, 0, 1}}),
         {black, black, black, black, black, black, black, black, black, black, white, red, white,
          red, white}},
        {"palette index beyond the palette is black",
         writeBmp({.width = 2,
                   .height = 1,
                   .bitsPerPixel = 8,
                   .palette = {white, red},
                   .colorsUsed = 2,
                   .pixels = {1, 200, 0, 0}}),
         {red, black}},
        {"RLE index beyond the palette is black",
         rle8File({2, 250, 1, 1, 0, 1}, 3, 1),
         {black, black, white}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap bitmap;
        ASSERT_EQ(loadBmp(c.file.data(), c.file.size(), bitmap), Success);
        EXPECT_EQ(pixelsOf(bitmap), c.expected);
    }
}

TEST(BmpInfo, ReportsSizeDepthAndResolutionWithoutThePixels)
{
    Bytes file = writeBmp({.height = -kHeight,
                           .bitsPerPixel = 8,
                           .palette = identityPalette(),
                           .xPixelsPerMetre = 2835,
                           .yPixelsPerMetre = 11811,
                           .pixels = packRows(8, true, indexAt)});
    // The headers are enough: cut the pixels off.
    file.erase(file.end() - 4, file.end());
    PictureInfo info;
    ASSERT_EQ(readBmpInfo(file.data(), file.size(), info), Success);
    EXPECT_EQ(info.width, kWidth);
    EXPECT_EQ(info.height, kHeight);
    EXPECT_EQ(info.bitsPerPixel, 8);
    EXPECT_EQ(info.xResolution, 72);
    EXPECT_EQ(info.yResolution, 300);
    EXPECT_EQ(info.orientation, 1);

    Bitmap bitmap;
    EXPECT_EQ(loadBmp(file.data(), file.size(), bitmap), FileReadFailed);

    const Bytes core =
        writeBmp({.headerSize = 12, .bitsPerPixel = 24, .pixels = packRows(24, false, indexAt)});
    ASSERT_EQ(readBmpInfo(core.data(), core.size(), info), Success);
    EXPECT_EQ(info.xResolution, 0);
    EXPECT_EQ(info.yResolution, 0);
    ASSERT_EQ(loadBmp(core.data(), core.size(), bitmap), Success);
    EXPECT_EQ(bitmap.xResolution(), 0);

    const Bytes negative = writeBmp({.bitsPerPixel = 24,
                                     .xPixelsPerMetre = -5,
                                     .yPixelsPerMetre = 3937,
                                     .pixels = packRows(24, false, indexAt)});
    ASSERT_EQ(loadBmp(negative.data(), negative.size(), bitmap), Success);
    EXPECT_EQ(bitmap.xResolution(), 0);
    EXPECT_EQ(bitmap.yResolution(), 100);
}

Bitmap testPicture(int width, int height)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), Success);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < bitmap.byteCount(); ++i) {
        seed = seed * 1103515245 + 12345;
        bitmap.bits()[i] = std::uint8_t(seed >> 16);
    }
    return bitmap;
}

TEST(BmpEncode, RoundTripKeepsPixelsAndResolution)
{
    for (const auto& [width, height, dpi] :
         {std::tuple{7, 5, 300}, std::tuple{4, 1, 96}, std::tuple{1, 3, 0}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        Bitmap original = testPicture(width, height);
        original.setResolution(dpi, dpi / 2);
        original.setBitsPerPixel(8); // saving always writes 24 bits

        QByteArray bytes;
        ASSERT_EQ(saveBmp(original, bytes), Success);
        const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
        ASSERT_EQ(std::size_t(bytes.size()), 54 + stride * std::size_t(height));
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        // Bottom-up: the file starts with the last row, blue first.
        EXPECT_EQ(data[54], original.scanLine(height - 1)[2]);
        EXPECT_EQ(data[56], original.scanLine(height - 1)[0]);
        EXPECT_EQ(data[38] | (data[39] << 8), dpi == 300 ? 11811 : dpi == 96 ? 3780 : 0);

        Bitmap loaded;
        ASSERT_EQ(loadBmp(data, std::size_t(bytes.size()), loaded), Success);
        EXPECT_EQ(pixelsOf(loaded), pixelsOf(original));
        EXPECT_EQ(loaded.bitsPerPixel(), 24);
        EXPECT_EQ(loaded.xResolution(), dpi);
        EXPECT_EQ(loaded.yResolution(), dpi / 2);
    }
    Bitmap empty;
    QByteArray bytes;
    EXPECT_EQ(saveBmp(empty, bytes), NoBitmap);
}

// Loading must fail cleanly or succeed, never touch memory outside the data, and leave the
// caller's bitmap alone when it fails.
int loadChecked(const Bytes& file)
{
    Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(1, 1), Success);
    PictureInfo info;
    readBmpInfo(file.data(), file.size(), info);
    const int result = loadBmp(file.data(), file.size(), bitmap);
    if (result == Success) {
        EXPECT_FALSE(bitmap.isNull());
        // Touch every pixel so a sanitizer sees a bitmap that was not fully written.
        unsigned sum = 0;
        for (std::size_t i = 0; i < bitmap.byteCount(); ++i)
            sum += bitmap.bits()[i];
        (void)sum;
    } else {
        EXPECT_EQ(bitmap.width(), 1);
    }
    return result;
}

TEST(BmpHostile, EveryTruncationFails)
{
    for (const Variant& variant : allVariants()) {
        SCOPED_TRACE(variant.name);
        for (std::size_t length = 0; length < variant.file.size(); ++length) {
            SCOPED_TRACE(length);
            const Bytes prefix(variant.file.begin(), variant.file.begin() + length);
            EXPECT_NE(loadChecked(prefix), Success);
        }
    }
    Bitmap bitmap;
    EXPECT_EQ(loadBmp(nullptr, 0, bitmap), FileFormatUnknown);
    const Bytes magicOnly = {'B', 'M'};
    EXPECT_EQ(loadBmp(magicOnly.data(), magicOnly.size(), bitmap), FileReadFailed);
}

TEST(BmpHostile, CorruptedBytesNeverCrash)
{
    // Mutated sizes may ask for large pictures; keep them cheap.
    const std::int64_t saved = pixelLimit();
    setPixelLimit(1'000'000);
    for (const Variant& variant : allVariants()) {
        SCOPED_TRACE(variant.name);
        for (std::size_t at = 0; at < variant.file.size(); ++at) {
            for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                Bytes file = variant.file;
                file[at] = value;
                loadChecked(file);
            }
        }
    }
    setPixelLimit(saved);
}

TEST(BmpHostile, LyingHeadersAreRefused)
{
    const Bytes good = writeBmp({.bitsPerPixel = 24, .pixels = packRows(24, false, indexAt)});
    auto with32 = [&](std::size_t at, std::uint32_t v) {
        Bytes b = good;
        set32(b, at, v);
        return b;
    };
    auto with16 = [&](std::size_t at, std::uint16_t v) {
        Bytes b = good;
        b[at] = std::uint8_t(v);
        b[at + 1] = std::uint8_t(v >> 8);
        return b;
    };
    struct Case
    {
        const char* name;
        Bytes file;
        int result;
    };
    const std::vector<Case> cases = {
        {"not a bitmap", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, FileFormatUnknown},
        {"header size zero", with32(14, 0), CorruptFile},
        {"header size unknown", with32(14, 41), FileFormatUnknown},
        {"header size huge", with32(14, 0xFFFFFFF0), FileFormatUnknown},
        {"header larger than the file", with32(14, 124), FileReadFailed},
        {"width zero", with32(18, 0), CorruptFile},
        {"width negative", with32(18, 0xFFFFFFFB), CorruptFile},
        {"height zero", with32(22, 0), CorruptFile},
        {"height most negative", with32(22, 0x80000000), CorruptFile},
        {"huge dimensions", with32(22, 0x7FFFFFFF), PictureTooLarge},
        {"tall picture with little data", with32(22, 100000), FileReadFailed},
        {"wide picture with little data", with32(18, 1000000), FileReadFailed},
        {"depth unsupported", with16(28, 7), CorruptFile},
        {"depth zero", with16(28, 0), CorruptFile},
        {"RLE8 on 24 bits", with32(30, 1), CorruptFile},
        {"bit fields on 8 bits",
         writeBmp({.bitsPerPixel = 8, .compression = 3, .masks = {1, 2, 4}, .pixels = Bytes(16)}),
         CorruptFile},
        {"JPEG inside", with32(30, 4), FileFormatUnknown},
        {"PNG inside", with32(30, 5), FileFormatUnknown},
        {"unknown compression", with32(30, 99), FileFormatUnknown},
        {"pixel offset past the end", with32(10, 0x7FFFFFFF), FileReadFailed},
        {"pixel offset at the end", with32(10, std::uint32_t(good.size())), FileReadFailed},
        {"pixel offset inside the headers", with32(10, 20), CorruptFile},
        {"bit-field masks past the end",
         [] {
             // Ends 6 bytes into the 12 bytes of masks.
             Bytes b = writeBmp({.bitsPerPixel = 32, .compression = 3});
             b.resize(60, 0);
             set32(b, 2, 60);
             return b;
         }(),
         FileReadFailed},
        {"RLE stream ends mid-row", rle8File({2, 1, 0, 0}), FileReadFailed},
        {"RLE absolute run cut off", rle8File({0, 0, 0, 5, 1, 2}), FileReadFailed},
        {"RLE delta cut off", rle8File({0, 2, 1}), FileReadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadChecked(c.file), c.result);
    }

    // A palette claimed larger than the room before the pixels is cut short, not read
    // from the pixels: the index that would land there decodes black.
    Bytes shortPalette = writeBmp({.width = 2,
                                   .height = 1,
                                   .bitsPerPixel = 8,
                                   .palette = {kColours[1], kColours[2]},
                                   .colorsUsed = 200,
                                   .pixels = {1, 2, 0, 0}});
    Bitmap bitmap;
    ASSERT_EQ(loadBmp(shortPalette.data(), shortPalette.size(), bitmap), Success);
    EXPECT_EQ(pixelsOf(bitmap), (std::vector<Rgb>{kColours[2], kColours[0]}));

    // More colours claimed and stored than eight bits can index: only the first 256 count.
    std::vector<Rgb> longPalette(300, kColours[3]);
    longPalette[255] = kColours[6];
    const Bytes overlong = writeBmp({.width = 2,
                                     .height = 1,
                                     .bitsPerPixel = 8,
                                     .palette = longPalette,
                                     .colorsUsed = 0xFFFFFFFF,
                                     .pixels = {255, 0, 0, 0}});
    ASSERT_EQ(loadBmp(overlong.data(), overlong.size(), bitmap), Success);
    EXPECT_EQ(pixelsOf(bitmap), (std::vector<Rgb>{kColours[6], kColours[3]}));
}

TEST(BmpHostile, PixelLimitIsCheckedBeforeAllocating)
{
    const Bytes file = writeBmp({.bitsPerPixel = 24, .pixels = packRows(24, false, indexAt)});
    const std::int64_t saved = pixelLimit();
    setPixelLimit(kWidth * kHeight - 1);
    Bitmap bitmap;
    PictureInfo info;
    EXPECT_EQ(readBmpInfo(file.data(), file.size(), info), PictureTooLarge);
    EXPECT_EQ(loadBmp(file.data(), file.size(), bitmap), PictureTooLarge);
    setPixelLimit(kWidth * kHeight);
    EXPECT_EQ(loadBmp(file.data(), file.size(), bitmap), Success);
    setPixelLimit(saved);

    // 60000 × 60000 would need gigabytes if it were allocated first.
    const Bytes huge = writeBmp({.width = 60000, .height = 60000, .bitsPerPixel = 24});
    EXPECT_EQ(loadBmp(huge.data(), huge.size(), bitmap), PictureTooLarge);
    const Bytes hugeRle = writeBmp(
        {.width = 60000, .height = 60000, .bitsPerPixel = 8, .compression = 1, .pixels = {0, 1}});
    EXPECT_EQ(loadBmp(hugeRle.data(), hugeRle.size(), bitmap), PictureTooLarge);
}

TEST(BmpDecode, CancelStopsTheLoadAndKeepsTheTarget)
{
    const Bytes file = writeBmp({.bitsPerPixel = 24, .pixels = packRows(24, false, indexAt)});
    const Bytes rle = rle8File(rle8Stream());
    CancelFlag flag{1};
    const CancelScope scope(&flag);
    for (const Bytes* f : {&file, &rle}) {
        Bitmap bitmap;
        EXPECT_EQ(loadBmp(f->data(), f->size(), bitmap), Cancelled);
        EXPECT_TRUE(bitmap.isNull());
    }
}

} // namespace
