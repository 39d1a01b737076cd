#include "EditSteps.h"

#include <gtest/gtest.h>

using edit::EditStep;
using Kind = EditStep::Kind;

namespace {

struct StepCase
{
    const char* name;
    const char* text;
    std::optional<EditStep> expected;
};

EditStep step(Kind kind, std::array<int, 7> values = {})
{
    EditStep s{kind};
    s.values = values;
    return s;
}

EditStep turn(double degrees, bool crop)
{
    EditStep s{Kind::Rotate, degrees, crop};
    return s;
}

EditStep flip(bool leftRight)
{
    EditStep s{Kind::Flip};
    s.leftRight = leftRight;
    return s;
}

class EditStepParseTest : public testing::TestWithParam<StepCase>
{};

} // namespace

TEST_P(EditStepParseTest, ParsesOrRefuses)
{
    QString error;
    const std::optional<EditStep> parsed =
        edit::parseEditStep(QString::fromUtf8(GetParam().text), &error);
    EXPECT_EQ(parsed, GetParam().expected);
    EXPECT_EQ(error.isEmpty(), parsed.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, EditStepParseTest,
    testing::Values(StepCase{"RotateWhole", "rotate:90", turn(90, false)},
                    StepCase{"RotateHundredths", "rotate:7.25:crop", turn(7.25, true)},
                    StepCase{"RotateNegativeCountsFrom360", "rotate:-30", turn(330, false)},
                    StepCase{"RotateFullTurn", "rotate:360", turn(360, false)},
                    StepCase{"RotateThousandths", "rotate:7.125", std::nullopt},
                    StepCase{"RotateTooFar", "rotate:361", std::nullopt},
                    StepCase{"RotateNotANumber", "rotate:abc", std::nullopt},
                    StepCase{"RotateUnknownFlag", "rotate:10:trim", std::nullopt},
                    StepCase{"FlipHorizontal", "flip:h", flip(true)},
                    StepCase{"FlipVertical", "flip:v", flip(false)},
                    StepCase{"FlipOther", "flip:x", std::nullopt},
                    StepCase{"Crop", "crop:10,20,300,200", step(Kind::Crop, {10, 20, 300, 200})},
                    StepCase{"CropEmpty", "crop:10,20,0,200", std::nullopt},
                    StepCase{"CropNegative", "crop:-1,20,10,10", std::nullopt},
                    StepCase{"CropThreeValues", "crop:1,2,3", std::nullopt},
                    StepCase{"Resize", "resize:640,480", step(Kind::Resize, {640, 480})},
                    StepCase{"ResizeZero", "resize:0,480", std::nullopt},
                    StepCase{"Colours", "colors:-1000,0,5,0,0,0,1000",
                             step(Kind::Colours, {-1000, 0, 5, 0, 0, 0, 1000})},
                    StepCase{"ColoursOutOfRange", "colors:1001,0,0,0,0,0,0", std::nullopt},
                    StepCase{"ColoursTooFew", "colors:1,2,3", std::nullopt},
                    StepCase{"Auto", "auto:1,0,1", step(Kind::Auto, {1, 0, 1})},
                    StepCase{"AutoNotAFlag", "auto:2,0,1", std::nullopt},
                    StepCase{"Grey", "grey", step(Kind::Grey)},
                    StepCase{"GreyWithValues", "grey:1", std::nullopt},
                    StepCase{"RedEye", "redeye:5,6,30,20", step(Kind::RedEye, {5, 6, 30, 20})},
                    StepCase{"Unknown", "sharpen:3", std::nullopt},
                    StepCase{"Empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditStepList, StopsAtTheFirstBadStepAndNamesIt)
{
    QString error;
    EXPECT_FALSE(
        edit::parseEditSteps(QStringList{u"grey"_qs, u"crop:1,1"_qs, u"flip:h"_qs}, &error));
    EXPECT_TRUE(error.startsWith(QLatin1String("crop:1,1")));
    const auto steps = edit::parseEditSteps(QStringList{u"grey"_qs, u"flip:h"_qs});
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->size(), 2u);
}
