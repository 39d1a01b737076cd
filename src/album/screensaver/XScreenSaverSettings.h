// Installing an exported screensaver for XScreenSaver: the folder the screensavers live in and
// the programs list of ~/.xscreensaver. Used by the export wizard and by the stand-alone
// installer program, so no Qt.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace album {

// $XDG_DATA_HOME/velko-screensavers, else $HOME/.local/share/velko-screensavers.
std::filesystem::path screensaverFolder();
// $HOME/.xscreensaver
std::filesystem::path xscreensaverSettingsPath();

// The installed file's name for a GUID in its 38-character form with braces; none for any
// other text, so a hostile container cannot choose where the file goes.
std::optional<std::string> screensaverFileName(std::string_view guid);

// The text of a settings file with the program in its "programs:" list (title shown by
// XScreenSaver's settings, command run with -root), unless an entry already runs that program
// file; index receives the entry's position among the programs, counted from 0.
std::string withScreensaverProgram(std::string_view settings, std::string_view title,
                                   const std::filesystem::path& program, int& index);
// The text with "mode: one" and "selected: index".
std::string withSelectedScreensaver(std::string_view settings, int index);

struct ScreensaverRegistration
{
    bool settingsFound = false; // ~/.xscreensaver exists; nothing is changed without it
    bool added = false;         // a new entry; false when one ran the program already
    bool selected = false;
};

// Adds program to ~/.xscreensaver (and with makeActive makes it the active screensaver),
// replacing the file atomically. Throws std::system_error when the file cannot be read or
// written; a missing file is no error (settingsFound stays false).
ScreensaverRegistration registerScreensaver(const std::filesystem::path& program,
                                            std::string_view title, bool makeActive);

} // namespace album
