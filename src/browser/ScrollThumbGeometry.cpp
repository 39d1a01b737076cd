#include "ScrollThumbGeometry.h"

#include <algorithm>
#include <cstdint>

namespace scroll {

BarLayout layoutBar(Qt::Orientation orientation, QSize barSize, bool wantArrows)
{
    const bool vertical = orientation == Qt::Vertical;
    // Along the bar and across it; the arithmetic is the same for both orientations.
    const int length = vertical ? barSize.height() : barSize.width();
    const int breadth = vertical ? barSize.width() : barSize.height();
    const auto rect = [vertical](int along, int across, int alongSize, int acrossSize) {
        alongSize = std::max(alongSize, 0);
        acrossSize = std::max(acrossSize, 0);
        return vertical ? QRect(across, along, acrossSize, alongSize)
                        : QRect(along, across, alongSize, acrossSize);
    };

    BarLayout layout;
    const int a = std::min({breadth, kMaxArrowLength, (length - 4) / 2});
    if (wantArrows && a >= kMinArrowLength) {
        layout.arrows = true;
        layout.firstArrow = rect(1, 1, a, breadth - 2);
        layout.secondArrow = rect(length - a - 1, 1, a, breadth - 2);
        layout.track = rect(a + 1, 1, length - 2 * (a + 1), breadth - 2);
    } else {
        layout.track = rect(1, 1, length - 2, breadth - 2);
    }
    return layout;
}

void ThumbGeometry::setUp(int trackLength, int range, int view, int position)
{
    mTrackLength = trackLength;
    mRange = range;
    mView = view;
    mThumbStart = 0;
    mPosition = 0;
    mEnabled = trackLength > 1 && range > 0 && view < range && trackLength < range;
    if (!mEnabled) {
        mThumbLength = 1;
        return;
    }
    // 64-bit: a picture's height times the track's length may pass the int range.
    const std::int64_t hiddenPart =
        std::int64_t(trackLength) * (std::int64_t(range) - view - 1) / range;
    mThumbLength = std::max(1, int(trackLength - hiddenPart - 1));
    setPosition(position);
}

void ThumbGeometry::setPosition(int position)
{
    if (!mEnabled)
        return;
    const int maxPos = maxPosition();
    position = std::clamp(position, 0, maxPos);
    mThumbStart = int(std::int64_t(maxThumbStart()) * position / maxPos);
    mPosition = positionFromStart(mThumbStart);
}

bool ThumbGeometry::moveThumbTo(int start)
{
    if (!mEnabled)
        return false;
    start = std::clamp(start, 0, maxThumbStart());
    const bool moved = start != mThumbStart;
    mThumbStart = start;
    mPosition = positionFromStart(start);
    return moved;
}

int ThumbGeometry::positionFromStart(int start) const
{
    // The thumb is never as long as the track here, so the divisor is at least 1.
    const std::int64_t product = std::int64_t(start) * maxPosition();
    const std::int64_t divisor = maxThumbStart();
    return int(product / divisor + (product % divisor != 0 ? 1 : 0));
}

} // namespace scroll
