// Geometry of a bitmap, in place: resampling, turning, mirroring and cutting (the imaging
// library's size, rotate, flip and trim calls). Each returns Success, NoBitmap for an empty
// bitmap, InvalidParameter, PictureTooLarge or NoMemory, or Cancelled when the thread's
// cancel flag is set while it runs; on failure the bitmap is unchanged.
#pragma once

#include "Bitmap.h"

namespace imaging {

// The design's resampling modes: 4 bicubic, 2 the faster one.
enum class SizeMode { Fast = 2, Bicubic = 4 };

// Resamples to width × height. Bicubic is Catmull-Rom; Fast is a tent (linear) filter.
// When shrinking, either kernel is widened by the shrink factor, so every source pixel
// counts (no aliasing). The resolution stays, as in every photo editor.
int sizeBitmap(Bitmap& bitmap, int width, int height, SizeMode mode);

// Turns clockwise (as seen on screen) by angle hundredths of a degree, any value; whole
// quarter turns are exact pixel moves. With resize the canvas grows to hold the whole
// turned picture: W' = ⌈W·|cos a| + H·|sin a|⌉ and H' = ⌈W·|sin a| + H·|cos a|⌉, rounded
// up so no corner is cut (100 × 100 at 45° gives 142 × 142); without it the canvas keeps
// its size. The turned picture is centred and sampled bilinearly; the rest of the canvas
// gets the fill colour.
int rotateBitmap(Bitmap& bitmap, int angleHundredths, bool resize, ColorRef fill);

// Mirrors top to bottom.
int flipBitmap(Bitmap& bitmap);
// Mirrors left to right.
int reverseBitmap(Bitmap& bitmap);

// Keeps the rectangle left, top, width × height, clipped to the picture; a rectangle with
// nothing inside the picture is InvalidParameter.
int trimBitmap(Bitmap& bitmap, int left, int top, int width, int height);

// Turns a picture stored with EXIF orientation 1 to 8 upright.
int orientUpright(Bitmap& bitmap, int orientation);

} // namespace imaging
