#include "WizardLayout.h"

#include <gtest/gtest.h>

namespace {

struct StepCase
{
    const char* name;
    int steps;
    int pages;
    int shown;
};

class ShownStepsTest : public testing::TestWithParam<StepCase>
{};

TEST_P(ShownStepsTest, ListsOnlyStepsThatHaveAPage)
{
    EXPECT_EQ(wizard::shownStepCount(GetParam().steps, GetParam().pages), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShownStepsTest,
                         testing::Values(StepCase{"MoreStepsThanPages", 5, 3, 3},
                                         StepCase{"FewerStepsThanPages", 2, 4, 2},
                                         StepCase{"NoPages", 3, 0, 0},
                                         StepCase{"NoSteps", 0, 3, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HighlightedStepTest, OnlyAPageWithAListedStepIsRed)
{
    EXPECT_EQ(wizard::highlightedStep(0, 3), 0);
    EXPECT_EQ(wizard::highlightedStep(2, 3), 2);
    EXPECT_EQ(wizard::highlightedStep(3, 3), -1);
    EXPECT_EQ(wizard::highlightedStep(-1, 3), -1);
    EXPECT_EQ(wizard::highlightedStep(0, 0), -1);
}

struct CentreCase
{
    const char* name;
    QRect workArea;
    QSize window;
    QPoint topLeft;
};

class CentreTest : public testing::TestWithParam<CentreCase>
{};

TEST_P(CentreTest, PlacesTheWindowOnTheWorkArea)
{
    EXPECT_EQ(wizard::centredTopLeft(GetParam().workArea, GetParam().window), GetParam().topLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CentreTest,
    testing::Values(CentreCase{"HalvesRoundTowardZero", QRect(0, 0, 1001, 701), QSize(600, 400),
                               QPoint(200, 150)},
                    // A panel above or beside the work area, or a second screen, moves its origin.
                    CentreCase{"WorkAreaOffset", QRect(1920, 32, 1280, 992), QSize(680, 492),
                               QPoint(2220, 282)},
                    CentreCase{"LargerThanTheWorkArea", QRect(0, 24, 800, 576), QSize(900, 700),
                               QPoint(0, 24)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameGeometryTest, SidePictureSitsBelowTheStepsInsideTheSideBar)
{
    const QSize picture(120, 96);
    const QPoint at = wizard::sidePictureTopLeft(80, picture);
    EXPECT_LE(qAbs(wizard::kSideBarWidth - picture.width() - 2 * at.x()), 1);
    EXPECT_GT(at.y(), wizard::kStepsTop + 80);
    // A picture wider than the side bar starts at its left edge rather than outside it.
    EXPECT_EQ(wizard::sidePictureTopLeft(0, QSize(200, 10)).x(), 0);
}

TEST(FrameGeometryTest, LogoFitsItsPanelAboveTheStrip)
{
    const QRect logo(wizard::logoTopLeft(), wizard::kLogoSize);
    const QRect panel(0, 0, wizard::kSideBarWidth,
                      wizard::kHeaderHeight - wizard::kHeaderStripHeight);
    EXPECT_TRUE(panel.contains(logo));
    EXPECT_LE(qAbs(logo.left() - (panel.right() - logo.right())), 1);
}

} // namespace
