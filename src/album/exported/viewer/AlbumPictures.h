// The photos of the album in this program's file: settings read at start, pictures and
// thumbnails decoded when they are first needed, the last few pictures kept.
#pragma once

#include "JpegPicture.h"
#include "ViewerFileReader.h"

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace exported {

class AlbumPictures
{
public:
    // Reads the settings blocks; throws album::ContainerError when the album holds no photo.
    explicit AlbumPictures(album::ViewerFileReader reader);

    int count() const { return mCount; }
    const std::string& title() const { return mTitle; }
    // The export's choice: true for a slideshow or screensaver, false for the photo viewer.
    bool slideshow() const { return mSlideshow; }

    // Photo index fitted into the box; throws PictureError for a photo that cannot be decoded
    // (remembered, so it is not read again) and album::ContainerError when the file cannot be read.
    const RgbImage& picture(int index, int boxWidth, int boxHeight);
    // The photo's thumbnail, empty when it is missing or damaged (the photo itself may be fine).
    const RgbImage& thumbnail(int index);
    bool hasThumbnail(int index) const;

private:
    struct Cached
    {
        int index;
        int boxWidth;
        int boxHeight;
        RgbImage image;
    };

    album::ViewerFileReader mReader;
    int mCount = 0;
    std::string mTitle;
    bool mSlideshow = false;
    std::list<Cached> mPictures;         // most recently used first
    std::map<int, std::string> mDamaged; // photo index -> why it cannot be shown
    std::vector<std::optional<RgbImage>> mThumbnails;
};

} // namespace exported
