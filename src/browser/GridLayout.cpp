#include "GridLayout.h"

#include <algorithm>

namespace grid {

namespace {

// Floor division and modulo: a client smaller than the gap gives a negative numerator, and a
// count must then come out as 0 (clamped), never as a negative number of cells.
int floorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int floorMod(int a, int b)
{
    return a - floorDiv(a, b) * b;
}

// Whole cells of extent `cell` that fit in `extent` with a gap before each and after the last.
int fittingCells(int extent, int cell, int gap)
{
    return std::max(0, floorDiv(extent - gap, std::max(1, gap + cell)));
}

bool isRight(const GridLayout& layout)
{
    return layout.align == ScrollAlign::Right;
}

} // namespace

int GridMetrics::gap() const
{
    return std::max(0, spacing - 8);
}

int GridMetrics::cellWidth() const
{
    return 2 * (borderB() + padding) + thumbSize;
}

int GridMetrics::cellHeight() const
{
    int h = cellWidth();
    if (showFilename)
        h += textHeight + padding;
    if (showCheckbox)
        h += kCheckBoxSize + padding;
    return h;
}

GridLayout layoutGrid(const GridMetrics& metrics, ScrollAlign align, int clientWidth,
                      int clientHeight, int count, int scrollPosition, bool stepScroll,
                      int barExtent)
{
    const int gap = metrics.gap();
    const int w = metrics.cellWidth();
    const int h = metrics.cellHeight();
    const bool right = align == ScrollAlign::Right;

    GridLayout g;
    g.align = align;
    g.viewWidth = clientWidth;
    g.viewHeight = clientHeight;
    int columns = fittingCells(clientWidth, w, gap);
    int rows = fittingCells(clientHeight, h, gap);
    g.barShown = rows * columns < count;
    if (g.barShown) {
        if (right) {
            g.viewWidth = std::max(0, clientWidth - barExtent);
            columns = fittingCells(g.viewWidth, w, gap);
        } else {
            g.viewHeight = std::max(0, clientHeight - barExtent);
            rows = fittingCells(g.viewHeight, h, gap);
        }
    }
    // Two more lines along the scroll direction so that partly visible ones are drawn.
    if (right)
        rows += 2;
    else
        columns += 2;
    g.columns = std::max(1, columns);
    g.rows = std::max(1, rows);

    g.perLine = right ? g.columns : g.rows;
    g.pitch = (right ? h : w) + gap;
    g.page = right ? clientHeight : clientWidth;
    if (g.barShown) {
        const int lines = (count + g.perLine - 1) / g.perLine;
        g.barMaximum = gap + lines * g.pitch;
        g.highest = std::max(0, g.barMaximum - g.page + 1);
        g.position = std::clamp(scrollPosition, 0, g.highest);
    }

    g.firstIndex = (g.position / g.pitch) * g.perLine;
    const bool snapped = stepScroll && g.position != g.highest;
    const int along = snapped ? gap : gap - g.position % g.pitch;
    g.xOffset = right ? gap : along;
    g.yOffset = right ? along : gap;
    return g;
}

QRect slotRect(const GridLayout& layout, const GridMetrics& metrics, int k)
{
    const int gap = metrics.gap();
    const int w = metrics.cellWidth();
    const int h = metrics.cellHeight();
    int col = 0;
    int row = 0;
    if (isRight(layout)) {
        col = floorMod(k, layout.columns);
        row = floorDiv(k, layout.columns);
    } else {
        row = floorMod(k, layout.rows);
        col = floorDiv(k, layout.rows);
    }
    return QRect(col * (w + gap) + layout.xOffset, row * (h + gap) + layout.yOffset, w, h);
}

GridHit hitTest(const GridLayout& layout, const GridMetrics& metrics, int count, int x, int y)
{
    GridHit hit;
    // Half-open: the pixel at viewWidth already belongs to the bar.
    if (x < 0 || x >= layout.viewWidth || y < 0 || y >= layout.viewHeight)
        return hit;

    const int gap = metrics.gap();
    const int w = metrics.cellWidth();
    const int h = metrics.cellHeight();
    const int yy = y + gap - layout.yOffset;
    const int row = floorDiv(yy, h + gap);
    const int oy = floorMod(yy, h + gap);
    if (row < 0 || row >= layout.rows || oy < gap + kCellMargin || oy >= h + gap - kCellMargin)
        return hit;

    const int xx = x + gap - layout.xOffset;
    const int col = floorDiv(xx, w + gap);
    const int o = floorMod(xx, w + gap);
    const bool right = isRight(layout);
    const int slot = right ? layout.firstIndex + row * layout.columns + col
                           : layout.firstIndex + col * layout.rows + row;

    if (col >= 0 && col < layout.columns && o >= gap + kCellMargin && o < w + gap - kCellMargin) {
        if (slot < count) {
            hit.index = slot;
            hit.dropSlot = slot;
        }
        return hit;
    }

    hit.inGap = true;
    int drop = slot + (o >= gap + kCellMargin ? 1 : 0);
    if (col >= layout.columns)
        drop = right ? layout.firstIndex + row * layout.columns + layout.columns - 1
                     : layout.firstIndex + col * layout.rows + layout.rows - 1;
    if (drop >= 0 && drop < count)
        hit.dropSlot = drop;
    return hit;
}

QRect dropMarkerRect(const GridLayout& layout, const GridMetrics& metrics, int dropSlot)
{
    const int k = dropSlot - layout.firstIndex;
    if (dropSlot < 0 || k < 0 || k >= layout.slotCount())
        return {};
    const int gap = metrics.gap();
    const QRect cell = slotRect(layout, metrics, k);
    // Centred in the visible gap before the slot: the gap plus both cells' outer margins.
    const int start = (gap + kCellMargin) / 2 - gap - kCellMargin;
    const int barWidth = kCellMargin;
    if (isRight(layout))
        return QRect(cell.x() + start, cell.y() + kCellMargin, barWidth,
                     cell.height() - 2 * kCellMargin);
    return QRect(cell.x() + kCellMargin, cell.y() + start, cell.width() - 2 * kCellMargin,
                 barWidth);
}

int scrollIntoView(const GridLayout& layout, const GridMetrics& metrics, int focused,
                   bool stepScroll, int clientExtent)
{
    if (!layout.barShown || focused < 0)
        return layout.position;
    const int gap = metrics.gap();
    const int extent = isRight(layout) ? metrics.cellHeight() : metrics.cellWidth();
    const int lineTop = (focused / layout.perLine) * (extent + gap);

    int position = layout.position;
    if (lineTop < position)
        position = lineTop;
    else if (clientExtent < lineTop - position + extent + gap)
        position = lineTop + extent + gap - clientExtent;
    position = std::clamp(position, 0, layout.highest);

    if (stepScroll) {
        // The first line is cut: go on to the next line start so it snaps forward, not back.
        const int offset = gap - position % layout.pitch;
        if (offset < gap)
            position = std::clamp(position + offset + extent, 0, layout.highest);
    }
    return position;
}

int keyTarget(const GridLayout& layout, int focused, int count, ArrowKey key)
{
    const int p = layout.perLine;
    int target = 0;
    if (focused >= 0) {
        const bool right = isRight(layout);
        switch (key) {
        case ArrowKey::Left:
            target = focused - (right ? 1 : p);
            break;
        case ArrowKey::Up:
            target = focused - (right ? p : 1);
            break;
        case ArrowKey::Right:
            target = focused + (right ? 1 : p);
            break;
        case ArrowKey::Down:
            target = focused + (right ? p : 1);
            break;
        }
    }
    if (count > 0 && target >= count && target / p == (count - 1) / p)
        target = count - 1;
    return (target >= 0 && target < count) ? target : -1;
}

int dropTarget(int focused, int slot)
{
    if (focused < 0 || slot < 0)
        return -1;
    const int target = slot > focused ? slot - 1 : slot;
    return target == focused ? -1 : target;
}

int wheelPosition(int position, const GridMetrics& metrics, int delta)
{
    if (delta == 0)
        return position;
    // 1.5 lines per notch of 120, in proportion to the turn: high-resolution wheels and
    // touchpads send small deltas, which must scroll less than a notch, not more.
    const long long pitch = metrics.cellHeight() + metrics.gap();
    return position + int(pitch * -180 * delta / (120 * 120));
}

int stepScrollRound(int position, int pitch, int highest)
{
    if (position == highest || pitch <= 0)
        return position;
    return floorDiv(position, pitch) * pitch;
}

int thumbnailSearchStart(const GridLayout& layout, const GridMetrics& metrics)
{
    const int extent = isRight(layout) ? metrics.cellHeight() : metrics.cellWidth();
    int start = layout.firstIndex;
    // Compared doubled so that half of an odd extent is not rounded.
    if (2 * (layout.offsetAlong() + extent) < extent)
        start += layout.perLine;
    return start;
}

int pickNextThumbnail(int start, int count, const std::function<bool(int)>& isDone)
{
    const std::vector<int> next = pickNextThumbnails(start, count, 1, isDone);
    return next.empty() ? -1 : next.front();
}

std::vector<int> pickNextThumbnails(int start, int count, int wanted,
                                    const std::function<bool(int)>& isDone)
{
    std::vector<int> picked;
    const int from = std::clamp(start, 0, std::max(0, count));
    for (int i = from; i < count && int(picked.size()) < wanted; ++i)
        if (!isDone(i))
            picked.push_back(i);
    for (int i = 0; i < from && int(picked.size()) < wanted; ++i)
        if (!isDone(i))
            picked.push_back(i);
    return picked;
}

QString fitCaptionLength(const QString& path, int thumbSize,
                         const std::function<int(const QString&)>& widthOf)
{
    QString caption = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    while (!caption.isEmpty() && widthOf(caption) > thumbSize) {
        // Never leave half of a surrogate pair behind.
        const bool pair = caption.size() >= 2 && caption.back().isLowSurrogate() &&
                          caption.at(caption.size() - 2).isHighSurrogate();
        caption.chop(pair ? 2 : 1);
    }
    return caption;
}

} // namespace grid
