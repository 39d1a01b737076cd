#include "EditOperations.h"

#include "Cancel.h"
#include "ColorOps.h"
#include "EditGeometry.h"
#include "Geometry.h"
#include "ImagingResult.h"
#include "RedEyeRemoval.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace edit {
namespace {

using namespace imaging;

int applyTurn(Bitmap& bitmap, const EditAction& request, bool* croppedToClean)
{
    const bool leftRight = request.p1 == 1;
    const bool topBottom = request.p2 == 1;
    int result = Success;
    if (leftRight && topBottom)
        result = rotateBitmap(bitmap, 18000, true, 0);
    else if (leftRight)
        result = reverseBitmap(bitmap);
    else if (topBottom)
        result = flipBitmap(bitmap);
    if (result != Success || request.p3 <= 0)
        return result;
    const int width = bitmap.width();
    const int height = bitmap.height();
    result = rotateBitmap(bitmap, request.p3, true, ColorRef(request.p4));
    if (result == Success && request.p5 == 1) {
        if (const std::optional<Rect> clean = inscribedRectangle(request.p3 / 100.0, width, height,
                                                                 bitmap.width(), bitmap.height())) {
            result = trimBitmap(bitmap, clean->left, clean->top, clean->width(), clean->height());
            if (result == Success && croppedToClean)
                *croppedToClean = true;
        }
    }
    // A quarter turn moves whole pixels; only a fine turn leaves stairs to smooth.
    if (result == Success && request.p3 % 9000 != 0)
        result = antiAlias(bitmap, 0, 2, 1);
    return result;
}

int applyAutoColour(Bitmap& bitmap, const EditAction& request)
{
    if (request.p1 == 1)
        autoColorLevel(bitmap, 0, 50, 50, AutoLevel::Color);
    if (request.p2 == 1)
        autoColorLevel(bitmap, 0, 50, 50, AutoLevel::Contrast);
    if (request.p3 == 1)
        autoColorLevel(bitmap, 0, 50, 50, AutoLevel::Intensity);
    return Success;
}

// Averages k × k blocks; the last columns and rows that fill no whole block are left out
// (less than half a pixel of the final picture).
int reduceByBlocks(const Bitmap& in, int k, Bitmap& out)
{
    const int width = in.width() / k;
    const int height = in.height() / k;
    if (const int result = out.allocate(width, height); result != Success)
        return result;
    out.setBitsPerPixel(in.bitsPerPixel());
    out.setResolution(in.xResolution(), in.yResolution());
    const std::uint32_t count = std::uint32_t(k) * std::uint32_t(k);
    std::vector<std::uint32_t> sums(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        if (cancelRequested())
            return Cancelled;
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < k; ++dy) {
            const std::uint8_t* p = in.scanLine(y * k + dy);
            std::uint32_t* sum = sums.data();
            for (int x = 0; x < width; ++x, sum += 3) {
                std::uint32_t r = 0, g = 0, b = 0;
                for (int dx = 0; dx < k; ++dx, p += 3) {
                    r += p[0];
                    g += p[1];
                    b += p[2];
                }
                sum[0] += r;
                sum[1] += g;
                sum[2] += b;
            }
        }
        std::uint8_t* o = out.scanLine(y);
        for (std::size_t i = 0; i < sums.size(); ++i)
            o[i] = std::uint8_t((sums[i] + count / 2) / count);
    }
    return Success;
}

} // namespace

int scaledCopy(const Bitmap& in, int width, int height, Bitmap& out)
{
    if (in.isNull())
        return NoBitmap;
    if (width <= 0 || height <= 0)
        return InvalidParameter;
    const int k = std::min(in.width() / (2 * width), in.height() / (2 * height));
    int result = k >= 2 ? reduceByBlocks(in, k, out) : copyBitmap(out, in);
    if (result == Success)
        result = sizeBitmap(out, width, height, SizeMode::Bicubic);
    if (result != Success)
        out.reset();
    return result;
}

int applyColours(Bitmap& bitmap, const EditAction& request)
{
    int result = Success;
    if (result == Success && request.p1 != 0)
        result = changeContrast(bitmap, request.p1);
    if (result == Success && request.p2 != 0)
        result = changeIntensity(bitmap, request.p2);
    if (result == Success && request.p3 != 0)
        result = changeSaturation(bitmap, request.p3);
    if (result == Success && request.p4 != 0)
        result = changeHue(bitmap, request.p4 * 180 / 1000);
    if (result == Success && (request.p5 != 0 || request.p6 != 0 || request.p7 != 0)) {
        // A positive setting adds the other channels into its own; a negative one scales
        // its own channel down.
        const double r = request.p5 / 1000.0;
        const double g = request.p6 / 1000.0;
        const double b = request.p7 / 1000.0;
        using std::max;
        using std::min;
        result = balanceColors(bitmap, {min(1.0, 1 + r), max(0.0, g), max(0.0, b)},
                               {max(0.0, r), min(1.0, 1 + g), max(0.0, b)},
                               {max(0.0, r), max(0.0, g), min(1.0, 1 + b)});
    }
    return result;
}

int applyEditAction(Bitmap& bitmap, const EditAction& request, bool* croppedToClean)
{
    if (croppedToClean)
        *croppedToClean = false;
    switch (request.kind) {
    case EditResize:
        return sizeBitmap(bitmap, request.p1, request.p2, SizeMode::Bicubic);
    case EditTurn:
        return applyTurn(bitmap, request, croppedToClean);
    case EditCrop:
        return trimBitmap(bitmap, request.p1, request.p2, request.p3, request.p4);
    case EditColours:
        return applyColours(bitmap, request);
    case EditRedEye:
        removeRedEye(bitmap, ColorRef(request.p1), request.p2, request.p3,
                     Rect{request.p4, request.p5, request.p6, request.p7});
        return Success;
    case EditAutoColour:
        return applyAutoColour(bitmap, request);
    case EditGreyScale:
        return desaturate(bitmap);
    default:
        return Success;
    }
}

} // namespace edit
