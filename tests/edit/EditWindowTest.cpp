// The edit frame: the selection frame scaled to the full picture, the hints when nothing is
// selected, the save question on closing, the saved format by name, and one photo edited
// through the frame's own buttons from opening to saving.
#include "EventLoopWait.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "PhotoMetadata.h"
#include "SelectionScaling.h"
#include "TAltLeadImage.h"
#include "TestApplication.h"
#include "TfrmEditPicture.h"
#include "uLanguage.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <functional>

using edit::FrameRect;
using edit::frameToFullSize;

namespace {

struct ScalingCase
{
    const char* name;
    FrameRect frame;
    int fullWidth, fullHeight, shownWidth, shownHeight;
    FrameRect expected;
};

class FrameToFullSize : public testing::TestWithParam<ScalingCase>
{};

TEST_P(FrameToFullSize, RoundsInward)
{
    const ScalingCase& c = GetParam();
    const auto full =
        frameToFullSize(c.frame, c.fullWidth, c.fullHeight, c.shownWidth, c.shownHeight);
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(*full, c.expected);
    // Never past the picture's edge.
    EXPECT_LE(full->left + full->width, c.fullWidth);
    EXPECT_LE(full->top + full->height, c.fullHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameToFullSize,
    testing::Values(
        ScalingCase{"FullScale", {10, 20, 30, 40}, 800, 600, 800, 600, {10, 20, 30, 40}},
        ScalingCase{"HalfScale", {10, 20, 30, 40}, 800, 600, 400, 300, {20, 40, 60, 80}},
        ScalingCase{"StartRoundsUpSizeDown", {1, 1, 10, 10}, 1000, 1000, 300, 300, {4, 4, 33, 33}},
        ScalingCase{"FrameToTheEdgesStaysInside",
                    {100, 50, 200, 250},
                    1000,
                    1000,
                    300,
                    300,
                    {334, 167, 666, 833}},
        ScalingCase{"LargeProductsDoNotOverflow",
                    {40000, 30000, 40000, 30000},
                    100000,
                    90000,
                    80000,
                    60000,
                    {50000, 45000, 50000, 45000}}),
    [](const testing::TestParamInfo<ScalingCase>& info) { return std::string(info.param.name); });

TEST(FrameToFullSizeEmpty, NothingShownGivesNoFrame)
{
    EXPECT_FALSE(frameToFullSize({1, 1, 5, 5}, 800, 600, 0, 300).has_value());
    EXPECT_FALSE(frameToFullSize({1, 1, 5, 5}, 800, 600, 400, 0).has_value());
}

// A 640 × 480 camera photo in four colours: red, green above; blue, white below.
imaging::Bitmap quadrants()
{
    imaging::Bitmap bitmap;
    EXPECT_EQ(bitmap.allocate(640, 480), imaging::Success);
    for (int y = 0; y < 480; ++y) {
        std::uint8_t* p = bitmap.scanLine(y);
        for (int x = 0; x < 640; ++x, p += 3) {
            const bool right = x >= 320;
            const bool bottom = y >= 240;
            p[0] = std::uint8_t(!bottom && !right ? 255 : bottom && right ? 255 : 0);
            p[1] = std::uint8_t(!bottom && right ? 255 : bottom && right ? 255 : 0);
            p[2] = std::uint8_t(bottom ? 255 : 0);
        }
    }
    return bitmap;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs answer on the next modal box once it is shown, and keeps its text.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QMessageBox&)> answer) : mAnswer(std::move(answer))
    {
        QTimer::singleShot(0, &mContext, [this] { look(); });
    }
    QString text() const { return mText; }

private:
    void look()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(5, &mContext, [this] { look(); });
            return;
        }
        mText = box->text();
        mAnswer(*box);
    }

    std::function<void(QMessageBox&)> mAnswer;
    QString mText;
    QObject mContext; // stops the looking when the answer goes out of scope
};

QAbstractButton* buttonWithText(QMessageBox& box, unsigned textId)
{
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == GetText(textId))
            return button;
    }
    return nullptr;
}

class EditWindow : public testing::Test
{
protected:
    static void SetUpTestSuite() { initialiseExiv2(); }

    void SetUp() override
    {
        testsupport::ensureApplication();
        mPhoto = mDir.filePath(QStringLiteral("photo.jpg"));
        QByteArray bytes;
        ASSERT_EQ(imaging::saveJpeg(quadrants(), 95, bytes), imaging::Success);
        QFile file(mPhoto);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(mPhoto).toStdString());
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Velko Optics";
        image->setExifData(exif);
        image->writeMetadata();

