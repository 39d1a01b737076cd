// The slideshow's order: which photo a slide step shows and which comes after it, with the
// wrap at both ends.
#pragma once

namespace viewer {

class SlideSequence
{
public:
    // A new list of count photos; the first step shows photo 0.
    void reset(int count);

    int count() const { return mCount; }
    // The position the next step shows, as the window keeps it (may be count: the wrap).
    int nextIndex() const { return mNext; }
    // The photo the next step will show; -1 for an empty list.
    int peek() const;

    // The slide step: the photo to show now (-1 for an empty list); after the last comes the
    // first.
    int step();
    // Pausing while a photo loads: that photo comes next.
    void resumeAt(int interruptedIndex);
    // Previous: the photo before the one on screen comes next, the last before the first.
    void backFrom(int onScreenIndex);

private:
    int wrapped(int index) const;

    int mCount = 0;
    int mNext = 0;
};

} // namespace viewer
