#include "OwnContainer.h"

#include <string>
#include <string_view>

namespace exported {

album::ViewerFileReader openOwnContainer()
{
    try {
        return album::ViewerFileReader::openFile("/proc/self/exe");
    } catch (const album::ContainerError& error) {
        // A bare ready-made program has no container at all, which reads as a damaged one.
        std::string reason = error.what();
        const std::string_view damaged = "The album data is damaged: ";
        if (reason.starts_with(damaged))
            reason.erase(0, damaged.size());
        throw album::ContainerError("This program holds no photo album, or its album is damaged (" +
                                        reason + ").",
                                    error.errorNumber());
    }
}

} // namespace exported
