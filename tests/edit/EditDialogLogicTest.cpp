#include "ResizeUnits.h"
#include "RotateAngle.h"

#include <gtest/gtest.h>

#include <string>

using namespace edit;

namespace {

// ---- the rotate dialog's angle ----

struct AngleCase
{
    const char* name;
    const char* text;
    double angle;
};

class TurnAngleTest : public testing::TestWithParam<AngleCase>
{};

TEST_P(TurnAngleTest, ReadFromTheText)
{
    EXPECT_DOUBLE_EQ(turnAngleFromText(QString::fromUtf8(GetParam().text), QLocale::c()),
                     GetParam().angle);
}

INSTANTIATE_TEST_SUITE_P(
    RotateDialog, TurnAngleTest,
    testing::Values(AngleCase{"Negative_TurnsTheOtherWayRound", "-30", 330},
                    AngleCase{"MinusHalfTurn", "-180", 180}, AngleCase{"Zero_Nothing", "0", 0},
                    AngleCase{"MinusFullTurn_Nothing", "-360", 0},
                    AngleCase{"BelowMinus360_Nothing", "-361", 0},
                    AngleCase{"Above360_Nothing", "361", 0},
                    AngleCase{"FullTurn_Accepted", "360", 360},
                    AngleCase{"NotANumber_Nothing", "abc", 0}, AngleCase{"Empty_Nothing", "", 0},
                    AngleCase{"Infinity_Nothing", "inf", 0}, AngleCase{"NaN_Nothing", "nan", 0},
                    AngleCase{"Typed_SpacesAround", " 45 ", 45},
                    AngleCase{"Typed_Fraction", "12.5", 12.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TurnAngle, ReadsTheLocalesDecimalComma)
{
    EXPECT_DOUBLE_EQ(turnAngleFromText(QStringLiteral("-12,5"), QLocale(QLocale::German)), 347.5);
    EXPECT_DOUBLE_EQ(turnAngleFromText(QStringLiteral("12.5"), QLocale(QLocale::German)), 12.5);
}

// A 4:3 picture: t0 is about 24.3 degrees, so cropping is not offered from there to 65.7
// within every quarter turn; a square picture always offers it.
TEST(AutoCrop, OfferedOutsideT0AndNinetyLessT0)
{
    const double t0 = autoCropLimit(400, 300);
    EXPECT_NEAR(t0, 24.295, 0.001);
    EXPECT_DOUBLE_EQ(autoCropLimit(300, 400), t0) << "the same for an upright picture";

    EXPECT_TRUE(autoCropOffered(0, t0));
    EXPECT_TRUE(autoCropOffered(24, t0));
    EXPECT_FALSE(autoCropOffered(25, t0));
    EXPECT_FALSE(autoCropOffered(65, t0));
    EXPECT_TRUE(autoCropOffered(66, t0));
    EXPECT_TRUE(autoCropOffered(90, t0));
    EXPECT_FALSE(autoCropOffered(115, t0)) << "a quarter turn more";
    EXPECT_FALSE(autoCropOffered(330, t0)) << "-30";
    EXPECT_TRUE(autoCropOffered(350, t0));
    EXPECT_TRUE(autoCropOffered(360, t0));

    const double square = autoCropLimit(500, 500);
    EXPECT_DOUBLE_EQ(square, 45);
    EXPECT_TRUE(autoCropOffered(45, square));
    EXPECT_TRUE(autoCropOffered(30, square));
}

// ---- the resize dialog's units ----

struct UnitCase
{
    const char* name;
    int startWidth;
    int startHeight;
    Resolution resolution;
    SizeUnit unit;
    bool keepAspect;
    bool widthField; // else the height field
    const char* text;
    bool accepted;
    const char* widthAfter;
    const char* heightAfter;
    bool changed;
};

class ResizeUnitsTest : public testing::TestWithParam<UnitCase>
{};

TEST_P(ResizeUnitsTest, FieldLeft)
{
    const UnitCase& c = GetParam();
    ResizeUnits units(QLocale::c());
    units.start(c.startWidth, c.startHeight, c.resolution);
    units.setUnit(c.unit);
    units.setKeepAspectRatio(c.keepAspect);
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(c.widthField ? units.enterWidth(text) : units.enterHeight(text), c.accepted);
    EXPECT_EQ(units.widthText(), QString::fromUtf8(c.widthAfter));
    EXPECT_EQ(units.heightText(), QString::fromUtf8(c.heightAfter));
    EXPECT_EQ(units.changed(), c.changed);
}

constexpr Resolution k300{300, 300};

INSTANTIATE_TEST_SUITE_P(
    ResizeDialog, ResizeUnitsTest,
    testing::Values(UnitCase{"Pixels_UnchangedSize", 1600, 1200, k300, SizeUnit::Pixels, true, true,
                             "1600", true, "1600", "1200", false},
                    UnitCase{"Pixels_WidthKeepsAspect", 1600, 1200, k300, SizeUnit::Pixels, true,
                             true, "800", true, "800", "600", true},
                    UnitCase{"Pixels_HeightKeepsAspect", 1600, 1200, k300, SizeUnit::Pixels, true,
                             false, "300", true, "400", "300", true},
                    UnitCase{"Pixels_FractionToWholePixels", 1600, 1200, k300, SizeUnit::Pixels,
                             true, true, " 800.4 ", true, "800", "600", true},
                    UnitCase{"Pixels_HeightAloneWithoutAspect", 1600, 1200, k300, SizeUnit::Pixels,
                             false, false, "500", true, "1600", "500", true},
                    UnitCase{"Pixels_4096Accepted", 1600, 1200, k300, SizeUnit::Pixels, false, true,
                             "4096", true, "4096", "1200", true},
                    UnitCase{"Pixels_4097Refused", 1600, 1200, k300, SizeUnit::Pixels, true, true,
                             "4097", false, "1600", "1200", false},
                    UnitCase{"Pixels_ZeroRefused", 1600, 1200, k300, SizeUnit::Pixels, true, false,
                             "0", false, "1600", "1200", false},
                    UnitCase{"Pixels_NotANumberRefused", 1600, 1200, k300, SizeUnit::Pixels, true,
                             true, "12a", false, "1600", "1200", false},
                    UnitCase{"Pixels_DerivedHeightAbove4096Refused", 1000, 4000, k300,
                             SizeUnit::Pixels, true, true, "1100", false, "1000", "4000", false},
                    UnitCase{"Cm_TwoDecimals", 1600, 1200, k300, SizeUnit::Cm, true, true, "10",
                             true, "10.00", "7.50", true},
                    UnitCase{"Cm_UnchangedSize", 1600, 1200, k300, SizeUnit::Cm, true, true,
                             "13.55", true, "13.55", "10.16", false},
                    UnitCase{"Cm_EachAxisItsOwnResolution",
                             1600,
                             1200,
                             {300, 200},
                             SizeUnit::Cm,
                             true,
                             true,
                             "13.55",
                             true,
                             "13.55",
                             "15.24",
                             false},
                    UnitCase{"Cm_RoundedAwayToNothingRefused", 1600, 1200, k300, SizeUnit::Cm,
                             false, true, "0.004", false, "13.55", "10.16", false},
                    UnitCase{"Inches_TwoDecimals", 1600, 1200, k300, SizeUnit::Inches, true, false,
                             "2", true, "2.67", "2.00", true},
                    UnitCase{"Inches_Above4096Refused", 1600, 1200, k300, SizeUnit::Inches, true,
                             true, "14", false, "5.33", "4.00", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResizeUnits, BackToPixelsShowsWholeNumbersAgain)
{
    ResizeUnits units(QLocale::c());
    units.start(1600, 1200, k300);
    units.setUnit(SizeUnit::Cm);
    ASSERT_TRUE(units.enterWidth(QStringLiteral("10")));
    units.setUnit(SizeUnit::Pixels);
    EXPECT_EQ(units.widthText(), QStringLiteral("1181"));
    EXPECT_EQ(units.heightText(), QStringLiteral("886"));
    EXPECT_EQ(units.newWidth(), 1181);
    EXPECT_EQ(units.newHeight(), 886);
    units.setUnit(SizeUnit::Inches);
    EXPECT_EQ(units.widthText(), QStringLiteral("3.94"));
}

TEST(ResizeUnits, ShownAndReadInTheLocalesNotation)
{
    ResizeUnits units{QLocale(QLocale::German)};
    units.start(1600, 1200, k300);
    units.setUnit(SizeUnit::Cm);
    EXPECT_EQ(units.widthText(), QStringLiteral("13,55"));
    ASSERT_TRUE(units.enterWidth(QStringLiteral("10,5")));
    EXPECT_EQ(units.widthText(), QStringLiteral("10,50"));
    units.setUnit(SizeUnit::Pixels);
    EXPECT_EQ(units.widthText(), QStringLiteral("1240")) << "no group separator";
}

TEST(ResizeUnits, TheScreenStandsInForAMissingResolution)
{
    const Resolution screen{96, 120};
    EXPECT_EQ(resolutionOrScreen(300, 200, screen).x, 300);
    EXPECT_EQ(resolutionOrScreen(300, 200, screen).y, 200);
    EXPECT_EQ(resolutionOrScreen(0, 200, screen).x, 200);
    EXPECT_EQ(resolutionOrScreen(300, 0, screen).y, 300);
    EXPECT_EQ(resolutionOrScreen(0, 0, screen).x, 96);
    EXPECT_EQ(resolutionOrScreen(0, 0, screen).y, 120);
}

} // namespace
