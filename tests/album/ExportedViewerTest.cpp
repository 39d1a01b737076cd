// The built viewer program VIEWERDATA.dat: albums written with the container writer on copies
// of it, run under a private Xvfb and watched through the screen's pixels; its libraries, size
// and version area; damaged albums.
#include "Bitmap.h"
#include "ChildProgram.h"
#include "ContainerTestFiles.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "ScreenProbe.h"
#include "TViewerFile.h"
#include "VersionInfo.h"
#include "XvfbServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint32_t kRed = 0xff0000;
constexpr std::uint32_t kGreen = 0x00ff00;
constexpr std::uint32_t kBlue = 0x0000ff;
constexpr auto kStartLimit = 10s;

QByteArray solidJpeg(std::uint32_t rgb, int width, int height)
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(width, height), imaging::Success);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = bitmap.scanLine(y) + 3 * x;
            pixel[0] = std::uint8_t(rgb >> 16);
            pixel[1] = std::uint8_t(rgb >> 8);
            pixel[2] = std::uint8_t(rgb);
        }
    QByteArray bytes;
    EXPECT_EQ(imaging::saveJpeg(bitmap, 90, bytes), imaging::Success);
    return bytes;
}

struct AlbumSpec
{
    std::vector<std::uint32_t> colours;
    std::string title;
    std::uint8_t slideshow = 0;
    // The index of a photo and the bytes that replace it.
    std::optional<std::pair<std::uint32_t, std::string>> replacedPhoto;
};

// An album program as the export writes it: the copied program, then the blocks.
std::string writeAlbum(const fs::path& folder, const AlbumSpec& spec)
{
    const std::string path = (folder / "album").string();
    fs::copy_file(VELKO_VIEWER_PROGRAM, path, fs::copy_options::overwrite_existing);
    const auto count = std::uint32_t(spec.colours.size());
    album::BeginViewerFile(path, 2 * count + 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        if (!spec.slideshow) {
            const QByteArray thumbnail = solidJpeg(spec.colours[i], 90, 68);
            album::AddViewerResource(path, "VELKO_THUMB" + n, thumbnail.data(),
                                     std::size_t(thumbnail.size()));
        }
        QByteArray picture = solidJpeg(spec.colours[i], 640, 480);
        if (spec.replacedPhoto && spec.replacedPhoto->first == i)
            picture = QByteArray::fromStdString(spec.replacedPhoto->second);
        album::AddViewerResource(path, "VELKO_PIC" + n, picture.data(),
                                 std::size_t(picture.size()));
    }
    album::AddViewerNumber16(path, "VELKO_NRPICS", std::uint16_t(count));
    if (!spec.title.empty())
        album::AddViewerText(path, "VELKO_TITLE", spec.title);
    album::AddViewerResource(path, "VELKO_SLIDESHOW", &spec.slideshow, 1);
    album::EndViewerFile();
    return path;
}

