#include "ScrollThumbGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

using scroll::ThumbGeometry;

namespace {

// ---- Arrows and track --------------------------------------------------------------------

struct LayoutCase
{
    std::string name;
    Qt::Orientation orientation;
    QSize size;
    bool wantArrows;
    bool arrows;
    int arrowLength; // along the bar; 0 without arrows
    int trackLength;
};

void PrintTo(const LayoutCase& c, std::ostream* out)
{
    *out << c.name;
}

class BarLayoutTest : public testing::TestWithParam<LayoutCase>
{};

TEST_P(BarLayoutTest, ArrowsAndTrackFillTheBarInsideItsFrame)
{
    const LayoutCase& c = GetParam();
    const scroll::BarLayout layout = scroll::layoutBar(c.orientation, c.size, c.wantArrows);
    const bool vertical = c.orientation == Qt::Vertical;
    const auto alongStart = [&](const QRect& r) { return vertical ? r.top() : r.left(); };
    const auto alongLength = [&](const QRect& r) { return vertical ? r.height() : r.width(); };
    const auto acrossLength = [&](const QRect& r) { return vertical ? r.width() : r.height(); };
    const int length = vertical ? c.size.height() : c.size.width();
    const int breadth = vertical ? c.size.width() : c.size.height();

    ASSERT_EQ(layout.arrows, c.arrows);
    EXPECT_EQ(alongLength(layout.track), c.trackLength);
    EXPECT_EQ(acrossLength(layout.track), std::max(breadth - 2, 0));
    if (!c.arrows) {
        EXPECT_TRUE(layout.firstArrow.isEmpty());
        EXPECT_TRUE(layout.secondArrow.isEmpty());
        EXPECT_EQ(alongStart(layout.track), 1);
        return;
    }
    // Frame, first arrow, track, second arrow, frame: no gap and no overlap.
    EXPECT_EQ(alongStart(layout.firstArrow), 1);
    EXPECT_EQ(alongLength(layout.firstArrow), c.arrowLength);
    EXPECT_EQ(alongStart(layout.track), 1 + c.arrowLength);
    EXPECT_EQ(alongStart(layout.secondArrow), 1 + c.arrowLength + c.trackLength);
    EXPECT_EQ(alongLength(layout.secondArrow), c.arrowLength);
    EXPECT_EQ(alongStart(layout.secondArrow) + c.arrowLength, length - 1);
    EXPECT_EQ(acrossLength(layout.firstArrow), breadth - 2);
}

INSTANTIATE_TEST_SUITE_P(
    Bars, BarLayoutTest,
    testing::Values(
        // 16 is lowered to (20 − 4) div 2 = 8, still long enough for arrows.
        LayoutCase{"Vertical16x20_ArrowsOf8", Qt::Vertical, {16, 20}, true, true, 8, 2},
        // (19 − 4) div 2 = 7: too short, the whole length is track.
        LayoutCase{"Vertical16x19_NoArrows", Qt::Vertical, {16, 19}, true, false, 0, 17},
        LayoutCase{"Horizontal20x16_ArrowsOf8", Qt::Horizontal, {20, 16}, true, true, 8, 2},
        LayoutCase{"Horizontal19x16_NoArrows", Qt::Horizontal, {19, 16}, true, false, 0, 17},
        LayoutCase{
            "PreviewBar12Wide_ArrowsAsWideAsTheBar", Qt::Vertical, {12, 300}, true, true, 12, 274},
        LayoutCase{"LongBar_ArrowsOfAtMost16", Qt::Horizontal, {400, 40}, true, true, 16, 366},
        LayoutCase{"ColourSlider_NoArrowsAsked", Qt::Horizontal, {113, 17}, false, false, 0, 111},
        LayoutCase{"NoRoomAtAll_EmptyTrack", Qt::Vertical, {1, 1}, true, false, 0, 0}),
    [](const auto& info) { return info.param.name; });

// ---- Thumb and position --------------------------------------------------------------------

struct ThumbCase
{
    std::string name;
    int trackLength;
    int range;
    int view;
    int position;
    bool enabled;
    int thumbLength;
    int thumbStart;
    int expectedPosition;
};

void PrintTo(const ThumbCase& c, std::ostream* out)
{
    *out << c.name;
}

class ThumbGeometryTest : public testing::TestWithParam<ThumbCase>
{};

TEST_P(ThumbGeometryTest, SetUpGivesThumbAndPosition)
{
    const ThumbCase& c = GetParam();
    ThumbGeometry thumb;
    thumb.setUp(c.trackLength, c.range, c.view, c.position);
    ASSERT_EQ(thumb.enabled(), c.enabled);
    EXPECT_EQ(thumb.position(), c.expectedPosition);
    if (!c.enabled)
        return;
    EXPECT_EQ(thumb.thumbLength(), c.thumbLength);
    EXPECT_EQ(thumb.thumbStart(), c.thumbStart);
}

// The colour dialog's slider: 113 pixels, range 1113, so the track is 111 long, the value is
// position × 2 − 1000 and the thumb is 111 − 111 × 999 div 1113 − 1 = 11 long.
INSTANTIATE_TEST_SUITE_P(
    Bars, ThumbGeometryTest,
    testing::Values(
        ThumbCase{"ColourSlider_MiddleIsValue0", 111, 1113, 113, 500, true, 11, 50, 500},
        ThumbCase{"ColourSlider_StartIsValueMinus1000", 111, 1113, 113, 0, true, 11, 0, 0},
        ThumbCase{"ColourSlider_EndIsValue1000", 111, 1113, 113, 1000, true, 11, 100, 1000},
        ThumbCase{"PositionPastTheEnd_Clamped", 111, 1113, 113, 5000, true, 11, 100, 1000},
        ThumbCase{"NegativePosition_Clamped", 111, 1113, 113, -20, true, 11, 0, 0},
        // Content no larger than the bar: no thumb, position 0.
        ThumbCase{"ContentAsLongAsTheBar_Disabled", 111, 113, 113, 50, false, 0, 0, 0},
        ThumbCase{"ContentShorterThanTheBar_Disabled", 111, 80, 113, 50, false, 0, 0, 0},
        ThumbCase{"NoContent_Disabled", 111, 0, 113, 0, false, 0, 0, 0},
        ThumbCase{"TrackOfOnePixel_Disabled", 1, 1113, 113, 0, false, 0, 0, 0},
        // Very long content: the thumb keeps its one pixel.
        ThumbCase{"HugeContent_ThumbOfOnePixel", 111, 2'000'000'000, 113, 1'000'000'000, true, 1,
                  55, 999'999'944}),
    [](const auto& info) { return info.param.name; });

// Pictures of tens of thousands of pixels on long tracks: no step of the thumb is lost or
// mapped back to another start, and both ends of the track reach both ends of the content.
struct RoundTripCase
{
    std::string name;
    int trackLength;
    int range;
    int view;
};

void PrintTo(const RoundTripCase& c, std::ostream* out)
{
    *out << c.name;
}

class ThumbRoundTripTest : public testing::TestWithParam<RoundTripCase>
{};

TEST_P(ThumbRoundTripTest, EveryThumbStartMapsToAPositionThatGivesItBack)
{
    const RoundTripCase& c = GetParam();
    ThumbGeometry thumb;
    thumb.setUp(c.trackLength, c.range, c.view, 0);
    ASSERT_TRUE(thumb.enabled());
    int previous = -1;
    for (int start = 0; start <= thumb.maxThumbStart(); ++start) {
        thumb.moveThumbTo(start);
        const int position = thumb.position();
        ASSERT_GT(position, previous) << "start " << start;
        previous = position;
        ThumbGeometry again = thumb;
        again.setPosition(position);
        ASSERT_EQ(again.thumbStart(), start) << "position " << position;
    }
    EXPECT_EQ(previous, c.range - c.view);
}

INSTANTIATE_TEST_SUITE_P(Bars, ThumbRoundTripTest,
                         testing::Values(RoundTripCase{"ColourSlider", 111, 1113, 113},
                                         RoundTripCase{"ContentOnePixelLonger", 200, 221, 220},
                                         RoundTripCase{"PreviewOfALongPicture", 266, 9000, 300},
                                         RoundTripCase{"HugePictureOnATallBar", 2000, 5'000'000,
                                                       2034}),
                         [](const auto& info) { return info.param.name; });

TEST(ThumbGeometry, DraggingClampsAtBothEndsAndReportsOnlyRealMoves)
{
    ThumbGeometry thumb;
    thumb.setUp(111, 1113, 113, 500);

    EXPECT_TRUE(thumb.moveThumbTo(-40));
    EXPECT_EQ(thumb.thumbStart(), 0);
    EXPECT_EQ(thumb.position() * 2 - 1000, -1000);
    EXPECT_FALSE(thumb.moveThumbTo(-1)) << "already at the start";

    EXPECT_TRUE(thumb.moveThumbTo(500));
    EXPECT_EQ(thumb.thumbEnd(), 111);
    EXPECT_EQ(thumb.position() * 2 - 1000, 1000);
    EXPECT_FALSE(thumb.moveThumbTo(101)) << "already at the end";
}

TEST(ThumbGeometry, DisabledTrackIgnoresMoves)
{
    ThumbGeometry thumb;
    thumb.setUp(111, 1113, 113, 700);
    thumb.setUp(111, 100, 113, 700);
    EXPECT_FALSE(thumb.moveThumbTo(30));
    thumb.setPosition(40);
    EXPECT_EQ(thumb.position(), 0);
    EXPECT_EQ(thumb.maxPosition(), 0);
}

} // namespace
