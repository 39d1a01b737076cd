// The version area of an exported program: found in a real file wherever it lies, refused when
// ambiguous, and values cut without splitting a character.
#include "VersionInfo.h"

#include "ContainerTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace album;

namespace {

// A program file of size bytes with an unfilled area at each of the positions.
std::string programWithAreas(const ContainerTestFolder& folder, std::size_t size,
                             const std::vector<std::size_t>& positions)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 131 % 251);
    const auto area = emptyVersionArea();
    for (const std::size_t position : positions)
        std::copy(area.begin(), area.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position));
    const std::string path = (folder.path() / "program").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

VersionFields areaFieldsAt(const std::string& path, std::size_t position)
{
    const std::vector<std::uint8_t> bytes = readWholeFile(path);
    return decodeVersionArea(std::span(bytes).subspan(position, kVersionAreaSize));
}

struct AreaPlace
{
    const char* name;
    std::size_t fileSize;
    std::size_t position;
};

class VersionAreaPlace : public testing::TestWithParam<AreaPlace>
{};

} // namespace

TEST_P(VersionAreaPlace, IsFilledInPlace)
{
    ContainerTestFolder folder;
    const AreaPlace place = GetParam();
    const std::string path = programWithAreas(folder, place.fileSize, {place.position});
    const std::vector<std::uint8_t> before = readWholeFile(path);

    ASSERT_TRUE(WriteVersionInfo(path, "Summer", "Fotos vom Gardasee", "Anna & Söhne"));

    const std::vector<std::uint8_t> after = readWholeFile(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(
        std::equal(before.begin(), before.begin() + std::ptrdiff_t(place.position), after.begin()));
    const std::size_t end = place.position + kVersionAreaSize;
    EXPECT_TRUE(std::equal(before.begin() + std::ptrdiff_t(end), before.end(),
                           after.begin() + std::ptrdiff_t(end)));
    EXPECT_EQ(areaFieldsAt(path, place.position),
              versionFields("Summer", "Fotos vom Gardasee", "Anna & Söhne"));
}

INSTANTIATE_TEST_SUITE_P(
    VersionInfo, VersionAreaPlace,
    testing::Values(AreaPlace{"AtTheStart", 5000, 0},
                    // The marker itself straddles the end of the first 1 MiB read.
                    AreaPlace{"MarkerAcrossTheChunkEnd", (3 << 20) / 2, (1 << 20) - 9},
                    AreaPlace{"AreaAcrossTheChunkEnd", (3 << 20) / 2, (1 << 20) - 1000},
                    AreaPlace{"AtTheEnd", 4096 + kVersionAreaSize, 4096}),
    [](const testing::TestParamInfo<AreaPlace>& info) { return info.param.name; });

TEST(VersionInfo, TwoAreasOrNoneLeaveTheFileAlone)
{
    ContainerTestFolder folder;
    for (const auto& positions :
         {std::vector<std::size_t>{}, std::vector<std::size_t>{100, (1 << 20) + 5}}) {
        const std::string path = programWithAreas(folder, (3 << 20) / 2, positions);
        const std::vector<std::uint8_t> before = readWholeFile(path);
        EXPECT_FALSE(WriteVersionInfo(path, "Summer", "", "Ann")) << positions.size();
        EXPECT_EQ(readWholeFile(path), before) << positions.size();
    }
}

TEST(VersionInfo, LongValuesAreCutBetweenCharacters)
{
    std::string comments;
    for (int i = 0; i < 1500; ++i)
        comments += i % 2 ? "é" : "€"; // two- and three-byte sequences
    const auto area = encodeVersionArea(versionFields("Title", comments, "Company"));
    const VersionFields fields = decodeVersionArea(area);
    ASSERT_EQ(fields.size(), 10u);
    const std::string& kept = fields.back().second;
    EXPECT_EQ(fields.back().first, "Comments");
    EXPECT_GT(kept.size(), 1000u);
    EXPECT_LT(kept.size(), comments.size());
    EXPECT_EQ(comments.compare(0, kept.size(), kept), 0);
    // The next byte of the original starts a character.
    EXPECT_NE(static_cast<unsigned char>(comments[kept.size()]) & 0xC0, 0x80);
}
