#include "EditGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace edit {
namespace {

constexpr double kDegree = std::numbers::pi / 180;
// Floating noise in the trigonometry must not push a whole side in or out by a pixel.
constexpr double kSlack = 1e-6;

} // namespace

void fitIntoBox(DisplayFit& fit, double boxWidth, double boxHeight, double x, double y)
{
    if (x <= 0 || y <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return;
    double f = y / boxHeight >= x / boxWidth ? boxHeight / y : boxWidth / x;
    if (f * fit.scale > 1)
        f = 1 / fit.scale;
    fit.scale *= f;
    fit.width *= f;
    fit.height *= f;
}

int roundedSide(double side)
{
    return std::max(1, int(std::nearbyint(side)));
}

double reduceAngle(double degrees, double& width, double& height)
{
    double a = std::fmod(degrees, 360.0);
    if (a < 0)
        a += 360;
    while (a >= 90) {
        std::swap(width, height);
        a -= 90;
    }
    return a;
}

double cropLimitAngle(double longer, double shorter)
{
    if (shorter <= 0)
        return 45;
    const double root = std::sqrt(std::max(0.0, longer * longer - shorter * shorter));
    return std::atan((longer - root) / shorter) / kDegree;
}

SizeF turnedSize(double degrees, double width, double height)
{
    const double a = reduceAngle(degrees, width, height) * kDegree;
    return {width * std::cos(a) + height * std::sin(a), width * std::sin(a) + height * std::cos(a)};
}

std::optional<SizeF> inscribedSize(double degrees, double width, double height)
{
    const double deg = reduceAngle(degrees, width, height);
    const double longer = std::max(width, height);
    const double shorter = std::min(width, height);
    if (shorter <= 0)
        return std::nullopt;
    const double t0 = cropLimitAngle(longer, shorter);
    if (t0 + kSlack < deg && deg < 90 - t0 - kSlack)
        return std::nullopt;
    const double a = deg * kDegree;
    const double cos2a = std::cos(2 * a);
    if (std::abs(cos2a) < 1e-9) // 45° of a square
        return SizeF{shorter / std::numbers::sqrt2, shorter / std::numbers::sqrt2};
    const SizeF size{(width * std::cos(a) - height * std::sin(a)) / cos2a,
                     (height * std::cos(a) - width * std::sin(a)) / cos2a};
    if (size.width <= 0 || size.height <= 0)
        return std::nullopt;
    return size;
}

std::optional<imaging::Rect> inscribedRectangle(double degrees, double width, double height,
                                                double canvasWidth, double canvasHeight)
{
    const std::optional<SizeF> size = inscribedSize(degrees, width, height);
    if (!size)
        return std::nullopt;
    const double left = (canvasWidth - size->width) / 2;
    const double top = (canvasHeight - size->height) / 2;
    imaging::Rect rect;
    rect.left = int(std::ceil(left - kSlack));
    rect.top = int(std::ceil(top - kSlack));
    rect.right = int(std::floor(left + size->width + kSlack));
    rect.bottom = int(std::floor(top + size->height + kSlack));
    if (rect.width() <= 0 || rect.height() <= 0)
        return std::nullopt;
    return rect;
}

std::optional<imaging::Rect> inscribedRectangle(double degrees, double width, double height)
{
    const SizeF canvas = turnedSize(degrees, width, height);
    return inscribedRectangle(degrees, width, height, canvas.width, canvas.height);
}

DisplayFit previewFitOverTurns(int width, int height, double boxWidth, double boxHeight)
{
    DisplayFit fitted{1, double(width), double(height)};
    fitIntoBox(fitted, boxWidth, boxHeight, width, height);
    DisplayFit best = fitted;
    for (int i = 1; i <= 9000; ++i) {
        const double degrees = i / 100.0;
        DisplayFit fit = fitted;
        const SizeF turned = turnedSize(degrees, fit.width, fit.height);
        fitIntoBox(fit, boxWidth, boxHeight, turned.width, turned.height);
        if (const std::optional<SizeF> clean = inscribedSize(degrees, fit.width, fit.height))
            fitIntoBox(fit, boxWidth, boxHeight, clean->width, clean->height);
        if (fit.scale > best.scale)
            best = fit;
    }
    return best;
}

} // namespace edit
