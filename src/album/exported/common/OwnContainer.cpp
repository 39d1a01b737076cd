#include "OwnContainer.h"

#include <string>

namespace exported {

album::ViewerFileReader openOwnContainer()
{
    try {
        return album::ViewerFileReader::openFile("/proc/self/exe");
    } catch (const album::ContainerError& error) {
        // A bare ready-made program has no container at all, which reads as a damaged one.
        throw album::ContainerError("This program holds no photo album, or its album is damaged (" +
                                        error.reason() + ").",
                                    error.errorNumber());
    }
}

} // namespace exported
