// Puts the screensaver that an installer program carries in its blocks into the user's
// screensaver folder and XScreenSaver's list. Every block is checked before anything is written.
#pragma once

#include "ViewerFileReader.h"
#include "XScreenSaverSettings.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace album {

// A damaged installer or a failed write; what() is shown to the user.
class InstallError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct InstallerContents
{
    std::string title;               // safe to show: valid UTF-8 without control characters
    std::string creator;             // empty when the export left it as "-"
    std::string fileName;            // made from the GUID, never from the title
    std::vector<std::string> pieces; // block names in order
    std::uint64_t size = 0;
};

// Throws InstallError when a block is missing, has the wrong size or the GUID is malformed.
InstallerContents checkInstaller(const ViewerFileReader& reader);

struct InstallResult
{
    std::filesystem::path program;
    ScreensaverRegistration registration;
};

// Writes the screensaver through a temporary file and a rename (mode 0755), then adds it to
// ~/.xscreensaver when that exists. A failure of the second step throws InstallError after
// the program is in place, with the path in the text.
InstallResult installScreensaver(const ViewerFileReader& reader, const InstallerContents& contents);

} // namespace album