// The program with its output on a pipe and the first-picture line on another; killed if the
// test leaves it running.
class RunningProgram
{
public:
    RunningProgram(const std::vector<std::string>& arguments, std::vector<std::string> environment)
    {
        int output[2], picture[2];
        if (pipe2(output, O_CLOEXEC) != 0 || pipe2(picture, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        environment.push_back("VELKO_FIRST_PICTURE_FD=3");
        mPid = testsupport::startProgram(arguments, environment, output[1], {{3, picture[1]}});
        close(output[1]);
        close(picture[1]);
        mOutput = output[0];
        mPicture = picture[0];
        // The syscall itself: glibc 2.36's header declares its wrapper without C linkage.
        mPidFd = int(syscall(SYS_pidfd_open, mPid, 0));
    }
    ~RunningProgram()
    {
        if (!mStatus) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        close(mOutput);
        close(mPicture);
        close(mPidFd);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return mPid; }

    // True once the program says its first picture is on screen.
    bool waitForFirstPicture()
    {
        pollfd fd = {mPicture, POLLIN, 0};
        char line[64];
        return poll(&fd, 1, int(std::chrono::milliseconds(kStartLimit).count())) == 1 &&
               read(mPicture, line, sizeof line) > 0;
    }

    // The exit code (128 + signal for a crash), or none if it still runs after the limit.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = 10s)
    {
        if (!mStatus) {
            pollfd fd = {mPidFd, POLLIN, 0};
            if (poll(&fd, 1, int(limit.count())) != 1)
                return std::nullopt;
            int status = 0;
            waitpid(mPid, &status, 0);
            mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return mStatus;
    }

    // Everything it wrote, once it has ended.
    std::string output()
    {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(mOutput, buffer, sizeof buffer)) > 0;)
            text.append(buffer, std::size_t(got));
        return text;
    }

private:
    pid_t mPid = -1;
    int mPidFd = -1;
    int mOutput = -1;
    int mPicture = -1;
    std::optional<int> mStatus;
};

using testsupport::shell;

class ExportedViewer : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!shell("command -v Xvfb").empty())
            sServer = new XvfbServer("1024x768x24");
    }
    static void TearDownTestSuite()
    {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override
    {
        if (!sServer)
            GTEST_SKIP() << "Xvfb is needed";
        ASSERT_FALSE(sServer->display().empty()) << sServer->error();
        mScreen.emplace(sServer->display());
        ASSERT_TRUE(mScreen->connected());
    }

    std::vector<std::string> environment() const
    {
        return {"DISPLAY=" + sServer->display(), "PATH=/usr/bin:/bin"};
    }

    static XvfbServer* sServer;
    ContainerTestFolder mFolder;
    std::optional<ScreenProbe> mScreen;
};

XvfbServer* ExportedViewer::sServer = nullptr;

} // namespace

TEST(ExportedViewerProgram, NeedsOnlyLibcAndXlibAndIsSmall)
{
    const std::vector<std::string> allowed = {
        "linux-vdso.so", "libc.so",     "libm.so",   "libX11.so", "libxcb.so",
        "libXau.so",     "libXdmcp.so", "libbsd.so", "libmd.so",  "ld-linux-x86-64.so"};
    const std::string listing = shell("ldd " VELKO_VIEWER_PROGRAM);
    ASSERT_NE(listing.find("libX11.so"), std::string::npos) << listing;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::string library;
        std::istringstream(line) >> library;
        library.erase(0, library.rfind('/') + 1);
        EXPECT_TRUE(std::any_of(allowed.begin(), allowed.end(), [&](const std::string& name) {
            return library.starts_with(name);
        })) << line;
    }
    EXPECT_LT(fs::file_size(VELKO_VIEWER_PROGRAM), 2u * 1024 * 1024);
}

TEST(ExportedViewerProgram, VersionFieldsGoIntoItsOneArea)
{
    ContainerTestFolder folder;
    const std::string copy = (folder.path() / "album").string();
    fs::copy_file(VELKO_VIEWER_PROGRAM, copy);
    ASSERT_TRUE(album::WriteVersionInfo(copy, "Lake Garda", "Ten days in May", "Anna Rossi"));

    const std::vector<std::uint8_t> bytes = readWholeFile(copy);
    const std::string marker = "VELKO:VERSIONBLK";
    const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(at, bytes.end());
    EXPECT_EQ(std::search(at + 1, bytes.end(), marker.begin(), marker.end()), bytes.end());
    ASSERT_LE(std::size_t(bytes.end() - at), bytes.size());
    EXPECT_EQ(album::decodeVersionArea(std::span(&*at, album::kVersionAreaSize)),
              album::versionFields("Lake Garda", "Ten days in May", "Anna Rossi"));
}

