#include "ScreenProbe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <thread>

ScreenProbe::ScreenProbe(const std::string& display) : mDisplay(XOpenDisplay(display.c_str())) {}

ScreenProbe::~ScreenProbe()
{
    if (mDisplay)
        XCloseDisplay(mDisplay);
}

int ScreenProbe::screenWidth() const
{
    return DisplayWidth(mDisplay, DefaultScreen(mDisplay));
}

int ScreenProbe::screenHeight() const
{
    return DisplayHeight(mDisplay, DefaultScreen(mDisplay));
}

ScreenProbe::WindowId ScreenProbe::windowOfClass(const std::string& resourceName) const
{
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(mDisplay, DefaultRootWindow(mDisplay), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            XClassHint hint{};
            if (XGetClassHint(mDisplay, children[i], &hint)) {
                if (resourceName == hint.res_name)
                    found = children[i];
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
        }
        XFree(children);
    }
    return found;
}

ScreenProbe::WindowId ScreenProbe::createWindow(int x, int y, int width, int height)
{
    const Window window = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), x, y,
                                              unsigned(width), unsigned(height), 0, 0, 0);
    XMapWindow(mDisplay, window);
    XSync(mDisplay, False);
    return window;
}

void ScreenProbe::destroyWindow(WindowId window)
{
    XDestroyWindow(mDisplay, window);
    XSync(mDisplay, False);
}

std::pair<int, int> ScreenProbe::size(WindowId window) const
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(mDisplay, window, &attributes);
    return {attributes.width, attributes.height};
}

std::uint32_t ScreenProbe::pixel(WindowId window, int x, int y) const
{
    XImage* image = XGetImage(mDisplay, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xdeadbeef;
    const auto value = std::uint32_t(XGetPixel(image, 0, 0) & 0xffffff);
    XDestroyImage(image);
    return value;
}

bool ScreenProbe::near(std::uint32_t a, std::uint32_t b)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)) > 40)
            return false;
    return true;
}

bool ScreenProbe::waitForColour(WindowId window, int x, int y, std::uint32_t rgb,
                                std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!near(pixel(window, x, y), rgb)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<int> ScreenProbe::firstRowWithColour(WindowId window, int x, std::uint32_t rgb) const
{
    const int height = size(window).second;
    for (int y = 0; y < height; y += 4)
        if (near(pixel(window, x, y), rgb))
            return y;
    return std::nullopt;
}

void ScreenProbe::key(WindowId window, const std::string& key) const
{
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.display = mDisplay;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(mDisplay);
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode(mDisplay, XStringToKeysym(key.c_str()));
    XSendEvent(mDisplay, window, True, KeyPressMask, &event);
    XFlush(mDisplay);
}

void ScreenProbe::click(WindowId window, int x, int y) const
{
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.display = mDisplay;
    event.xbutton.window = window;
    event.xbutton.root = DefaultRootWindow(mDisplay);
    event.xbutton.same_screen = True;
    event.xbutton.button = Button1;
    event.xbutton.x = x;
    event.xbutton.y = y;
    XSendEvent(mDisplay, window, True, ButtonPressMask, &event);
    XFlush(mDisplay);
}

std::string ScreenProbe::textProperty(WindowId window, const std::string& name) const
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(mDisplay, window, XInternAtom(mDisplay, name.c_str(), False), 0, 1024,
                           False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 8)
            value.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return value;
}

bool ScreenProbe::hasAtom(WindowId window, const std::string& property,
                          const std::string& atom) const
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(mDisplay, window, XInternAtom(mDisplay, property.c_str(), False), 0, 64,
                           False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data) {
        const Atom wanted = XInternAtom(mDisplay, atom.c_str(), False);
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            found = found || atoms[i] == wanted;
        XFree(data);
    }
    return found;
}
