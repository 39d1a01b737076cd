// The webcam snapshot window with the test camera: live preview, freezing, the accepted
// frame stored once under the next number, and the camera released however the window closes.
#include "EventLoopWait.h"
#include "ModalAnswer.h"
#include "TWIAWebcam.h"
#include "TestApplication.h"
#include "TestCameraDevices.h"
#include "TfrmWIA.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Mean absolute difference of the colour channels, both pictures at the first one's size.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(a.size()).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            sum += std::abs(qRed(p[column]) - qRed(q[column])) +
                   std::abs(qGreen(p[column]) - qGreen(q[column])) +
                   std::abs(qBlue(p[column]) - qBlue(q[column]));
    }
    return sum / (3.0 * x.width() * x.height());
}

class WebcamWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        auto devices = std::make_unique<TestCameraDevices>(1);
        mDevices = devices.get();
        mList = std::make_unique<TWIAWebcamList>(std::move(devices));
        mList->Enumerate();
        mWindow = std::make_unique<TfrmWIA>(nullptr, mList.get());
        mWindow->setTargetFolder(mDir.path());
        mWindow->setActivePageIndex(0);
        mWindow->show();
    }

    QPushButton* button(const char* name) const
    {
        return mWindow->findChild<QPushButton*>(QLatin1String(name));
    }
    void click(const char* name) const
    {
        QPushButton* target = button(name);
        ASSERT_TRUE(target && target->isVisible() && target->isEnabled()) << name;
        target->click();
    }
    TestCameraVideo* camera() const { return qobject_cast<TestCameraVideo*>(mWindow->video()); }
    void startLive()
    {
        click("btnNext");
        ASSERT_TRUE(pumpUntil([&] { return mWindow->ActivePageIndex() == 1; }));
        ASSERT_NE(camera(), nullptr);
    }
    // Lets the camera make at least n more frames.
    void waitFrames(int n) const
    {
        const int target = camera()->framesMade() + n;
        ASSERT_TRUE(pumpUntil([&] { return camera()->framesMade() >= target; }));
    }
    QStringList files() const
    {
        return QDir(mDir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void write(const char* name) const
    {
        QFile file(mDir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("older picture");
    }

    QTemporaryDir mDir;
    TestCameraDevices* mDevices = nullptr;
    std::unique_ptr<TWIAWebcamList> mList;
    std::unique_ptr<TfrmWIA> mWindow;
};

TEST_F(WebcamWindow, AcceptStoresTheFrozenFrameOnceUnderTheNextNumber)
{
    write("KVF00012.jpg");
    write("KVF3.jpg");
    startLive();

    click("btnTakePicture");
    const QImage first = mWindow->video()->shownFrame();
    waitFrames(3);
    EXPECT_EQ(mWindow->video()->shownFrame(), first) << "the frozen frame changed";
    click("btnTakeOther");
    waitFrames(3);
    EXPECT_NE(mWindow->video()->shownFrame(), first) << "the video did not resume";

    click("btnTakePicture");
    const QImage frozen = mWindow->video()->shownFrame();
    ASSERT_FALSE(frozen.isNull());
    waitFrames(5);
    const QImage live = camera()->lastMade();
    ASSERT_GT(meanDifference(frozen, live), 10.0) << "the test picture does not move";
    EXPECT_EQ(files(), QStringList({QStringLiteral("KVF00012.jpg"), QStringLiteral("KVF3.jpg")}))
        << "stored before Accept";

    click("btnSave");
    ASSERT_TRUE(pumpUntil([&] { return !mWindow->isVisible(); }));
    EXPECT_EQ(files(), QStringList({QStringLiteral("KVF00012.jpg"), QStringLiteral("KVF13.jpg"),
                                    QStringLiteral("KVF3.jpg")}));
    const QImage stored(mDir.filePath(QStringLiteral("KVF13.jpg")));
    ASSERT_EQ(stored.size(), frozen.size());
    EXPECT_LT(meanDifference(stored, frozen), 4.0);
    EXPECT_EQ(mDevices->openVideoCount(), 0);
}

TEST_F(WebcamWindow, AFailedSaveSaysSoAndKeepsTheFrozenFrame)
{
    mWindow->setTargetFolder(mDir.filePath(QStringLiteral("unplugged-card")));
    startLive();
    click("btnTakePicture");
    const QImage frozen = mWindow->video()->shownFrame();

    QString said;
    onModal<QMessageBox>([&](QMessageBox* box) {
        said = box->objectName();
        box->accept();
    });
    click("btnSave");
    ASSERT_TRUE(pumpUntil([&] { return !said.isEmpty() && !mWindow->isSaving(); }));
    EXPECT_EQ(said, QStringLiteral("SnapshotNotSaved"));
    EXPECT_TRUE(mWindow->isVisible());
    EXPECT_EQ(mWindow->video()->shownFrame(), frozen);
    EXPECT_TRUE(button("btnSave")->isEnabled());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(WebcamWindow, ACameraUnpluggedDuringLiveVideoBringsBackTheChoiceAndSaysSo)
{
    startLive();
    QString said;
    onModal<QMessageBox>([&](QMessageBox* box) {
        said = box->objectName();
        box->accept();
    });
    mDevices->setCameraCount(0);
    ASSERT_TRUE(pumpUntil([&] { return !said.isEmpty(); }));
    EXPECT_EQ(said, QStringLiteral("WebcamNotStarted"));
    EXPECT_EQ(mWindow->ActivePageIndex(), 0);
    EXPECT_EQ(mWindow->video(), nullptr);
    EXPECT_EQ(mDevices->openVideoCount(), 0);
    EXPECT_TRUE(mWindow->isVisible());
}

TEST_F(WebcamWindow, TheCameraListFollowsCamerasPluggedInAndOut)
{
    auto* list = mWindow->findChild<QListWidget*>(QStringLiteral("lbxWIADevices"));
    ASSERT_EQ(list->count(), 1);
    mDevices->setCameraCount(0);
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(button("btnNext")->isEnabled());
    mDevices->setCameraCount(2);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(button("btnNext")->isEnabled());
}

enum class CloseBy
{
    CloseButton,
    WindowFrame,
    EscapeKey,
};

class ClosingTheWindow : public WebcamWindow, public ::testing::WithParamInterface<CloseBy>
{};

TEST_P(ClosingTheWindow, DuringLiveVideoReleasesTheCamera)
{
    startLive();
    const QPointer<WebcamVideo> video = mWindow->video();
    EXPECT_EQ(mDevices->openVideoCount(), 1);
    switch (GetParam()) {
    case CloseBy::CloseButton:
        click("btnClose");
        break;
    case CloseBy::WindowFrame:
        mWindow->close();
        break;
    case CloseBy::EscapeKey: {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(mWindow.get(), &escape);
        break;
    }
    }
    EXPECT_FALSE(mWindow->isVisible());
    EXPECT_TRUE(video.isNull());
    EXPECT_EQ(mDevices->openVideoCount(), 0);

    // Shown again, it starts over with the camera's choice.
    mWindow->setActivePageIndex(0);
    mWindow->show();
    startLive();
    EXPECT_EQ(mDevices->openVideoCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, ClosingTheWindow,
                         ::testing::Values(CloseBy::CloseButton, CloseBy::WindowFrame,
                                           CloseBy::EscapeKey),
                         [](const auto& info) {
                             switch (info.param) {
                             case CloseBy::CloseButton:
                                 return "CloseButton";
                             case CloseBy::WindowFrame:
                                 return "WindowFrame";
                             case CloseBy::EscapeKey:
                                 return "EscapeKey";
                             }
                             return "Unknown";
                         });

} // namespace
