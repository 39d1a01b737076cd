// The screensaver installer program: installers written with the container writer on copies of
// the built program, run into a temporary home without a display and once under Xvfb.
#include "ChildProgram.h"
#include "ContainerTestFiles.h"
#include "TViewerFile.h"
#include "XvfbServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPiece = 1048576;
const std::string kGuid = "{5D0C1E2A-9B7F-4C3D-8E6A-1F2B3C4D5E6F}";
const std::string kFileName = "5d0c1e2a-9b7f-4c3d-8e6a-1f2b3c4d5e6f.scr";

struct ProgramRun
{
    int status = -1;
    std::string output; // stdout and stderr together
};

// Runs program with the given environment and waits for it, keeping its output.
ProgramRun runProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment,
                      const std::function<void(pid_t)>& whileRunning = {})
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = testsupport::startProgram(arguments, environment, out[1]);
    close(out[1]);
    if (whileRunning)
        whileRunning(child);
    ProgramRun run;
    char buffer[4096];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(got));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

using testsupport::shell;

// The blocks the export writes into an installer; tests damage them on purpose.
struct InstallerBlocks
{
    std::vector<std::vector<std::uint8_t>> pieces;
    std::uint32_t count = 0;
    std::string guid = kGuid;
    std::string title = "Summer 2026";
    std::string creator = "Ann";
};

std::vector<std::uint8_t> screensaverBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7919 + i / 251) & 0xFF);
    return bytes;
}

InstallerBlocks splitIntoPieces(const std::vector<std::uint8_t>& screensaver)
{
    InstallerBlocks blocks;
    for (std::size_t at = 0; at < screensaver.size(); at += kPiece)
        blocks.pieces.emplace_back(screensaver.begin() + static_cast<std::ptrdiff_t>(at),
                                   screensaver.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                             at + kPiece, screensaver.size())));
    blocks.count = static_cast<std::uint32_t>(blocks.pieces.size());
    return blocks;
}

class InstallerRun : public testing::Test
{
protected:
    void SetUp() override
    {
        mHome = mFolder.path() / "home";
        fs::create_directory(mHome);
        mInstalled = mHome / "data/velko-screensavers" / kFileName;
    }

    std::string writeInstaller(const InstallerBlocks& blocks)
    {
        const std::string installer = (mFolder.path() / "Install Summer").string();
        fs::copy_file(VELKO_INSTALLER_PROGRAM, installer, fs::copy_options::overwrite_existing);
        album::BeginViewerFile(installer, static_cast<std::uint32_t>(blocks.pieces.size() + 4));
        for (std::size_t k = 0; k < blocks.pieces.size(); ++k)
            album::AddViewerResource(installer, "VELKOSS" + std::to_string(k + 1),
                                     blocks.pieces[k].data(), blocks.pieces[k].size());
        album::AddViewerNumber32(installer, "VELKOSSN", blocks.count);
        album::AddViewerText(installer, "VELKOSST", blocks.title);
        album::AddViewerText(installer, "VELKOSSC", blocks.creator);
        album::AddViewerText(installer, "VELKOSSG", blocks.guid);
        album::EndViewerFile();
        return installer;
    }

    std::vector<std::string> environment(const std::string& display = {}) const
    {
        std::vector<std::string> variables = {"HOME=" + mHome.string(),
                                              "XDG_DATA_HOME=" + (mHome / "data").string(),
                                              "PATH=/usr/bin:/bin"};
        if (!display.empty())
            variables.push_back("DISPLAY=" + display);
        return variables;
    }

    ProgramRun install(const std::string& installer) const
    {
        return runProgram({installer}, environment());
    }

    // Every file the installer left in the home, besides the settings.
    std::set<std::string> filesInHome() const
    {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(mHome))
            if (!entry.is_directory() && entry.path().filename() != ".xscreensaver")
                files.insert(fs::relative(entry.path(), mHome).string());
        return files;
    }

    ContainerTestFolder mFolder;
    fs::path mHome;
    fs::path mInstalled;
};

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(InstallerRun, InstallsWithoutXScreenSaverSettings)
{
    const std::vector<std::uint8_t> screensaver = screensaverBytes(2 * kPiece + 1);
    const ProgramRun run = install(writeInstaller(splitIntoPieces(screensaver)));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("XScreenSaver is not set up"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(mInstalled.string()), std::string::npos) << run.output;
    EXPECT_EQ(readWholeFile(mInstalled.string()), screensaver);
    struct stat info
    {};
    ASSERT_EQ(stat(mInstalled.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_FALSE(fs::exists(mHome / ".xscreensaver"));
    EXPECT_EQ(filesInHome(), std::set<std::string>{"data/velko-screensavers/" + kFileName});
}

TEST_F(InstallerRun, RunTwiceListsTheScreensaverOnce)
{
    std::ofstream(mHome / ".xscreensaver")
        << "mode:\t\trandom\nprograms:\t\\\n\t\tmaze -root \\n\\\n\n";
    const std::vector<std::uint8_t> screensaver = screensaverBytes(2 * kPiece);
    const std::string installer = writeInstaller(splitIntoPieces(screensaver));

    ProgramRun run = install(installer);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("has been added to XScreenSaver"), std::string::npos) << run.output;
    run = install(installer);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("already in XScreenSaver"), std::string::npos) << run.output;

    const std::vector<std::uint8_t> bytes = readWholeFile((mHome / ".xscreensaver").string());
    const std::string settings(bytes.begin(), bytes.end());
    EXPECT_EQ(occurrences(settings, mInstalled.string()), 1u) << settings;
    EXPECT_NE(settings.find("\"Summer 2026\"  " + mInstalled.string() + " -root"),
              std::string::npos);
    EXPECT_EQ(settings.rfind("mode:\t\trandom\nprograms:\t\\\n\t\tmaze -root \\n\\\n", 0), 0u);
    EXPECT_EQ(readWholeFile(mInstalled.string()), screensaver);
}

