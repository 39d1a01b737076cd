// JPEG files through libjpeg-turbo: header information, decoding (optionally at a reduced
// DCT scale) and encoding into memory.
#pragma once

#include "Bitmap.h"
#include "PictureInfo.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace imaging {

struct JpegDecodeOptions
{
    // When positive, decode at the smallest DCT scale (n/8) whose upright result is still
    // at least this large, so a picture meant for a small box never exists at full size.
    int minimumWidth = 0;
    int minimumHeight = 0;
    // Faster inverse DCT and plain chroma upsampling, for thumbnails.
    bool fast = false;
};

// Reads the markers up to the first frame header. FileReadFailed when the data ends before
// it (the caller may retry with more of the file), FileFormatUnknown for no JPEG.
int readJpegInfo(const std::uint8_t* data, std::size_t size, PictureInfo& info);

// Decodes grey, YCbCr, CMYK and YCCK pictures, baseline and progressive, into RGB, turned
// upright by the EXIF orientation. Truncated data fails with FileReadFailed and damaged
// data with CorruptFile instead of showing grey rows; more than 1000 scans (a progressive
// file built to burn time) is CorruptFile. Polls the thread's cancel flag.
int loadJpeg(const std::uint8_t* data, std::size_t size, Bitmap& out,
             const JpegDecodeOptions& options = {});

// The libjpeg quality for the imaging library's quality factor (2 is its best). Factor 2
// gives 95, visually lossless for photos while keeping files near a camera's own size;
// higher factors compress more: 97 − factor, at least 5.
int jpegQualityForFactor(int qualityFactor);

// Encodes with 4:2:0 chroma and the bitmap's resolution in the JFIF header; the buffer
// grows as needed. NoBitmap for an empty bitmap.
int saveJpeg(const Bitmap& bitmap, int quality, QByteArray& out);

} // namespace imaging
