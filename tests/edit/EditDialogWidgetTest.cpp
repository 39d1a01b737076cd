#include "EditOperations.h"
#include "EditTestSupport.h"
#include "ScreenResolution.h"
#include "TVelkoScrollBar.h"
#include "TVelkoScrollPanel.h"
#include "TfrmAutoColor.h"
#include "TfrmEditColor.h"
#include "TfrmResize.h"
#include "TfrmRotate.h"
#include "uLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

using namespace edittest;
using namespace imaging;

namespace {

class EditDialogTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }
};

void click(QWidget* widget, QPoint point)
{
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const bool press = type == QEvent::MouseButtonPress;
        QMouseEvent event(type, QPointF(point), widget->mapToGlobal(QPointF(point)), Qt::LeftButton,
                          press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

// Answers the next message box with its button once it shows, and remembers its text.
class MessageBoxCatcher
{
public:
    MessageBoxCatcher()
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                mText = box->text();
                ++mCount;
                box->buttons().first()->click();
            }
        });
        mTimer.start(5);
    }
    QString text() const { return mText; }
    int count() const { return mCount; }

private:
    QTimer mTimer;
    QString mText;
    int mCount = 0;
};

TEST_F(EditDialogTest, ColourSliderShowsItsValueAndThePreviewFollowsTheLastChange)
{
    TfrmEditColor dialog;
    Bitmap source = picture(300, 240); // fits the box: the preview is the very pixels
    ASSERT_TRUE(dialog.setPicture(source));
    dialog.show();
    ASSERT_EQ(dialog.engine()->picturesShown(), 1);

    // A click near the track's end; the label shows the value in tenths.
    TVelkoScrollBar* brightness = dialog.slider(TfrmEditColor::Brightness);
    TVelkoScrollPanel* track = brightness->track();
    click(track, {track->width() - 3, track->height() / 2});
    const int value = 2 * brightness->GetPosition() - 1000;
    ASSERT_GT(value, 0);
    EXPECT_EQ(dialog.valueLabel(TfrmEditColor::Brightness)->text(), QString::number(value / 10));
    EXPECT_EQ(dialog.values()[TfrmEditColor::Brightness], value);
    EXPECT_EQ(dialog.valueLabel(TfrmEditColor::Contrast)->text(), QStringLiteral("0"));
    ASSERT_TRUE(pumpUntil([&] { return dialog.engine()->isIdle(); }));

    // Left of the middle the value is negative.
    TVelkoScrollBar* hue = dialog.slider(TfrmEditColor::Hue);
    hue->Setup(Qt::Horizontal, 1113, true, false, 300);
    const int hueValue = 2 * hue->GetPosition() - 1000;
    ASSERT_LT(hueValue, 0);
    EXPECT_EQ(dialog.valueLabel(TfrmEditColor::Hue)->text(), QString::number(hueValue / 10));
    ASSERT_TRUE(pumpUntil([&] { return dialog.engine()->isIdle(); }));

    // Two changes before the engine hears of either: only the second reaches the screen.
    const int shownBefore = dialog.engine()->picturesShown();
    TVelkoScrollBar* contrast = dialog.slider(TfrmEditColor::Contrast);
    contrast->Setup(Qt::Horizontal, 1113, true, false, 900);
    contrast->Setup(Qt::Horizontal, 1113, true, false, 700);
    ASSERT_TRUE(pumpUntil([&] { return dialog.engine()->isIdle(); }));
    EXPECT_EQ(dialog.engine()->picturesShown(), shownBefore + 1);
    EXPECT_EQ(dialog.valueLabel(TfrmEditColor::Contrast)->text(), QStringLiteral("40"));
    Bitmap expected = copyOf(source);
    ASSERT_EQ(edit::applyColours(expected, {EditColours, 400, value, 0, hueValue}), Success);
    EXPECT_TRUE(showsExactly(*dialog.AltLeadImage1(), expected));
    EXPECT_TRUE(same(source, picture(300, 240))) << "the caller's copy is untouched";
}

