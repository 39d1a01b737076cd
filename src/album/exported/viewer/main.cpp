// The stand-alone photo viewer, slideshow and screensaver that the album export copies and
// fills with photos. It reads the album appended to its own file.
#include "AlbumPictures.h"
#include "AlbumWindow.h"
#include "OwnContainer.h"
#include "StartOptions.h"
#include "X11Canvas.h"
#include "X11Message.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

namespace {

constexpr const char* kMessageTitle = "Photo album";

// Xlib converts UTF-8 texts for the core fonts through the locale; a plain "C" environment
// still gets UTF-8, so that titles with accents survive.
void chooseLocale()
{
    const char* chosen = std::setlocale(LC_ALL, "");
    if (!chosen || !std::strcmp(chosen, "C") || !std::strcmp(chosen, "POSIX"))
        std::setlocale(LC_CTYPE, "C.UTF-8");
    if (!XSupportsLocale())
        std::setlocale(LC_CTYPE, "C");
}

// SIGTERM (XScreenSaver's way to end a screensaver), SIGINT and SIGHUP arrive as a readable fd,
// so the event loop ends cleanly.
int stopSignalFd()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return -1;
    return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

int firstPictureFd()
{
    const char* text = std::getenv("VELKO_FIRST_PICTURE_FD");
    if (!text || !*text)
        return -1;
    char* end = nullptr;
    const long fd = std::strtol(text, &end, 10);
    return *end == '\0' && fd >= 0 && fd < 65536 ? int(fd) : -1;
}

bool gScreensaver = false;

int onConnectionLost(Display*)
{
    // XScreenSaver going away ends its screensavers this way too: no complaint then.
    if (!gScreensaver)
        std::fputs("The connection to the display was lost.\n", stderr);
    std::_Exit(gScreensaver ? 0 : 1);
}

// The message on stderr, and in a small window when there is a display; a screensaver never
// pops one up over the locked screen.
int fail(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    if (!gScreensaver)
        album::showX11Message(kMessageTitle, message, album::MessageKind::Error);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const exported::StartOptions options =
        exported::parseStartOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\n", options.error.c_str());
        return 2;
    }
    gScreensaver = options.screensaver;
    chooseLocale();
    const int stopFd = stopSignalFd();

    std::optional<exported::AlbumPictures> pictures;
    try {
        pictures.emplace(exported::openOwnContainer());
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    exported::DisplayHandle display(XOpenDisplay(nullptr));
    if (!display)
        return fail("Cannot open the display " + std::string(XDisplayName(nullptr)) + ".");
    XSetIOErrorHandler(onConnectionLost);
    try {
        const exported::ShowMode mode = options.screensaver     ? exported::ShowMode::Screensaver
                                        : pictures->slideshow() ? exported::ShowMode::Slideshow
                                                                : exported::ShowMode::Viewer;
        exported::AlbumWindow window(display.get(), *pictures, mode, options.window);
        window.run(stopFd, firstPictureFd());
    } catch (const std::exception& error) {
        display.reset();
        return fail(error.what());
    }
    return 0;
}
