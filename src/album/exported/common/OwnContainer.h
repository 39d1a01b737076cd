// The album that the export appended to this program's own file.
#pragma once

#include "ViewerFileReader.h"

namespace exported {

// Reads the directory of the container at the end of /proc/self/exe (blocks are read when
// asked for). Throws album::ContainerError with a sentence for the user when the file carries
// no album or a damaged one.
album::ViewerFileReader openOwnContainer();

} // namespace exported
