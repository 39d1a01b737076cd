// The version fields of this program, which the export writes into the copied file in place.
#pragma once

#include "VersionArea.h"

namespace exported {

// Empty while the program is the bare ready-made file.
album::VersionFields programVersionFields();

} // namespace exported
