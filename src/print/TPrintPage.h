// The pages of a print run: slots in micrometres, each holding one photo.
#pragma once

#include "TPrintPhotoObject.h"

#include <QtGlobal>

#include <vector>

// Micrometres; right and bottom are exclusive edges.
struct MicroRect
{
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;

    qint32 width() const { return right - left; }
    qint32 height() const { return bottom - top; }
    bool operator==(const MicroRect&) const = default;
};

// One slot on a page.
struct TPrintPhoto
{
    TPrintPhotoObjectPtr photo;
    // Relative to the printable area's top-left corner.
    MicroRect slot;
    // The photo may turn a quarter turn if it fits the slot better.
    bool rotateAllowed = false;
    // The photo may be scaled above its natural size.
    bool enlarge = false;
    // Scaled to cover the slot and cut, instead of fitted inside it.
    bool fill = false;
    // Fixed sizes and thumbnails only: the row on its page and the row's height.
    int row = 0;
    qint32 rowHeight = 0;
};

using TPrintPhotoList = std::vector<TPrintPhoto>;

struct TPrintPage
{
    // In placing order.
    TPrintPhotoList photos;
};

using TPrintPageList = std::vector<TPrintPage>;

inline constexpr qint32 kMicrometresPerInch = 25400;
