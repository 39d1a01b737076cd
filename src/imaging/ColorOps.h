// The colour operations of the edit window, in place on a bitmap (the imaging library's
// image-processing calls). Each returns Success, NoBitmap for an empty bitmap,
// InvalidParameter for a value out of its range, or Cancelled when the thread's cancel flag
// is set while it runs. A value of 0 leaves every pixel unchanged.
#pragma once

#include "Bitmap.h"

namespace imaging {

// change in -1000 … 1000.
int changeContrast(Bitmap& bitmap, int change);
int changeIntensity(Bitmap& bitmap, int change);
int changeSaturation(Bitmap& bitmap, int change);
// degrees in -360 … 360.
int changeHue(Bitmap& bitmap, int degrees);

// How much of one source channel goes into each output channel.
struct ChannelFactors
{
    double toRed = 0;
    double toGreen = 0;
    double toBlue = 0;
};
// out R = R·red.toRed + G·green.toRed + B·blue.toRed, and likewise for G and B, clamped.
int balanceColors(Bitmap& bitmap, const ChannelFactors& red, const ChannelFactors& green,
                  const ChannelFactors& blue);

enum class AutoLevel { Color = 1, Contrast = 2, Intensity = 3 };
// blackClip and whiteClip in hundredths of a percent of the pixels (50 = 0.5 %).
int autoColorLevel(Bitmap& bitmap, int method, int blackClip, int whiteClip, AutoLevel kind);

int desaturate(Bitmap& bitmap);

// Smooths the pixels inside the bitmap's region (all of them without one).
int antiAlias(Bitmap& bitmap, int threshold, int dimension, int filter);

// The pixel at row, column. InvalidParameter outside the bitmap.
int getPixelColor(const Bitmap& bitmap, int row, int column, ColorRef& color);

// Replaces red pixels inside the bitmap's region (all of them without one) by the
// replacement colour at each pixel's own lightness.
int removeRedeye(Bitmap& bitmap, ColorRef replacement, int threshold, int lightness);

} // namespace imaging
