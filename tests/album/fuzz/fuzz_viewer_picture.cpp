// libFuzzer entry for the stand-alone viewer's picture decoding: an album's photo block is
// whatever the file holds, decoded with DCT scaling and fitted into a box the last byte picks.
#include "JpegPicture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int box = 1 + data[size - 1] % 160;
    try {
        const exported::RgbImage image =
            exported::decodeJpeg({data, size - 1}, box, box * 3 / 4 + 1);
        if (image.width > box || image.pixels.size() != std::size_t(image.width) * image.height)
            __builtin_trap();
    } catch (const exported::PictureError&) {
    }
    return 0;
}
