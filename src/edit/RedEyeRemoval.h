// Red-eye removal over a rectangle the user selected: finds the red patches (pupils lit by
// the flash) and recolours each inside an ellipse around it, smoothing the larger ones.
#pragma once

#include "Bitmap.h"

namespace edit {

// area's right and bottom are exclusive; the part outside the picture is ignored. The
// replacement colour is shaded by each pixel's own lightness (threshold and lightness as
// imaging::removeRedeye takes them). Returns the number of patches treated.
int removeRedEye(imaging::Bitmap& bitmap, imaging::ColorRef colour, int threshold, int lightness,
                 const imaging::Rect& area);

// Whether a pixel counts as red for the pass with this tolerance factor.
bool isRedEyePixel(int red, int green, int blue, double factor);

} // namespace edit
