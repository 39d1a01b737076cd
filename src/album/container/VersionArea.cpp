#include "VersionArea.h"

#include "ContainerFormat.h"

#include <string_view>

namespace album {

VersionFields decodeVersionArea(std::span<const std::uint8_t> area)
{
    VersionFields fields;
    if (area.size() < kVersionAreaHeaderSize)
        return fields;
    const std::uint32_t length = getLittleEndian32(area.data() + 20);
    if (length > area.size() - kVersionAreaHeaderSize)
        return fields;
    const std::string_view text(reinterpret_cast<const char*>(area.data()) + kVersionAreaHeaderSize,
                                length);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t keyEnd = text.find('\0', at);
        if (keyEnd == std::string_view::npos)
            break;
        const std::size_t valueEnd = text.find('\0', keyEnd + 1);
        if (valueEnd == std::string_view::npos)
            break;
        fields.emplace_back(std::string(text.substr(at, keyEnd - at)),
                            std::string(text.substr(keyEnd + 1, valueEnd - keyEnd - 1)));
        at = valueEnd + 1;
    }
    return fields;
}

} // namespace album
