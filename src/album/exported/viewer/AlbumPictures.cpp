#include "AlbumPictures.h"

#include <algorithm>
#include <utility>

namespace exported {

namespace {

constexpr std::size_t kKeptPictures = 3;
constexpr int kThumbnailBox = 90;

std::string pictureName(int index)
{
    return "VELKO_PIC" + std::to_string(index);
}

} // namespace

AlbumPictures::AlbumPictures(album::ViewerFileReader reader) : mReader(std::move(reader))
{
    // The count block is the export's word; a photo block it does not cover is never shown,
    // and a count beyond the blocks there are is cut to them.
    int blocks = 0;
    while (mReader.find(pictureName(blocks)))
        ++blocks;
    const std::optional<std::uint32_t> count = mReader.number("VELKO_NRPICS");
    mCount = count ? int(std::min<std::uint32_t>(*count, std::uint32_t(blocks))) : blocks;
    if (mCount == 0)
        throw album::ContainerError("This album holds no photos.");
    mTitle = mReader.text("VELKO_TITLE").value_or(std::string());
    mSlideshow = mReader.number("VELKO_SLIDESHOW").value_or(0) == 1;
    mThumbnails.resize(std::size_t(mCount));
}

const RgbImage& AlbumPictures::picture(int index, int boxWidth, int boxHeight)
{
    for (auto it = mPictures.begin(); it != mPictures.end(); ++it)
        if (it->index == index && it->boxWidth == boxWidth && it->boxHeight == boxHeight) {
            mPictures.splice(mPictures.begin(), mPictures, it);
            return mPictures.front().image;
        }
    if (const auto damaged = mDamaged.find(index); damaged != mDamaged.end())
        throw PictureError(damaged->second);
    const std::optional<std::vector<std::uint8_t>> bytes = mReader.block(pictureName(index));
    if (!bytes)
        throw album::ContainerError("The album lacks photo " + std::to_string(index + 1) + ".");
    RgbImage image;
    try {
        image = decodeJpeg(*bytes, boxWidth, boxHeight);
    } catch (const PictureError& error) {
        const std::string why = "Photo " + std::to_string(index + 1) +
                                " of the album cannot be shown: " + error.what() + ".";
        mDamaged.emplace(index, why);
        throw PictureError(why);
    }
    mPictures.push_front({index, boxWidth, boxHeight, std::move(image)});
    if (mPictures.size() > kKeptPictures)
        mPictures.pop_back();
    return mPictures.front().image;
}

bool AlbumPictures::hasThumbnail(int index) const
{
    return mThumbnails.at(std::size_t(index)).has_value();
}

const RgbImage& AlbumPictures::thumbnail(int index)
{
    std::optional<RgbImage>& slot = mThumbnails.at(std::size_t(index));
    if (!slot) {
        slot.emplace();
        try {
            if (const auto bytes = mReader.block("VELKO_THUMB" + std::to_string(index)))
                *slot = decodeJpeg(*bytes, kThumbnailBox, kThumbnailBox);
        } catch (const std::exception&) {
            // An empty frame stands for it.
        }
    }
    return *slot;
}

} // namespace exported
