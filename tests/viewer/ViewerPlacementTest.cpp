#include "ViewerPlacement.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct PlacementCase
{
    std::string name;
    QSize stored;
    QSize area;
    QRect expected;
};

std::ostream& operator<<(std::ostream& out, const PlacementCase& c)
{
    return out << c.name;
}

class PlacePicture : public testing::TestWithParam<PlacementCase>
{};

TEST_P(PlacePicture, FitsByTheLimitingSideAndCentres)
{
    const PlacementCase& c = GetParam();
    EXPECT_EQ(viewer::placePicture(c.stored, c.area), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Viewer, PlacePicture,
    testing::Values(
        PlacementCase{
            "SmallerKeepsItsOwnSizeCentred", {200, 100}, {800, 600}, {300, 250, 200, 100}},
        PlacementCase{"ExactFitFillsTheArea", {800, 600}, {800, 600}, {0, 0, 800, 600}},
        PlacementCase{"WiderIsLimitedByWidth", {4000, 1000}, {800, 600}, {0, 200, 800, 200}},
        PlacementCase{"TallerIsLimitedByHeight", {1000, 4000}, {800, 600}, {325, 0, 150, 600}},
        PlacementCase{"OneSideTooLongIsEnough", {900, 100}, {800, 600}, {0, 255, 800, 89}},
        PlacementCase{"EqualRatiosUseTheHeight", {1600, 1200}, {800, 600}, {0, 0, 800, 600}},
        // 303 × 0.5 = 151.5 and 301 × 0.5 = 150.5: halves go to the even neighbour.
        PlacementCase{"HalfUpToEven", {303, 1000}, {500, 500}, {174, 0, 152, 500}},
        PlacementCase{"HalfDownToEven", {301, 1000}, {500, 500}, {175, 0, 150, 500}},
        PlacementCase{"OddGapTruncatesTheOffset", {101, 51}, {200, 100}, {49, 24, 101, 51}},
        PlacementCase{"NoPictureNoPlace", {0, 0}, {800, 600}, {}},
        PlacementCase{"NoAreaNoPlace", {800, 600}, {0, 600}, {}}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST(ViewWindowRect, SitsFourPercentInAndCoversNinetyTwoPercent)
{
    EXPECT_EQ(viewer::viewWindowRect({10, 20, 1000, 700}), QRect(50, 48, 920, 644));
    // Each part truncated: 0.04 × 1023 = 40.92, 0.92 × 1023 = 941.16.
    EXPECT_EQ(viewer::viewWindowRect({0, 0, 1023, 767}), QRect(40, 30, 941, 705));
}

} // namespace
