// libFuzzer entry for the fitted loader: any bytes, through format detection, decoding,
// orientation, resampling and encoding. The first byte picks the box and the mode.
#include "FittedJpeg.h"
#include "FuzzSetup.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    limitPixelsForFuzzing();
    if (size < 1)
        return 0;
    const int box = 8 + (data[0] & 0x3F) * 4;
    const bool highQuality = data[0] & 0x40;
    const double areaFactor = (data[0] & 0x80) ? 0.3 : 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    FittedJpegDetails details;
    fitPictureBytes(bytes, box, box, areaFactor, highQuality, nullptr, details);
    return 0;
}
