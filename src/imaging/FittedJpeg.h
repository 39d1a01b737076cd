// The program's own loaders on top of the imaging library: a picture file fitted into a
// box (or scaled by an area factor) and handed back as JPEG bytes, and the camera's embedded
// preview standing in for a thumbnail. Safe on several worker threads at once; each caller
// passes its own cancel flag or registers one with CancelScope.
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
// the end. High quality resamples bicubically, else with the faster filter. A null cancel
// flag leaves the one the calling thread registered in force.
std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor, bool highQuality,
                                         const imaging::CancelFlag* cancel,
                                         FittedJpegDetails& details);
std::optional<QByteArray> LoadFittedJpeg(const QString& fileName, int maximumWidth,
                                         int maximumHeight, double areaFactor, bool highQuality,
                                         const imaging::CancelFlag* cancel);

// The same for a file's bytes already in memory.
std::optional<QByteArray> fitPictureBytes(const QByteArray& bytes, int maximumWidth,
                                          int maximumHeight, double areaFactor, bool highQuality,
                                          const imaging::CancelFlag* cancel,
                                          FittedJpegDetails& details);

// The whole file for the loaders; PictureTooLarge when it is larger than any picture within
// the pixel limit could be, FileNotFound or FileOpenFailed when it cannot be opened.
int readPictureFile(const QString& fileName, QByteArray& bytes);

// Decodes the bytes and fits the picture as above, without encoding it. Returns an imaging
// result code; Cancelled when the calling thread's registered flag stopped it.
int fitPicture(const QByteArray& bytes, int maximumWidth, int maximumHeight, double areaFactor,
               bool highQuality, imaging::Bitmap& out, FittedJpegDetails& details);

// Shrinks the bitmap into the box (never enlarges it) and encodes it as the loaders do.
std::optional<QByteArray> fitBitmapToJpeg(imaging::Bitmap& bitmap, int maximumWidth,
                                          int maximumHeight, bool highQuality);

// Whether a preview of previewWidth × previewHeight (already turned upright) can stand for a
// picture of pictureWidth × pictureHeight in a size × size box: its longer side covers the
// box, and its shape is within 1 % of the picture's, which rejects letterboxed previews and
// stale ones left behind when another program cropped the photo.
bool previewFits(int previewWidth, int previewHeight, int pictureWidth, int pictureHeight,
                 int size);

// How much of a file is read to find its embedded preview; cameras keep the EXIF block,
// preview included, within one 64 KB segment at the start.
constexpr qint64 kEmbeddedPreviewRead = 64 * 1024;

// The camera's JPEG preview from the EXIF block, turned by the photo's orientation and fitted
// into size × size (never enlarged), as JPEG bytes; only the first kEmbeddedPreviewRead bytes
// are read. None when there is no preview, it does not decode or previewFits rejects it, or
// the calling thread's registered flag is set.
std::optional<QByteArray> LoadEmbeddedPreview(const QString& fileName, int size);

// The thumbnail grids' loader: the embedded preview when it fits, else the picture fitted
// into size × size, fast. Honours the calling thread's registered cancel flag. The background
// colour is accepted for the grids' sake and not used.
std::optional<QByteArray> LoadThumbnailStream(const QString& fileName, int size,
                                              imaging::ColorRef background);
