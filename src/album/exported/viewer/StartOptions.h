// How the viewer program was started: on its own, or by XScreenSaver with a window to draw in.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace exported {

struct StartOptions
{
    bool screensaver = false;
    // The window handed over; none with -root alone, which means the root window.
    std::optional<Window> window;
    // Set when the command line or the environment could not be understood.
    std::string error;
};

// -window-id N (or --window-id, -window-id=N), -root, and XSCREENSAVER_WINDOW (environment
// value, may be null), which wins with -root. Numbers are decimal or 0x hex.
StartOptions parseStartOptions(int argc, const char* const* argv, const char* screensaverWindow);

} // namespace exported
