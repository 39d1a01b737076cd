#include "TWIAWebcam.h"

#include "WebcamDevices.h"

TWIAWebcamList::TWIAWebcamList(std::unique_ptr<WebcamDevices> devices, QObject* parent)
    : QObject(parent), mDevices(std::move(devices))
{
    if (mDevices)
        connect(mDevices.get(), &WebcamDevices::videoInputsChanged, this,
                &TWIAWebcamList::Enumerate);
}

TWIAWebcamList::~TWIAWebcamList() = default;

void TWIAWebcamList::Enumerate()
{
    std::vector<TWIAWebcam> cameras;
    if (mDevices)
        cameras = mDevices->videoInputs();
    const bool same = std::equal(
        cameras.begin(), cameras.end(), mCameras.begin(), mCameras.end(),
        [](const TWIAWebcam& a, const TWIAWebcam& b) { return a.id == b.id && a.name == b.name; });
    if (same)
        return;
    mCameras = std::move(cameras);
    emit changed();
}

const TWIAWebcam* TWIAWebcamList::find(const QString& id) const
{
    for (const TWIAWebcam& camera : mCameras)
        if (camera.id == id)
            return &camera;
    return nullptr;
}
