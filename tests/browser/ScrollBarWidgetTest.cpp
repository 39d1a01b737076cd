#include "EventLoopWait.h"
#include "TVelkoScrollBar.h"
#include "TVelkoScrollPanel.h"
#include "TestApplication.h"

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(point), widget->mapToGlobal(QPointF(point)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void press(QWidget* widget, QPoint point)
{
    sendMouse(widget, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
}

void moveHeld(QWidget* widget, QPoint point)
{
    sendMouse(widget, QEvent::MouseMove, point, Qt::NoButton, Qt::LeftButton);
}

void release(QWidget* widget, QPoint point)
{
    sendMouse(widget, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

class ScrollBarWidgetTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }

    // The colour dialog's slider: 113 pixels wide, range 1113, page click, no arrows.
    std::unique_ptr<TVelkoScrollBar> colourSlider()
    {
        auto bar = std::make_unique<TVelkoScrollBar>();
        bar->resize(113, 17);
        bar->Setup(Qt::Horizontal, 1113, true, false, 500);
        return bar;
    }

    // A print preview's bar beside a picture 3000 pixels high: 300 high, so that a held
    // arrow moves the thumb 300 div 6 div 10 = 5 pixels a step.
    std::unique_ptr<TVelkoScrollBar> previewBar(int range = 3000)
    {
        auto bar = std::make_unique<TVelkoScrollBar>();
        bar->resize(16, 300);
        bar->setRepeatInterval(2ms);
        bar->Setup(Qt::Vertical, range, false, true, 0);
        return bar;
    }

    static int thumbStart(const TVelkoScrollBar& bar) { return bar.track()->thumb().thumbStart(); }
};

TEST_F(ScrollBarWidgetTest, ColourSliderJumpsToTheClickAndClampsWhenDragged)
{
    auto bar = colourSlider();
    QSignalSpy changes(bar.get(), &TVelkoScrollBar::positionChanged);
    ASSERT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->GetPosition() * 2 - 1000, 0);
    TVelkoScrollPanel* track = bar->track();
    const int y = track->height() / 2;

    // After the thumb: it ends at the pointer; before it: it starts there.
    press(track, {90, y});
    release(track, {90, y});
    EXPECT_EQ(track->thumb().thumbEnd() - 1, 90);
    press(track, {10, y});
    release(track, {10, y});
    EXPECT_EQ(track->thumb().thumbStart(), 10);
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.last().at(0).toInt(), bar->GetPosition());

    // Let go outside the track: no click, nothing moves.
    press(track, {90, y});
    release(track, {90, y + 40});
    EXPECT_EQ(track->thumb().thumbStart(), 10);

    // Dragged far past either end, the thumb stops there and the value is at its limit.
    const QPoint onThumb(track->thumb().thumbStart() + 5, y);
    press(track, onThumb);
    moveHeld(track, onThumb + QPoint(400, 0));
    EXPECT_EQ(bar->GetPosition() * 2 - 1000, 1000);
    moveHeld(track, onThumb - QPoint(400, 0));
    EXPECT_EQ(bar->GetPosition() * 2 - 1000, -1000);
    const int countAtStart = changes.count();
    moveHeld(track, onThumb - QPoint(500, 0));
    EXPECT_EQ(changes.count(), countAtStart) << "a drag that moves nothing reports nothing";
    release(track, onThumb);
    moveHeld(track, onThumb + QPoint(50, 0));
    EXPECT_EQ(bar->GetPosition(), 0) << "no drag after the release";
}

TEST_F(ScrollBarWidgetTest, PreviewBarIgnoresClicksBesideTheThumb)
{
    auto bar = previewBar();
    TVelkoScrollPanel* track = bar->track();
    const QPoint below(track->width() / 2, track->height() - 3);
    press(track, below);
    release(track, below);
    EXPECT_EQ(bar->GetPosition(), 0);
}

TEST_F(ScrollBarWidgetTest, BarShowsOnlyWhileTheContentDoesNotFit)
{
    QWidget window;
    window.resize(100, 400);
    auto* bar = new TVelkoScrollBar(&window);
    bar->resize(16, 300);
    window.show();
    QSignalSpy changes(bar, &TVelkoScrollBar::positionChanged);

    bar->Setup(Qt::Vertical, 300, false, true, 40);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->GetPosition(), 0);

    bar->Setup(Qt::Vertical, 3000, false, true, 40);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->GetPosition(), 0);
    ASSERT_EQ(changes.count(), 1) << "setting up reports the position";

    bar->Setup(Qt::Vertical, 250, false, true, 40);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->GetPosition(), 0);
}

