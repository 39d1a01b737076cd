#include "QtWebcamDevices.h"

#include <QCameraDevice>
#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

QtWebcamDevices::QtWebcamDevices()
{
    connect(&mDevices, &QMediaDevices::videoInputsChanged, this,
            &WebcamDevices::videoInputsChanged);
}

bool QtWebcamDevices::backendLoadable()
{
    const QString wanted = qEnvironmentVariable("QT_MEDIA_BACKEND");
    for (const QString& folder : QCoreApplication::libraryPaths()) {
        const QDir plugins(folder + QStringLiteral("/multimedia"));
        for (const QString& file : plugins.entryList({QStringLiteral("*.so")}, QDir::Files)) {
            if (!wanted.isEmpty() && !file.contains(wanted))
                continue;
            // A plugin whose libraries are missing does not load; Qt would not use it either.
            QPluginLoader loader(plugins.filePath(file));
            if (loader.load())
                return true;
        }
    }
    return false;
}

std::vector<TWIAWebcam> QtWebcamDevices::videoInputs() const
{
    std::vector<TWIAWebcam> cameras;
    for (const QCameraDevice& device : QMediaDevices::videoInputs())
        cameras.push_back({QString::fromUtf8(device.id()), device.description()});
    return cameras;
}

std::unique_ptr<WebcamVideo> QtWebcamDevices::CreateVideo(const QString& id, QWidget* parent)
{
    for (const QCameraDevice& device : QMediaDevices::videoInputs())
        if (QString::fromUtf8(device.id()) == id)
            return std::make_unique<QtWebcamVideo>(device, parent);
    return nullptr;
}

QtWebcamVideo::QtWebcamVideo(const QCameraDevice& device, QWidget* parent)
    : WebcamVideo(parent), mCamera(device)
{
    connect(&mSink, &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) { deliver(frame); });
    connect(&mCamera, &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString& text) { fail(text); });
    mSession.setCamera(&mCamera);
    mSession.setVideoSink(&mSink);
    mCamera.start();
}

QtWebcamVideo::~QtWebcamVideo()
{
    mCamera.stop();
    mSession.setVideoSink(nullptr);
    mSession.setCamera(nullptr);
}
