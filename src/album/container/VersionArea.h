// The marked area of fixed size that keeps an exported program's version fields, and reading
// it. The programs link this alone; the writer, which carries a copy of the marker, stays out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace album {

// Layout of the area: the marker (16 bytes), the area's size (4, little-endian), the length of
// the fields that follow (4; 0 while unfilled), then the fields as "key\0value\0" pairs, UTF-8.
inline constexpr std::size_t kVersionAreaSize = 2048;
inline constexpr std::size_t kVersionAreaHeaderSize = 24;

// The unfilled area, as the viewer program defines it.
constexpr std::array<std::uint8_t, kVersionAreaSize> emptyVersionArea()
{
    std::array<std::uint8_t, kVersionAreaSize> area{};
    constexpr char marker[] = "VELKO:VERSIONBLK"; // 16 characters without the terminator
    for (std::size_t i = 0; i < 16; ++i)
        area[i] = static_cast<std::uint8_t>(marker[i]);
    area[16] = kVersionAreaSize & 0xff;
    area[17] = kVersionAreaSize >> 8 & 0xff;
    return area;
}

using VersionFields = std::vector<std::pair<std::string, std::string>>;

// The fields of an area (the viewer reads its own); an unfilled or damaged area gives none.
VersionFields decodeVersionArea(std::span<const std::uint8_t> area);

} // namespace album
