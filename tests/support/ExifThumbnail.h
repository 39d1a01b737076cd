// Camera-style JPEG files for tests and benchmarks: a photo with its small preview stored in
// the EXIF block, as cameras write it.
#pragma once

#include <QByteArray>

// The JPEG with an APP1 "Exif" block right after SOI: little-endian TIFF, IFD0 holding the
// orientation, IFD1 pointing at thumbnailJpeg (JPEGInterchangeFormat/Length). EXIF blocks the
// JPEG already had are dropped. The thumbnail bytes are stored as given, so a test can pass
// damaged ones. Empty when the input is no JPEG or the block would exceed one APP1 segment
// (about 64 KB, as for a camera).
QByteArray addExifThumbnail(const QByteArray& jpeg, const QByteArray& thumbnailJpeg,
                            int orientation = 1);
