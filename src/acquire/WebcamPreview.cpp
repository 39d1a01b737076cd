#include "WebcamPreview.h"

#include <QPainter>

WebcamPreview::WebcamPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WebcamPreview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WebcamPreview::showImage(const QImage& image)
{
    mFrame = QVideoFrame();
    mImage = image;
    update();
}

void WebcamPreview::showFrame(const QVideoFrame& frame)
{
    mFrame = frame;
    mImage = QImage();
    update();
}

QImage WebcamPreview::image() const
{
    if (mImage.isNull() && mFrame.isValid()) {
        mImage = mFrame.toImage();
        mFrame = QVideoFrame();
    }
    return mImage;
}

bool WebcamPreview::hasPicture() const
{
    return !mImage.isNull() || mFrame.isValid();
}

void WebcamPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage picture = image();
    if (picture.isNull())
        return;
    QSize fitted = picture.size().scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), fitted);
    target.moveCenter(rect().center());
    // Nearest-pixel scaling: Qt's smooth scaling farms large pictures out to its thread pool
    // for every frame, and a live picture does not need it (the saved snapshot is unscaled).
    painter.drawImage(target, picture);
}
