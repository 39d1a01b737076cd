#include "SelectionFrame.h"

#include <gtest/gtest.h>

using imaging::SelectionFrame;

namespace {
SelectionFrame frameOn(int w, int h)
{
    SelectionFrame frame;
    frame.setShownSize(w, h);
    return frame;
}
} // namespace

TEST(SelectionFrame, AClickWithoutDraggingLeavesNoFrame)
{
    SelectionFrame frame = frameOn(200, 100);
    frame.mouseDown(50, 50);
    EXPECT_TRUE(frame.drawn());
    EXPECT_FALSE(frame.hasFrame()); // anchor and moving point still coincide
    frame.mouseUp();
    EXPECT_FALSE(frame.drawn());
    EXPECT_FALSE(frame.hasFrame());
}

TEST(SelectionFrame, DragsNarrowerThanEightPixelsAreDiscarded)
{
    SelectionFrame frame = frameOn(200, 100);
    frame.mouseDown(10, 10);
    frame.mouseMove(17, 60); // 7 wide
    EXPECT_TRUE(frame.hasFrame());
    frame.mouseUp();
    EXPECT_FALSE(frame.hasFrame());

    frame.mouseDown(10, 10);
    frame.mouseMove(60, 3); // 7 high, dragged upwards
    frame.mouseUp();
    EXPECT_FALSE(frame.hasFrame());

    frame.mouseDown(10, 10);
    frame.mouseMove(18, 18); // exactly 8 × 8 stays
    frame.mouseUp();
    EXPECT_TRUE(frame.hasFrame());
    EXPECT_EQ(frame.frameWidth(), 8);
    EXPECT_EQ(frame.frameHeight(), 8);
}

TEST(SelectionFrame, DraggingBeyondThePictureStopsAtItsEdge)
{
    SelectionFrame frame = frameOn(200, 100);
    frame.mouseDown(150, 80);
    frame.mouseMove(500, -40);
    frame.mouseUp();
    ASSERT_TRUE(frame.hasFrame());
    EXPECT_EQ(frame.frameLeft(), 150);
    EXPECT_EQ(frame.frameTop(), 0);
    EXPECT_EQ(frame.frameWidth(), 50);
    EXPECT_EQ(frame.frameHeight(), 80);

    // The anchor may lie where the press was, off the picture.
    frame.mouseDown(-20, 30);
    frame.mouseMove(40, 60);
    frame.mouseUp();
    EXPECT_EQ(frame.frameLeft(), -20);
    EXPECT_EQ(frame.frameWidth(), 60);
}

TEST(SelectionFrame, ANewPressErasesTheOldFrameAndMovesWithoutAPressDoNothing)
{
    SelectionFrame frame = frameOn(200, 100);
    EXPECT_FALSE(frame.mouseMove(30, 30));
    frame.mouseDown(10, 10);
    frame.mouseMove(100, 90);
    frame.mouseUp();
    EXPECT_FALSE(frame.mouseMove(150, 95)); // released: the frame stays put
    EXPECT_EQ(frame.frameWidth(), 90);
    frame.mouseDown(20, 20);
    EXPECT_FALSE(frame.hasFrame());
}

TEST(SelectionFrame, SetFrameClampsTheFarCorner)
{
    SelectionFrame frame = frameOn(200, 100);
    frame.setFrame(20, 10, 500, 50);
    EXPECT_TRUE(frame.hasFrame());
    EXPECT_FALSE(frame.dragging());
    EXPECT_EQ(frame.frameLeft(), 20);
    EXPECT_EQ(frame.frameWidth(), 180);
    EXPECT_EQ(frame.frameHeight(), 50);
    EXPECT_TRUE(frame.erase());
    EXPECT_FALSE(frame.erase()); // erasing twice draws nothing twice
}
