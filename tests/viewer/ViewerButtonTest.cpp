#include "ViewerButton.h"

#include "TestApplication.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using viewer::ViewerButton;

class ViewerButtonTest : public testing::Test
{
protected:
    void SetUp() override { testsupport::ensureApplication(); }
};

TEST_F(ViewerButtonTest, PicturesAreSharpAtTheScreensPixelRatio)
{
    const QPixmap normal = ViewerButton::picture(ViewerButton::Glyph::Close, false, 1);
    const QPixmap doubled = ViewerButton::picture(ViewerButton::Glyph::Close, false, 2);
    EXPECT_EQ(normal.size(), QSize(16, 14));
    EXPECT_EQ(doubled.size(), QSize(32, 28));
    EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(16, 14));
}

TEST_F(ViewerButtonTest, EachGlyphHasDistinctPressedAndReleasedPictures)
{
    using Glyph = ViewerButton::Glyph;
    const Glyph glyphs[] = {Glyph::Close, Glyph::Play, Glyph::Pause, Glyph::Previous, Glyph::Next};
    for (const Glyph a : glyphs) {
        const QImage released = ViewerButton::picture(a, false, 1).toImage();
        EXPECT_NE(released, ViewerButton::picture(a, true, 1).toImage()) << int(a);
        for (const Glyph b : glyphs) {
            if (a != b) {
                EXPECT_NE(released, ViewerButton::picture(b, false, 1).toImage())
                    << int(a) << " " << int(b);
            }
        }
    }
}

TEST_F(ViewerButtonTest, ActsOnlyWhenReleasedOverIt)
{
    ViewerButton button(ViewerButton::Glyph::Next);
    button.show();
    QSignalSpy clicked(&button, &ViewerButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(8, 7));
    EXPECT_TRUE(button.showsPressed());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(8, 7));
    EXPECT_FALSE(button.showsPressed());
    EXPECT_EQ(clicked.count(), 1);

    // Dragged off while held: released picture, and no action on release.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(8, 7));
    QMouseEvent away(QEvent::MouseMove, QPointF(40, 7), button.mapToGlobal(QPointF(40, 7)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &away);
    EXPECT_FALSE(button.showsPressed());
    QMouseEvent back(QEvent::MouseMove, QPointF(3, 3), button.mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &back);
    EXPECT_TRUE(button.showsPressed());
    QCoreApplication::sendEvent(&button, &away);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(40, 7));
    EXPECT_EQ(clicked.count(), 1);
}

} // namespace
