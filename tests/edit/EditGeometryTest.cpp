#include "EditGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace edit;

namespace {

struct TurnCase
{
    const char* name;
    double degrees;
    int width;
    int height;
    bool hasRectangle;
};

class InscribedRectangleTest : public testing::TestWithParam<TurnCase>
{};

// Maps a point of the turned canvas back into the picture before the turn.
bool insidePicture(double x, double y, const TurnCase& c, const SizeF& canvas)
{
    const double a = c.degrees * std::numbers::pi / 180;
    const double dx = x - canvas.width / 2;
    const double dy = y - canvas.height / 2;
    const double u = dx * std::cos(a) + dy * std::sin(a) + c.width / 2.0;
    const double v = -dx * std::sin(a) + dy * std::cos(a) + c.height / 2.0;
    const double slack = 1e-6;
    return u >= -slack && v >= -slack && u <= c.width + slack && v <= c.height + slack;
}

} // namespace

TEST_P(InscribedRectangleTest, LiesInsideTheTurnedPictureAndTouchesItsSides)
{
    const TurnCase& c = GetParam();
    const std::optional<imaging::Rect> rect = inscribedRectangle(c.degrees, c.width, c.height);
    ASSERT_EQ(rect.has_value(), c.hasRectangle);
    if (!rect)
        return;
    const SizeF canvas = turnedSize(c.degrees, c.width, c.height);
    for (const auto& [x, y] : {std::pair{rect->left, rect->top},
                               {rect->right, rect->top},
                               {rect->left, rect->bottom},
                               {rect->right, rect->bottom}})
        EXPECT_TRUE(insidePicture(x, y, c, canvas)) << x << "," << y;
    // Largest: growing it by two pixels each way leaves the picture.
    EXPECT_FALSE(insidePicture(rect->left - 2, rect->top - 2, c, canvas) &&
                 insidePicture(rect->right + 2, rect->bottom + 2, c, canvas));
}

INSTANTIATE_TEST_SUITE_P(
    Turns, InscribedRectangleTest,
    testing::Values(
        TurnCase{"NoTurn", 0, 400, 300, true}, TurnCase{"SmallTurn", 3, 400, 300, true},
        TurnCase{"TenDegrees", 10, 400, 300, true}, TurnCase{"PastTheLimit", 30, 400, 300, false},
        TurnCase{"NearQuarter", 80, 400, 300, true}, TurnCase{"QuarterTurn", 90, 400, 300, true},
        TurnCase{"BeyondQuarter", 100, 400, 300, true}, TurnCase{"Upright", 7, 300, 400, true},
        TurnCase{"SquareAt45", 45, 200, 200, true}, TurnCase{"SquareNear45", 44, 200, 200, true},
        TurnCase{"Panorama", 5, 2000, 300, false}, TurnCase{"PanoramaSlight", 1, 2000, 300, true},
        TurnCase{"Negative", -10, 400, 300, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InscribedRectangle, QuarterTurnsKeepTheWholePicture)
{
    EXPECT_EQ(inscribedRectangle(90, 400, 300), (imaging::Rect{0, 0, 300, 400}));
    EXPECT_EQ(inscribedRectangle(180, 400, 300), (imaging::Rect{0, 0, 400, 300}));
    // The limit angle is where the clean rectangle would vanish: sin 2a = short / long.
    EXPECT_NEAR(std::sin(2 * cropLimitAngle(400, 300) * std::numbers::pi / 180), 0.75, 1e-9);
}

TEST(FitIntoBox, FitsTheLimitingSideAndNeverEnlarges)
{
    DisplayFit fit{1, 4000, 3000};
    fitIntoBox(fit, 1500, 900, 4000, 3000);
    EXPECT_DOUBLE_EQ(fit.height, 900);
    EXPECT_DOUBLE_EQ(fit.width, 1200);
    EXPECT_DOUBLE_EQ(fit.scale, 900.0 / 3000);

    DisplayFit small{1, 200, 100};
    fitIntoBox(small, 1500, 900, 200, 100);
    EXPECT_DOUBLE_EQ(small.scale, 1);
    EXPECT_DOUBLE_EQ(small.width, 200);
}

TEST(PreviewFitOverTurns, KeepsEnoughPixelsForAnyCroppedTurn)
{
    const DisplayFit plain = [] {
        DisplayFit fit{1, 4000, 3000};
        fitIntoBox(fit, 305, 305, 4000, 3000);
        return fit;
    }();
    const DisplayFit searched = previewFitOverTurns(4000, 3000, 305, 305);
    EXPECT_GT(searched.scale, plain.scale);
    EXPECT_LE(searched.scale, 1);
    EXPECT_NEAR(searched.width / searched.height, 4.0 / 3, 1e-9);
    // A picture smaller than the box is never enlarged.
    EXPECT_DOUBLE_EQ(previewFitOverTurns(100, 80, 305, 305).scale, 1);
}
