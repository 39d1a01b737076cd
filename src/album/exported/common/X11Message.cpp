#include "X11Message.h"

#include "TextFont.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace album {

namespace {

using exported::TextFont;

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kTextWidth = 440;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kLineGap = 3;

// Focus can be refused by the server for a window a window manager has not placed yet; that
// must not end the program as Xlib's default handler would.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The locale decides how Xlib converts UTF-8 for the fonts; a plain "C" environment still
// gets UTF-8 so that titles with accents are not lost.
class Utf8Locale
{
public:
    Utf8Locale()
    {
        if (const char* current = std::setlocale(LC_CTYPE, nullptr))
            mPrevious = current;
        const char* chosen = std::setlocale(LC_CTYPE, "");
        if (!chosen || !std::strcmp(chosen, "C") || !std::strcmp(chosen, "POSIX"))
            std::setlocale(LC_CTYPE, "C.UTF-8");
        if (!XSupportsLocale())
            std::setlocale(LC_CTYPE, "C");
    }
    ~Utf8Locale() { std::setlocale(LC_CTYPE, mPrevious.c_str()); }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    std::string mPrevious = "C";
};

std::size_t utf8Length(const std::string& text, std::size_t at)
{
    std::size_t length = 1;
    while (at + length < text.size() &&
           (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

// The longest start of word that fits, broken after a '/' when there is one (paths are long).
std::size_t fittingPrefix(const TextFont& font, const std::string& word, int width)
{
    std::size_t fits = 0;
    std::size_t afterSlash = 0;
    for (std::size_t at = 0; at < word.size();) {
        const std::size_t next = at + utf8Length(word, at);
        if (font.width(word.substr(0, next)) > width)
            break;
        if (word[at] == '/')
            afterSlash = next;
        fits = next;
        at = next;
    }
    if (fits == 0)
        return utf8Length(word, 0);
    return afterSlash > 0 && afterSlash < word.size() && fits < word.size() ? afterSlash : fits;
}

std::vector<std::string> wrappedLines(const TextFont& font, const std::string& text, int width)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line;
        std::size_t at = start;
        while (at < end) {
            std::size_t wordEnd = text.find(' ', at);
            if (wordEnd == std::string::npos || wordEnd > end)
                wordEnd = end;
            std::string word = text.substr(at, wordEnd - at);
            at = wordEnd < end ? wordEnd + 1 : end;
            const std::string joined = line.empty() ? word : line + ' ' + word;
            if (font.width(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.empty())
                lines.push_back(line);
            line.clear();
            while (font.width(word) > width) {
                const std::size_t cut = fittingPrefix(font, word, width);
                lines.push_back(word.substr(0, cut));
                word.erase(0, cut);
            }
            line = word;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

unsigned long colour(Display* display, int screen, unsigned short red, unsigned short green,
                     unsigned short blue, unsigned long fallback)
{
    XColor wanted{};
    wanted.red = static_cast<unsigned short>(red * 257);
    wanted.green = static_cast<unsigned short>(green * 257);
    wanted.blue = static_cast<unsigned short>(blue * 257);
    if (XAllocColor(display, DefaultColormap(display, screen), &wanted))
        return wanted.pixel;
    return fallback;
}

void setWindowNames(Display* display, Window window, const std::string& title)
{
    exported::setWindowTitle(display, window, title);
    XClassHint classHint{};
    std::string name = "velko-message";
    std::string className = "VelkoFotodesk";
    classHint.res_name = name.data();
    classHint.res_class = className.data();
    XSetClassHint(display, window, &classHint);
    const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog), 1);
}

} // namespace

bool showX11Message(const std::string& title, const std::string& text, MessageKind kind)
{
    Utf8Locale locale;
    std::unique_ptr<Display, DisplayCloser> connection(XOpenDisplay(nullptr));
    if (!connection)
        return false;
    Display* display = connection.get();
    const auto previousHandler = XSetErrorHandler(ignoreXError);
    const int screen = DefaultScreen(display);
    const unsigned long black = BlackPixel(display, screen);
    const unsigned long white = WhitePixel(display, screen);
    const unsigned long face = colour(display, screen, 0xEE, 0xEE, 0xEC, white);
    const unsigned long buttonFace = colour(display, screen, 0xFA, 0xFA, 0xFA, white);
    const unsigned long buttonEdge = colour(display, screen, 0x8A, 0x8A, 0x8A, black);
    const unsigned long focusEdge = colour(display, screen, 0x35, 0x84, 0xE4, black);
    const unsigned long iconFill = kind == MessageKind::Error
                                       ? colour(display, screen, 0xC0, 0x1C, 0x28, black)
                                       : colour(display, screen, 0x35, 0x84, 0xE4, black);

    const TextFont font(display, 14, false);
    const std::vector<std::string> lines = wrappedLines(font, text, kTextWidth);
    const int lineHeight = font.height() + kLineGap;
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;
    const int width = kMargin + kIconSize + kMargin + kTextWidth + kMargin;
    const int height =
        kMargin + std::max(kIconSize, textHeight) + kMargin + kButtonHeight + kMargin;
    const int buttonX = width - kMargin - kButtonWidth;
    const int buttonY = height - kMargin - kButtonHeight;

    const int x = std::max(0, (DisplayWidth(display, screen) - width) / 2);
    const int y = std::max(0, (DisplayHeight(display, screen) - height) / 2);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y,
                                              static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, black, face);
    setWindowNames(display, window, title);
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->x = x;
        hints->y = y;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window,
                 ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                     StructureNotifyMask);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    XMapRaised(display, window);

    auto insideButton = [&](int px, int py) {
        return px >= buttonX && px < buttonX + kButtonWidth && py >= buttonY &&
               py < buttonY + kButtonHeight;
    };
    bool pressed = false;
    auto paint = [&] {
        XSetForeground(display, gc, face);
        XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height));
        XSetForeground(display, gc, iconFill);
        XFillArc(display, window, gc, kMargin, kMargin, kIconSize, kIconSize, 0, 360 * 64);
        const std::string mark = kind == MessageKind::Error ? "!" : "i";
        XSetForeground(display, gc, white);
        font.draw(window, gc, kMargin + (kIconSize - font.width(mark)) / 2,
                  kMargin + (kIconSize - font.height()) / 2 + font.ascent(), mark);
        XSetForeground(display, gc, black);
        const int textX = kMargin + kIconSize + kMargin;
        const int textTop = kMargin + std::max(0, (kIconSize - textHeight) / 2);
        for (std::size_t i = 0; i < lines.size(); ++i)
            font.draw(window, gc, textX, textTop + static_cast<int>(i) * lineHeight + font.ascent(),
                      lines[i]);
        XSetForeground(display, gc, pressed ? face : buttonFace);
        XFillRectangle(display, window, gc, buttonX, buttonY, kButtonWidth, kButtonHeight);
        XSetForeground(display, gc, focusEdge); // the default button, as Enter presses it
        XDrawRectangle(display, window, gc, buttonX, buttonY, kButtonWidth - 1, kButtonHeight - 1);
        XSetForeground(display, gc, buttonEdge);
        XDrawRectangle(display, window, gc, buttonX + 1, buttonY + 1, kButtonWidth - 3,
                       kButtonHeight - 3);
        XSetForeground(display, gc, black);
        const std::string ok = "OK";
        font.draw(window, gc, buttonX + (kButtonWidth - font.width(ok)) / 2 + (pressed ? 1 : 0),
                  buttonY + (kButtonHeight - font.height()) / 2 + font.ascent() + (pressed ? 1 : 0),
                  ok);
    };

    bool open = true;
    while (open) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case MapNotify:
            // Without a window manager nobody else gives the keyboard to the window.
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            break;
        case Expose:
            if (event.xexpose.count == 0)
                paint();
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space)
                open = false;
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1 && insideButton(event.xbutton.x, event.xbutton.y)) {
                pressed = true;
                paint();
            }
            break;
        case ButtonRelease:
            if (pressed && event.xbutton.button == Button1) {
                pressed = false;
                paint();
                if (insideButton(event.xbutton.x, event.xbutton.y))
                    open = false;
            }
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                open = false;
            break;
        case DestroyNotify:
            open = false;
            break;
        default:
            break;
        }
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XSync(display, False);
    XSetErrorHandler(previousHandler);
    return true;
}

} // namespace album
