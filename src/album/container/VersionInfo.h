// The version fields of an exported program (company, title, comments, version). The viewer
// program carries a marked area of fixed size for them; the export fills that area in the copy
// in place, so the program's length, and the container that follows it, stay as they are.
#pragma once

#include "VersionArea.h"

#include <string>
#include <string_view>

namespace album {

// The ten fields in the order the program lists them, version "1.0.0.0".
VersionFields versionFields(std::string_view title, std::string_view comments,
                            std::string_view company);

// A filled area; values that would overflow it are cut at a character boundary.
std::array<std::uint8_t, kVersionAreaSize> encodeVersionArea(const VersionFields& fields);

// Fills the area of the program fileName. Returns false and writes nothing when the file has
// no area, or more than one; throws ContainerError when the file cannot be read or written.
bool WriteVersionInfo(const std::string& fileName, std::string_view title,
                      std::string_view comments, std::string_view company);

} // namespace album
