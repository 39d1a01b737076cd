// The reader refuses damaged containers with a clear error instead of reading out of bounds.
#include "ViewerFileReader.h"

#include "ContainerTestFiles.h"
#include "TViewerFile.h"

#include <gtest/gtest.h>

#include <functional>

using namespace album;

namespace {

// A 16-byte program, directory of 3 entries (2 used) at 16, blocks "PIC0" (20 bytes) at 128
// and "TITLE" (5 bytes) at 152; 168 bytes in all.
std::vector<std::uint8_t> validContainer()
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 16);
    BeginViewerFile(path, 3);
    const std::vector<std::uint8_t> photo(20, 0x77);
    AddViewerResource(path, "PIC0", photo.data(), photo.size());
    AddViewerText(path, "TITLE", "hello");
    EndViewerFile();
    return readWholeFile(path);
}

void putLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    putLittleEndian32(bytes.data() + at, value);
}

constexpr std::size_t kEntry0 = 16 + 8;
constexpr std::size_t kEntry1 = kEntry0 + 32;

struct Corruption
{
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> apply;
};

class ViewerFileReaderHostile : public testing::TestWithParam<Corruption>
{};

} // namespace

TEST(ViewerFileReader, ReadsTheValidContainer)
{
    const std::vector<std::uint8_t> bytes = validContainer();
    ASSERT_EQ(bytes.size(), 168u);
    const ViewerFileReader reader = ViewerFileReader::fromBytes(bytes);
    EXPECT_EQ(reader.entries().size(), 2u);
    EXPECT_EQ(reader.text("TITLE"), "hello");
    EXPECT_EQ(reader.block("PIC0"), std::vector<std::uint8_t>(20, 0x77));
}

TEST_P(ViewerFileReaderHostile, IsRefused)
{
    std::vector<std::uint8_t> bytes = validContainer();
    GetParam().apply(bytes);
    EXPECT_THROW(ViewerFileReader::fromBytes(bytes), ContainerError);
}

INSTANTIATE_TEST_SUITE_P(
    Corruptions, ViewerFileReaderHostile,
    testing::Values(
        Corruption{"Empty", [](auto& b) { b.clear(); }},
        Corruption{"OnlyATrailer", [](auto& b) { b.erase(b.begin(), b.end() - 8); }},
        Corruption{"LengthNotAMultipleOf8", [](auto& b) { b.push_back(0); }},
        Corruption{"CutByEight", [](auto& b) { b.resize(b.size() - 8); }},
        Corruption{"NoZerosBeforeTrailer", [](auto& b) { b[b.size() - 8] = 1; }},
        Corruption{"DirectoryPastTheEnd", [](auto& b) { putLe32(b, b.size() - 4, 170); }},
        Corruption{"DirectoryAtMaximum", [](auto& b) { putLe32(b, b.size() - 4, 0xFFFFFFFF); }},
        Corruption{"CountTooLarge", [](auto& b) { putLe32(b, 16, 5); }},
        Corruption{"CountHuge", [](auto& b) { putLe32(b, 16, 0xFFFFFFFF); }},
        Corruption{"ReservedWordSet", [](auto& b) { putLe32(b, 20, 1); }},
        Corruption{"BlockPastTheEnd", [](auto& b) { putLe32(b, kEntry0 + 24, 60); }},
        Corruption{"BlockSizeHuge", [](auto& b) { putLe32(b, kEntry0 + 24, 0xFFFFFFFF); }},
        Corruption{"OffsetHuge", [](auto& b) { putLe32(b, kEntry1 + 28, 0xFFFFFFF8); }},
        Corruption{"OffsetInsideDirectory", [](auto& b) { putLe32(b, kEntry0 + 28, 24); }},
        Corruption{"OffsetNotAligned", [](auto& b) { putLe32(b, kEntry1 + 28, 153); }},
        Corruption{"NamelessBlock", [](auto& b) { b[kEntry1] = 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ViewerFileReader, EveryTruncationIsRefused)
{
    const std::vector<std::uint8_t> bytes = validContainer();
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_THROW(ViewerFileReader::fromBytes(std::span(bytes.data(), length)), ContainerError)
            << length;
}

TEST(ViewerFileReader, FileErrorsAreReported)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("plain", 64); // no container at all
    EXPECT_THROW(ViewerFileReader::openFile(path), ContainerError);
    EXPECT_THROW(ViewerFileReader::openFile(path, 60, 8), ContainerError);
    EXPECT_THROW(ViewerFileReader::openFile((folder.path() / "gone").string()), ContainerError);
}
