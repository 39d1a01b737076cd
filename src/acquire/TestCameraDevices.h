// Cameras of the program's own that draw a moving test picture, so that the snapshot window
// can be tried and tested without hardware (VELKO_TEST_CAMERA=<number of cameras>).
#pragma once

#include "WebcamDevices.h"

#include <QTimer>

class TestCameraVideo;

class TestCameraDevices : public WebcamDevices
{
    Q_OBJECT
public:
    explicit TestCameraDevices(int cameraCount);

    std::vector<TWIAWebcam> videoInputs() const override;
    std::unique_ptr<WebcamVideo> CreateVideo(const QString& id, QWidget* parent) override;

    // Plugs cameras in or out; a camera unplugged while it plays fails.
    void setCameraCount(int count);
    // Videos created and not yet destroyed.
    int openVideoCount() const { return mOpenVideos; }

private:
    friend class TestCameraVideo;
    int mCameraCount;
    int mOpenVideos = 0;
    std::vector<std::pair<int, QPointer<TestCameraVideo>>> mVideos; // camera number, video
};

class TestCameraVideo : public WebcamVideo
{
    Q_OBJECT
public:
    static constexpr int kFrameIntervalMs = 40;

    TestCameraVideo(TestCameraDevices& devices, QWidget* parent);
    ~TestCameraVideo() override;

    // The picture of frame n: a bar and a square that move with n on a moving colour ramp.
    static QImage testPicture(int n);
    // The last frame the camera made, shown or not.
    QImage lastMade() const { return mLastMade; }
    int framesMade() const { return mFrame; }

    void unplug();

private:
    void makeFrame();

    QPointer<TestCameraDevices> mDevices;
    QTimer mTimer;
    int mFrame = 0;
    QImage mLastMade;
};
