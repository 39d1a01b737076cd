// The export wizard's rules without its widgets: the resolution list, the display box, the
// installer's pieces and names, and when the screensaver options apply.
#include "ExportRules.h"

#include "TScreenResolutionList.h"

#include <gtest/gtest.h>

namespace {

struct ScreenCase
{
    const char* name;
    int width;
    int height;
    int selected; // where the screen's size ends up
    int count;
};

class ResolutionListScreen : public testing::TestWithParam<ScreenCase>
{};

TEST_P(ResolutionListScreen, TakesTheScreenSizeAndSelectsIt)
{
    const ScreenCase& c = GetParam();
    TScreenResolutionList list = TScreenResolutionList::standard();
    EXPECT_EQ(list.addScreen(c.width, c.height), c.selected);
    ASSERT_EQ(list.count(), c.count);
    EXPECT_EQ(list.at(c.selected), (TScreenResolution{c.width, c.height}));
    // The standard sizes keep their order around it.
    const TScreenResolutionList standard = TScreenResolutionList::standard();
    for (int i = 0, j = 0; i < list.count(); ++i) {
        if (i == c.selected && c.count > standard.count())
            continue;
        EXPECT_EQ(list.at(i), standard.at(j++)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ResolutionListScreen,
    testing::Values(ScreenCase{"Wider_Appended", 1920, 1200, 6, 7},
                    ScreenCase{"Between_Inserted", 1366, 768, 5, 7},
                    // Before the first entry as wide, though that one is taller.
                    ScreenCase{"SameWidth_InsertedBefore", 1280, 800, 4, 7},
                    ScreenCase{"Listed_Selected", 1024, 768, 2, 6}),
    [](const testing::TestParamInfo<ScreenCase>& info) { return info.param.name; });

TEST(ResolutionList, LooksUpOnlyExactSizes)
{
    const TScreenResolutionList list = TScreenResolutionList::standard();
    EXPECT_EQ(list.indexOf(800, 600), 1);
    EXPECT_EQ(list.indexOf(800, 601), -1);
    EXPECT_EQ(list.at(5).caption(), QStringLiteral("1600 x 1200"));
}

struct BoxCase
{
    const char* name;
    TScreenResolution screen;
    bool slideshow;
    QSize box;
};

class DisplayBox : public testing::TestWithParam<BoxCase>
{};

TEST_P(DisplayBox, FitsTheScreenAndTheViewersFrame)
{
    EXPECT_EQ(exportDisplayBox(GetParam().screen, GetParam().slideshow), GetParam().box);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, DisplayBox,
    testing::Values(BoxCase{"Viewer1024", {1024, 768}, false, {811, 702}},
                    BoxCase{"Viewer640_AtLeastTheMinimum", {640, 480}, false, {427, 414}},
                    BoxCase{"Viewer1920", {1920, 1080}, false, {1707, 1014}},
                    BoxCase{"Slideshow1920", {1920, 1080}, true, {1920, 1080}},
                    BoxCase{"Slideshow640_HeightRaised", {640, 400}, true, {640, 414}}),
    [](const testing::TestParamInfo<BoxCase>& info) { return info.param.name; });

TEST(InstallerPieces, SplitsIntoWholeMebibytesAndTheRest)
{
    EXPECT_EQ(album::installerPieceCount(2 * 1048576), 2);
    EXPECT_EQ(album::installerPieceCount(2 * 1048576 + 1), 3);
    EXPECT_EQ(album::installerPieceCount(1), 1);
}

TEST(ExportNames, InstallerTitleFallsBackToTheFileNameWithoutItsExtension)
{
    EXPECT_EQ(album::installerTitle(QString(), QStringLiteral("/home/anna/Winter 2.scr")),
              QStringLiteral("Winter 2"));
    EXPECT_EQ(album::installerTitle(QString(), QStringLiteral("/home/anna/show.v1.scr")),
              QStringLiteral("show.v1"));
    EXPECT_EQ(album::installerTitle(QStringLiteral("Alps"), QStringLiteral("/tmp/x.scr")),
              QStringLiteral("Alps"));
    EXPECT_EQ(album::installerCreator(QString()), QStringLiteral("-"));
    EXPECT_EQ(album::installerCreator(QStringLiteral("Anna")), QStringLiteral("Anna"));
}

TEST(ExportNames, ScreensaverOptionsOnlyForASlideshowSavedAsScr)
{
    EXPECT_TRUE(album::offersScreensaverOptions(true, QStringLiteral("/tmp/Show.SCR")));
    EXPECT_FALSE(album::offersScreensaverOptions(true, QStringLiteral("/tmp/show")));
    EXPECT_FALSE(album::offersScreensaverOptions(false, QStringLiteral("/tmp/viewer.scr")));
    EXPECT_FALSE(album::offersScreensaverOptions(true, QStringLiteral("/tmp/a.scr/show")));
}

} // namespace
