#include "TestCameraDevices.h"

#include <QPainter>

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
    return std::make_unique<TestCameraVideo>(*this, parent);
}

void TestCameraDevices::setCameraCount(int count)
{
    if (count == mCameraCount)
        return;
    mCameraCount = count;
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

QImage TestCameraVideo::testPicture(int n)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient ramp(0, 0, kWidth, kHeight);
    ramp.setColorAt(0, QColor::fromHsv((n * 3) % 360, 160, 230));
    ramp.setColorAt(1, QColor::fromHsv((n * 3 + 180) % 360, 200, 90));
    painter.fillRect(image.rect(), ramp);
    const int barX = (n * 16) % kWidth;
    painter.fillRect(barX, 0, 48, kHeight, Qt::white);
    const int squareY = (n * 11) % (kHeight - 120);
    painter.fillRect(kWidth - 180, squareY, 120, 120, Qt::black);
    QFont font = painter.font();
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(20, kHeight - 70, 300, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::number(n));
    return image;
}

void TestCameraVideo::makeFrame()
{
    mLastMade = testPicture(++mFrame);
    deliver(mLastMade);
}