TEST_F(ExportedViewer, ViewerShowsThePickedPhotoAndEndsOnEscape)
{
    const std::string title = "Zürich – Sommer";
    const std::string program = writeAlbum(mFolder.path(), {{kRed, kGreen, kBlue}, title, 0, {}});
    RunningProgram run({program}, environment());
    ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
    const auto window = mScreen->windowOfClass("velko-album");
    ASSERT_NE(window, 0u);
    EXPECT_EQ(mScreen->textProperty(window, "_NET_WM_NAME"), title);

    const auto [width, height] = mScreen->size(window);
    const int x = width / 2, y = height / 2;
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kRed));
    mScreen->key(window, "Right");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kGreen));
    mScreen->key(window, "End");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kBlue));
    mScreen->key(window, "Left");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kGreen));
    mScreen->key(window, "Home");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kRed));

    // The strip lies left of the picture; its blue thumbnail shows the blue photo.
    const int stripColumn = width / 12;
    const std::optional<int> blueRow = mScreen->firstRowWithColour(window, stripColumn, kBlue);
    ASSERT_TRUE(blueRow.has_value());
    mScreen->click(window, stripColumn, *blueRow + 8);
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kBlue));

    mScreen->key(window, "Escape");
    EXPECT_EQ(run.waitForExit(), 0) << run.output();
}

TEST_F(ExportedViewer, SlideshowFillsTheScreenAndMovesOn)
{
    const std::string program = writeAlbum(mFolder.path(), {{kRed, kGreen, kBlue}, "Garda", 1, {}});
    RunningProgram run({program}, environment());
    ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
    const auto window = mScreen->windowOfClass("velko-album");
    ASSERT_NE(window, 0u);
    const auto [width, height] = mScreen->size(window);
    EXPECT_EQ(width, mScreen->screenWidth());
    EXPECT_EQ(height, mScreen->screenHeight());
    EXPECT_TRUE(mScreen->hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"));

    const int x = width / 2, y = height / 2;
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kRed));
    // The one wait for the slide timer.
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kGreen, 8s));
    mScreen->key(window, "Right");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kBlue));
    mScreen->key(window, "space");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kRed)); // wraps to the first
    mScreen->key(window, "Left");
    EXPECT_TRUE(mScreen->waitForColour(window, x, y, kBlue)); // and back to the last

    mScreen->key(window, "Escape");
    EXPECT_EQ(run.waitForExit(), 0) << run.output();
}

TEST_F(ExportedViewer, ScreensaverDrawsIntoTheWindowItIsHandedAndEndsWithIt)
{
    const std::string program = writeAlbum(mFolder.path(), {{kGreen, kRed}, "Garda", 1, {}});
    // XScreenSaver's way: -root with the window in the environment, ended by SIGTERM.
    const auto first = mScreen->createWindow(50, 40, 320, 240);
    {
        std::vector<std::string> variables = environment();
        variables.push_back("XSCREENSAVER_WINDOW=0x" +
                            (std::ostringstream() << std::hex << first).str());
        RunningProgram run({program, "-root"}, variables);
        ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
        EXPECT_TRUE(mScreen->waitForColour(first, 160, 120, kGreen));
        EXPECT_EQ(mScreen->windowOfClass("velko-album"), 0u) << "it made a window of its own";
        kill(run.pid(), SIGTERM);
        EXPECT_EQ(run.waitForExit(), 0) << run.output();
    }

    // -window-id, and the window goes away under it.
    const auto second = mScreen->createWindow(50, 40, 320, 240);
    RunningProgram run({program, "-window-id", std::to_string(second)}, environment());
    ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
    EXPECT_TRUE(mScreen->waitForColour(second, 160, 120, kGreen));
    mScreen->destroyWindow(second);
    EXPECT_EQ(run.waitForExit(), 0) << run.output();
    EXPECT_EQ(run.output(), "");
    mScreen->destroyWindow(first);
}

