#include "PhotoPlacement.h"

#include "Geometry.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "PrintLayout.h"
#include "QtImage.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

bool cancelled(const imaging::CancelFlag* cancel)
{
    return cancel && cancel->load() != 0;
}

// Cuts the scaled photo to its slot along the axis on which it overflows; the crop position
// says where the kept part starts.
int cutToSlot(imaging::Bitmap& bitmap, double& width, double& height, double slotWidth,
              double slotHeight, double cropPosition)
{
    const double overflowX = width / slotWidth;
    const double overflowY = height / slotHeight;
    constexpr double kTolerance = 1e-9;
    if (overflowX <= 1 + kTolerance && overflowY <= 1 + kTolerance)
        return imaging::Success;
    if (overflowX >= overflowY) {
        const double pixelsPerMicrometre = bitmap.width() / width;
        const int keep =
            std::clamp(int(std::lround(slotWidth * pixelsPerMicrometre)), 1, bitmap.width());
        const int start =
            std::clamp(int(std::lround((width - slotWidth) * cropPosition * pixelsPerMicrometre)),
                       0, bitmap.width() - keep);
        width = slotWidth;
        return imaging::trimBitmap(bitmap, start, 0, keep, bitmap.height());
    }
    const double pixelsPerMicrometre = bitmap.height() / height;
    const int keep =
        std::clamp(int(std::lround(slotHeight * pixelsPerMicrometre)), 1, bitmap.height());
    const int start =
        std::clamp(int(std::lround((height - slotHeight) * cropPosition * pixelsPerMicrometre)), 0,
                   bitmap.height() - keep);
    height = slotHeight;
    return imaging::trimBitmap(bitmap, 0, start, bitmap.width(), keep);
}

} // namespace

std::optional<PhotoNaturalSize> naturalSize(int pixelWidth, int pixelHeight, int xResolution,
                                            int yResolution, double screenPpiX, double screenPpiY)
{
    PhotoNaturalSize natural;
    natural.ppiX = xResolution > 0 ? xResolution : yResolution > 0 ? yResolution : screenPpiX;
    natural.ppiY = yResolution > 0 ? yResolution : xResolution > 0 ? natural.ppiX : screenPpiY;
    if (pixelWidth <= 0 || pixelHeight <= 0 || natural.ppiX <= 0 || natural.ppiY <= 0)
        return std::nullopt;
    natural.widthMicrometres = pixelWidth / natural.ppiX * kMicrometresPerInch;
    natural.heightMicrometres = pixelHeight / natural.ppiY * kMicrometresPerInch;
    return natural;
}

std::optional<PlacedPhoto> PlacePhoto(const PlacementRequest& request,
                                      const imaging::CancelFlag* cancel)
{
    const imaging::CancelScope scope(cancel ? cancel : imaging::registeredCancelFlag());
    cancel = imaging::registeredCancelFlag();
    const double cw = request.slot.width();
    const double ch = request.slot.height();
    if (cancelled(cancel) || cw <= 0 || ch <= 0 || request.ppiX <= 0 || request.ppiY <= 0)
        return std::nullopt;

    // Everything that decides the size comes from the header, so that a large JPEG is decoded
    // straight at the smallest scale that still covers the target.
    imaging::PictureInfo info;
    if (imaging::fileInfo(request.fileName, info) != imaging::Success)
        return std::nullopt;
    const std::optional<PhotoNaturalSize> natural =
        naturalSize(info.width, info.height, info.xResolution, info.yResolution, request.screenPpiX,
                    request.screenPpiY);
    if (!natural)
        return std::nullopt;
    double W = natural->widthMicrometres;
    double H = natural->heightMicrometres;

    double s0 = 0;
    double s1 = 0;
    bool turn = false;
    if (request.fill) {
        s0 = std::max(ch / H, cw / W);
        s1 = std::max(ch / W, cw / H);
        turn = request.rotateAllowed && s1 < s0;
    } else {
        s0 = std::min(ch / H, cw / W);
        s1 = std::min(ch / W, cw / H);
        turn = request.rotateAllowed && (s1 > s0 || (request.preferRotation && s1 >= s0));
    }
    if (!request.enlarge) {
        if (request.preferRotation && s1 > 1)
            turn = true;
        else if (s0 > 1)
            turn = false;
    }
    double scale = s0;
    int pixelWidth = info.width;
    int pixelHeight = info.height;
    if (turn) {
        std::swap(W, H);
        std::swap(pixelWidth, pixelHeight);
        scale = s1;
    }
    if (!request.enlarge && scale > 1)
        scale = 1;

    const int targetWidth = std::max(1, pixelsFromMicrometres(W * scale, request.ppiX));
    const int targetHeight = std::max(1, pixelsFromMicrometres(H * scale, request.ppiY));
    // The printer stretches a small photo itself; its pixels are never multiplied here.
    const bool resize = request.mode == PlacementMode::Preview ||
                        (targetWidth < pixelWidth && targetHeight < pixelHeight);

    imaging::LoadOptions options;
    if (resize) {
        options.minimumWidth = turn ? targetHeight : targetWidth;
        options.minimumHeight = turn ? targetWidth : targetHeight;
    }
    imaging::Bitmap bitmap;
    if (imaging::loadBitmap(request.fileName, bitmap, options) != imaging::Success ||
        cancelled(cancel))
        return std::nullopt;
    if (resize) {
        const int width = turn ? targetHeight : targetWidth;
        const int height = turn ? targetWidth : targetHeight;
        if ((bitmap.width() != width || bitmap.height() != height) &&
            imaging::sizeBitmap(bitmap, width, height, imaging::SizeMode::Bicubic) !=
                imaging::Success)
            return std::nullopt;
    }
    if (cancelled(cancel))
        return std::nullopt;
    // Turned after the resize: a quarter turn is an exact pixel move, cheaper on fewer pixels.
    if (turn && imaging::rotateBitmap(bitmap, request.rotateClockwise ? 9000 : 27000, true, 0) !=
                    imaging::Success)
        return std::nullopt;
    W *= scale;
    H *= scale;

    if (request.fill && request.mode == PlacementMode::Print &&
        cutToSlot(bitmap, W, H, cw, ch, std::clamp(request.cropPosition, 0.0, 1.0)) !=
            imaging::Success)
        return std::nullopt;
    if (cancelled(cancel))
        return std::nullopt;

    PlacedPhoto placed;
    placed.image = imaging::toQImage(bitmap);
    if (placed.image.isNull())
        return std::nullopt;
    placed.turned = turn;
    placed.left = request.slot.left + (cw - W) / 2;
    placed.top = request.slot.top + (ch - H) / 2;
    placed.right = placed.left + W;
    placed.bottom = placed.top + H;
    return placed;
}
