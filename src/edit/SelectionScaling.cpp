#include "SelectionScaling.h"

#include <cmath>
#include <cstdint>

namespace edit {

namespace {

// The product in integers first, so a large photo's coordinates do not lose precision.
double scaled(int value, int full, int shown)
{
    return double(std::int64_t(value) * full) / shown;
}

} // namespace

std::optional<FrameRect> frameToFullSize(const FrameRect& frame, int fullWidth, int fullHeight,
                                         int shownWidth, int shownHeight)
{
    if (shownWidth <= 0 || shownHeight <= 0)
        return std::nullopt;
    FrameRect full;
    full.left = int(std::ceil(scaled(frame.left, fullWidth, shownWidth)));
    full.top = int(std::ceil(scaled(frame.top, fullHeight, shownHeight)));
    full.width = int(std::floor(scaled(frame.width, fullWidth, shownWidth)));
    full.height = int(std::floor(scaled(frame.height, fullHeight, shownHeight)));
    return full;
}

} // namespace edit
