// Putting a scanned page together from the frames SANE delivers, without a device.
#include "SaneFrame.h"

#include "ImagingResult.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Format = SaneFrameParameters::Format;
using Bytes = std::vector<std::uint8_t>;

struct Frame
{
    SaneFrameParameters parameters;
    Bytes data;
};

struct FrameCase
{
    const char* name;
    std::vector<Frame> frames;
    std::size_t pieceSize; // the data arrives in pieces of this size
    int width;
    int height;
    int bits;
    Bytes rgb; // the whole page, three bytes a pixel
};

SaneFrameParameters params(Format format, int pixels, int bytesPerLine, int lines, int depth,
                           bool last = true)
{
    return {format, last, bytesPerLine, pixels, lines, depth};
}

// 16-bit samples in the machine's own byte order, as SANE gives them.
Bytes native16(std::initializer_list<std::uint16_t> samples, std::size_t padding = 0)
{
    Bytes bytes(samples.size() * 2 + padding, 0xEE);
    std::memcpy(bytes.data(), samples.begin(), samples.size() * 2);
    return bytes;
}

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class FrameAssembly : public ::testing::TestWithParam<FrameCase>
{};

TEST_P(FrameAssembly, GivesThePage)
{
    const FrameCase& c = GetParam();
    SaneFrameAssembler assembler;
    for (const Frame& frame : c.frames) {
        ASSERT_TRUE(assembler.beginFrame(frame.parameters));
        for (std::size_t at = 0; at < frame.data.size(); at += c.pieceSize)
            ASSERT_TRUE(assembler.append(frame.data.data() + at,
                                         std::min(c.pieceSize, frame.data.size() - at)));
        assembler.endFrame();
    }
    ASSERT_TRUE(assembler.isComplete());
    imaging::Bitmap bitmap;
    ASSERT_EQ(assembler.takeBitmap(bitmap), imaging::Success);
    EXPECT_EQ(bitmap.width(), c.width);
    EXPECT_EQ(bitmap.height(), c.height);
    EXPECT_EQ(bitmap.bitsPerPixel(), c.bits);
    EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + bitmap.byteCount()), c.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameAssembly,
    ::testing::Values(
        FrameCase{"Grey8",
                  {{params(Format::Gray, 2, 2, 2, 8), {10, 20, 30, 40}}},
                  4096,
                  2,
                  2,
                  8,
                  {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}},
        FrameCase{"Grey8PaddedLinesInSmallPieces",
                  {{params(Format::Gray, 2, 3, 2, 8), {10, 20, 99, 30, 40, 99}}},
                  2,
                  2,
                  2,
                  8,
                  {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}},
        FrameCase{"Grey16NativeOrder",
                  {{params(Format::Gray, 2, 5, 1, 16), native16({0x1234, 0xFF01}, 1)}},
                  3,
                  2,
                  1,
                  8,
                  {0x12, 0x12, 0x12, 0xFF, 0xFF, 0xFF}},
        FrameCase{"Rgb8",
                  {{params(Format::Rgb, 2, 6, 1, 8), {1, 2, 3, 4, 5, 6}}},
                  4096,
                  2,
                  1,
                  24,
                  {1, 2, 3, 4, 5, 6}},
        FrameCase{"Rgb16",
                  {{params(Format::Rgb, 1, 6, 1, 16), native16({0xAB00, 0x11FF, 0x0100})}},
                  4096,
                  1,
                  1,
                  24,
                  {0xAB, 0x11, 0x01}},
        // Line art: a set bit is black; the ninth pixel starts the second byte.
        FrameCase{"LineArtSetBitIsBlack",
                  {{params(Format::Gray, 10, 2, 1, 1), {0b10100000, 0b10000000}}},
                  4096,
                  10,
                  1,
                  1,
                  join({{0, 0, 0},
                        {255, 255, 255},
                        {0, 0, 0},
                        Bytes(15, 255),
                        {0, 0, 0},
                        {255, 255, 255}})},
        FrameCase{"ThreePassInAnyOrder",
                  {{params(Format::Blue, 2, 2, 1, 8, false), {50, 51}},
                   {params(Format::Red, 2, 2, 1, 8, false), {200, 201}},
                   {params(Format::Green, 2, 2, 1, 8), {100, 101}}},
                  4096,
                  2,
                  1,
                  24,
                  {200, 100, 50, 201, 101, 51}},
        FrameCase{"ThreePass16Bit",
                  {{params(Format::Red, 1, 2, 1, 16, false), native16({0x8000})},
                   {params(Format::Green, 1, 2, 1, 16, false), native16({0x4000})},
                   {params(Format::Blue, 1, 2, 1, 16), native16({0x2000})}},
                  1,
                  1,
                  1,
                  24,
                  {0x80, 0x40, 0x20}},
        FrameCase{"UnknownHeightGrowsUntilTheEnd",
                  {{params(Format::Gray, 1, 1, -1, 8), {7, 8, 9}}},
                  1,
                  1,
                  3,
                  8,
                  {7, 7, 7, 8, 8, 8, 9, 9, 9}},
        FrameCase{"PartialLastLineIsDropped",
                  {{params(Format::Gray, 2, 2, -1, 8), {1, 2, 3, 4, 5}}},
                  4096,
                  2,
                  2,
                  8,
                  {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}},
        FrameCase{"MoreLinesThanAnnounced",
                  {{params(Format::Gray, 1, 1, 1, 8), join({{5}, {6}})}},
                  4096,
                  1,
                  2,
                  8,
                  {5, 5, 5, 6, 6, 6}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase
{
    const char* name;
    std::vector<SaneFrameParameters> frames; // the last one is refused
};

class RefusedFrames : public ::testing::TestWithParam<RefusedCase>
{};

TEST_P(RefusedFrames, SpoilThePage)
{
    SaneFrameAssembler assembler;
    const auto& frames = GetParam().frames;
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        ASSERT_TRUE(assembler.beginFrame(frames[i]));
        const Bytes line(std::size_t(frames[i].bytesPerLine), 0);
        assembler.append(line.data(), line.size());
        assembler.endFrame();
    }
    EXPECT_FALSE(assembler.beginFrame(frames.back()));
    EXPECT_FALSE(assembler.isComplete());
    imaging::Bitmap bitmap;
    EXPECT_NE(assembler.takeBitmap(bitmap), imaging::Success);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, RefusedFrames,
    ::testing::Values(
        RefusedCase{"LineShorterThanItsPixels", {params(Format::Rgb, 4, 11, 1, 8)}},
        RefusedCase{"UnknownDepth", {params(Format::Gray, 4, 4, 1, 4)}},
        RefusedCase{"NoWidth", {params(Format::Gray, 0, 4, 1, 8)}},
        RefusedCase{"AboveThePixelLimit", {params(Format::Gray, 100000, 100000, 100000, 8)}},
        RefusedCase{"PassOfAnotherWidth",
                    {params(Format::Red, 4, 4, 1, 8, false), params(Format::Green, 5, 5, 1, 8)}},
        RefusedCase{"GreyAfterAPass",
                    {params(Format::Red, 4, 4, 1, 8, false), params(Format::Gray, 4, 4, 1, 8)}},
        RefusedCase{"FrameAfterTheLast",
                    {params(Format::Gray, 4, 4, 1, 8), params(Format::Gray, 4, 4, 1, 8)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameAssembly, PageWithoutLinesIsNotComplete)
{
    SaneFrameAssembler assembler;
    ASSERT_TRUE(assembler.beginFrame(params(Format::Gray, 4, 4, -1, 8)));
    assembler.endFrame();
    EXPECT_FALSE(assembler.isComplete());
}

} // namespace
