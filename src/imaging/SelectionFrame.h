// The selection frame of the image control, free of widgets: an anchor where the drag
// began and a moving point kept inside the shown picture.
#pragma once

#include "Bitmap.h"

namespace imaging {

class SelectionFrame
{
public:
    // Frames narrower or lower than this are discarded when the drag ends: a click with a
    // shaky hand is no selection.
    static constexpr int kMinimumSide = 8;

    void setShownSize(int width, int height);

    // Each returns true when the visible frame changed.
    bool mouseDown(int x, int y);
    bool mouseMove(int x, int y);
    bool mouseUp();
    bool setFrame(int left, int top, int width, int height);
    bool erase();

    bool drawn() const { return mDrawn; }
    bool dragging() const { return mDragging; }
    // Drawn, and the anchor and the moving point differ in both x and y.
    bool hasFrame() const;
    int frameLeft() const;
    int frameTop() const;
    int frameWidth() const;
    int frameHeight() const;
    // From the smaller to the larger corner; what is drawn while drawn() holds.
    Rect rectangle() const;

private:
    int clampX(int x) const;
    int clampY(int y) const;

    int mShownWidth = 0;
    int mShownHeight = 0;
    int mAnchorX = 0;
    int mAnchorY = 0;
    int mMovingX = 0;
    int mMovingY = 0;
    bool mDrawn = false;
    bool mDragging = false;
};

} // namespace imaging
