// libFuzzer entry for the JPEG decoder: header information, a full decode, a scaled one and
// the camera preview inside the EXIF block.
#include "Exif.h"
#include "FuzzSetup.h"
#include "JpegCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    limitPixelsForFuzzing();
    imaging::PictureInfo info;
    imaging::readJpegInfo(data, size, info);
    imaging::Bitmap bitmap;
    imaging::loadJpeg(data, size, bitmap);
    imaging::JpegDecodeOptions scaled;
    scaled.minimumWidth = 40;
    scaled.minimumHeight = 40;
    scaled.fast = true;
    imaging::loadJpeg(data, size, bitmap, scaled);
    const QByteArray preview = imaging::exifThumbnail(data, size);
    if (!preview.isEmpty())
        imaging::loadJpeg(reinterpret_cast<const std::uint8_t*>(preview.constData()),
                          std::size_t(preview.size()), bitmap, scaled);
    return 0;
}
