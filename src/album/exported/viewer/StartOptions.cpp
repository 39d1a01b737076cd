#include "StartOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace exported {

namespace {

std::optional<Window> windowNumber(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    const std::string digits(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(digits.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || value == 0 || digits[0] == '-' || digits[0] == '+')
        return std::nullopt;
    return Window(value);
}

} // namespace

StartOptions parseStartOptions(int argc, const char* const* argv, const char* screensaverWindow)
{
    StartOptions options;
    bool root = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.starts_with("--"))
            argument.remove_prefix(1);
        if (argument == "-root") {
            root = true;
            continue;
        }
        std::optional<std::string_view> value;
        if (argument == "-window-id") {
            if (i + 1 >= argc) {
                options.error = "-window-id needs a window number";
                return options;
            }
            value = argv[++i];
        } else if (argument.starts_with("-window-id=")) {
            value = argument.substr(std::strlen("-window-id="));
        }
        if (value) {
            options.window = windowNumber(*value);
            if (!options.window) {
                options.error = "not a window number: " + std::string(*value);
                return options;
            }
            options.screensaver = true;
        }
        // Anything else XScreenSaver or a desktop adds is no concern of ours.
    }
    if (screensaverWindow && *screensaverWindow) {
        const std::optional<Window> window = windowNumber(screensaverWindow);
        if (!window) {
            options.error =
                "XSCREENSAVER_WINDOW is not a window number: " + std::string(screensaverWindow);
            return options;
        }
        if (root || !options.window)
            options.window = window;
        options.screensaver = true;
    }
    if (root)
        options.screensaver = true;
    return options;
}

} // namespace exported
