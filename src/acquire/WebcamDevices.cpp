#include "WebcamDevices.h"

#include "QtWebcamDevices.h"
#include "TestCameraDevices.h"
#include "WebcamPreview.h"

#include <QVBoxLayout>

WebcamVideo::WebcamVideo(QWidget* parent) : mPreview(new WebcamPreview(parent))
{
    // The preview fills its parent, as a video window does.
    auto* layout = parent->layout();
    if (!layout) {
        layout = new QVBoxLayout(parent);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(mPreview);
    mPreview->show();
}

WebcamVideo::~WebcamVideo()
{
    delete mPreview.data();
}

void WebcamVideo::Pause()
{
    mPaused = true;
}

void WebcamVideo::Play()
{
    mPaused = false;
}

QImage WebcamVideo::shownFrame() const
{
    return mPreview ? mPreview->image() : QImage();
}

bool WebcamVideo::hasFrame() const
{
    return mPreview && mPreview->hasPicture();
}

void WebcamVideo::deliver(const QImage& image)
{
    if (mPaused || mFailed || !mPreview || image.isNull())
        return;
    mPreview->showImage(image);
    afterDelivery();
}

void WebcamVideo::deliver(const QVideoFrame& frame)
{
    if (mPaused || mFailed || !mPreview || !frame.isValid())
        return;
    mPreview->showFrame(frame);
    afterDelivery();
}

void WebcamVideo::afterDelivery()
{
    if (mFirstShown)
        return;
    mFirstShown = true;
    emit firstFrameShown();
}

void WebcamVideo::fail(const QString& reason)
{
    if (mFailed)
        return;
    mFailed = true;
    mFailureReason = reason;
    emit failed(reason);
}

WebcamDevices::~WebcamDevices() = default;

std::unique_ptr<WebcamDevices> makeWebcamDevices()
{
    const QByteArray test = qgetenv("VELKO_TEST_CAMERA");
    if (!test.isEmpty()) {
        bool number = false;
        const int count = test.toInt(&number);
        return std::make_unique<TestCameraDevices>(number ? std::max(0, count) : 1);
    }
    // Qt ends the process when it finds no back end, so that is looked at first.
    if (!QtWebcamDevices::backendLoadable())
        return nullptr;
    return std::make_unique<QtWebcamDevices>();
}
