// libFuzzer entry for the album container reader: arbitrary bytes as an exported program's tail,
// and as the version area a program reads from itself.
#include "VersionArea.h"
#include "ViewerFileReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    album::decodeVersionArea({data, size});
    try {
        const auto reader = album::ViewerFileReader::fromBytes({data, size});
        std::size_t total = 0;
        for (const auto& entry : reader.entries())
            if (const auto block = reader.block(entry.name))
                total += block->size();
        reader.number("VELKO_NRPICS");
        reader.text("VELKO_TITLE");
        return total > size ? -1 : 0;
    } catch (const album::ContainerError&) {
        return 0;
    }
}
