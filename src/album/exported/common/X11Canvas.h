// Drawing for the stand-alone programs with Xlib alone: colours and pictures in the target
// window's own visual, a back buffer against flicker, and UTF-8 text in core fonts.
#pragma once

#include "JpegPicture.h"
#include "TextFont.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace exported {

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// A window (ours or one handed to us) with a back buffer of its size in its own visual.
class Canvas
{
public:
    Canvas(Display* display, Window window);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    Display* display() const { return mDisplay; }
    Window window() const { return mWindow; }
    int width() const { return mWidth; }
    int height() const { return mHeight; }
    GC gc() const { return mGc; }
    Drawable buffer() const { return mBuffer; }

    // A new size from ConfigureNotify; the buffer follows at the next beginFrame.
    void resize(int width, int height);
    // The pixel value of a colour 0xRRGGBB in the window's visual.
    unsigned long pixel(std::uint32_t rgb) const;

    void beginFrame(std::uint32_t background);
    void fill(int x, int y, int width, int height, std::uint32_t rgb);
    void frame(int x, int y, int width, int height, int lineWidth, std::uint32_t rgb);
    void picture(const RgbImage& image, int x, int y);
    void text(const TextFont& font, int x, int baseline, std::string_view utf8, std::uint32_t rgb);
    // Copies the buffer to the window; also the answer to Expose.
    void present();

private:
    void ensureBuffer();

    Display* mDisplay;
    Window mWindow;
    Visual* mVisual = nullptr;
    int mDepth = 0;
    Colormap mColormap = 0;
    int mWidth = 1;
    int mHeight = 1;
    GC mGc = nullptr;
    Pixmap mBuffer = 0;
    int mBufferWidth = 0;
    int mBufferHeight = 0;
    // Channel positions and widths of a TrueColor or DirectColor visual.
    int mShift[3] = {};
    int mBits[3] = {};
    bool mDirect = false;
};

} // namespace exported