        mFrame = std::make_unique<TfrmEditPicture>();
        // The turned photo (480 × 640) fits this frame's picture box at full scale.
        mFrame->resize(700, 660);
        QObject::connect(mFrame.get(), &TfrmEditPicture::actionEnded, [this] { ++mEnded; });
        QObject::connect(mFrame.get(), &TfrmEditPicture::statusText,
                         [this](int panel, const QString& text) { mStatus[panel] = text; });
    }

    template <typename T> T* child(const char* name)
    {
        T* found = mFrame->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Clicks a tool and waits for the engine to finish the request.
    bool apply(const char* button)
    {
        const int awaited = mEnded + 1;
        child<QAbstractButton>(button)->click();
        return pumpUntil([&] { return mEnded >= awaited; });
    }

    void saveAs(const QString& name)
    {
        mFrame->setSaveNameChooser([name](QFileDialog&) { return name; });
    }

    QTemporaryDir mDir;
    QString mPhoto;
    std::unique_ptr<TfrmEditPicture> mFrame;
    int mEnded = 0;
    QString mStatus[2];
};

struct HintCase
{
    const char* name;
    const char* button;
    unsigned textId;
};

class EditWindowHint : public EditWindow, public testing::WithParamInterface<HintCase>
{};

TEST_P(EditWindowHint, WithoutSelectionShowsTheHintAndChangesNothing)
{
    ASSERT_TRUE(mFrame->Open(mPhoto));
    const int ended = mEnded;
    ModalAnswer answer([](QMessageBox& box) { box.buttons().value(0)->click(); });
    child<QToolButton>(GetParam().button)->click();
    EXPECT_EQ(answer.text(), GetText(GetParam().textId));
    pumpFor(100ms);
    EXPECT_EQ(mEnded, ended);
    EXPECT_FALSE(child<QPushButton>("btnUndo")->isEnabled());
    EXPECT_FALSE(mFrame->isModified());
    EXPECT_EQ(mStatus[1], QStringLiteral("640x480"));
}

