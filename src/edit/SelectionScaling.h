// The selection frame drawn over the reduced picture on screen, in pixels of the full-size
// picture that crop and red-eye work on.
#pragma once

#include <optional>

namespace edit {

struct FrameRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const FrameRect&) const = default;
};

// Left and top are rounded up and width and height down, so the full-size rectangle never
// reaches past what was framed. None when the shown size is empty.
std::optional<FrameRect> frameToFullSize(const FrameRect& frame, int fullWidth, int fullHeight,
                                         int shownWidth, int shownHeight);

} // namespace edit
