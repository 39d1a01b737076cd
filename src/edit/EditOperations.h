// One edit request applied to a bitmap in place, as the engine's worker does it.
#pragma once

#include "Bitmap.h"
#include "EditAction.h"

namespace edit {

// Each library call runs only when the previous one succeeded; the result is the first
// failure or Success. croppedToClean (may be null) tells whether a turn was cut down to its
// clean rectangle. Red eye, auto colour and the undo marker always succeed.
int applyEditAction(imaging::Bitmap& bitmap, const EditAction& request,
                    bool* croppedToClean = nullptr);

// The colour request on a bitmap, in the order contrast, brightness, saturation, hue, then
// the colour balance.
int applyColours(imaging::Bitmap& bitmap, const EditAction& request);

// A copy of in resampled (bicubic) to width × height. A large reduction first averages
// whole blocks of pixels, so the full picture is read once and never copied.
int scaledCopy(const imaging::Bitmap& in, int width, int height, imaging::Bitmap& out);

} // namespace edit
