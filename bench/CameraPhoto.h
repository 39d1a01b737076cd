// Camera-like pictures for the benchmarks, so that decoders have as much to do as on photos.
#pragma once

#include "Bitmap.h"

#include <QByteArray>
#include <QString>

inline constexpr int kCameraQuality = 92;

// A landscape with grain and texture; every variant differs, so that hard links to a few
// dozen of them still make a folder of distinct-looking photos.
void paintPhoto(imaging::Bitmap& bitmap, int variant);

// Paints a picture of width × height and encodes it as a JPEG of camera quality; empty on
// failure.
QByteArray cameraJpeg(int width, int height, int variant);

// Writes the bytes whole or not at all; false for none.
bool writeBytes(const QString& fileName, const QByteArray& bytes);

// cameraJpeg written to the file.
bool writeCameraJpeg(const QString& fileName, int width, int height, int variant);