INSTANTIATE_TEST_SUITE_P(Tools, EditWindowHint,
                         testing::Values(HintCase{"Crop", "btnCrop", 657},
                                         HintCase{"RedEye", "btnRedEye", 658}),
                         [](const testing::TestParamInfo<HintCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(EditWindow, ClosingAfterAnEditAsksToSave)
{
    ASSERT_TRUE(mFrame->Open(mPhoto));
    QSignalSpy closed(mFrame.get(), &TfrmEditPicture::closed);
    ASSERT_TRUE(apply("btnGrayScale"));
    const QByteArray before = readAll(mPhoto);

    // Yes, then the save dialog cancelled: the frame stays open with the edit.
    int dialogs = 0;
    mFrame->setSaveNameChooser([&](QFileDialog&) {
        ++dialogs;
        return QString();
    });
    {
        ModalAnswer answer([](QMessageBox& box) { buttonWithText(box, 5)->click(); });
        EXPECT_FALSE(mFrame->requestClose());
        EXPECT_EQ(answer.text(), GetText(656));
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(mFrame->isEditing());
    EXPECT_TRUE(mFrame->isModified());
    EXPECT_EQ(closed.count(), 0);

    // No: closed without writing anything.
    {
        ModalAnswer answer([](QMessageBox& box) { buttonWithText(box, 6)->click(); });
        EXPECT_TRUE(mFrame->requestClose());
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(mFrame->isEditing());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(readAll(mPhoto), before);
}

TEST_F(EditWindow, ClosingUneditedAsksNothing)
{
    ASSERT_TRUE(mFrame->Open(mPhoto));
    EXPECT_TRUE(mFrame->requestClose()); // a question here would block the test
    EXPECT_FALSE(mFrame->isVisible());
}

TEST_F(EditWindow, PhotoThatCannotBeLoadedIsNotShown)
{
    const QString broken = mDir.filePath(QStringLiteral("broken.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    EXPECT_FALSE(mFrame->Open(broken));
    EXPECT_FALSE(mFrame->isEditing());
    EXPECT_FALSE(mFrame->isVisible());
}

struct FormatCase
{
    const char* name;
    const char* fileName;
    bool bitmap;
};

class EditWindowFormat : public EditWindow, public testing::WithParamInterface<FormatCase>
{};

TEST_P(EditWindowFormat, SavedFormatFollowsTheName)
{
    ASSERT_TRUE(mFrame->Open(mPhoto));
    const QString target = mDir.filePath(QLatin1String(GetParam().fileName));
    saveAs(target);
    child<QPushButton>("btnSave")->click();
    const QByteArray saved = readAll(target);
    ASSERT_GE(saved.size(), 2);
    EXPECT_EQ(saved.startsWith("BM"), GetParam().bitmap);
    EXPECT_EQ(saved.startsWith("\xFF\xD8"), !GetParam().bitmap);
    EXPECT_EQ(mFrame->fileName(), target);
    EXPECT_EQ(mStatus[0], target);
}

INSTANTIATE_TEST_SUITE_P(Names, EditWindowFormat,
                         testing::Values(FormatCase{"Bmp", "copy.bmp", true},
                                         FormatCase{"BmpUpperCase", "COPY.BMP", true},
                                         FormatCase{"Jpeg", "copy.jpeg", false},
                                         FormatCase{"OtherExtension", "copy.png", false},
                                         FormatCase{"NoExtension", "copy", false}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(EditWindow, PhotoTurnedCroppedUndoneRedoneAndSaved)
{
    ASSERT_TRUE(mFrame->Open(mPhoto));
    EXPECT_TRUE(mFrame->isVisible());
    EXPECT_EQ(mStatus[1], QStringLiteral("640x480"));
    auto* image = child<TAltLeadImage>("AltLeadImage1");
    auto* undo = child<QPushButton>("btnUndo");
    EXPECT_FALSE(undo->isEnabled());

    ASSERT_TRUE(apply("btnRotate90"));
    EXPECT_EQ(mStatus[1], QStringLiteral("480x640"));
    ASSERT_EQ(image->shownWidth(), 480);
    // The frame lines hug the picture.
    EXPECT_EQ(child<QWidget>("shLeft")->geometry().right(), image->geometry().left() - 1);
    EXPECT_EQ(child<QWidget>("shBottom")->geometry().top(), image->geometry().bottom() + 1);

    // The top-left quarter of the turned photo: what was the blue lower left.
    image->SetFrame(0, 0, 240, 320);
    ASSERT_TRUE(apply("btnCrop"));
    EXPECT_EQ(mStatus[1], QStringLiteral("240x320"));
    EXPECT_EQ(undo->text(), GetText(654));
    ASSERT_TRUE(apply("btnUndo"));
    EXPECT_EQ(mStatus[1], QStringLiteral("480x640"));
    EXPECT_EQ(undo->text(), GetText(655));
    ASSERT_TRUE(apply("btnUndo"));
    EXPECT_EQ(mStatus[1], QStringLiteral("240x320"));

    // The save dialog suggests the photo's name without ".jpg", as JPEG.
    const QString target = mDir.filePath(QStringLiteral("edited.jpg"));
    QString suggested, filter, suffix;
    mFrame->setSaveNameChooser([&](QFileDialog& dialog) {
        suggested = dialog.selectedFiles().value(0);
        filter = dialog.selectedNameFilter();
        suffix = dialog.defaultSuffix();
        return target;
    });
    child<QPushButton>("btnSave")->click();
    EXPECT_EQ(QFileInfo(suggested).completeBaseName(), QStringLiteral("photo"));
    EXPECT_TRUE(filter.startsWith(QStringLiteral("JPEG")));
    EXPECT_EQ(suffix, QStringLiteral("jpg"));
    EXPECT_FALSE(mFrame->isModified());

    imaging::Bitmap saved;
    ASSERT_EQ(imaging::loadBitmap(target, saved), imaging::Success);
    ASSERT_EQ(saved.width(), 240);
    ASSERT_EQ(saved.height(), 320);
    // The outer corner and the middle; the cut edges carry the source's chroma bleed.
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{120, 160}}) {
        const std::uint8_t* p = saved.scanLine(y) + 3 * x;
        EXPECT_LT(p[0], 24) << x << "," << y;
        EXPECT_LT(p[1], 24) << x << "," << y;
        EXPECT_GT(p[2], 231) << x << "," << y;
    }
    auto metadata = Exiv2::ImageFactory::open(QFile::encodeName(target).toStdString());
    metadata->readMetadata();
    EXPECT_EQ(metadata->exifData()["Exif.Image.Make"].toString(), "Velko Optics");
}

} // namespace
