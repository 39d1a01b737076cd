// The program's own loaders on top of the imaging library: a picture file fitted into a
// box (or scaled by an area factor) and handed back as JPEG bytes. Safe on several worker
// threads at once; each caller passes its own cancel flag.
#pragma once

#include "Bitmap.h"
#include "Cancel.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct FittedJpegDetails
{
    bool unchanged = false; // nothing was resampled
    int storedWidth = 0;    // the picture's upright size in the file
    int storedHeight = 0;
    int resultWidth = 0;
    int resultHeight = 0;
};

// The size a picture of storedWidth × storedHeight gets. Area factor f > 0: √f times each
// side (f = 1 keeps it); otherwise the largest size of the same shape inside the box, and the
// picture's own size when it already fits. Rounded to nearest with halves to even, never
// below 1. Sets unchanged when no resampling is needed.
struct FittedSize
{
    int width = 0;
    int height = 0;
    bool unchanged = false;
};
FittedSize fittedSize(int storedWidth, int storedHeight, int maximumWidth, int maximumHeight,
                      double areaFactor = 0);

// Loads the file, fits it and encodes it as JPEG (quality factor 2). A large JPEG is decoded
// at the smallest DCT scale that still covers the result, so the full-size picture is never
// held. None when the file cannot be loaded, resampling fails, or the cancel flag is set by
// the end. High quality resamples bicubically, else with the faster filter.
std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor,
                                         bool highQuality, const imaging::CancelFlag* cancel,
                                         FittedJpegDetails& details);
std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor,
                                         bool highQuality, const imaging::CancelFlag* cancel);

// The same for a file's bytes already in memory.
std::optional<QByteArray> fitPictureBytes(const QByteArray& bytes, int maximumWidth,
                                          int maximumHeight, double areaFactor,
                                          bool highQuality, const imaging::CancelFlag* cancel,
                                          FittedJpegDetails& details);

// The thumbnail grids' loader: the picture fitted into size × size, fast. The background
// colour is accepted for the grids' sake and not used.
std::optional<QByteArray> LoadThumbnailStream(const QString& fileName, int size,
                                              imaging::ColorRef background);
