// Picture files as the rest of the program sees them (the imaging library's load, file
// information and save-to-memory calls). The format is told by the file's first bytes,
// not its name.
#pragma once

#include "Bitmap.h"
#include "PictureInfo.h"

#include <QByteArray>
#include <QString>

namespace imaging {

// The design's format numbers.
enum class FileFormat { Bmp = 6, Jpeg = 10 };

struct LoadOptions
{
    // See JpegDecodeOptions; BMP files always load whole.
    int minimumWidth = 0;
    int minimumHeight = 0;
    bool fast = false;
};

// Loads a JPEG or BMP file upright at its own depth's colours. FileNotFound, FileOpenFailed
// (a folder, no permission), FileReadFailed (empty, truncated, vanished while read),
// FileFormatUnknown, CorruptFile, PictureTooLarge, NoMemory, Cancelled. Polls the thread's
// cancel flag.
int loadBitmap(const QString& fileName, Bitmap& bitmap, const LoadOptions& options = {});
// The same for bytes already in memory.
int loadBitmapFromMemory(const QByteArray& bytes, Bitmap& bitmap,
                         const LoadOptions& options = {});

// Size, depth and resolution without decoding the pixels; reads only the start of a JPEG
// unless its markers run on.
int fileInfo(const QString& fileName, PictureInfo& info);

// Encodes into a buffer that grows as needed. The quality factor is the design's (2 best,
// see jpegQualityForFactor); BMP ignores it.
int saveBitmapToBuffer(const Bitmap& bitmap, FileFormat format, int qualityFactor,
                       QByteArray& out);

} // namespace imaging