struct DamageCase
{
    const char* name;
    std::function<void(InstallerBlocks&)> damage;
    const char* message;
};

class DamagedInstaller : public InstallerRun, public testing::WithParamInterface<DamageCase>
{};

TEST_P(DamagedInstaller, IsRefusedWithNothingInstalled)
{
    std::ofstream(mHome / ".xscreensaver") << "programs: maze -root\n";
    InstallerBlocks blocks = splitIntoPieces(screensaverBytes(2 * kPiece + 1));
    GetParam().damage(blocks);
    const ProgramRun run = install(writeInstaller(blocks));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(GetParam().message), std::string::npos) << run.output;
    EXPECT_TRUE(filesInHome().empty());
    EXPECT_EQ(readWholeFile((mHome / ".xscreensaver").string()).size(), 21u);
}

INSTANTIATE_TEST_SUITE_P(
    Installer, DamagedInstaller,
    testing::Values(DamageCase{"PieceMissing", [](InstallerBlocks& b) { b.pieces.pop_back(); },
                               "Piece 3 of 3 of the screensaver is missing"},
                    DamageCase{"ShortPiece", [](InstallerBlocks& b) { b.pieces[1].pop_back(); },
                               "Piece 2 of the screensaver has a wrong size"},
                    DamageCase{"EmptyLastPiece", [](InstallerBlocks& b) { b.pieces[2].clear(); },
                               "Piece 3 of the screensaver has a wrong size"},
                    DamageCase{"CountTooSmall", [](InstallerBlocks& b) { b.count = 2; },
                               "more pieces than it counts"},
                    DamageCase{"CountAbsurd", [](InstallerBlocks& b) { b.count = 0xFFFFFFFF; },
                               "piece count (4294967295) is not possible"},
                    DamageCase{"NoPieces",
                               [](InstallerBlocks& b) { b.pieces.clear(), b.count = 0; },
                               "piece count (0) is not possible"},
                    DamageCase{"GuidClimbsOut",
                               [](InstallerBlocks& b) {
                                   b.guid = "{../../../../../../.bashrc/xxxxxxxxxxxxxxx}";
                               },
                               "identifier is missing or malformed"}),
    [](const testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

TEST_F(InstallerRun, TruncatedOrBareInstallerIsRefused)
{
    std::string installer = writeInstaller(splitIntoPieces(screensaverBytes(kPiece + 5)));
    fs::resize_file(installer, fs::file_size(installer) - 1000);
    ProgramRun run = install(installer);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("This installer is damaged"), std::string::npos) << run.output;

    // The program as built, before the export gave it a screensaver.
    run = runProgram({VELKO_INSTALLER_PROGRAM}, environment());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(filesInHome().empty());
}

TEST(InstallerProgram, NeedsOnlyLibcAndXlibAndIsSmall)
{
    const std::set<std::string> allowed = {
        "linux-vdso.so.1", "libc.so.6",   "libm.so.6",     "ld-linux-x86-64.so.2", "libX11.so.6",
        "libxcb.so.1",     "libXau.so.6", "libXdmcp.so.6", "libbsd.so.0",          "libmd.so.0"};
    const std::string ldd = shell(std::string("ldd '") + VELKO_INSTALLER_PROGRAM + "'");
    ASSERT_NE(ldd.find("libX11.so.6"), std::string::npos) << ldd;
    std::size_t at = 0;
    while (at < ldd.size()) {
        std::size_t end = ldd.find('\n', at);
        if (end == std::string::npos)
            end = ldd.size();
        const std::string line = ldd.substr(at, end - at);
        const std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos) {
            const std::string library =
                fs::path(line.substr(start, line.find(' ', start) - start)).filename().string();
            EXPECT_TRUE(allowed.count(library)) << line;
        }
        at = end + 1;
    }
    EXPECT_LT(fs::file_size(VELKO_INSTALLER_PROGRAM), 2u * 1024 * 1024);
}

TEST_F(InstallerRun, WindowTellsWhatWasDoneAndClosesWithEnter)
{
    if (shell("command -v Xvfb").empty() || shell("command -v xdotool").empty())
        GTEST_SKIP() << "Xvfb and xdotool are needed";
    XvfbServer server;
    ASSERT_FALSE(server.display().empty()) << server.error();
    const std::vector<std::uint8_t> screensaver = screensaverBytes(3000);
    std::string window;
    const ProgramRun run = runProgram(
        {writeInstaller(splitIntoPieces(screensaver))}, environment(server.display()), [&](pid_t) {
            const std::string x = "DISPLAY=" + server.display() + " ";
            window = shell("timeout 30 env " + x +
                           "xdotool search --sync --onlyvisible --name "
                           "'^Screensaver installer$'");
            window = window.substr(0, window.find('\n'));
            shell(x + "xdotool windowfocus --sync " + window + " key Return");
        });
    EXPECT_FALSE(window.empty());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(readWholeFile(mInstalled.string()), screensaver);
}

} // namespace