TEST_F(ScrollBarWidgetTest, SettingAColourRepaintsInIt)
{
    auto bar = colourSlider();
    bar->setBorderColor(QColor(10, 200, 10));
    bar->setThumbColor(QColor(200, 200, 0));
    const QImage picture = bar->grab().toImage();
    const int y = bar->height() / 2;
    const int thumbMiddle = 1 + thumbStart(*bar) + 5;
    EXPECT_EQ(picture.pixelColor(0, y), QColor(10, 200, 10));
    EXPECT_EQ(picture.pixelColor(thumbMiddle, y), QColor(200, 200, 0));
    EXPECT_EQ(picture.pixelColor(4, y), QColor(Qt::white));
}

TEST_F(ScrollBarWidgetTest, HeldArrowRepeatsStopsWhenLeftAndResumesOnReturn)
{
    auto bar = previewBar();
    QSignalSpy changes(bar.get(), &TVelkoScrollBar::positionChanged);
    const QPoint down = bar->barLayout().secondArrow.center();
    const QPoint offArrow = bar->track()->geometry().center();

    press(bar.get(), down);
    ASSERT_TRUE(bar->repeating());
    ASSERT_TRUE(pumpUntil([&] { return changes.count() >= 3; }));
    // Every repeat message is one step of 5 pixels.
    EXPECT_EQ(thumbStart(*bar), 5 * changes.count());

    moveHeld(bar.get(), offArrow);
    EXPECT_FALSE(bar->repeating());
    const int whenLeft = changes.count();
    const int startWhenLeft = thumbStart(*bar);
    pumpFor(30ms); // a message already on its way must not move the thumb
    EXPECT_EQ(changes.count(), whenLeft);

    moveHeld(bar.get(), down);
    ASSERT_TRUE(bar->repeating());
    ASSERT_TRUE(pumpUntil([&] { return changes.count() >= whenLeft + 2; }));
    EXPECT_EQ(thumbStart(*bar), startWhenLeft + 5 * (changes.count() - whenLeft));

    release(bar.get(), down);
    EXPECT_FALSE(bar->repeating());
    const int whenReleased = thumbStart(*bar);
    pumpFor(30ms);
    EXPECT_EQ(thumbStart(*bar), whenReleased);

    // Coming back after the release does not start it again.
    moveHeld(bar.get(), offArrow);
    moveHeld(bar.get(), down);
    EXPECT_FALSE(bar->repeating());

    press(bar.get(), bar->barLayout().firstArrow.center());
    ASSERT_TRUE(pumpUntil([&] { return thumbStart(*bar) < whenReleased; }));
    release(bar.get(), bar->barLayout().firstArrow.center());
}

TEST_F(ScrollBarWidgetTest, HeldArrowStopsAtTheEndOfTheContent)
{
    auto bar = previewBar(400);
    press(bar.get(), bar->barLayout().secondArrow.center());
    ASSERT_TRUE(pumpUntil([&] { return bar->GetPosition() == 100; }));
    pumpFor(20ms);
    EXPECT_EQ(bar->GetPosition(), 100);
    release(bar.get(), bar->barLayout().secondArrow.center());
}

TEST_F(ScrollBarWidgetTest, HiddenBarStopsItsHeldArrow)
{
    auto bar = previewBar();
    bar->show();
    press(bar.get(), bar->barLayout().secondArrow.center());
    ASSERT_TRUE(bar->repeating());
    bar->hide();
    EXPECT_FALSE(bar->repeating());
}

TEST_F(ScrollBarWidgetTest, ResizedBarIsLaidOutAgainAndKeepsItsPosition)
{
    auto bar = previewBar();
    bar->Setup(Qt::Vertical, 3000, false, true, 1200);
    const int before = bar->GetPosition();
    bar->resize(16, 600);
    EXPECT_EQ(bar->track()->height(), 600 - 2 * (16 + 1));
    EXPECT_EQ(bar->barLayout().secondArrow.bottom(), 600 - 2);
    EXPECT_NEAR(bar->GetPosition(), before, 10);
}

// The repeat thread may be waiting in a send to the bar, or between two of them, when the
// bar goes; it must neither touch the bar afterwards nor be left behind.
TEST_F(ScrollBarWidgetTest, BarDestroyedWhileItsArrowRepeats)
{
    for (int round = 0; round < 20; ++round) {
        auto bar = previewBar();
        bar->setRepeatInterval(1ms);
        QSignalSpy changes(bar.get(), &TVelkoScrollBar::positionChanged);
        const QPoint down = bar->barLayout().secondArrow.center();
        press(bar.get(), down);
        if (round % 2 == 0) {
            ASSERT_TRUE(pumpUntil([&] { return changes.count() >= 1; }));
        }
        // Leave and come back without delivering anything: threads asked to end pile up
        // while their messages wait.
        for (int i = 0; i < 3; ++i) {
            moveHeld(bar.get(), bar->track()->geometry().center());
            moveHeld(bar.get(), down);
        }
        bar.reset();
        pumpFor(5ms);
    }
}

} // namespace
