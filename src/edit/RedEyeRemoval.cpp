#include "RedEyeRemoval.h"

#include "ColorOps.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace edit {
namespace {

// How far green and blue together may reach before a pixel of this red stops being red:
// steep for dark reds, flattening toward the bright ones.
double redReach(int r)
{
    if (r <= 144)
        return 2.0 * (r - 128) + 96;
    if (r <= 160)
        return r - 16;
    if (r <= 176)
        return (r - 160) / 2.0 + 144;
    if (r <= 192)
        return (r - 176) / 4.0 + 152;
    if (r <= 208)
        return (r - 192) / 8.0 + 156;
    if (r <= 224)
        return (r - 208) / 16.0 + 158;
    return (r - 224) / 32.0 + 159;
}

struct Mask
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> cells;
    bool at(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height && cells[std::size_t(y) * width + x];
    }
    void clear(int x, int y) { cells[std::size_t(y) * width + x] = 0; }
};

Mask buildMask(const imaging::Bitmap& bitmap, const imaging::Rect& area, double factor)
{
    Mask mask{area.width(), area.height(), {}};
    mask.cells.resize(std::size_t(mask.width) * mask.height);
    for (int y = 0; y < mask.height; ++y) {
        const std::uint8_t* p = bitmap.scanLine(area.top + y) + std::size_t(area.left) * 3;
        for (int x = 0; x < mask.width; ++x, p += 3)
            mask.cells[std::size_t(y) * mask.width + x] = isRedEyePixel(p[0], p[1], p[2], factor);
    }
    return mask;
}

struct Box
{
    int left, top, right, bottom; // inclusive
    void add(int x, int y)
    {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// Walks the patch from its first cell, clearing what it visits; a cell the walk cannot reach
// without crossing the start cell is left for a patch of its own.
Box walkPatch(Mask& mask, int startX, int startY)
{
    enum Move : std::uint8_t
    {
        Down = 1,
        Left = 2,
        Up = 3,
        Right = 4
    };
    struct Try
    {
        Move move;
        int dx, dy;
    };
    static constexpr Try kTries[] = {{Up, 0, -1}, {Down, 0, 1}, {Left, -1, 0}, {Right, 1, 0}};
    mask.clear(startX, startY);
    Box box{startX, startY, startX, startY};
    std::vector<Move> moves;
    int x = startX;
    int y = startY;
    for (;;) {
        bool stepped = false;
        for (const Try& t : kTries) {
            if (mask.at(x + t.dx, y + t.dy)) {
                x += t.dx;
                y += t.dy;
                mask.clear(x, y);
                box.add(x, y);
                moves.push_back(t.move);
                stepped = true;
                break;
            }
        }
        if (stepped)
            continue;
        if (moves.empty())
            break;
        for (const Try& t : kTries) {
            if (t.move == moves.back()) {
                x -= t.dx;
                y -= t.dy;
            }
        }
        moves.pop_back();
        if (x == startX && y == startY)
            break;
    }
    return box;
}

} // namespace

bool isRedEyePixel(int red, int green, int blue, double factor)
{
    if (red < 128)
        return false;
    const double reach = redReach(red) * factor;
    return double(green * green + blue * blue) < reach * reach;
}

int removeRedEye(imaging::Bitmap& bitmap, imaging::ColorRef colour, int threshold, int lightness,
                 const imaging::Rect& area)
{
    const imaging::Rect clipped{std::max(0, area.left), std::max(0, area.top),
                                std::min(bitmap.width(), area.right),
                                std::min(bitmap.height(), area.bottom)};
    if (bitmap.isNull() || clipped.width() <= 0 || clipped.height() <= 0)
        return 0;
    for (const double factor : {0.95, 1.1, 1.4}) {
        Mask mask = buildMask(bitmap, clipped, factor);
        int treated = 0;
        int smoothed = 0;
        for (int y = 0; y < mask.height; ++y) {
            for (int x = 0; x < mask.width; ++x) {
                if (!mask.at(x, y))
                    continue;
                const Box box = walkPatch(mask, x, y);
                if (box.width() < 4 || box.height() < 4)
                    continue;
                imaging::Rect ellipse{clipped.left + box.left - 1, clipped.top + box.top - 1,
                                      clipped.left + box.right + 3, clipped.top + box.bottom + 3};
                bitmap.setRegionEllipse(ellipse);
                imaging::removeRedeye(bitmap, colour, threshold, lightness);
                bitmap.freeRegion();
                ++treated;
                // The edge of a large recoloured pupil shows; blur it a little.
                if (box.width() >= 12 && box.height() >= 12 && smoothed < 2) {
                    ellipse = {ellipse.left - 2, ellipse.top - 2, ellipse.right + 2,
                               ellipse.bottom + 2};
                    bitmap.setRegionEllipse(ellipse);
                    imaging::antiAlias(bitmap, 0, 2, 1);
                    bitmap.freeRegion();
                    ++smoothed;
                }
            }
        }
        if (treated > 0)
            return treated;
    }
    return 0;
}

} // namespace edit
