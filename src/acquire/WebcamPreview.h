// The live picture of a camera: the latest frame, scaled to fit with its shape kept, on
// black.
#pragma once

#include <QImage>
#include <QVideoFrame>
#include <QWidget>

class WebcamPreview : public QWidget
{
    Q_OBJECT
public:
    explicit WebcamPreview(QWidget* parent = nullptr);

    void showImage(const QImage& image);
    // A camera frame is converted only when it is painted or asked for, so frames that
    // arrive faster than the screen shows them cost nothing.
    void showFrame(const QVideoFrame& frame);
    QImage image() const;
    bool hasPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable QImage mImage;
    mutable QVideoFrame mFrame;
};
