#include "TScreenResolutionList.h"

#include <algorithm>

TScreenResolutionList TScreenResolutionList::standard()
{
    TScreenResolutionList list;
    list.mItems = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}, {1600, 1200}};
    return list;
}

int TScreenResolutionList::indexOf(int width, int height) const
{
    const auto found = std::find(mItems.begin(), mItems.end(), TScreenResolution{width, height});
    return found == mItems.end() ? -1 : int(found - mItems.begin());
}

int TScreenResolutionList::addScreen(int width, int height)
{
    if (const int index = indexOf(width, height); index >= 0)
        return index;
    const auto before =
        std::find_if(mItems.begin(), mItems.end(),
                     [width](const TScreenResolution& r) { return r.width >= width; });
    const auto index = before - mItems.begin();
    mItems.insert(before, {width, height});
    return int(index);
}
