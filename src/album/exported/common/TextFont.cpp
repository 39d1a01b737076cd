#include "TextFont.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>

namespace exported {

namespace {

// Latin-1 for a core font; other characters become '?'.
std::string latin1(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        if (length == 1)
            out += char(lead);
        else if (length == 2 && lead <= 0xC3)
            out += char((lead & 0x1F) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
        else
            out += '?';
        i += length;
    }
    return out;
}

} // namespace

TextFont::TextFont(Display* display, int pixelSize, bool bold) : mDisplay(display)
{
    const char* weight = bold ? "bold" : "medium";
    char pattern[256];
    std::snprintf(pattern, sizeof pattern,
                  "-*-helvetica-%s-r-normal--%d-*-*-*-p-*-*-*,"
                  "-*-*-%s-r-normal--%d-*-*-*-p-*-*-*,fixed",
                  weight, pixelSize, weight, pixelSize);
    char** missing = nullptr;
    int missingCount = 0;
    char* fallbackText = nullptr;
    mFontSet = XCreateFontSet(display, pattern, &missing, &missingCount, &fallbackText);
    if (missing)
        XFreeStringList(missing);
    if (mFontSet) {
        const XFontSetExtents* extents = XExtentsOfFontSet(mFontSet);
        mAscent = -extents->max_logical_extent.y;
        mDescent = extents->max_logical_extent.height - mAscent;
        return;
    }
    char single[128];
    std::snprintf(single, sizeof single, "-*-helvetica-%s-r-normal--%d-*-*-*-p-*-iso8859-1", weight,
                  pixelSize);
    mFont = XLoadQueryFont(display, single);
    if (!mFont)
        mFont = XLoadQueryFont(display, "fixed");
    if (mFont) {
        mAscent = mFont->ascent;
        mDescent = mFont->descent;
    }
}

TextFont::~TextFont()
{
    if (mFontSet)
        XFreeFontSet(mDisplay, mFontSet);
    if (mFont)
        XFreeFont(mDisplay, mFont);
}

int TextFont::width(std::string_view utf8) const
{
    if (mFontSet)
        return Xutf8TextEscapement(mFontSet, utf8.data(), int(utf8.size()));
    if (mFont) {
        const std::string text = latin1(utf8);
        return XTextWidth(mFont, text.data(), int(text.size()));
    }
    return 0;
}

void TextFont::draw(Drawable drawable, GC gc, int x, int y, std::string_view utf8) const
{
    if (mFontSet) {
        Xutf8DrawString(mDisplay, drawable, mFontSet, gc, x, y, utf8.data(), int(utf8.size()));
    } else if (mFont) {
        const std::string text = latin1(utf8);
        XSetFont(mDisplay, gc, mFont->fid);
        XDrawString(mDisplay, drawable, gc, x, y, text.data(), int(text.size()));
    }
}

std::string TextFont::elided(std::string_view utf8, int width) const
{
    if (this->width(utf8) <= width)
        return std::string(utf8);
    const std::string_view dots = "...";
    std::size_t length = utf8.size();
    while (length > 0) {
        --length;
        while (length > 0 && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80)
            --length;
        std::string candidate(utf8.substr(0, length));
        candidate += dots;
        if (this->width(candidate) <= width)
            return candidate;
    }
    return std::string(dots);
}

void setWindowTitle(Display* display, Window window, const std::string& utf8)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, netName, utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), int(utf8.size()));
    char* list[] = {const_cast<char*>(utf8.c_str())};
    XTextProperty property{};
    if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property) >= Success) {
        XSetWMName(display, window, &property);
        XSetWMIconName(display, window, &property);
        XFree(property.value);
    } else {
        XStoreName(display, window, utf8.c_str());
    }
}

} // namespace exported
