#include "TScreenResolution.h"

#include <algorithm>

namespace {
// The viewer's thumbnail strip and buttons take this much of the screen.
constexpr int kViewerFrameWidth = 213;
constexpr int kViewerFrameHeight = 66;
constexpr int kMinimumBoxWidth = 427;
constexpr int kMinimumBoxHeight = 414;
} // namespace

QString TScreenResolution::caption() const
{
    return QStringLiteral("%1 x %2").arg(width).arg(height);
}

QSize exportDisplayBox(const TScreenResolution& resolution, bool slideshow)
{
    QSize box(resolution.width, resolution.height);
    if (!slideshow)
        box -= QSize(kViewerFrameWidth, kViewerFrameHeight);
    return {std::max(box.width(), kMinimumBoxWidth), std::max(box.height(), kMinimumBoxHeight)};
}
