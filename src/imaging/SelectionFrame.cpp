#include "SelectionFrame.h"

#include <algorithm>
#include <cstdlib>

namespace imaging {

void SelectionFrame::setShownSize(int width, int height)
{
    mShownWidth = std::max(0, width);
    mShownHeight = std::max(0, height);
}

int SelectionFrame::clampX(int x) const
{
    return std::clamp(x, 0, mShownWidth);
}

int SelectionFrame::clampY(int y) const
{
    return std::clamp(y, 0, mShownHeight);
}

bool SelectionFrame::mouseDown(int x, int y)
{
    erase();
    // The anchor stays where the press was, even off the picture.
    mAnchorX = x;
    mAnchorY = y;
    mMovingX = clampX(x);
    mMovingY = clampY(y);
    mDrawn = true;
    mDragging = true;
    return true;
}

bool SelectionFrame::mouseMove(int x, int y)
{
    if (!mDragging)
        return false;
    const int newX = clampX(x);
    const int newY = clampY(y);
    if (newX == mMovingX && newY == mMovingY)
        return false;
    mMovingX = newX;
    mMovingY = newY;
    return true;
}

bool SelectionFrame::mouseUp()
{
    if (!mDragging)
        return false;
    mDragging = false;
    if (frameWidth() < kMinimumSide || frameHeight() < kMinimumSide)
        return erase();
    return false;
}

bool SelectionFrame::setFrame(int left, int top, int width, int height)
{
    erase();
    mAnchorX = left;
    mAnchorY = top;
    mMovingX = clampX(left + width);
    mMovingY = clampY(top + height);
    mDrawn = true;
    return true;
}

bool SelectionFrame::erase()
{
    const bool wasDrawn = mDrawn;
    mDrawn = false;
    mDragging = false;
    return wasDrawn;
}

bool SelectionFrame::hasFrame() const
{
    return mDrawn && mAnchorX != mMovingX && mAnchorY != mMovingY;
}

int SelectionFrame::frameLeft() const
{
    return std::min(mAnchorX, mMovingX);
}

int SelectionFrame::frameTop() const
{
    return std::min(mAnchorY, mMovingY);
}

int SelectionFrame::frameWidth() const
{
    return std::abs(mAnchorX - mMovingX);
}

int SelectionFrame::frameHeight() const
{
    return std::abs(mAnchorY - mMovingY);
}

Rect SelectionFrame::rectangle() const
{
    return {frameLeft(), frameTop(), frameLeft() + frameWidth(), frameTop() + frameHeight()};
}

} // namespace imaging
