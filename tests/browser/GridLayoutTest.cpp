#include "GridLayout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace grid;

namespace {

constexpr int kBar = 17;

// The main window's grid: gap 4, W 114, H 154, pitch 158 down and 118 across.
GridMetrics mainWindow()
{
    GridMetrics m;
    m.thumbSize = 92;
    m.itemBorderWidth = 1;
    m.padding = 6;
    m.spacing = 12;
    m.textHeight = 16;
    return m;
}

// 611 px wide: five columns once the bar takes 17 px.
GridLayout fiveColumns(int count, int position = 0, bool stepScroll = false)
{
    return layoutGrid(mainWindow(), ScrollAlign::Right, 611, 400, count, position, stepScroll,
                      kBar);
}

// 400 x 600 scrolling sideways: three rows once the bar takes 17 px.
GridLayout threeRows(int count, int position = 0)
{
    return layoutGrid(mainWindow(), ScrollAlign::Bottom, 400, 600, count, position, false, kBar);
}

} // namespace

TEST(GridMetrics, CellSizes)
{
    const GridMetrics m = mainWindow();
    EXPECT_EQ(m.gap(), 4);
    EXPECT_EQ(m.borderB(), 5);
    EXPECT_EQ(m.cellWidth(), 114);
    EXPECT_EQ(m.cellHeight(), 154);

    GridMetrics tight = m;
    tight.spacing = 5;
    EXPECT_EQ(tight.gap(), 0);

    GridMetrics borderless;
    borderless.itemBorderWidth = 0;
    EXPECT_EQ(borderless.borderB(), 4); // the outer margin stays
    EXPECT_EQ(borderless.cellWidth(), 2 * (4 + 4) + 80);

    GridMetrics strip = m; // no caption, no check box: square cells
    strip.showFilename = false;
    strip.showCheckbox = false;
    EXPECT_EQ(strip.cellHeight(), strip.cellWidth());
}

TEST(LayoutGrid, BarShownExactlyWhenPhotosOutnumberWholeCells)
{
    // 600 x 400 holds 5 x 2 whole cells.
    const GridMetrics m = mainWindow();
    const GridLayout fits = layoutGrid(m, ScrollAlign::Right, 600, 400, 10, 500, false, kBar);
    EXPECT_FALSE(fits.barShown);
    EXPECT_EQ(fits.columns, 5);
    EXPECT_EQ(fits.rows, 4); // two partial lines added
    EXPECT_EQ(fits.viewWidth, 600);
    EXPECT_EQ(fits.position, 0); // a hidden bar is at 0
    EXPECT_EQ(fits.yOffset, 4);

    const GridLayout over = layoutGrid(m, ScrollAlign::Right, 600, 400, 11, 0, false, kBar);
    EXPECT_TRUE(over.barShown);
    EXPECT_EQ(over.viewWidth, 583);
    EXPECT_EQ(over.viewHeight, 400);
    EXPECT_EQ(over.columns, 4); // recounted without the bar
    EXPECT_EQ(over.perLine, 4);
    EXPECT_EQ(over.pitch, 158);
    EXPECT_EQ(over.barMaximum, 4 + 3 * 158);
    EXPECT_EQ(over.page, 400);
    EXPECT_EQ(over.highest, 79);
}

TEST(LayoutGrid, PositionClampedAndOffsets)
{
    const GridLayout high = fiveColumns(11, 1000);
    EXPECT_EQ(high.position, high.highest);
    EXPECT_EQ(high.position, 79);
    EXPECT_EQ(high.yOffset, 4 - 79);
    EXPECT_EQ(high.xOffset, 4);

    EXPECT_EQ(fiveColumns(11, -30).position, 0);

    const GridLayout mid = fiveColumns(40, 200);
    EXPECT_EQ(mid.firstIndex, 5);
    EXPECT_EQ(mid.yOffset, 4 - 42);

    // Whole lines keep the gap as offset, except at the highest position.
    EXPECT_EQ(fiveColumns(40, 200, true).yOffset, 4);
    const GridLayout stepHigh = fiveColumns(11, 1000, true);
    EXPECT_EQ(stepHigh.yOffset, 4 - 79);
}

TEST(LayoutGrid, BottomAlignScrollsColumns)
{
    const GridLayout g = threeRows(11, 100);
    EXPECT_TRUE(g.barShown);
    EXPECT_EQ(g.viewWidth, 400);
    EXPECT_EQ(g.viewHeight, 583);
    EXPECT_EQ(g.rows, 3);
    EXPECT_EQ(g.columns, 5);
    EXPECT_EQ(g.perLine, 3);
    EXPECT_EQ(g.pitch, 118);
    EXPECT_EQ(g.page, 400);
    EXPECT_EQ(g.highest, 4 + 4 * 118 - 400 + 1);
    EXPECT_EQ(g.position, 77);
    EXPECT_EQ(g.xOffset, 4 - 77);
    EXPECT_EQ(g.yOffset, 4);

    // Slots run down a column first.
    const QRect slot4 = slotRect(g, mainWindow(), 4);
    EXPECT_EQ(slot4.topLeft(), QPoint(118 - 73, 158 + 4));
    EXPECT_EQ(slot4.size(), QSize(114, 154));
}

