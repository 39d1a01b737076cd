// The arithmetic of the custom scroll bar: where its arrows and track sit, and how the
// thumb's length and start map to a position in the content. No widgets, so it is tested
// without a display.
#pragma once

#include <QRect>
#include <QSize>
#include <Qt>

namespace scroll {

// Arrow buttons are this long at most, and are left out when they would be 7 pixels or less.
inline constexpr int kMaxArrowLength = 16;
inline constexpr int kMinArrowLength = 8;

struct BarLayout
{
    bool arrows = false;
    QRect firstArrow;  // up or left; empty without arrows
    QRect secondArrow; // down or right; empty without arrows
    QRect track;       // inside the 1-px frame, between the arrows
};

// Places the arrows (when asked for and long enough) and the track inside a bar of this size.
BarLayout layoutBar(Qt::Orientation orientation, QSize barSize, bool wantArrows);

// The thumb on a track of length L showing `view` of `range` pixels of content. The position
// runs 0 … range − view; the thumb's start runs 0 … L − thumb length, and each is computed
// from the other so that both ends of the track reach both ends of the content.
class ThumbGeometry
{
public:
    // Enables the thumb when the content does not fit (and the track is longer than a pixel),
    // then sets the position. Otherwise the track is disabled: no thumb, position 0.
    void setUp(int trackLength, int range, int view, int position);

    bool enabled() const { return mEnabled; }
    int trackLength() const { return mTrackLength; }
    int range() const { return mRange; }
    int view() const { return mView; }
    int thumbLength() const { return mThumbLength; }
    int thumbStart() const { return mThumbStart; }
    int thumbEnd() const { return mThumbStart + mThumbLength; } // one past the thumb
    int position() const { return mPosition; }
    int maxPosition() const { return mEnabled ? mRange - mView : 0; }
    int maxThumbStart() const { return mEnabled ? mTrackLength - mThumbLength : 0; }

    // Clamped to 0 … range − view, then rounded to where the thumb can stand.
    void setPosition(int position);
    // Clamped to the track; the position follows. True when the thumb moved.
    bool moveThumbTo(int start);

private:
    int positionFromStart(int start) const;

    bool mEnabled = false;
    int mTrackLength = 0;
    int mRange = 0;
    int mView = 0;
    int mThumbLength = 1;
    int mThumbStart = 0;
    int mPosition = 0;
};

} // namespace scroll
