#include "TSpecialScrollBar.h"

#include <algorithm>

namespace {

const QColor kBarColor(224, 224, 224);
const QColor kThumbColor(170, 170, 170);
const QColor kBorderColor(128, 128, 128);

} // namespace

TSpecialScrollBar::TSpecialScrollBar(QWidget* parent, QWidget* image, TPrintPhotoObjectPtr photo)
    : TVelkoScrollBar(parent), mImage(image), mPhoto(std::move(photo))
{
    setColor(kBarColor);
    setThumbColor(kThumbColor);
    setThumbBorderColor(Qt::red);
    setBorderColor(kBorderColor);
}

void TSpecialScrollBar::setUpFor(Qt::Orientation orientation)
{
    const bool vertical = orientation == Qt::Vertical;
    const int length = vertical ? mImage->height() : mImage->width();
    const int offset = vertical ? mImage->y() : mImage->x();
    Setup(orientation, length, false, true, -offset);
    // Connected only now: setting the bar up must not round the kept crop position.
    connect(this, &TVelkoScrollBar::positionChanged, this, &TSpecialScrollBar::change);
}

void TSpecialScrollBar::change(int position)
{
    if (!mImage)
        return;
    const QWidget* panel = mImage->parentWidget();
    if (orientation() == Qt::Vertical) {
        mImage->move(mImage->x(), -position);
        mPhoto->setCropPosition(cropFromBarPosition(position, mImage->height(), panel->height()));
    } else {
        mImage->move(-position, mImage->y());
        mPhoto->setCropPosition(cropFromBarPosition(position, mImage->width(), panel->width()));
    }
}

double cropFromBarPosition(int position, int imageLength, int panelLength)
{
    if (imageLength <= panelLength)
        return 0;
    return std::clamp(double(position) / double(imageLength - panelLength), 0.0, 1.0);
}