TEST(LayoutGrid, ClientSmallerThanOneCell)
{
    const GridMetrics m = mainWindow();
    const GridLayout empty = layoutGrid(m, ScrollAlign::Right, 0, 0, 0, 0, false, kBar);
    EXPECT_FALSE(empty.barShown);
    EXPECT_GE(empty.columns, 1);

    const GridLayout g = layoutGrid(m, ScrollAlign::Right, 2, 2, 3, 50, false, kBar);
    EXPECT_TRUE(g.barShown);
    EXPECT_EQ(g.columns, 1);
    EXPECT_EQ(g.viewWidth, 0);
    EXPECT_GE(g.highest, 0);
    EXPECT_LE(g.position, g.highest);
    EXPECT_EQ(hitTest(g, m, 3, 0, 0).index, -1);
}

TEST(HitTest, CellsMarginsAndGaps)
{
    const GridMetrics m = mainWindow();
    const GridLayout g = fiveColumns(12); // cell 0 at (4, 4), 114 x 154

    const GridHit cell = hitTest(g, m, 12, 10, 10);
    EXPECT_EQ(cell.index, 0);
    EXPECT_FALSE(cell.inGap);

    // The outer 4-px margin counts as gap, on either side of the cell.
    const GridHit leftMargin = hitTest(g, m, 12, 5, 50);
    EXPECT_EQ(leftMargin.index, -1);
    EXPECT_TRUE(leftMargin.inGap);
    EXPECT_EQ(leftMargin.dropSlot, 0);
    const GridHit rightMargin = hitTest(g, m, 12, 116, 50);
    EXPECT_TRUE(rightMargin.inGap);
    EXPECT_EQ(rightMargin.dropSlot, 1);
    const GridHit between = hitTest(g, m, 12, 119, 50);
    EXPECT_EQ(between.index, -1);
    EXPECT_TRUE(between.inGap);
    EXPECT_EQ(between.dropSlot, 1);

    // Above and below a cell is neither a photo nor a drop place.
    for (int y : {5, 155, 160}) {
        const GridHit h = hitTest(g, m, 12, 50, y);
        EXPECT_EQ(h.index, -1) << y;
        EXPECT_EQ(h.dropSlot, -1) << y;
        EXPECT_FALSE(h.inGap) << y;
    }

    // Right of the last column: the last slot of that line.
    const GridHit pastColumns = hitTest(g, m, 12, 592, 200);
    EXPECT_TRUE(pastColumns.inGap);
    EXPECT_EQ(pastColumns.dropSlot, 9);

    // Outside the view, the bar included.
    EXPECT_EQ(hitTest(g, m, 12, 594, 50).dropSlot, -1);
    EXPECT_EQ(hitTest(g, m, 12, -1, 50).dropSlot, -1);
    EXPECT_EQ(hitTest(g, m, 12, 50, 400).dropSlot, -1);
}

TEST(HitTest, PastTheLastPhoto)
{
    const GridMetrics m = mainWindow();
    const GridLayout g = fiveColumns(12); // row 2 holds 10, 11 and empty slots

    const GridHit emptyCell = hitTest(g, m, 12, 250, 330);
    EXPECT_EQ(emptyCell.index, -1);
    EXPECT_FALSE(emptyCell.inGap);

    const GridHit gapAfterLast = hitTest(g, m, 12, 238, 330);
    EXPECT_TRUE(gapAfterLast.inGap);
    EXPECT_EQ(gapAfterLast.dropSlot, -1);

    EXPECT_EQ(hitTest(g, m, 12, 120, 330).dropSlot, 11);
    EXPECT_EQ(hitTest(g, m, 12, 130, 330).index, 11);
}

TEST(HitTest, ScrolledAndBottomAligned)
{
    const GridMetrics m = mainWindow();
    // Scrolled by 200: slot 0 shows photo 5 at y = -38.
    const GridLayout scrolled = fiveColumns(40, 200);
    EXPECT_EQ(hitTest(scrolled, m, 40, 10, 0).index, 5);
    EXPECT_EQ(hitTest(scrolled, m, 40, 10, 130).index, 10);

    const GridLayout g = threeRows(11, 0);
    EXPECT_EQ(hitTest(g, m, 11, 130, 170).index, 4); // column 1, row 1
    const GridHit gap = hitTest(g, m, 11, 119, 170);
    EXPECT_TRUE(gap.inGap);
    EXPECT_EQ(gap.dropSlot, 4);
}

