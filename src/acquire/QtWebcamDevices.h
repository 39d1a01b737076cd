// The cameras Qt Multimedia finds, shown through a video sink.
#pragma once

#include "WebcamDevices.h"

#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoSink>

class QtWebcamDevices : public WebcamDevices
{
    Q_OBJECT
public:
    QtWebcamDevices();

    // Whether a multimedia back end of Qt's can be loaded here (QT_MEDIA_BACKEND respected).
    static bool backendLoadable();

    std::vector<TWIAWebcam> videoInputs() const override;
    std::unique_ptr<WebcamVideo> CreateVideo(const QString& id, QWidget* parent) override;

private:
    QMediaDevices mDevices;
};

class QtWebcamVideo : public WebcamVideo
{
    Q_OBJECT
public:
    QtWebcamVideo(const QCameraDevice& device, QWidget* parent);
    ~QtWebcamVideo() override;

private:
    QCamera mCamera;
    QVideoSink mSink;
    QMediaCaptureSession mSession;
};
