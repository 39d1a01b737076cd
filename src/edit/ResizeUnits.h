// The arithmetic of the resize dialog: a picture's new width and height kept in pixels and
// shown in pixels, centimetres or inches, with the limits a new size must keep.
#pragma once

#include <QLocale>
#include <QString>

namespace edit {

// In the order of the dialog's unit list.
enum class SizeUnit
{
    Pixels,
    Cm,
    Inches
};

struct Resolution
{
    double x = 0;
    double y = 0;
};

// A picture's dots per inch: the file's horizontal resolution, else its vertical one, else
// the screen's; the vertical likewise from the other side.
Resolution resolutionOrScreen(double fileX, double fileY, Resolution screen);

class ResizeUnits
{
public:
    static constexpr int kMinimum = 1;
    static constexpr int kMaximum = 4096;

    // Numbers are shown and read in the locale's notation; the C locale's is read too.
    explicit ResizeUnits(const QLocale& locale = QLocale());

    // The picture's size in pixels and its resolution in dots per inch (both above 0).
    void start(int width, int height, Resolution resolution);

    SizeUnit unit() const { return mUnit; }
    void setUnit(SizeUnit unit) { mUnit = unit; }
    bool keepAspectRatio() const { return mKeepAspect; }
    void setKeepAspectRatio(bool keep) { mKeepAspect = keep; }

    // The current width and height in the current unit: whole pixels, or centimetres and
    // inches with two decimals.
    QString widthText() const;
    QString heightText() const;

    // Reads a field as it is left. On success the width (and with the aspect ratio kept the
    // height as well) takes the value as the field then shows it; a text that is not a number,
    // or a size that rounds to a whole number of pixels outside kMinimum … kMaximum, changes
    // nothing and gives false.
    bool enterWidth(const QString& text);
    bool enterHeight(const QString& text);

    double width() const { return mWidth; }
    double height() const { return mHeight; }
    // Rounded to whole pixels.
    int newWidth() const;
    int newHeight() const;
    // The rounded size differs from the start.
    bool changed() const;

private:
    QString show(double pixels, double resolution) const;
    bool readPixels(const QString& text, double resolution, double& pixels) const;

    QLocale mLocale;
    int mStartWidth = 1;
    int mStartHeight = 1;
    Resolution mResolution{96, 96};
    double mWidth = 1;
    double mHeight = 1;
    SizeUnit mUnit = SizeUnit::Pixels;
    bool mKeepAspect = true;
};

} // namespace edit
