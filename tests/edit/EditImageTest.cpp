#include "EditGeometry.h"
#include "EditOperations.h"
#include "EditTestSupport.h"
#include "Geometry.h"
#include "ImagingResult.h"

#include <QApplication>

using namespace edittest;
using namespace imaging;

TEST(EditImagePreview, TwoQuickColourChangesShowOnlyTheSecond)
{
    Harness h(EditMode::Preview, 305, 305);
    Bitmap source = picture(300, 240); // fits: the screen gets the very pixels
    ASSERT_TRUE(h.engine->Open(&source));
    ASSERT_EQ(h.engine->picturesShown(), 1);
    EXPECT_TRUE(showsExactly(*h.image, source));

    // Both are posted before the window's thread hears of either.
    h.engine->SetContrast(800);
    h.engine->SetBrightness(-300);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.engine->picturesShown(), 2);
    Bitmap expected = copyOf(source);
    ASSERT_EQ(edit::applyColours(expected, {EditColours, 800, -300}), Success);
    EXPECT_TRUE(showsExactly(*h.image, expected));
    // Preview mode announces nothing, and the source stays as it was.
    EXPECT_EQ(h.started + h.ended, 0);
    EXPECT_TRUE(same(source, picture(300, 240)));
}

TEST(EditImagePreview, ANewRequestAbortsTheOneBeingComputed)
{
    Harness h(EditMode::Preview, 305, 305);
    Bitmap source = picture(2400, 1800);
    ASSERT_TRUE(h.engine->Open(&source));
    for (int angle = 1; angle <= 20; ++angle)
        h.engine->Rotate(false, angle);
    ASSERT_TRUE(h.settle());
    EXPECT_EQ(h.engine->picturesShown(), 2);
    // The screen copy never exceeds the box.
    EXPECT_LE(h.image->shownWidth(), 305);
    EXPECT_LE(h.image->shownHeight(), 305);
}

TEST(EditImageApply, QuarterTurnsLeaveNoFrameAndAreExact)
{
    Harness h(EditMode::Apply);
    Bitmap source = picture(240, 160);
    ASSERT_TRUE(h.engine->Open(&source));
    h.engine->Rotate(false, 90);
    ASSERT_TRUE(h.finish());
    EXPECT_EQ(h.started, 1);
    EXPECT_EQ(h.engine->lastResult(), Success);
    EXPECT_FALSE(h.image->HasFrame());
    Bitmap expected = picture(240, 160);
    ASSERT_EQ(rotateBitmap(expected, 9000, true, 0), Success);
    EXPECT_TRUE(same(h.current(), expected)); // not smoothed
    EXPECT_EQ(h.engine->FullWidth(), 160);
    EXPECT_EQ(h.engine->FullHeight(), 240);
    EXPECT_TRUE(QApplication::overrideCursor() == nullptr);
}

TEST(EditImageApply, AFineTurnOffersItsCleanRectangle)
{
    Harness h(EditMode::Apply, 400, 300);
    Bitmap source = picture(800, 600); // shown at half size
    ASSERT_TRUE(h.engine->Open(&source));
    h.engine->Rotate(false, 10);
    ASSERT_TRUE(h.finish());
    ASSERT_TRUE(h.image->HasFrame());
    const Bitmap turned = h.current();
    const std::optional<Rect> clean =
        edit::inscribedRectangle(10, 800, 600, turned.width(), turned.height());
    ASSERT_TRUE(clean);
    const double scale = double(h.image->shownWidth()) / turned.width();
    EXPECT_NEAR(h.image->FrameLeft(), clean->left * scale, 1.5);
    EXPECT_NEAR(h.image->FrameTop(), clean->top * scale, 1.5);
    EXPECT_NEAR(h.image->FrameWidth(), clean->width() * scale, 1.5);
    EXPECT_NEAR(h.image->FrameHeight(), clean->height() * scale, 1.5);

    // Cropped to it at once: the picture is the rectangle and no frame is offered.
    h.engine->Rotate(true, 10);
    ASSERT_TRUE(h.finish());
    EXPECT_FALSE(h.image->HasFrame());
    const std::optional<Rect> second =
        edit::inscribedRectangle(10, turned.width(), turned.height());
    ASSERT_TRUE(second);
    EXPECT_NEAR(h.engine->FullWidth(), second->width(), 1);
    EXPECT_NEAR(h.engine->FullHeight(), second->height(), 1);
}

