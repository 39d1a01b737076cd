// The program's own face of the cameras: what is plugged in, and one camera playing into a
// preview widget that can be frozen on the frame shown. Qt Multimedia stands behind it, or a
// test camera of the program's own (VELKO_TEST_CAMERA) that needs no hardware.
#pragma once

#include "TWIAWebcam.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QVideoFrame;
class QWidget;
class WebcamPreview;

// One open camera, from its creation until it is destroyed. The live picture fills the
// parent given at creation; the camera is released when the object goes.
class WebcamVideo : public QObject
{
    Q_OBJECT
public:
    ~WebcamVideo() override;

    // Freezes the frame shown; frames arriving meanwhile are dropped.
    void Pause();
    void Play();
    bool isPaused() const { return mPaused; }
    // The picture the user sees now: the frozen one once paused; null before the first frame.
    QImage shownFrame() const;
    bool hasFrame() const;
    // A camera may fail while it is being created, before anyone listens to failed().
    bool hasFailed() const { return mFailed; }
    QString failureReason() const { return mFailureReason; }

signals:
    // The first frame is on screen.
    void firstFrameShown();
    // The camera could not start or stopped working.
    void failed(const QString& reason);

protected:
    explicit WebcamVideo(QWidget* parent);
    void deliver(const QImage& image);
    void deliver(const QVideoFrame& frame);
    void fail(const QString& reason);

private:
    void afterDelivery();

    QPointer<WebcamPreview> mPreview;
    bool mPaused = false;
    bool mFirstShown = false;
    bool mFailed = false;
    QString mFailureReason;
};

// The cameras of one back end.
class WebcamDevices : public QObject
{
    Q_OBJECT
public:
    ~WebcamDevices() override;

    virtual std::vector<TWIAWebcam> videoInputs() const = 0;
    // Opens the camera with playback starting at once, or null when it is not there.
    virtual std::unique_ptr<WebcamVideo> CreateVideo(const QString& id, QWidget* parent) = 0;

signals:
    void videoInputsChanged();

protected:
    WebcamDevices() = default;
};

// The test camera when VELKO_TEST_CAMERA is set, else Qt Multimedia; null when Qt has no
// multimedia back end to load (then there is no camera at all).
std::unique_ptr<WebcamDevices> makeWebcamDevices();
