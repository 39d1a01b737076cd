// The XScreenSaver settings helper: entries added to the programs list of real-looking settings
// files with every other byte kept, the active screensaver chosen, the GUID file names, and the
// settings file replaced in a temporary home.
#include "XScreenSaverSettings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::filesystem::path kProgram = "/home/ann/.local/share/velko-screensavers/a.scr";

struct ProgramsCase
{
    const char* name;
    std::string before;
    std::string after;
    int index;
    std::string title = "Summer";
    std::filesystem::path program = kProgram;
};

class ProgramsList : public testing::TestWithParam<ProgramsCase>
{};

TEST_P(ProgramsList, AddsTheEntryOnceAndKeepsTheRest)
{
    const ProgramsCase& c = GetParam();
    int index = -1;
    const std::string after = album::withScreensaverProgram(c.before, c.title, c.program, index);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(index, c.index);
    // A second run finds the entry it wrote.
    int again = -1;
    EXPECT_EQ(album::withScreensaverProgram(after, "Other", c.program, again), after);
    EXPECT_EQ(again, c.index);
}

const std::string kEntry = "  \"Summer\"  " + kProgram.string() + " -root \\n\\\n";

INSTANTIATE_TEST_SUITE_P(
    Settings, ProgramsList,
    testing::Values(
        ProgramsCase{"EmptyFile", "", "programs:\t\\\n" + kEntry + "\n", 0},
        ProgramsCase{"NoProgramsLine", "timeout:\t0:10:00\nmode:\t\trandom",
                     "timeout:\t0:10:00\nmode:\t\trandom\nprograms:\t\\\n" + kEntry + "\n", 0},
        ProgramsCase{"CommentedProgramsLineIsNoList", "# programs: a.scr -root\n",
                     "# programs: a.scr -root\nprograms:\t\\\n" + kEntry + "\n", 0},
        ProgramsCase{"EmptyValue", "programs:\nlock: False\n",
                     "programs: \\\n" + kEntry + "\nlock: False\n", 0},
        ProgramsCase{"EmptyContinuedValue", "programs:\t\t\\\n\nlock: False\n",
                     "programs:\t\t\\\n" + kEntry + "\nlock: False\n", 0},
        ProgramsCase{"DisabledVisualAndNamedEntries",
                     "mode: one\nprograms:\t\t\t\t\t\\\n"
                     "\t\t\t\tmaze -root\t\t\t\\n\\\n"
                     "- GL: \t\t\t\tsuperquadrics -root\t\\n\\\n"
                     "\t\t \"Qix (solid)\" \tqix -root -solid\t\t\\n\\\n"
                     "- mono: \"Qix (xor)\" \tqix -root -linear -count 5   \\\n"
                     "\t\t\t  -spread 30 -xor\t\t\\n\\\n"
                     "\t\t\t\t\t\t\t\\\n"
                     "\n\npointerPollTime: 0:00:05\n",
                     "mode: one\nprograms:\t\t\t\t\t\\\n"
                     "\t\t\t\tmaze -root\t\t\t\\n\\\n"
                     "- GL: \t\t\t\tsuperquadrics -root\t\\n\\\n"
                     "\t\t \"Qix (solid)\" \tqix -root -solid\t\t\\n\\\n"
                     "- mono: \"Qix (xor)\" \tqix -root -linear -count 5   \\\n"
                     "\t\t\t  -spread 30 -xor\t\t\\n\\\n"
                     "\t\t\t\t\t\t\t\\\n" +
                         kEntry + "\n\npointerPollTime: 0:00:05\n",
                     4},
        ProgramsCase{"AlreadyListedUnderAnotherName",
                     "programs: \\\n maze -root \\n\\\n- GL: \"Old\" " + kProgram.string() +
                         " -root \\n\\\n qix -root \\n\\\n\n",
                     "programs: \\\n maze -root \\n\\\n- GL: \"Old\" " + kProgram.string() +
                         " -root \\n\\\n qix -root \\n\\\n\n",
                     1},
        ProgramsCase{"OneLineValue", "programs:\tmaze -root\nlock: True\n",
                     "programs:\tmaze -root \\n\\\n" + kEntry + "\nlock: True\n", 1},
        ProgramsCase{"LastEntryWithoutSeparator", "programs: \\\n  maze -root \\\n\n",
                     "programs: \\\n  maze -root \\\n\\n\\\n" + kEntry + "\n", 1},
        ProgramsCase{"FileEndsInsideTheList", "programs: \\\n  maze -root \\n\\\n",
                     "programs: \\\n  maze -root \\n\\\n" + kEntry, 1},
        ProgramsCase{"NoNewlineAtTheEnd", "lock: True\nprograms: maze -root",
                     "lock: True\nprograms: maze -root \\n\\\n" + kEntry + "\n", 1},
        ProgramsCase{"OddSpacingAndCase", "  Programs  :   \\\n\t maze   -root\\n\\\n   \n",
                     "  Programs  :   \\\n\t maze   -root\\n\\\n" + kEntry + "   \n", 1},
        ProgramsCase{"LastOfRepeatedSettingsCounts",
                     "programs: qix -root\nprograms: \\\n  maze -root \\n\\\n\n",
                     "programs: qix -root\nprograms: \\\n  maze -root \\n\\\n" + kEntry + "\n", 1},
        ProgramsCase{"TitleCannotBreakTheLine", "",
                     "programs:\t\\\n  \"Say 'hi'/now  x\"  " + kProgram.string() +
                         " -root \\n\\\n\n",
                     0, "  Say \"hi\"\\now\n\tx "},
        ProgramsCase{"PathQuotedForTheShell", "",
                     "programs:\t\\\n  \"Summer\"  '/home/a b/it'\\\\''s.scr' -root \\n\\\n\n", 0,
                     "Summer", "/home/a b/it's.scr"}),
    [](const testing::TestParamInfo<ProgramsCase>& info) { return info.param.name; });

