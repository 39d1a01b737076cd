#pragma once

#include <QRect>
#include <QString>

#include <functional>
#include <vector>

// The arithmetic of the thumbnail grid: cell size, the laid-out slots, hit testing, keyboard
// and drop targets and the scroll positions. No widgets, so all of it can be tested directly.
namespace grid {

inline constexpr int kCheckBoxSize = 12;
// Every cell has this margin outside its border; it holds the focus frame.
inline constexpr int kCellMargin = 4;

// The item-size inputs of the grid.
struct GridMetrics
{
    int thumbSize = 80;
    int itemBorderWidth = 2;
    int padding = 4;
    int spacing = 12;
    bool showFilename = true;
    bool showCheckbox = true;
    int textHeight = 16;

    int gap() const;
    int borderB() const { return itemBorderWidth + kCellMargin; }
    int cellWidth() const;
    int cellHeight() const;
};

// Right: rows scroll vertically, bar at the right. Bottom: columns scroll horizontally.
enum class ScrollAlign
{
    Right,
    Bottom
};

struct GridLayout
{
    ScrollAlign align = ScrollAlign::Right;
    int columns = 1; // C; for Right the whole columns, for Bottom incl. two partial lines
    int rows = 1;    // R; for Bottom the whole rows, for Right incl. two partial lines
    bool barShown = false;
    int viewWidth = 0; // client less the visible bar
    int viewHeight = 0;
    int pitch = 1;   // cell extent along the scroll direction + gap
    int perLine = 1; // P: photos per line across the scroll direction
    int barMaximum = 0;
    int page = 0;       // client extent along the scroll direction
    int highest = 0;    // highest scroll position
    int position = 0;   // clamped scroll position
    int firstIndex = 0; // photo shown in slot 0
    int xOffset = 0;    // of slot 0
    int yOffset = 0;

    int slotCount() const { return columns * rows; }
    int offsetAlong() const { return align == ScrollAlign::Right ? yOffset : xOffset; }
};

GridLayout layoutGrid(const GridMetrics& metrics, ScrollAlign align, int clientWidth,
                      int clientHeight, int count, int scrollPosition, bool stepScroll,
                      int barExtent);

// Cell rectangle (W x H) of slot k; slot k shows photo firstIndex + k.
QRect slotRect(const GridLayout& layout, const GridMetrics& metrics, int k);

struct GridHit
{
    int index = -1;    // photo under a cell's inner part, or -1
    int dropSlot = -1; // where a drop would insert: the cell's photo, or the slot after a gap
    bool inGap = false;
};

GridHit hitTest(const GridLayout& layout, const GridMetrics& metrics, int count, int x, int y);

// The 4-px insertion bar in the gap before the drop slot; empty when that slot is not laid out.
QRect dropMarkerRect(const GridLayout& layout, const GridMetrics& metrics, int dropSlot);

// New scroll position that brings the focused photo's line into the client.
int scrollIntoView(const GridLayout& layout, const GridMetrics& metrics, int focused,
                   bool stepScroll, int clientExtent);

enum class ArrowKey
{
    Left,
    Up,
    Right,
    Down
};

// Index an arrow key moves the focus to, or -1 when nothing changes.
int keyTarget(const GridLayout& layout, int focused, int count, ArrowKey key);

// Index the focused photo moves to when dropped at the slot, or -1 when nothing moves.
int dropTarget(int focused, int slot);

// Scroll position after a wheel turn; the caller clamps it through the layout.
int wheelPosition(int position, const GridMetrics& metrics, int delta);

// Position at the end of a scroll action while the grid keeps to whole lines.
int stepScrollRound(int position, int pitch, int highest);

// Where the search for the next thumbnail starts: the first line mostly in view.
int thumbnailSearchStart(const GridLayout& layout, const GridMetrics& metrics);

// First photo from start to the end, then from 0 up to start, whose thumbnail is not done.
int pickNextThumbnail(int start, int count, const std::function<bool(int)>& isDone);
// The first up to wanted such photos, in that order, in one pass.
std::vector<int> pickNextThumbnails(int start, int count, int wanted,
                                    const std::function<bool(int)>& isDone);

// The file name of path, cut at the end until widthOf says it fits in thumbSize.
QString fitCaptionLength(const QString& path, int thumbSize,
                         const std::function<int(const QString&)>& widthOf);

} // namespace grid
