// The version fields of an exported program (company, title, comments, version). The viewer
// program carries a marked area of fixed size for them; the export fills that area in the copy
// in place, so the program's length, and the container that follows it, stay as they are.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
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

// The ten fields in the order the program lists them, version "1.0.0.0".
VersionFields versionFields(std::string_view title, std::string_view comments,
                            std::string_view company);

// A filled area; values that would overflow it are cut at a character boundary.
std::array<std::uint8_t, kVersionAreaSize> encodeVersionArea(const VersionFields& fields);

// The fields of an area (the viewer reads its own); an unfilled or damaged area gives none.
VersionFields decodeVersionArea(std::span<const std::uint8_t> area);

// Fills the area of the program fileName. Returns false and writes nothing when the file has
// no area, or more than one; throws ContainerError when the file cannot be read or written.
bool WriteVersionInfo(const std::string& fileName, std::string_view title,
                      std::string_view comments, std::string_view company);

} // namespace album
