#include "GridTestSupport.h"
#include "TVelkoImageScroller.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace gridtest;

namespace {

// The application font with a text height of 16 px, as the main window has it.
bool useFontOfHeight16()
{
    QFont font = QApplication::font();
    for (int pixels = 8; pixels <= 30; ++pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() == 16) {
            QApplication::setFont(font);
            return true;
        }
    }
    return false;
}

class GridWidgetTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ensureApplication();
        fontOk = useFontOfHeight16();
    }

    void SetUp() override
    {
        grid = std::make_unique<TVelkoImageScroller>();
        grid->setFocusedSelectedColor(QColor(200, 0, 0));
        grid->setUnFocusedSelectedColor(QColor(0, 0, 200));
    }

    // Photos named p00.jpg …, each with a 40 × 30 thumbnail, in a grid of 5 columns.
    void showPhotos(int count, int height = 0)
    {
        for (int i = 0; i < count; ++i) {
            auto photo = std::make_unique<TPhoto>(
                QStringLiteral("/photos/p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
            ASSERT_TRUE(grid->AddPhoto(photo, jpegBytes(40, 30), false));
        }
        const auto& m = grid->metrics();
        const int gap = m.gap();
        const int rows = (count + 4) / 5;
        // A given height may be too low for all photos: room for the bar, then.
        const int bar =
            height > 0 ? grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid.get())
                       : 0;
        grid->resize(gap + 5 * (m.cellWidth() + gap) + gap + bar,
                     height > 0 ? height : gap + rows * (m.cellHeight() + gap) + gap);
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        grid->activateWindow();
        grid->setFocus();
        ASSERT_EQ(grid->gridLayout().columns, 5);
    }

    QRect cell(int index) const
    {
        return grid::slotRect(grid->gridLayout(), grid->metrics(),
                              index - grid->gridLayout().firstIndex);
    }

    void send(QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons)
    {
        const QPointF local(at);
        QMouseEvent event(type, local, grid->mapToGlobal(local),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(grid.get(), &event);
    }
    void press(const QPoint& at) { send(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void move(const QPoint& at) { send(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(const QPoint& at) { send(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    void click(const QPoint& at)
    {
        press(at);
        release(at);
    }
    void drag(const QPoint& from, const QPoint& to)
    {
        press(from);
        move(from + QPoint(6, 6)); // past the threshold
        move(to);
        release(to);
    }

    int indexOf(const char* name) const
    {
        return grid->photos().indexOfPath(QStringLiteral("/photos/") + QLatin1String(name));
    }
    QString nameAt(int index) const { return grid->photos().at(index)->path().mid(8); }

    static inline bool fontOk = false;
    std::unique_ptr<TVelkoImageScroller> grid;
};

TEST_F(GridWidgetTest, MainWindowValuesGiveTheirCellSize)
{
    if (!fontOk)
        GTEST_SKIP() << "no font of text height 16";
    grid->setThumbSize(92);
    grid->setItemBorderWidth(1);
    grid->setPadding(6);
    grid->setSpacing(12);
    EXPECT_EQ(grid->metrics().textHeight, 16);
    EXPECT_EQ(grid->metrics().gap(), 4);
    EXPECT_EQ(grid->metrics().cellWidth(), 114);
    EXPECT_EQ(grid->metrics().cellHeight(), 154);
    grid->setShowCheckbox(false);
    grid->setShowFilename(false);
    EXPECT_EQ(grid->metrics().cellHeight(), 114);
}

TEST_F(GridWidgetTest, AClickFocusesAndTogglesButGapsAndMarginsDoNot)
{
    showPhotos(12);
    QSignalSpy focus(grid.get(), &TVelkoImageScroller::OnSelectedItemChange);

    click(cell(7).center());
    EXPECT_EQ(grid->focusedIndex(), 7);
    EXPECT_TRUE(grid->photos().at(7)->selected());
    ASSERT_FALSE(focus.isEmpty());
    EXPECT_EQ(focus.last().at(0).toInt(), 7);
    click(cell(7).bottomLeft() + QPoint(6, -6)); // the whole cell toggles
    EXPECT_FALSE(grid->photos().at(7)->selected());
    click(cell(7).center());
    ASSERT_TRUE(grid->photos().at(7)->selected());

    // The outer 4 px of a cell and the gap between cells.
    const std::vector<QPoint> misses = {
        cell(7).topLeft() + QPoint(2, 40), cell(7).topRight() + QPoint(-1, 40),
        cell(7).topLeft() + QPoint(40, 3), cell(7).topLeft() + QPoint(-2, 40)};
    for (const QPoint& miss : misses) {
        grid->SetActiveIndex(7);
        click(miss);
        EXPECT_EQ(grid->focusedIndex(), -1) << miss.x() << "," << miss.y();
        EXPECT_EQ(focus.last().at(0).toInt(), -1);
    }
    for (const auto& photo : grid->photos())
        EXPECT_EQ(photo->selected(), photo.get() == grid->photos().at(7));

    // Pressing on one cell and releasing on another toggles nothing.
    press(cell(2).center());
    release(cell(3).center());
    EXPECT_EQ(grid->focusedIndex(), 2);
    EXPECT_FALSE(grid->photos().at(2)->selected());
    EXPECT_FALSE(grid->photos().at(3)->selected());
}

TEST_F(GridWidgetTest, KeysMoveTheFocusToggleAndOpen)
{
    showPhotos(12);
    QSignalSpy opened(grid.get(), &TVelkoImageScroller::OnItemDblClick);

    QTest::keyClick(grid.get(), Qt::Key_Right); // no focus: the first photo
    EXPECT_EQ(grid->focusedIndex(), 0);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    EXPECT_EQ(grid->focusedIndex(), 0);
    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->focusedIndex(), 0);

    grid->SetActiveIndex(8);
    QTest::keyClick(grid.get(), Qt::Key_Down); // 13 lies on the last line: its last photo
    EXPECT_EQ(grid->focusedIndex(), 11);
    QTest::keyClick(grid.get(), Qt::Key_Right);
    EXPECT_EQ(grid->focusedIndex(), 11);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->focusedIndex(), 11);
    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->focusedIndex(), 6);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    EXPECT_EQ(grid->focusedIndex(), 5);

    QTest::keyClick(grid.get(), Qt::Key_Space);
    EXPECT_TRUE(grid->photos().at(5)->selected());
    QTest::keyClick(grid.get(), Qt::Key_Space);
    EXPECT_FALSE(grid->photos().at(5)->selected());
    grid->setShowCheckbox(false);
    QTest::keyClick(grid.get(), Qt::Key_Space);
    EXPECT_FALSE(grid->photos().at(5)->selected());

    QTest::keyClick(grid.get(), Qt::Key_Return);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.last().at(0).value<TPhoto*>(), grid->photos().at(5));
}

TEST_F(GridWidgetTest, DraggingReordersOnlyAfterTheThreshold)
{
    showPhotos(12);
    grid->setAllowSorting(true);

    // Photo 2 onto the gap before photo 5 (the left edge of the second row).
    drag(cell(2).center(), QPoint(1, cell(5).center().y()));
    EXPECT_EQ(indexOf("p02.jpg"), 4);
    EXPECT_EQ(nameAt(2), QStringLiteral("p03.jpg"));
    EXPECT_EQ(grid->focusedIndex(), 4);
    EXPECT_FALSE(grid->photos().at(4)->selected());

    // Photo 5 onto photo 2.
    drag(cell(5).center(), cell(2).center());
    EXPECT_EQ(indexOf("p05.jpg"), 2);
    EXPECT_EQ(grid->focusedIndex(), 2);
    EXPECT_EQ(nameAt(3), QStringLiteral("p03.jpg"));

    // Under the threshold it is a click: nothing moves, the photo toggles. The threshold is
    // a distance, so a diagonal jitter of 7 px is still a click.
    press(cell(8).center());
    move(cell(8).center() + QPoint(5, 5));
    release(cell(8).center() + QPoint(5, 5));
    EXPECT_EQ(indexOf("p08.jpg"), 8);
    EXPECT_TRUE(grid->photos().at(8)->selected());

    // Dropped onto itself: nothing moves, nothing toggles.
    drag(cell(9).center(), cell(9).center() + QPoint(12, 0));
    EXPECT_EQ(indexOf("p09.jpg"), 9);
    EXPECT_FALSE(grid->photos().at(9)->selected());

    // Without AllowSorting a drag is no reorder.
    grid->setAllowSorting(false);
    drag(cell(0).center(), cell(10).center());
    EXPECT_EQ(nameAt(0), QStringLiteral("p00.jpg"));
}

TEST_F(GridWidgetTest, APhotoInsertedAfterADragGoesToTheFirstNotLowerName)
{
    showPhotos(4);
    grid->setAllowSorting(true);
    drag(cell(3).center(), cell(0).center());
    ASSERT_EQ(nameAt(0), QStringLiteral("p03.jpg"));

    // Out of name order now: the first photo not below the new name is p03.jpg at the front.
    grid->InsertPhotoSorted(std::make_unique<TPhoto>(QStringLiteral("/photos/p01a.jpg")));
    EXPECT_EQ(nameAt(0), QStringLiteral("p01a.jpg"));
    EXPECT_EQ(grid->photos().count(), 5);
}

TEST_F(GridWidgetTest, StepScrollEndsEveryScrollActionOnAWholeLine)
{
    showPhotos(60, 300);
    grid->setStepScroll(true);
    auto* bar = grid->findChild<QScrollBar*>();
    ASSERT_TRUE(bar);
    const int pitch = grid->gridLayout().pitch;
    ASSERT_NE(bar->pageStep() % pitch, 0); // a page is not a whole number of lines

    const auto onALine = [&] {
        return grid->ScrollBarPos() % pitch == 0 || grid->ScrollBarPos() == bar->maximum();
    };
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd); // a click in the trough
    EXPECT_GT(grid->ScrollBarPos(), 0);
    EXPECT_TRUE(onALine()) << grid->ScrollBarPos();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // the arrow
    EXPECT_TRUE(onALine()) << grid->ScrollBarPos();

    QWheelEvent wheel(QPointF(5, 5), bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -40),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    const int before = grid->ScrollBarPos();
    QApplication::sendEvent(bar, &wheel); // a small turn over the bar itself
    EXPECT_TRUE(onALine()) << grid->ScrollBarPos() << " from " << before;
    EXPECT_GT(grid->ScrollBarPos(), before); // not snapped back to where it was
}

TEST_F(GridWidgetTest, WheelScrollsOneAndAHalfLinesANotchWhenTheBarIsShown)
{
    const auto turn = [&](int delta) {
        QWheelEvent event(QPointF(50, 50), grid->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.get(), &event);
    };
    showPhotos(10);
    ASSERT_EQ(grid->ScrollBarMax(), 0);
    turn(-120);
    EXPECT_EQ(grid->ScrollBarPos(), 0);

    grid.reset();
    SetUp();
    showPhotos(40, 300);
    ASSERT_GT(grid->ScrollBarMax(), 0);
    QSignalSpy scrolled(grid.get(), &TVelkoImageScroller::OnScrollPosChanged);
    const int notch = (grid->metrics().cellHeight() + grid->metrics().gap()) * 3 / 2;
    turn(-120);
    EXPECT_EQ(grid->ScrollBarPos(), notch);
    ASSERT_FALSE(scrolled.isEmpty());
    EXPECT_EQ(scrolled.last().at(0).toInt(), notch);
    turn(120);
    EXPECT_EQ(grid->ScrollBarPos(), 0);
    // Two notches at once go twice as far; a fine wheel's small steps add up to a notch.
    turn(-240);
    EXPECT_EQ(grid->ScrollBarPos(), 2 * notch);
    turn(240);
    for (int i = 0; i < 8; ++i)
        turn(-15);
    EXPECT_NEAR(grid->ScrollBarPos(), notch, 8);
    turn(1200); // clamped at the top
    EXPECT_EQ(grid->ScrollBarPos(), 0);

    grid->setStepScroll(true);
    turn(-120);
    EXPECT_EQ(grid->ScrollBarPos(), 0);
}

TEST_F(GridWidgetTest, PaintingShowsTheFocusFrameAndTheCheckMark)
{
    showPhotos(6);
    grid->SetActiveIndex(1);
    grid->photos().at(2)->setSelected(true);
    const QColor frame =
        grid->hasFocus() ? grid->focusedSelectedColor() : grid->unFocusedSelectedColor();
    const QImage image = grid->grab().toImage();
    ASSERT_FALSE(image.isNull());

    EXPECT_EQ(image.pixelColor(cell(1).topLeft() + QPoint(1, 1)), frame);
    EXPECT_EQ(image.pixelColor(cell(1).topLeft() + QPoint(3, 30)), grid->color());
    EXPECT_EQ(image.pixelColor(cell(0).topLeft() + QPoint(1, 1)), grid->color());
    // The selected cell has the selected border and background.
    const int margin = grid::kCellMargin;
    EXPECT_EQ(image.pixelColor(cell(2).topLeft() + QPoint(margin, 30)),
              grid->itemSelectedBorderColor());
    EXPECT_EQ(image.pixelColor(cell(0).topLeft() + QPoint(margin, 30)), grid->itemBorderColor());

    // The tick is drawn only in the checked box.
    const auto& m = grid->metrics();
    const auto hasTick = [&](int index) {
        const QRect c = cell(index);
        const QRect box(c.x() + (c.width() - 12) / 2,
                        c.y() + c.height() - m.borderB() - m.padding - 12, 12, 12);
        int dark = 0;
        for (int y = box.top() + 2; y < box.bottom() - 1; ++y)
            for (int x = box.left() + 2; x < box.right() - 1; ++x)
                dark += image.pixelColor(x, y) != QColor(Qt::white);
        return dark > 4;
    };
    EXPECT_TRUE(hasTick(2));
    EXPECT_FALSE(hasTick(0));
    EXPECT_FALSE(hasTick(1));

    // The thumbnail sits centred in its box.
    const QRect c = cell(3);
    const int left = c.x() + (c.width() - 40) / 2;
    const int top = c.y() + m.borderB() + (2 * m.padding + m.thumbSize - 30) / 2;
    EXPECT_NE(image.pixelColor(left + 20, top + 15), grid->itemBGColor());
    EXPECT_EQ(image.pixelColor(left - 2, top + 15), grid->itemBGColor());
}

} // namespace
