// Camera-like pictures for the benchmarks, so that decoders have as much to do as on photos.
#pragma once

#include "Bitmap.h"

#include <QString>

inline constexpr int kCameraQuality = 92;

// A landscape with grain and texture; every variant differs, so that hard links to a few
// dozen of them still make a folder of distinct-looking photos.
void paintPhoto(imaging::Bitmap& bitmap, int variant);

// Paints a picture of width × height and writes it as a JPEG of camera quality.
bool writeCameraJpeg(const QString& fileName, int width, int height, int variant);
