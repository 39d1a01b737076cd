// The container writer on real files: the layout byte by byte, blocks of every awkward length,
// a round trip through the reader, the refusals, and a full disk.
#include "ContainerTestFiles.h"
#include "TViewerFile.h"
#include "ViewerFileReader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

using namespace album;

namespace {

struct EndContainer
{
    ~EndContainer() { EndViewerFile(); }
};

void appendLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendEntry(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t size,
                 std::uint32_t offset)
{
    std::string field = name;
    field.resize(24, '\0');
    out.insert(out.end(), field.begin(), field.end());
    appendLe32(out, size);
    appendLe32(out, offset);
}

void padTo(std::vector<std::uint8_t>& out, std::size_t length)
{
    out.resize(length, 0);
}

} // namespace

TEST(ViewerFileWriter, SmallFileIsLaidOutByteByByte)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 13);
    const std::vector<std::uint8_t> program = readWholeFile(path);
    EndContainer end;

    BeginViewerFile(path, 3);
    std::vector<std::uint8_t> expected = program;
    appendLe32(expected, 0);
    appendLe32(expected, 0);
    padTo(expected, 13 + 8 + 3 * 32 + 7); // padding 12 - (117 % 8)
    appendLe32(expected, 13);
    EXPECT_EQ(readWholeFile(path), expected);

    const std::vector<std::uint8_t> photo = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(AddViewerResource(path, "VELKO_PIC0", photo.data(), photo.size()));
    // Two bytes: shorter than the trailer they overwrite, none of which may remain.
    ASSERT_TRUE(AddViewerNumber16(path, "VELKO_NRPICS", 0x0102));

    expected = program;
    appendLe32(expected, 2);
    appendLe32(expected, 0);
    appendEntry(expected, "VELKO_PIC0", 10, 120);
    appendEntry(expected, "VELKO_NRPICS", 2, 136);
    appendEntry(expected, "", 0, 0);
    padTo(expected, 120);
    expected.insert(expected.end(), photo.begin(), photo.end());
    padTo(expected, 136);
    expected.push_back(0x02);
    expected.push_back(0x01);
    padTo(expected, 138 + 10);
    appendLe32(expected, 13);
    EXPECT_EQ(readWholeFile(path), expected);
}

struct BlockLength
{
    const char* name;
    std::size_t length;
};

class ViewerFileBlockLength : public testing::TestWithParam<BlockLength>
{};

// After each block the file ends at a multiple of 8 in zeros and the directory offset, and the
// gap before the next block is zero too, whatever the block's length.
TEST_P(ViewerFileBlockLength, KeepsTheLayoutAfterEveryBlock)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 21);
    EndContainer end;
    BeginViewerFile(path, 2);
    const std::vector<std::uint8_t> first(GetParam().length, 0xEE);
    const std::vector<std::uint8_t> second = {0xDD, 0xDD, 0xDD};

    for (const auto* block : {&first, &second}) {
        ASSERT_TRUE(
            AddViewerResource(path, block == &first ? "A" : "B", block->data(), block->size()));
        const std::vector<std::uint8_t> bytes = readWholeFile(path);
        ASSERT_EQ(bytes.size() % 8, 0u);
        EXPECT_EQ(le32At(bytes, bytes.size() - 4), 21u);

        const ViewerFileReader reader = ViewerFileReader::openFile(path);
        std::vector<std::uint8_t> marked(bytes.size(), 0);
        std::fill(marked.begin(), marked.begin() + 21 + 8 + 2 * 32, 1);
        std::fill(marked.end() - 4, marked.end(), 1);
        for (const auto& entry : reader.entries())
            std::fill_n(marked.begin() + entry.offset, entry.size, 1);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (!marked[i]) {
                ASSERT_EQ(bytes[i], 0) << "stray byte at " << i << " of " << bytes.size();
            }
        }
    }
    const ViewerFileReader reader = ViewerFileReader::openFile(path);
    EXPECT_EQ(reader.block("A"), first);
    EXPECT_EQ(reader.block("B"), second);
    EXPECT_EQ(reader.entries().at(1).offset % 8, 0u);
    EXPECT_GT(reader.entries().at(1).offset, reader.entries().at(0).offset + first.size());
}