TEST(Drag, DropRules)
{
    const GridMetrics m = mainWindow();
    const GridLayout g = fiveColumns(12);

    // Photo 2 onto the gap before photo 5 (row 1, column 0).
    const GridHit beforeFive = hitTest(g, m, 12, 2, 212);
    ASSERT_TRUE(beforeFive.inGap);
    EXPECT_EQ(dropTarget(2, beforeFive.dropSlot), 4);

    // Photo 5 onto photo 2.
    const GridHit onTwo = hitTest(g, m, 12, 290, 50);
    ASSERT_EQ(onTwo.index, 2);
    EXPECT_EQ(dropTarget(5, onTwo.dropSlot), 2);

    // Onto itself or into the gap right after itself: nothing moves.
    EXPECT_EQ(dropTarget(2, 2), -1);
    EXPECT_EQ(dropTarget(2, 3), -1);
    EXPECT_EQ(dropTarget(2, -1), -1);
    EXPECT_EQ(dropTarget(-1, 4), -1);
}

TEST(Drag, MarkerCentredInGapBeforeSlot)
{
    const GridMetrics m = mainWindow();
    const GridLayout g = fiveColumns(12);
    // Between cells 0 and 1 the background shows from 114 to 125.
    EXPECT_EQ(dropMarkerRect(g, m, 1), QRect(118, 8, 4, 146));
    EXPECT_EQ(dropMarkerRect(g, m, 5), QRect(0, 166, 4, 146));

    GridMetrics tight = m;
    tight.spacing = 5; // no gap: the bar straddles the cell edge
    const GridLayout t = layoutGrid(tight, ScrollAlign::Right, 611, 400, 12, 0, false, kBar);
    const QRect cell1 = slotRect(t, tight, 1);
    EXPECT_EQ(dropMarkerRect(t, tight, 1), QRect(cell1.x() - 2, 4, 4, 146));

    // Sideways the bar lies above the slot.
    const GridLayout b = threeRows(11, 0);
    EXPECT_EQ(dropMarkerRect(b, m, 1), QRect(8, 158, 106, 4));

    // Slots not laid out have no marker.
    EXPECT_TRUE(dropMarkerRect(fiveColumns(40, 200), m, 4).isEmpty());
    EXPECT_TRUE(dropMarkerRect(g, m, -1).isEmpty());
    EXPECT_TRUE(dropMarkerRect(g, m, g.slotCount()).isEmpty());
}

TEST(Keyboard, ArrowsAndTheLastLine)
{
    const GridLayout g = fiveColumns(12);
    ASSERT_EQ(g.perLine, 5);
    EXPECT_EQ(keyTarget(g, 8, 12, ArrowKey::Down), 11);
    EXPECT_EQ(keyTarget(g, 7, 12, ArrowKey::Down), 11);
    EXPECT_EQ(keyTarget(g, 11, 12, ArrowKey::Right), 11);
    EXPECT_EQ(keyTarget(g, 11, 12, ArrowKey::Down), -1);
    EXPECT_EQ(keyTarget(g, 2, 12, ArrowKey::Up), -1);
    EXPECT_EQ(keyTarget(g, 0, 12, ArrowKey::Left), -1);
    EXPECT_EQ(keyTarget(g, 4, 12, ArrowKey::Right), 5);
    EXPECT_EQ(keyTarget(g, 9, 12, ArrowKey::Up), 4);

    // No focus: any arrow goes to the first photo, if there is one.
    EXPECT_EQ(keyTarget(g, -1, 12, ArrowKey::Up), 0);
    EXPECT_EQ(keyTarget(g, -1, 0, ArrowKey::Down), -1);
}

TEST(Keyboard, BottomAlignMovesAcrossByRows)
{
    const GridLayout g = threeRows(11);
    ASSERT_EQ(g.perLine, 3);
    EXPECT_EQ(keyTarget(g, 7, 11, ArrowKey::Right), 10);
    EXPECT_EQ(keyTarget(g, 8, 11, ArrowKey::Right), 10); // last column
    EXPECT_EQ(keyTarget(g, 5, 11, ArrowKey::Left), 2);
    EXPECT_EQ(keyTarget(g, 10, 11, ArrowKey::Down), 10);
    EXPECT_EQ(keyTarget(g, 3, 11, ArrowKey::Down), 4);
    EXPECT_EQ(keyTarget(g, 0, 11, ArrowKey::Up), -1);
}

