// UTF-8 text in core X fonts for the stand-alone programs, which cannot count on any font
// library being installed.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <string_view>

namespace exported {

// UTF-8 text: a font set when the locale allows one, else a Latin-1 core font.
class TextFont
{
public:
    // pixelSize chooses among the scalable core fonts; "fixed" when none of them exists.
    TextFont(Display* display, int pixelSize, bool bold);
    ~TextFont();
    TextFont(const TextFont&) = delete;
    TextFont& operator=(const TextFont&) = delete;

    int ascent() const { return mAscent; }
    int descent() const { return mDescent; }
    int height() const { return mAscent + mDescent; }
    int width(std::string_view utf8) const;
    // The text at baseline y in the GC's foreground colour.
    void draw(Drawable drawable, GC gc, int x, int y, std::string_view utf8) const;
    // The longest start of the text that fits into width, with "..." when it was cut.
    std::string elided(std::string_view utf8, int width) const;

private:
    Display* mDisplay;
    XFontSet mFontSet = nullptr;
    XFontStruct* mFont = nullptr;
    int mAscent = 0;
    int mDescent = 0;
};

// Sets the window title as _NET_WM_NAME (UTF-8) and WM_NAME.
void setWindowTitle(Display* display, Window window, const std::string& utf8);

} // namespace exported
