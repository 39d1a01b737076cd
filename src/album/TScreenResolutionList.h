// The resolutions the export wizard lists: the common screen sizes and the user's own screen.
#pragma once

#include "TScreenResolution.h"

#include <vector>

class TScreenResolutionList
{
public:
    // 640 x 480 up to 1600 x 1200, by width.
    static TScreenResolutionList standard();

    int count() const { return int(mItems.size()); }
    const TScreenResolution& at(int index) const { return mItems.at(std::size_t(index)); }

    // -1 when absent.
    int indexOf(int width, int height) const;

    // The index of the screen's own size: found, or inserted before the first entry at least
    // as wide, or appended when none is.
    int addScreen(int width, int height);

private:
    std::vector<TScreenResolution> mItems;
};
