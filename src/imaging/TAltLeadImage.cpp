#include "TAltLeadImage.h"

#include "BmpCodec.h"
#include "ImagingResult.h"
#include "QtImage.h"

#include <QMouseEvent>
#include <QPainter>

TAltLeadImage::TAltLeadImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TAltLeadImage::LoadFromGlobal(const QByteArray& memory, qsizetype byteSize)
{
    if (memory.isEmpty() || byteSize <= 0)
        return;
    Clear();
    imaging::Bitmap bitmap;
    const auto size = std::size_t(std::min(byteSize, memory.size()));
    if (imaging::loadBmp(reinterpret_cast<const std::uint8_t*>(memory.constData()), size, bitmap) !=
        imaging::Success)
        return;
    mPicture = imaging::toQImage(bitmap);
    mShownWidth = bitmap.width();
    mShownHeight = bitmap.height();
    mFrame.setShownSize(mShownWidth, mShownHeight);
    update();
}

void TAltLeadImage::Clear()
{
    frameUpdated(mFrame.erase());
    mPicture = QImage();
    mShownWidth = 0;
    mShownHeight = 0;
    mFrame.setShownSize(0, 0);
    update();
}

void TAltLeadImage::SetFrame(int left, int top, int width, int height)
{
    if (!mAllowRgn)
        return;
    frameUpdated(mFrame.setFrame(left, top, width, height));
}

QSize TAltLeadImage::sizeHint() const
{
    return {mShownWidth, mShownHeight};
}

void TAltLeadImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!mPicture.isNull())
        painter.drawImage(0, 0, mPicture);
    if (!mFrame.drawn())
        return;
    // The focus-rectangle look: a dotted line that shows on light and dark pictures.
    const imaging::Rect r = mFrame.rectangle();
    const QRect rect(r.left, r.top, std::max(0, r.width() - 1), std::max(0, r.height() - 1));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(rect);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(rect);
}

void TAltLeadImage::mousePressEvent(QMouseEvent* event)
{
    if (!mAllowRgn || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    frameUpdated(mFrame.mouseDown(p.x(), p.y()));
}

void TAltLeadImage::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    frameUpdated(mFrame.mouseMove(p.x(), p.y()));
}

void TAltLeadImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    frameUpdated(mFrame.mouseUp());
}

void TAltLeadImage::frameUpdated(bool changed)
{
    if (!changed)
        return;
    update();
    emit frameChanged();
}