INSTANTIATE_TEST_SUITE_P(Lengths, ViewerFileBlockLength,
                         testing::Values(BlockLength{"Empty", 0}, BlockLength{"OneByte", 1},
                                         BlockLength{"SevenBytes", 7}, BlockLength{"EightBytes", 8},
                                         BlockLength{"NineBytes", 9},
                                         BlockLength{"SixteenBytes", 16},
                                         BlockLength{"ManyBytes", 1237}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ViewerFileWriter, ManyBlocksComeBackThroughTheReader)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 4099);
    EndContainer end;
    constexpr int kPhotos = 150;
    BeginViewerFile(path, 2 * kPhotos + 3);

    std::mt19937 random(19);
    std::vector<std::vector<std::uint8_t>> blocks;
    for (int n = 0; n < 2 * kPhotos; ++n) {
        std::vector<std::uint8_t> block(random() % 3000);
        for (auto& byte : block)
            byte = static_cast<std::uint8_t>(random());
        const std::string name = (n % 2 ? "VELKO_PIC" : "VELKO_THUMB") + std::to_string(n / 2);
        ASSERT_TRUE(AddViewerResource(path, name, block.data(), block.size()));
        blocks.push_back(std::move(block));
    }
    const std::string title = "Sommer – Zürich, 日本";
    ASSERT_TRUE(AddViewerNumber16(path, "VELKO_NRPICS", kPhotos));
    ASSERT_TRUE(AddViewerText(path, "VELKO_TITLE", title));
    const std::uint8_t slideshow = 1;
    ASSERT_TRUE(AddViewerResource(path, "VELKO_SLIDESHOW", &slideshow, 1));

    const ViewerFileReader reader = ViewerFileReader::openFile(path);
    EXPECT_EQ(reader.directoryOffset(), 4099u);
    ASSERT_EQ(reader.entries().size(), std::size_t(2 * kPhotos + 3));
    for (int n = 0; n < 2 * kPhotos; ++n)
        ASSERT_EQ(reader.block((n % 2 ? "VELKO_PIC" : "VELKO_THUMB") + std::to_string(n / 2)),
                  blocks[n])
            << n;
    EXPECT_EQ(reader.number("VELKO_NRPICS"), std::optional<std::uint32_t>(kPhotos));
    EXPECT_EQ(reader.text("VELKO_TITLE"), title);
    EXPECT_EQ(reader.number("VELKO_SLIDESHOW"), std::optional<std::uint32_t>(1));
    EXPECT_EQ(reader.block("VELKO_PIC150"), std::nullopt);

    // The same container inside a larger file, read as a byte range.
    const std::vector<std::uint8_t> container = readWholeFile(path);
    const std::string outer = (folder.path() / "outer").string();
    {
        std::ofstream out(outer, std::ios::binary);
        out << "some bytes before";
        out.write(reinterpret_cast<const char*>(container.data()),
                  static_cast<std::streamsize>(container.size()));
        out << "and after";
    }
    const ViewerFileReader ranged = ViewerFileReader::openFile(outer, 17, container.size());
    EXPECT_EQ(ranged.text("VELKO_TITLE"), title);
    EXPECT_EQ(ranged.block("VELKO_THUMB149"), blocks[298]);
}

TEST(ViewerFileWriter, NameOfTwentyFourBytesFillsTheFieldAndLongerIsRefused)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 8);
    EndContainer end;
    BeginViewerFile(path, 2);
    const std::string name24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    ASSERT_TRUE(AddViewerText(path, name24, "x"));
    const std::vector<std::uint8_t> before = readWholeFile(path);
    EXPECT_EQ(std::string(before.begin() + 16, before.begin() + 40), name24);
    EXPECT_EQ(le32At(before, 40), 1u); // the size follows with no terminator between

    EXPECT_THROW(AddViewerText(path, name24 + "Y", "y"), ContainerError);
    EXPECT_THROW(AddViewerText(path, "", "y"), ContainerError);
    EXPECT_EQ(readWholeFile(path), before);
    EXPECT_EQ(ViewerFileReader::openFile(path).text(name24), "x");
}

TEST(ViewerFileWriter, BlocksForAnotherFileOrNoContainerAreIgnored)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 100);
    const std::string other = folder.program("Album", 100); // differs only in case
    EndContainer end;
    BeginViewerFile(path, 1);
    const std::vector<std::uint8_t> before = readWholeFile(path);
    EXPECT_FALSE(AddViewerText(other, "VELKO_TITLE", "t"));
    EXPECT_EQ(readWholeFile(other).size(), 100u);
    EndViewerFile();
    EXPECT_FALSE(AddViewerText(path, "VELKO_TITLE", "t"));
    EXPECT_EQ(readWholeFile(path), before);
}

TEST(ViewerFileWriter, MoreBlocksThanReservedAreRefusedWithoutDamage)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 40);
    EndContainer end;
    BeginViewerFile(path, 1);
    ASSERT_TRUE(AddViewerText(path, "ONE", "first"));
    const std::vector<std::uint8_t> before = readWholeFile(path);
    EXPECT_THROW(AddViewerText(path, "TWO", "second"), ContainerError);
    EXPECT_EQ(readWholeFile(path), before);
}

TEST(ViewerFileWriter, MissingFileGivesTheSystemsReasonAndNoContainer)
{
    ContainerTestFolder folder;
    const std::string path = (folder.path() / "gone").string();
    try {
        BeginViewerFile(path, 1);
        FAIL() << "no error";
    } catch (const ContainerError& error) {
        EXPECT_EQ(error.errorNumber(), ENOENT);
        EXPECT_NE(std::string(error.what()).find(std::strerror(ENOENT)), std::string::npos);
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
    }
    EXPECT_FALSE(AddViewerText(path, "A", "a"));
}

// A file-size limit stands for a full disk; it binds root too.
TEST(ViewerFileWriter, FullDiskReportsTheSystemsReasonAndKeepsEarlierBlocks)
{
    ContainerTestFolder folder;
    const std::string path = folder.program("album", 1000);
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{6000, 6000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string report;
        int written = 0;
        try {
            BeginViewerFile(path, 20);
            const std::vector<std::uint8_t> block(1500, 0x5A);
            for (; written < 20; ++written)
                AddViewerResource(path, "B" + std::to_string(written), block.data(), block.size());
            report = "no error";
        } catch (const ContainerError& error) {
            report = std::to_string(written) + ' ' + error.what();
        }
        (void)!write(channel[1], report.data(), report.size());
        _exit(0);
    }
    close(channel[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(got));
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));

    EXPECT_NE(report.find(std::strerror(EFBIG)), std::string::npos) << report;
    const int written = std::stoi(report);
    EXPECT_EQ(written, 2) << report;
    const ViewerFileReader reader = ViewerFileReader::openFile(path);
    ASSERT_EQ(reader.entries().size(), std::size_t(written));
    for (int n = 0; n < written; ++n)
        EXPECT_EQ(reader.block("B" + std::to_string(n)), std::vector<std::uint8_t>(1500, 0x5A));
}
