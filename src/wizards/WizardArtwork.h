// The wizards' own artwork: the header logo and the side-bar pictures, drawn as vectors on
// demand so that they are sharp at any device pixel ratio.
#pragma once

#include <QImage>
#include <QSize>

class QPainter;

class WizardPicture
{
public:
    using PaintFunction = void (*)(QPainter&);

    constexpr WizardPicture(QSize size, PaintFunction paint) : mSize(size), mPaint(paint) {}

    // In device-independent pixels.
    constexpr QSize size() const { return mSize; }

    // Draws into the rectangle (0, 0, size) of the painter's coordinates.
    void paint(QPainter& painter) const;

    // With a transparent background, size() x ratio device pixels.
    QImage render(qreal devicePixelRatio) const;

private:
    QSize mSize;
    PaintFunction mPaint;
};

namespace wizard::artwork {

const WizardPicture& logo();
const WizardPicture& getPhotos();
const WizardPicture& print();
const WizardPicture& upload();
const WizardPicture& exportPhotos();

} // namespace wizard::artwork