struct SelectedCase
{
    const char* name;
    std::string before;
    std::string after;
};

class SelectedScreensaver : public testing::TestWithParam<SelectedCase>
{};

TEST_P(SelectedScreensaver, ReplacesOrAddsModeAndIndex)
{
    EXPECT_EQ(album::withSelectedScreensaver(GetParam().before, 4), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SelectedScreensaver,
    testing::Values(SelectedCase{"Replaced", "mode:\t\trandom\nselected:\t-1\n\ntextMode: date\n",
                                 "mode:\t\tone\nselected:\t4\n\ntextMode: date\n"},
                    SelectedCase{"Added", "timeout: 0:10:00",
                                 "timeout: 0:10:00\nmode:\t\tone\nselected:\t\t4\n"},
                    SelectedCase{"OddSpacing", "MODE:random  \n  selected :  17 \n",
                                 "MODE:\tone\n  selected :  4\n"},
                    SelectedCase{
                        "AfterAListThatRunsToTheEnd",
                        "selected: 2\nprograms: \\\n  maze -root \\n\\\n",
                        "selected: 4\nprograms: \\\n  maze -root \\n\\\n\nmode:\t\tone\n"}),
    [](const testing::TestParamInfo<SelectedCase>& info) { return info.param.name; });

struct GuidCase
{
    const char* name;
    std::string guid;
    std::string fileName; // empty: refused
};

class GuidFileName : public testing::TestWithParam<GuidCase>
{};

TEST_P(GuidFileName, AcceptsOnlyTheBracedForm)
{
    const std::optional<std::string> name = album::screensaverFileName(GetParam().guid);
    EXPECT_EQ(name.value_or(std::string()), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, GuidFileName,
    testing::Values(GuidCase{"UpperCase", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",
                             "0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9.scr"},
                    GuidCase{"LowerCase", "{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}",
                             "0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9.scr"},
                    GuidCase{"NoBraces", "0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9ab", ""},
                    GuidCase{"ClimbsOut", "{../../../../../.bashrc/xxxxxxxxxxxxxxxxx}", ""},
                    GuidCase{"SlashInPlaceOfHex", "{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8/9}", ""},
                    GuidCase{"DashMoved", "{0a1b2c3-d4e5f-6071-8293-a4b5c6d7e8f9}", ""},
                    GuidCase{"TrailingNul",
                             std::string("{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\0", 39), ""},
                    GuidCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<GuidCase>& info) { return info.param.name; });

// A temporary home that HOME and XDG_DATA_HOME point to while the test runs.
class TemporaryHome : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velko-home-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        mHome = pattern;
        setenv("HOME", mHome.c_str(), 1);
        unsetenv("XDG_DATA_HOME");
    }
    void TearDown() override { std::filesystem::remove_all(mHome); }

    void write(const std::filesystem::path& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string read(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path mHome;
};

TEST_F(TemporaryHome, FoldersFollowTheEnvironment)
{
    EXPECT_EQ(album::xscreensaverSettingsPath(), mHome / ".xscreensaver");
    EXPECT_EQ(album::screensaverFolder(), mHome / ".local/share/velko-screensavers");
    setenv("XDG_DATA_HOME", "relative/data", 1); // not absolute: ignored
    EXPECT_EQ(album::screensaverFolder(), mHome / ".local/share/velko-screensavers");
    setenv("XDG_DATA_HOME", (mHome / "data").c_str(), 1);
    EXPECT_EQ(album::screensaverFolder(), mHome / "data/velko-screensavers");
}

TEST_F(TemporaryHome, MissingSettingsAreNotCreated)
{
    const album::ScreensaverRegistration result =
        album::registerScreensaver(kProgram, "Summer", true);
    EXPECT_FALSE(result.settingsFound);
    EXPECT_FALSE(result.added);
    EXPECT_FALSE(std::filesystem::exists(mHome / ".xscreensaver"));
}

TEST_F(TemporaryHome, SettingsAreReplacedWithTheirModeAndLink)
{
    // A settings file kept with other dot files and linked into the home stays linked.
    std::filesystem::create_directory(mHome / "dotfiles");
    const std::filesystem::path real = mHome / "dotfiles/xscreensaver";
    write(real, "mode:\t\trandom\nselected:\t-1\nprograms: \\\n  maze -root \\n\\\n\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, mHome / ".xscreensaver");

    album::ScreensaverRegistration result = album::registerScreensaver(kProgram, "Summer", false);
    EXPECT_TRUE(result.settingsFound);
    EXPECT_TRUE(result.added);
    EXPECT_FALSE(result.selected);
    EXPECT_TRUE(std::filesystem::is_symlink(mHome / ".xscreensaver"));
    struct stat info
    {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(read(real),
              "mode:\t\trandom\nselected:\t-1\nprograms: \\\n  maze -root \\n\\\n" + kEntry + "\n");

    result = album::registerScreensaver(kProgram, "Summer", true);
    EXPECT_FALSE(result.added);
    EXPECT_TRUE(result.selected);
    EXPECT_EQ(read(real),
              "mode:\t\tone\nselected:\t1\nprograms: \\\n  maze -root \\n\\\n" + kEntry + "\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mHome / "dotfiles"),
                            std::filesystem::directory_iterator()),
              1); // no temporary file left behind
}

} // namespace
