#include "TestCameraDevices.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const QString kIdPrefix = QStringLiteral("velko-test-camera-");

} // namespace

TestCameraDevices::TestCameraDevices(int cameraCount) : mCameraCount(cameraCount) {}

std::vector<TWIAWebcam> TestCameraDevices::videoInputs() const
{
    std::vector<TWIAWebcam> cameras;
    for (int i = 1; i <= mCameraCount; ++i)
        cameras.push_back(
            {kIdPrefix + QString::number(i), QStringLiteral("Velko test camera %1").arg(i)});
    return cameras;
}

std::unique_ptr<WebcamVideo> TestCameraDevices::CreateVideo(const QString& id, QWidget* parent)
{
    bool number = false;
    const int index = id.startsWith(kIdPrefix) ? id.mid(kIdPrefix.size()).toInt(&number) : 0;
    if (!number || index < 1 || index > mCameraCount)
        return nullptr;
    auto video = std::make_unique<TestCameraVideo>(*this, parent);
    mVideos.emplace_back(index, video.get());
    return video;
}

void TestCameraDevices::setCameraCount(int count)
{
    if (count == mCameraCount)
        return;
    mCameraCount = count;
    for (const auto& [number, video] : mVideos)
        if (video && number > count)
            video->unplug();
    std::erase_if(mVideos, [](const auto& entry) { return entry.second.isNull(); });
    emit videoInputsChanged();
}

TestCameraVideo::TestCameraVideo(TestCameraDevices& devices, QWidget* parent)
    : WebcamVideo(parent), mDevices(&devices)
{
    ++devices.mOpenVideos;
    connect(&mTimer, &QTimer::timeout, this, &TestCameraVideo::makeFrame);
    mTimer.start(kFrameIntervalMs);
}

TestCameraVideo::~TestCameraVideo()
{
    mTimer.stop();
    if (mDevices)
        --mDevices->mOpenVideos;
}

// Drawn pixel by pixel: the painter's gradient fill hands large pictures to Qt's thread pool,
// whose futex hand-over ThreadSanitizer cannot follow.
QImage TestCameraVideo::testPicture(int n)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    const int barLeft = (n * 16) % kWidth;
    const QRect square(kWidth - 180, (n * 11) % (kHeight - 120), 120, 120);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            if (x >= barLeft && x < barLeft + 48) {
                line[x] = qRgb(255, 255, 255);
            } else if (square.contains(x, y)) {
                line[x] = qRgb(0, 0, 0);
            } else {
                const int along = (x + y + n * 8) % 512;
                const int ramp = along < 256 ? along : 511 - along;
                line[x] = qRgb(ramp, 96 + ramp / 3, 255 - ramp);
            }
        }
    }
    return image;
}

void TestCameraVideo::unplug()
{
    mTimer.stop();
    fail(QStringLiteral("The test camera was unplugged."));
}

void TestCameraVideo::makeFrame()
{
    mLastMade = testPicture(++mFrame);
    deliver(mLastMade);
}
