#include "X11Canvas.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace exported {

namespace {

int lowestBit(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int bitCount(unsigned long mask)
{
    int count = 0;
    for (; mask != 0; mask >>= 1)
        count += int(mask & 1);
    return count;
}

} // namespace

Canvas::Canvas(Display* display, Window window) : mDisplay(display), mWindow(window)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes)) {
        mVisual = attributes.visual;
        mDepth = attributes.depth;
        mColormap = attributes.colormap;
        mWidth = std::max(1, attributes.width);
        mHeight = std::max(1, attributes.height);
    } else {
        const int screen = DefaultScreen(display);
        mVisual = DefaultVisual(display, screen);
        mDepth = DefaultDepth(display, screen);
        mColormap = DefaultColormap(display, screen);
    }
    if (mVisual->c_class == TrueColor || mVisual->c_class == DirectColor) {
        mDirect = true;
        const unsigned long masks[3] = {mVisual->red_mask, mVisual->green_mask, mVisual->blue_mask};
        for (int c = 0; c < 3; ++c) {
            mShift[c] = lowestBit(masks[c]);
            mBits[c] = std::min(8, bitCount(masks[c]));
        }
    }
    mGc = XCreateGC(display, window, 0, nullptr);
}

Canvas::~Canvas()
{
    if (mBuffer)
        XFreePixmap(mDisplay, mBuffer);
    if (mGc)
        XFreeGC(mDisplay, mGc);
}

void Canvas::resize(int width, int height)
{
    mWidth = std::max(1, width);
    mHeight = std::max(1, height);
}

unsigned long Canvas::pixel(std::uint32_t rgb) const
{
    const unsigned channel[3] = {rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff};
    if (mDirect) {
        unsigned long value = 0;
        for (int c = 0; c < 3; ++c)
            value |= (unsigned long)(channel[c] >> (8 - mBits[c])) << mShift[c];
        return value;
    }
    XColor colour{};
    colour.red = std::uint16_t(channel[0] * 257);
    colour.green = std::uint16_t(channel[1] * 257);
    colour.blue = std::uint16_t(channel[2] * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(mDisplay, mColormap, &colour))
        return colour.pixel;
    return (channel[0] + channel[1] + channel[2]) / 3 > 127
               ? WhitePixel(mDisplay, DefaultScreen(mDisplay))
               : BlackPixel(mDisplay, DefaultScreen(mDisplay));
}

void Canvas::ensureBuffer()
{
    if (mBuffer && mBufferWidth == mWidth && mBufferHeight == mHeight)
        return;
    if (mBuffer)
        XFreePixmap(mDisplay, mBuffer);
    mBuffer =
        XCreatePixmap(mDisplay, mWindow, unsigned(mWidth), unsigned(mHeight), unsigned(mDepth));
    mBufferWidth = mWidth;
    mBufferHeight = mHeight;
}

void Canvas::beginFrame(std::uint32_t background)
{
    ensureBuffer();
    fill(0, 0, mWidth, mHeight, background);
}

void Canvas::fill(int x, int y, int width, int height, std::uint32_t rgb)
{
    if (width <= 0 || height <= 0)
        return;
    XSetForeground(mDisplay, mGc, pixel(rgb));
    XFillRectangle(mDisplay, mBuffer, mGc, x, y, unsigned(width), unsigned(height));
}

void Canvas::frame(int x, int y, int width, int height, int lineWidth, std::uint32_t rgb)
{
    fill(x, y, width, lineWidth, rgb);
    fill(x, y + height - lineWidth, width, lineWidth, rgb);
    fill(x, y + lineWidth, lineWidth, height - 2 * lineWidth, rgb);
    fill(x + width - lineWidth, y + lineWidth, lineWidth, height - 2 * lineWidth, rgb);
}

void Canvas::picture(const RgbImage& image, int x, int y)
{
    if (image.empty())
        return;
    XImage* ximage = XCreateImage(mDisplay, mVisual, unsigned(mDepth), ZPixmap, 0, nullptr,
                                  unsigned(image.width), unsigned(image.height), 32, 0);
    if (!ximage)
        return;
    const bool sameLayout = mDirect && ximage->bits_per_pixel == 32 &&
                            ximage->byte_order == LSBFirst && mVisual->red_mask == 0xff0000 &&
                            mVisual->green_mask == 0xff00 && mVisual->blue_mask == 0xff &&
                            ximage->bytes_per_line == image.width * 4;
    if (sameLayout) {
        // The server takes our words as they are; Xlib only reads them.
        ximage->data = reinterpret_cast<char*>(const_cast<std::uint32_t*>(image.pixels.data()));
    } else {
        ximage->data = static_cast<char*>(
            std::malloc(std::size_t(ximage->bytes_per_line) * std::size_t(image.height)));
        if (!ximage->data) {
            XDestroyImage(ximage);
            return;
        }
        // Other visuals are rare; a small cache keeps XAllocColor calls few there.
        unsigned long cache[512];
        bool cached[512] = {};
        for (int row = 0; row < image.height; ++row)
            for (int column = 0; column < image.width; ++column) {
                const std::uint32_t rgb =
                    image.pixels[std::size_t(row) * std::size_t(image.width) + std::size_t(column)];
                unsigned long value;
                if (mDirect) {
                    value = pixel(rgb);
                } else {
                    const unsigned key =
                        (rgb >> 21 & 7) << 6 | (rgb >> 13 & 7) << 3 | (rgb >> 5 & 7);
                    if (!cached[key]) {
                        cache[key] = pixel(rgb & 0xE0E0E0);
                        cached[key] = true;
                    }
                    value = cache[key];
                }
                XPutPixel(ximage, column, row, value);
            }
    }
    XPutImage(mDisplay, mBuffer, mGc, ximage, 0, 0, x, y, unsigned(image.width),
              unsigned(image.height));
    if (sameLayout)
        ximage->data = nullptr;
    XDestroyImage(ximage);
}

void Canvas::text(const TextFont& font, int x, int baseline, std::string_view utf8,
                  std::uint32_t rgb)
{
    XSetForeground(mDisplay, mGc, pixel(rgb));
    font.draw(mBuffer, mGc, x, baseline, utf8);
}

void Canvas::present()
{
    if (!mBuffer)
        return;
    XCopyArea(mDisplay, mBuffer, mWindow, mGc, 0, 0, unsigned(mBufferWidth),
              unsigned(mBufferHeight), 0, 0);
}

} // namespace exported