namespace {

struct DamagedAlbum
{
    const char* name;
    std::function<std::string(const fs::path&)> make;
    const char* message;
};

class DamagedAlbums : public ExportedViewer, public testing::WithParamInterface<DamagedAlbum>
{};

std::string bareProgram(const fs::path& folder)
{
    const std::string path = (folder / "album").string();
    fs::copy_file(VELKO_VIEWER_PROGRAM, path);
    return path;
}

// Patches the offset of the album's first directory entry.
std::string firstBlockOutside(const fs::path& folder)
{
    const std::string path = writeAlbum(folder, {{kRed}, "", 0, {}});
    std::vector<std::uint8_t> bytes = readWholeFile(path);
    const std::uint32_t directory = le32At(bytes, bytes.size() - 4);
    const std::uint32_t outside = std::uint32_t(bytes.size() + 64);
    for (int i = 0; i < 4; ++i)
        bytes[directory + 8 + 28 + std::size_t(i)] = std::uint8_t(outside >> (8 * i));
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::string truncatedAlbum(const fs::path& folder)
{
    const std::string path = writeAlbum(folder, {{kRed, kGreen}, "", 0, {}});
    fs::resize_file(path, fs::file_size(path) - 1000);
    return path;
}

std::string settingsOnly(const fs::path& folder)
{
    const std::string path = bareProgram(folder);
    album::BeginViewerFile(path, 2);
    album::AddViewerNumber16(path, "VELKO_NRPICS", 0);
    const std::uint8_t viewer = 0;
    album::AddViewerResource(path, "VELKO_SLIDESHOW", &viewer, 1);
    album::EndViewerFile();
    return path;
}

} // namespace

TEST_P(DamagedAlbums, EndWithAMessage)
{
    const std::string program = GetParam().make(mFolder.path());
    RunningProgram run({program}, environment());
    // The message waits in a small window for OK.
    const std::string x = "DISPLAY=" + sServer->display() + " ";
    std::string window =
        shell("timeout 10 env " + x + "xdotool search --sync --onlyvisible --name '^Photo album$'");
    window = window.substr(0, window.find('\n'));
    EXPECT_FALSE(window.empty());
    shell(x + "xdotool windowfocus --sync " + window + " key Return");
    EXPECT_EQ(run.waitForExit(), 1);
    EXPECT_NE(run.output().find(GetParam().message), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    ExportedViewer, DamagedAlbums,
    testing::Values(
        DamagedAlbum{"BareProgram", bareProgram, "holds no photo album, or its album is damaged"},
        DamagedAlbum{"Truncated", truncatedAlbum, "holds no photo album, or its album is damaged"},
        DamagedAlbum{"BlockOutsideTheFile", firstBlockOutside, "lies outside the data"},
        DamagedAlbum{"NoPhotos", settingsOnly, "This album holds no photos."}),
    [](const testing::TestParamInfo<DamagedAlbum>& info) { return info.param.name; });

// A photo that is no JPEG gets a grey placeholder; the album goes on around it.
TEST_F(ExportedViewer, DamagedPhotoGetsAPlaceholderAndIsPassedOver)
{
    constexpr std::uint32_t kPlaceholderGrey = 0x404040;
    const std::string garbage(5000, 'x');
    {
        const std::string program =
            writeAlbum(mFolder.path(), {{kRed, kGreen, kBlue}, "", 0, {{1, garbage}}});
        RunningProgram run({program}, environment());
        ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
        const auto window = mScreen->windowOfClass("velko-album");
        ASSERT_NE(window, 0u);
        const auto [width, height] = mScreen->size(window);
        const int x = width / 2, y = height / 2 - 40; // above the placeholder's line
        EXPECT_TRUE(mScreen->waitForColour(window, x, y, kRed));
        mScreen->key(window, "Right");
        EXPECT_TRUE(mScreen->waitForColour(window, x, y, kPlaceholderGrey));
        mScreen->key(window, "Right");
        EXPECT_TRUE(mScreen->waitForColour(window, x, y, kBlue));
        mScreen->key(window, "Escape");
        EXPECT_EQ(run.waitForExit(), 0) << run.output();
    }

    // The very first photo damaged: the slideshow starts and moves on at its pace.
    const std::string program = writeAlbum(mFolder.path(), {{kRed, kGreen}, "", 1, {{0, garbage}}});
    RunningProgram run({program}, environment());
    ASSERT_TRUE(run.waitForFirstPicture()) << run.output();
    const auto window = mScreen->windowOfClass("velko-album");
    ASSERT_NE(window, 0u);
    const auto [width, height] = mScreen->size(window);
    EXPECT_TRUE(mScreen->waitForColour(window, width / 2, height / 3, kPlaceholderGrey));
    EXPECT_TRUE(mScreen->waitForColour(window, width / 2, height / 3, kGreen, 8s));
    mScreen->key(window, "Escape");
    EXPECT_EQ(run.waitForExit(), 0);
    EXPECT_NE(run.output().find("Photo 1 of the album cannot be shown"), std::string::npos);
}