TEST(Scrolling, IntoView)
{
    const GridMetrics m = mainWindow();
    // 8 lines of 158; highest 869.
    EXPECT_EQ(scrollIntoView(fiveColumns(40, 0), m, 17, false, 400), 232); // down: bottom edge
    EXPECT_EQ(scrollIntoView(fiveColumns(40, 600), m, 2, false, 400), 0);  // up: top line
    EXPECT_EQ(scrollIntoView(fiveColumns(40, 0), m, 6, false, 400), 0);    // already visible
    EXPECT_EQ(scrollIntoView(fiveColumns(40, 200), m, 6, false, 400), 158);

    // Whole lines: a cut first line moves on to the next line start.
    EXPECT_EQ(scrollIntoView(fiveColumns(40, 0, true), m, 17, true, 400), 316);
    const GridLayout end = fiveColumns(40, 0, true);
    EXPECT_EQ(scrollIntoView(end, m, 39, true, 400), end.highest);

    EXPECT_EQ(scrollIntoView(fiveColumns(10), m, 9, false, 400), 0); // no bar

    const GridLayout side = threeRows(30, 0);
    EXPECT_EQ(scrollIntoView(side, m, 12, false, 400), 4 * 118 + 118 - 400);
}

TEST(Scrolling, WheelAndStepRounding)
{
    const GridMetrics m = mainWindow();
    EXPECT_EQ(wheelPosition(500, m, 120), 500 - 237); // 1.5 lines a notch
    EXPECT_EQ(wheelPosition(500, m, -120), 500 + 237);
    EXPECT_EQ(wheelPosition(500, m, 7), 500 - 13); // a touchpad's small step, truncated
    EXPECT_EQ(wheelPosition(500, m, -7), 500 + 13);
    EXPECT_EQ(wheelPosition(500, m, 0), 500);

    EXPECT_EQ(stepScrollRound(300, 158, 869), 158);
    EXPECT_EQ(stepScrollRound(316, 158, 869), 316);
    EXPECT_EQ(stepScrollRound(869, 158, 869), 869);
}

TEST(Thumbnails, SearchStartsAtTheFirstLineMostlyInView)
{
    const GridMetrics m = mainWindow();
    EXPECT_EQ(thumbnailSearchStart(fiveColumns(40, 0), m), 0);
    EXPECT_EQ(thumbnailSearchStart(fiveColumns(40, 158), m), 5);
    // H is 154: 77 px still showing is half, 76 is less.
    EXPECT_EQ(thumbnailSearchStart(fiveColumns(40, 158 + 81), m), 5);
    EXPECT_EQ(thumbnailSearchStart(fiveColumns(40, 158 + 82), m), 10);

    // Sideways the column's x offset and the cell width count; W is 114.
    EXPECT_EQ(thumbnailSearchStart(threeRows(30, 118 + 61), m), 3);
    EXPECT_EQ(thumbnailSearchStart(threeRows(30, 118 + 62), m), 6);
}

TEST(Thumbnails, PickNextWrapsAround)
{
    const std::vector<bool> done = {false, true, true, false, true};
    auto isDone = [&](int i) { return bool(done[i]); };
    EXPECT_EQ(pickNextThumbnail(1, 5, isDone), 3);
    EXPECT_EQ(pickNextThumbnail(4, 5, isDone), 0);
    EXPECT_EQ(pickNextThumbnail(9, 5, isDone), 0);
    EXPECT_EQ(pickNextThumbnail(0, 0, isDone), -1);
    EXPECT_EQ(pickNextThumbnail(2, 5, [](int) { return true; }), -1);
    // Several at once: from the start to the end, then from the top, never one twice.
    EXPECT_EQ(pickNextThumbnails(1, 5, 9, isDone), std::vector<int>({3, 0}));
    EXPECT_EQ(pickNextThumbnails(1, 5, 1, isDone), std::vector<int>({3}));
    EXPECT_TRUE(pickNextThumbnails(0, 0, 3, isDone).empty());
}

TEST(Caption, CutAtTheEndWithoutEllipsis)
{
    auto tenPerUnit = [](const QString& s) { return 10 * int(s.size()); };
    EXPECT_EQ(fitCaptionLength(QStringLiteral("/home/u/Pictures/holiday_in_the_mountains.jpg"), 92,
                               tenPerUnit),
              QStringLiteral("holiday_i"));
    EXPECT_EQ(fitCaptionLength(QStringLiteral("a.jpg"), 92, tenPerUnit), QStringLiteral("a.jpg"));
    EXPECT_EQ(fitCaptionLength(QStringLiteral("/tmp/x.jpg"), 0, tenPerUnit), QString());
    EXPECT_EQ(fitCaptionLength(QStringLiteral("/tmp/"), 92, tenPerUnit), QString());

    // A character outside the basic plane goes as a whole.
    const QString face = QStringLiteral("/p/ab") + QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(fitCaptionLength(face, 30, tenPerUnit), QStringLiteral("ab"));
}
