// The screensaver installer that the album export writes: it carries an exported screensaver
// in the blocks behind its own program file, installs it for the user and says what it did,
// in a small window or, without a display, on the terminal.
#include "ScreensaverInstaller.h"
#include "X11Message.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* kWindowTitle = "Screensaver installer";

int tell(const std::string& text, album::MessageKind kind)
{
    std::FILE* stream = kind == album::MessageKind::Error ? stderr : stdout;
    std::fprintf(stream, "%s\n", text.c_str());
    std::fflush(stream);
    album::showX11Message(kWindowTitle, text, kind);
    return kind == album::MessageKind::Error ? 1 : 0;
}

std::string doneText(const album::InstallerContents& contents, const album::InstallResult& result)
{
    std::string text = "The screensaver \"" + contents.title + "\"";
    if (!contents.creator.empty())
        text += " by " + contents.creator;
    text += " has been installed as\n" + result.program.string() + "\n\n";
    if (!result.registration.settingsFound)
        return text + "XScreenSaver is not set up for you yet (there is no ~/.xscreensaver). "
                      "Open XScreenSaver's settings (xscreensaver-settings) once, then run this "
                      "installer again to add the screensaver to its list.";
    if (result.registration.added)
        return text + "It has been added to XScreenSaver's list of screensavers. Choose it in "
                      "XScreenSaver's settings (xscreensaver-settings).";
    return text + "It was already in XScreenSaver's list of screensavers.";
}

} // namespace

int main()
{
    try {
        const album::ViewerFileReader reader = album::ViewerFileReader::openFile("/proc/self/exe");
        const album::InstallerContents contents = album::checkInstaller(reader);
        const album::InstallResult result = album::installScreensaver(reader, contents);
        return tell(doneText(contents, result), album::MessageKind::Information);
    } catch (const album::InstallError& failure) {
        return tell(std::string("The screensaver could not be installed.\n\n") + failure.what(),
                    album::MessageKind::Error);
    } catch (const std::exception& failure) {
        return tell(std::string("This installer is damaged and cannot install its "
                                "screensaver.\n\n") +
                        failure.what(),
                    album::MessageKind::Error);
    }
}
