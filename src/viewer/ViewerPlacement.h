// Where the viewer puts things: the picture inside its area, and the view window beside the
// main window. Plain arithmetic, so that it is tested without a display.
#pragma once

#include <QRect>
#include <QSize>

namespace viewer {

// The picture's rectangle inside an area of areaSize: a picture of storedSize (its upright
// size in the file) that does not fit is shrunk by its limiting side (rounded to nearest,
// halves to even), one that fits keeps its own size; never enlarged. Centred, the offsets
// truncated toward zero. Empty when either size has no area.
QRect placePicture(QSize storedSize, QSize areaSize);

// The view window's frame: 4 % in from the main window's left and top, 92 % of its width and
// height, each truncated.
QRect viewWindowRect(const QRect& mainWindowFrame);

} // namespace viewer