TEST_F(EditDialogTest, ColourDialogAcceptsOnlyAChange)
{
    TfrmEditColor dialog;
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << "every slider in its middle";
    EXPECT_FALSE(dialog.anyChanged());
    dialog.slider(TfrmEditColor::Blue)->Setup(Qt::Horizontal, 1113, true, false, 0);
    EXPECT_EQ(dialog.values()[TfrmEditColor::Blue], -1000);
    EXPECT_EQ(dialog.valueLabel(TfrmEditColor::Blue)->text(), QStringLiteral("-100"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(EditDialogTest, RotatePreviewTurnsANegativeAngleTheOtherWayRound)
{
    TfrmRotate dialog;
    Bitmap source = picture(280, 200);
    ASSERT_TRUE(dialog.setPicture(source));
    EXPECT_EQ(dialog.cmbAngle()->currentText(), QStringLiteral("0"));
    EXPECT_FALSE(dialog.chkAutoCrop()->isVisibleTo(&dialog));

    dialog.cmbAngle()->setEditText(QStringLiteral("-30"));
    EXPECT_DOUBLE_EQ(dialog.angle(), 330);
    EXPECT_FALSE(dialog.chkAutoCrop()->isEnabled()) << "60 lies between t0 and 90 - t0";
    EXPECT_FALSE(dialog.autoCrop());
    ASSERT_TRUE(pumpUntil([&] { return dialog.engine()->isIdle(); }));

    // The same turn through an engine of its own.
    Harness reference(EditMode::Preview, 305, 305);
    ASSERT_TRUE(reference.engine->Open(&source));
    reference.engine->Rotate(false, 330);
    ASSERT_TRUE(reference.settle());
    EXPECT_EQ(dialog.AltLeadImage1()->picture(), reference.image->picture());

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(EditDialogTest, RotateRefusesAnAngleThatDoesNothing)
{
    TfrmRotate dialog;
    for (const char* text : {"0", "-361", "361", "abc"}) {
        dialog.cmbAngle()->setEditText(QString::fromLatin1(text));
        dialog.setResult(-1);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << text;
    }
    dialog.cmbAngle()->setEditText(QStringLiteral("360"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(EditDialogTest, ResizeRefusesTooWideWithItsMessageAndKeepsTheFocusThere)
{
    TfrmResize dialog;
    dialog.start(1600, 1200, 300, 300);
    dialog.show();
    EXPECT_TRUE(dialog.chkKeepAspectRatio()->isChecked());
    EXPECT_EQ(dialog.edWidth()->text(), QStringLiteral("1600"));

    dialog.edWidth()->setText(QStringLiteral("4097"));
    {
        MessageBoxCatcher catcher;
        dialog.accept();
        EXPECT_EQ(catcher.count(), 1) << "the height is not checked after the width failed";
        EXPECT_EQ(catcher.text(), GetText(605));
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.focusWidget(), dialog.edWidth());

    // With the aspect ratio kept the width would rewrite the height before it is read.
    dialog.edWidth()->setText(QStringLiteral("1600"));
    dialog.chkKeepAspectRatio()->setChecked(false);
    dialog.edHeight()->setText(QStringLiteral("0"));
    {
        MessageBoxCatcher catcher;
        dialog.accept();
        EXPECT_EQ(catcher.text(), GetText(606));
    }
    EXPECT_TRUE(dialog.isVisible());

    // Leaving the field for the next one checks it and puts the focus back.
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.edHeight()->setText(QStringLiteral("1200"));
    dialog.edWidth()->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents(); // the height field's own check, which passes
    dialog.edWidth()->setText(QStringLiteral("abc"));
    {
        MessageBoxCatcher catcher;
        dialog.edHeight()->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(pumpUntil([&] { return catcher.count() > 0; }));
        EXPECT_EQ(catcher.text(), GetText(605));
        pumpFor(50ms);
        EXPECT_EQ(catcher.count(), 1);
    }
    EXPECT_EQ(dialog.focusWidget(), dialog.edWidth());
    dialog.edWidth()->setText(QStringLiteral("1600"));

    // The same size again does nothing.
    dialog.edHeight()->setText(QStringLiteral("1200"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(EditDialogTest, ResizeInInchesWithTheScreensResolutionAndBackToPixels)
{
    TfrmResize dialog;
    dialog.start(1600, 1200, 0, 0); // the file gives no resolution
    dialog.cmbUnit()->setCurrentIndex(2);
    EXPECT_EQ(dialog.edWidth()->text(), QLocale().toString(1600 / screenDotsPerInchX(), 'f', 2));
    EXPECT_EQ(dialog.edHeight()->text(), QLocale().toString(1200 / screenDotsPerInchY(), 'f', 2));

    dialog.edWidth()->setText(QLocale().toString(1000 / screenDotsPerInchX(), 'f', 2));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_NEAR(dialog.newWidth(), 1000, 1);
    EXPECT_NEAR(dialog.newHeight(), 750, 1);
    dialog.cmbUnit()->setCurrentIndex(0);
    EXPECT_EQ(dialog.edWidth()->text(), QString::number(dialog.newWidth()));
    EXPECT_EQ(dialog.edHeight()->text(), QString::number(dialog.newHeight()));
}

TEST_F(EditDialogTest, AutoColourStartsAllCheckedAndNeedsOne)
{
    TfrmAutoColor dialog;
    EXPECT_TRUE(dialog.colour() && dialog.contrast() && dialog.brightness());
    dialog.chkContrast()->setChecked(false);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.contrast());
    dialog.chkColor()->setChecked(false);
    dialog.chkIntensity()->setChecked(false);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

} // namespace
