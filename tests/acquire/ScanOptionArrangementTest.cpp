// Where the scanner settings window puts a device's options, and its sliders' arithmetic.
#include "ScanOptionArrangement.h"

#include <gtest/gtest.h>

using namespace scanoptions;

namespace {

SaneOption option(const char* name, const QString& group, SaneOption::Type type,
                  bool advanced = false)
{
    SaneOption o;
    o.name = name;
    o.title = QString::fromLatin1(name);
    o.group = group;
    o.type = type;
    o.advanced = advanced;
    return o;
}

SaneOption ranged(SaneOption::Type type, double min, double max, double quant)
{
    SaneOption o = option("x", QString(), type);
    o.constraint = SaneOption::Constraint::Range;
    o.min = min;
    o.max = max;
    o.quant = quant;
    return o;
}

QStringList names(const QList<SaneOption>& options, const QList<int>& positions)
{
    QStringList result;
    for (int i : positions)
        result << QString::fromLatin1(options.at(i).name);
    return result;
}

} // namespace

// A device lists its options in its own order and marks some of them advanced: the ones a
// user changes on every scan still come first, and nothing is lost or shown twice.
TEST(ScanOptionArrangement, UsualSettingsFirstTheRestAsTheDeviceGroupsThem)
{
    const QString scan = QStringLiteral("Scan Mode");
    const QString enhance = QStringLiteral("Enhancement");
    const QString geometry = QStringLiteral("Geometry");
    SaneOption gamma = option("gamma-table", enhance, SaneOption::Type::Int);
    gamma.count = 256;
    const QList<SaneOption> options = {
        option("", scan, SaneOption::Type::Group),
        option("source", scan, SaneOption::Type::String, true),
        option("depth", scan, SaneOption::Type::Int),
        option("resolution", scan, SaneOption::Type::Int),
        option("mode", scan, SaneOption::Type::String),
        option("", enhance, SaneOption::Type::Group),
        option("brightness", enhance, SaneOption::Type::Int),
        option("lamp-off", enhance, SaneOption::Type::Button, true),
        gamma,
        option("", geometry, SaneOption::Type::Group),
        option("br-y", geometry, SaneOption::Type::Fixed),
        option("tl-x", geometry, SaneOption::Type::Fixed),
        option("page-height", geometry, SaneOption::Type::Fixed, true),
    };

    const Arrangement a = arrange(options);

    EXPECT_EQ(names(options, a.basic),
              (QStringList{QStringLiteral("mode"), QStringLiteral("resolution"),
                           QStringLiteral("source")}));
    EXPECT_EQ(names(options, a.area),
              (QStringList{QStringLiteral("tl-x"), QStringLiteral("br-y")}));
    ASSERT_EQ(a.groups.size(), 2);
    EXPECT_EQ(a.groups[0].title, scan);
    EXPECT_EQ(names(options, a.groups[0].options), QStringList{QStringLiteral("depth")});
    EXPECT_EQ(a.groups[1].title, enhance);
    EXPECT_EQ(names(options, a.groups[1].options), QStringList{QStringLiteral("brightness")});
    ASSERT_EQ(a.advanced.size(), 2);
    EXPECT_EQ(names(options, a.advanced[0].options), QStringList{QStringLiteral("lamp-off")});
    EXPECT_EQ(a.advanced[1].title, geometry);
    EXPECT_EQ(names(options, a.advanced[1].options), QStringList{QStringLiteral("page-height")});
}

TEST(ScanOptionArrangement, EditorFollowsTypeAndConstraint)
{
    SaneOption list = option("mode", QString(), SaneOption::Type::String);
    list.constraint = SaneOption::Constraint::StringList;
    SaneOption words = option("resolution", QString(), SaneOption::Type::Int);
    words.constraint = SaneOption::Constraint::WordList;
    SaneOption array = option("gamma", QString(), SaneOption::Type::Int);
    array.count = 4;
    EXPECT_EQ(editorFor(list), Editor::Combo);
    EXPECT_EQ(editorFor(words), Editor::Combo);
    EXPECT_EQ(editorFor(array), Editor::None);
    EXPECT_EQ(editorFor(option("preview", QString(), SaneOption::Type::Bool)), Editor::CheckBox);
    EXPECT_EQ(editorFor(option("tl-x", QString(), SaneOption::Type::Fixed)), Editor::DoubleSpinBox);
    EXPECT_EQ(editorFor(option("", QString(), SaneOption::Type::Group)), Editor::None);
}

// A re-read that changes only values and states keeps the window as it is.
TEST(ScanOptionArrangement, SameLayoutIgnoresValuesButNotConstraints)
{
    SaneOption depth = option("depth", QString(), SaneOption::Type::Int);
    depth.constraint = SaneOption::Constraint::WordList;
    depth.words = {1, 8, 16};
    depth.value = 8;
    SaneOption changed = depth;
    changed.value = 16;
    changed.active = false;
    EXPECT_TRUE(sameLayout({depth}, {changed}));
    changed.words = {8, 16};
    EXPECT_FALSE(sameLayout({depth}, {changed}));
}

struct SliderCase
{
    const char* name;
    SaneOption option;
    int positions;
    double value; // a value on the range and its position
    int position;
};

class SliderTest : public ::testing::TestWithParam<SliderCase>
{};

TEST_P(SliderTest, PositionsAndValuesMatch)
{
    const SliderCase& c = GetParam();
    EXPECT_EQ(sliderPositions(c.option), c.positions);
    if (c.positions == 0)
        return;
    EXPECT_EQ(sliderPosition(c.option, c.value), c.position);
    EXPECT_DOUBLE_EQ(sliderValue(c.option, c.position), c.value);
    EXPECT_EQ(sliderPosition(c.option, c.option.max + 100), c.positions);
    EXPECT_EQ(sliderPosition(c.option, c.option.min - 100), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SliderTest,
    ::testing::Values(
        SliderCase{"WholeSteps", ranged(SaneOption::Type::Int, 1, 1200, 1), 1199, 300, 299},
        SliderCase{"WholeWithoutQuant", ranged(SaneOption::Type::Int, -100, 100, 0), 200, 0, 100},
        SliderCase{"FixedQuarterMillimetres", ranged(SaneOption::Type::Fixed, 0, 215.9, 0.25), 864,
                   100, 400},
        SliderCase{"FixedWithoutStep", ranged(SaneOption::Type::Fixed, 0, 1, 0), 0, 0, 0},
        SliderCase{"TooFine", ranged(SaneOption::Type::Int, 0, 65535 * 4, 1), 0, 0, 0},
        SliderCase{"Empty", ranged(SaneOption::Type::Int, 5, 5, 1), 0, 0, 0}),
    [](const ::testing::TestParamInfo<SliderCase>& info) { return std::string(info.param.name); });
