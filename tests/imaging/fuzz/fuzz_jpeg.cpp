// libFuzzer entry for the JPEG decoder: header information, a full decode and a scaled one.
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
    return 0;
}
