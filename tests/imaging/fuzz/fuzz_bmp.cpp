// libFuzzer entry for the BMP decoder: headers and pixels of arbitrary bytes.
#include "BmpCodec.h"
#include "FuzzSetup.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    limitPixelsForFuzzing();
    imaging::PictureInfo info;
    imaging::readBmpInfo(data, size, info);
    imaging::Bitmap bitmap;
    imaging::loadBmp(data, size, bitmap);
    return 0;
}
