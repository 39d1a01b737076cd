// Assembles the frames that a SANE scan delivers (grey, RGB or three single-colour passes;
// 1, 8 or 16 bits a sample; padded lines; unknown height) into an 8-bit RGB bitmap.
#pragma once

#include "Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct SaneFrameParameters
{
    enum class Format
    {
        Gray,
        Rgb,
        Red,
        Green,
        Blue
    };
    Format format = Format::Gray;
    bool lastFrame = true;
    int bytesPerLine = 0;
    int pixelsPerLine = 0;
    int lines = -1; // -1: unknown until the data ends
    int depth = 8;
};

class SaneFrameAssembler
{
public:
    // Starts the next frame of the page. False (and the page is spoilt) for parameters that
    // cannot be taken: no width, too few bytes a line for the width, an unknown depth, a
    // colour pass whose width differs from the earlier passes, a page above the pixel limit.
    bool beginFrame(const SaneFrameParameters& parameters);
    // The frame's data in pieces of any size.
    bool append(const std::uint8_t* data, std::size_t size);
    // The frame's data has ended; a partial last line is dropped.
    void endFrame();

    // After the last frame: true when the page has at least one line.
    bool isComplete() const;
    int linesSoFar() const { return mRows; }
    // Known height of the page, or -1.
    int expectedLines() const { return mParameters.lines; }
    // Moves the page out as a bitmap (depth 1, 8 or 24 remembered as its bitsPerPixel).
    int takeBitmap(imaging::Bitmap& out);
    void reset();

private:
    void convertLine(const std::uint8_t* line);
    bool reserveRows(int rows);

    SaneFrameParameters mParameters;
    bool mFailed = false;
    bool mEnded = false; // the last frame has ended
    bool mHadFrame = false;
    int mWidth = 0;
    int mRows = 0;     // rows of the current frame so far
    int mPageRows = 0; // rows of the page (the longest pass)
    int mBits = 24;
    std::vector<std::uint8_t> mPartial; // the start of a line split between pieces
    // The page so far; its height is the room for rows, mPageRows of them are filled. With
    // the height known up front this is the very bitmap handed out, without a copy.
    imaging::Bitmap mPage;
};
