// Stands for the imaging library's file-information record.
#pragma once

namespace imaging {

// What a picture file says about itself, read without decoding its pixels. Width and
// height are upright: a JPEG whose EXIF orientation turns it by 90° (5 to 8) reports them
// swapped, as it will load.
struct PictureInfo
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // the file's depth: 8 for grey JPEG, 24 for colour, 32 for CMYK
    int xResolution = 0;  // dots per inch, 0 when the file gives none
    int yResolution = 0;
    int orientation = 1;  // EXIF orientation 1 to 8, 1 when absent
    bool progressive = false;
};

} // namespace imaging
