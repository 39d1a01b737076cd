#include "ProgramVersionArea.h"

#include <array>
#include <cstdint>
#include <span>

// Writable, with external linkage and kept by the linker, so the one marked area stays in the
// file (stripped or not) and is read from memory as the file holds it, never folded into code.
[[gnu::used]] constinit std::array<std::uint8_t, album::kVersionAreaSize> velkoVersionArea =
    album::emptyVersionArea();

namespace exported {

album::VersionFields programVersionFields()
{
    const std::uint8_t* area = velkoVersionArea.data();
    asm volatile("" : "+r"(area) : : "memory");
    return album::decodeVersionArea(std::span(area, album::kVersionAreaSize));
}

} // namespace exported
