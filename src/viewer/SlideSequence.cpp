#include "SlideSequence.h"

namespace viewer {

void SlideSequence::reset(int count)
{
    mCount = count > 0 ? count : 0;
    mNext = 0;
}

int SlideSequence::peek() const
{
    if (mCount == 0)
        return -1;
    return mNext >= 0 && mNext < mCount ? mNext : 0;
}

int SlideSequence::step()
{
    const int shown = peek();
    if (shown >= 0)
        mNext = shown + 1;
    return shown;
}

void SlideSequence::resumeAt(int interruptedIndex)
{
    mNext = wrapped(interruptedIndex);
}

// From the photo on screen rather than by counting back from the next position: after the
// wrap, or after a Previous whose photo still loads, the count would land on the photo on
// screen or skip one.
void SlideSequence::backFrom(int onScreenIndex)
{
    mNext = wrapped(onScreenIndex - 1);
}

int SlideSequence::wrapped(int index) const
{
    return mCount == 0 ? 0 : (index % mCount + mCount) % mCount;
}

} // namespace viewer