TEST(EditImageApply, UndoTwiceIsRedoAndANewRequestEndsRedo)
{
    Harness h(EditMode::Apply);
    Bitmap source = picture(200, 100);
    const Bitmap original = picture(200, 100);
    ASSERT_TRUE(h.engine->Open(&source));
    EXPECT_FALSE(h.engine->UndoAvailable());

    h.engine->GreyScale();
    ASSERT_TRUE(h.finish());
    const Bitmap grey = h.current();
    EXPECT_FALSE(same(grey, original));
    EXPECT_TRUE(h.engine->UndoAvailable());
    EXPECT_FALSE(h.engine->RedoAvailable());

    h.engine->Undo();
    h.engine->Undo(); // a second click before the first is done changes nothing
    ASSERT_TRUE(h.finish());
    EXPECT_TRUE(same(h.current(), original));
    EXPECT_TRUE(showsExactly(*h.image, original));
    EXPECT_FALSE(h.engine->UndoAvailable());
    EXPECT_TRUE(h.engine->RedoAvailable());

    h.engine->Redo();
    ASSERT_TRUE(h.finish());
    EXPECT_TRUE(same(h.current(), grey));
    EXPECT_TRUE(h.engine->UndoAvailable());

    h.engine->Undo();
    ASSERT_TRUE(h.finish());
    h.engine->Mirror(true, false);
    ASSERT_TRUE(h.finish());
    EXPECT_TRUE(h.engine->UndoAvailable());
    EXPECT_FALSE(h.engine->RedoAvailable());
    Bitmap mirrored = picture(200, 100);
    ASSERT_EQ(reverseBitmap(mirrored), Success);
    EXPECT_TRUE(same(h.current(), mirrored));
    EXPECT_EQ(h.ended, h.posted);
    EXPECT_TRUE(pumpUntil([&] { return h.engine->isIdle(); }));
}

TEST(EditImageApply, FailedAndEmptyRequestsShowNothingNewButEnd)
{
    Harness h(EditMode::Apply);
    Bitmap source = picture(120, 90);
    ASSERT_TRUE(h.engine->Open(&source));
    const int shown = h.engine->picturesShown();
    h.engine->Crop(500, 500, 10, 10); // outside the picture
    ASSERT_TRUE(h.finish());
    EXPECT_NE(h.engine->lastResult(), Success);
    EXPECT_EQ(h.engine->picturesShown(), shown);
    // Red eye where there is no red still counts as done.
    h.engine->RedEye(0, 10, 10, 40, 40);
    ASSERT_TRUE(h.finish());
    EXPECT_EQ(h.engine->lastResult(), Success);
    EXPECT_TRUE(h.engine->UndoAvailable());
    EXPECT_TRUE(same(h.current(), picture(120, 90)));
}

TEST(EditImageApply, PreviewCopiesAreFittedAndNeverEnlarged)
{
    Harness h(EditMode::Apply, 1500, 900);
    Bitmap source = picture(3000, 2000);
    ASSERT_TRUE(h.engine->Open(&source));
    EXPECT_EQ(h.image->shownWidth(), 1350);
    EXPECT_EQ(h.image->shownHeight(), 900);
    Bitmap copy;
    ASSERT_TRUE(h.engine->PreviewCopy(false, 305, 305, copy));
    EXPECT_EQ(copy.width(), 305);
    EXPECT_EQ(copy.height(), 203);
    Bitmap searched;
    ASSERT_TRUE(h.engine->PreviewCopy(true, 305, 305, searched));
    EXPECT_GT(searched.width(), copy.width());
    Bitmap whole;
    ASSERT_TRUE(h.engine->PreviewCopy(false, 100000, 100000, whole));
    EXPECT_TRUE(same(whole, picture(3000, 2000)));

    TEditImage preview(305, 305, EditMode::Preview, nullptr);
    EXPECT_FALSE(preview.PreviewCopy(false, 305, 305, copy));
}
