// The colour operations of the edit window, in place on a bitmap (the imaging library's
// image-processing calls). Each returns Success, NoBitmap for an empty bitmap,
// InvalidParameter for a value out of its range, or Cancelled when the thread's cancel flag
// is set while it runs (the bitmap is then partly changed; callers that cancel throw the
// copy away). A value of 0 leaves every pixel unchanged.
//
// Every operation that changes pixels changes only those inside the bitmap's region when it
// has one, and gathers its statistics (auto levels) from those pixels only.
//
// Luma Y below is Rec. 601: Y = 0.299 R + 0.587 G + 0.114 B, in 16-bit fixed point and
// rounded, so a grey pixel has Y equal to its value. Results are rounded to nearest and
// clamped to 0 … 255.
#pragma once

#include "Bitmap.h"

namespace imaging {

// change c in -1000 … 1000, on every channel v:
//   v' = 127.5 + (v − 127.5) · k,  k = 1 + c / 1000 for c ≤ 0 (−1000: flat grey 128),
//                                 k = 1 / (1 − 0.99 · c / 1000) for c > 0 (+1000: k = 100).
int changeContrast(Bitmap& bitmap, int change);
// Brightness; change b in -1000 … 1000: v' = v + b · 255 / 1000 (−1000 black, +1000 white).
int changeIntensity(Bitmap& bitmap, int change);
// change s in -1000 … 1000: v' = Y + (v − Y) · (1 + s / 1000); −1000 gives grey, +1000
// doubles every pixel's distance from its grey.
int changeSaturation(Bitmap& bitmap, int change);
// degrees in -360 … 360: rotates each pixel's colour by that angle about the grey axis
// (1, 1, 1) of the RGB cube, so greys and (R + G + B) stay, and +120° turns red into green,
// green into blue and blue into red. Multiples of 360 leave the picture unchanged.
int changeHue(Bitmap& bitmap, int degrees);

// How much of one source channel goes into each output channel.
struct ChannelFactors
{
    double toRed = 0;
    double toGreen = 0;
    double toBlue = 0;
};
// out R = R·red.toRed + G·green.toRed + B·blue.toRed, and likewise for G and B, clamped.
// Factors must be finite and within -16 … 16; the unit factors (1, 0, 0), (0, 1, 0),
// (0, 0, 1) leave the picture unchanged.
int balanceColors(Bitmap& bitmap, const ChannelFactors& red, const ChannelFactors& green,
                  const ChannelFactors& blue);

enum class AutoLevel
{
    Color = 1,
    Contrast = 2,
    Intensity = 3
};
// blackClip and whiteClip in hundredths of a percent of the pixels (50 = 0.5 %), each
// 0 … 10000 and together below 10000; method must be 0.
//   Color: per channel, low = the darkest level with more than blackClip of the pixels at
//     or below it, high = the lightest level with more than whiteClip at or above it;
//     v' = (v − low) · 255 / (high − low). Stretching each channel alone removes a cast.
//   Contrast: the same with one low and high from the luma histogram, applied to all three
//     channels, so hues stay.
//   Intensity: a gamma v' = 255 · (v / 255)^g with g = ln 0.5 / ln(mean Y / 255), limited to
//     0.4 … 2.5, which moves the mean luma toward the middle.
// A channel (or luma) with high ≤ low, and an all-black or all-white picture for
// Intensity, are left as they are.
int autoColorLevel(Bitmap& bitmap, int method, int blackClip, int whiteClip, AutoLevel kind);

// R = G = B = Y.
int desaturate(Bitmap& bitmap);

// Smooths the pixels inside the bitmap's region (all of them without one). Each pixel's
// filtered value is the weighted mean of its (2·dimension + 1)² neighbourhood in the
// unchanged picture (clipped at the picture's edges, pixels outside the region included);
// filter 0 weighs the neighbourhood evenly, filter 1 with a tent falling off linearly from
// the centre (weights (dimension + 1 − |dx|) · (dimension + 1 − |dy|)). A pixel takes its
// filtered value when one of its channels differs from it by more than threshold, so 0
// smooths every pixel that is not already smooth. threshold 0 … 255, dimension 1 … 8.
int antiAlias(Bitmap& bitmap, int threshold, int dimension, int filter);

// The pixel at row, column. InvalidParameter outside the bitmap.
int getPixelColor(const Bitmap& bitmap, int row, int column, ColorRef& color);

// Replaces red pixels inside the bitmap's region (all of them without one) by the
// replacement colour at each pixel's own lightness. A pixel is red when R ≥ threshold and
// 2 R > 3 · max(G, B), which skin, greys and black are not. Its lightness is
// L = (G + B) / 2 (the red channel is the flash's reflection), scaled by lightness / 100;
// the new pixel is the replacement colour shifted by L − Y(replacement) on every channel,
// so black gives a grey of lightness L. threshold 0 … 255, lightness 0 … 200 (percent).
int removeRedeye(Bitmap& bitmap, ColorRef replacement, int threshold, int lightness);

} // namespace imaging
