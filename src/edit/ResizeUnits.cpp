#include "ResizeUnits.h"

#include <cmath>

namespace edit {

namespace {

constexpr double kCmPerInch = 2.54;

// Halves to even, as the size is rounded everywhere else in the editor.
int roundPixels(double pixels)
{
    return int(std::nearbyint(pixels));
}

bool withinLimits(double pixels)
{
    const double rounded = std::nearbyint(pixels);
    return rounded >= ResizeUnits::kMinimum && rounded <= ResizeUnits::kMaximum;
}

} // namespace

Resolution resolutionOrScreen(double fileX, double fileY, Resolution screen)
{
    Resolution result;
    result.x = fileX > 0 ? fileX : fileY > 0 ? fileY : screen.x;
    result.y = fileY > 0 ? fileY : fileX > 0 ? fileX : screen.y;
    return result;
}

ResizeUnits::ResizeUnits(const QLocale& locale) : mLocale(locale)
{
    mLocale.setNumberOptions(QLocale::OmitGroupSeparator);
}

void ResizeUnits::start(int width, int height, Resolution resolution)
{
    mStartWidth = width;
    mStartHeight = height;
    mResolution = resolution;
    mWidth = width;
    mHeight = height;
}

QString ResizeUnits::show(double pixels, double resolution) const
{
    switch (mUnit) {
    case SizeUnit::Pixels:
        return QString::number(roundPixels(pixels));
    case SizeUnit::Cm:
        return mLocale.toString(pixels * kCmPerInch / resolution, 'f', 2);
    case SizeUnit::Inches:
        return mLocale.toString(pixels / resolution, 'f', 2);
    }
    return {};
}

QString ResizeUnits::widthText() const
{
    return show(mWidth, mResolution.x);
}

QString ResizeUnits::heightText() const
{
    return show(mHeight, mResolution.y);
}

bool ResizeUnits::readPixels(const QString& text, double resolution, double& pixels) const
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = mLocale.toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return false;
    // The value as the field will show it: two decimals, or whole pixels. The limits are
    // checked on that value, so that a size rounded away to nothing is refused too.
    switch (mUnit) {
    case SizeUnit::Pixels:
        pixels = std::nearbyint(value);
        break;
    case SizeUnit::Cm:
        pixels = std::round(value * 100) / 100 * resolution / kCmPerInch;
        break;
    case SizeUnit::Inches:
        pixels = std::round(value * 100) / 100 * resolution;
        break;
    }
    return withinLimits(pixels);
}

bool ResizeUnits::enterWidth(const QString& text)
{
    double width = 0;
    if (!readPixels(text, mResolution.x, width))
        return false;
    double height = mHeight;
    if (mKeepAspect) {
        height = double(mStartHeight) / mStartWidth * width;
        if (!withinLimits(height))
            return false;
    }
    mWidth = width;
    mHeight = height;
    return true;
}

bool ResizeUnits::enterHeight(const QString& text)
{
    double height = 0;
    if (!readPixels(text, mResolution.y, height))
        return false;
    double width = mWidth;
    if (mKeepAspect) {
        width = double(mStartWidth) / mStartHeight * height;
        if (!withinLimits(width))
            return false;
    }
    mWidth = width;
    mHeight = height;
    return true;
}

int ResizeUnits::newWidth() const
{
    return roundPixels(mWidth);
}

int ResizeUnits::newHeight() const
{
    return roundPixels(mHeight);
}

bool ResizeUnits::changed() const
{
    return newWidth() != mStartWidth || newHeight() != mStartHeight;
}

} // namespace edit
