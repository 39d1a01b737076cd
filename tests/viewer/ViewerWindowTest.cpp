#include "TVelkoImageScroller.h"
#include "TfrmViewer.h"
#include "ViewerButton.h"
#include "ViewerTestSupport.h"
#include "uLanguage.h"

#include <QTest>
#include <QTimer>

#include <memory>

namespace {

using viewertest::PhotoFolder;
using viewertest::ShownRecord;

constexpr int kLongInterval = 3600 * 1000; // the show never steps by itself

class ViewerWindow : public testing::Test
{
protected:
    void SetUp() override { testsupport::ensureApplication(); }

    // A window at a known size; the slideshow is shown as a plain window so that its area is
    // known too. Pictures on screen stay small and the windows large: Qt paints some pictures
    // on threads of its own, whose hand-overs ThreadSanitizer cannot see.
    std::unique_ptr<TfrmViewer> open(TfrmViewer::Mode mode, const QStringList& files,
                                     bool prepareAhead = true, QSize size = {800, 600})
    {
        auto viewer = std::make_unique<TfrmViewer>();
        viewer->setMode(mode);
        viewer->setSlideInterval(kLongInterval);
        viewer->setPrepareAhead(prepareAhead);
        // QtDBus runs a thread of its own inside Qt, which ThreadSanitizer cannot follow; the
        // main window's tests see the slideshow inhibit the screensaver.
        viewer->setInhibitScreenSaver(false);
        viewer->setPhotoFiles(files);
        viewer->setGeometry(QRect(QPoint(40, 40), size));
        return viewer;
    }
    static QLabel* image(const TfrmViewer& viewer)
    {
        return viewer.findChild<QLabel*>(QStringLiteral("Image1"));
    }
    static QLabel* area(const TfrmViewer& viewer)
    {
        return viewer.findChild<QLabel*>(QStringLiteral("pnImage"));
    }
    static QTimer* timer(const TfrmViewer& viewer, const char* name)
    {
        return viewer.findChild<QTimer*>(QLatin1String(name));
    }

    PhotoFolder mFolder;
};

TEST_F(ViewerWindow, HandingOverShowsLoadingAndFillsTheStrip)
{
    const QStringList files = mFolder.jpegs(3);
    auto viewer = open(TfrmViewer::Mode::View, files);
    EXPECT_EQ(area(*viewer)->text(), GetText(122));
    const auto* strip = viewer->findChild<TVelkoImageScroller*>();
    ASSERT_EQ(strip->photos().count(), 3);
    EXPECT_EQ(strip->photos().at(2)->path(), files.at(2));
}

TEST_F(ViewerWindow, SmallerPhotoKeepsItsSizeCentred)
{
    auto viewer = open(TfrmViewer::Mode::View, {mFolder.jpeg("small.jpg", 120, 90)});
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    const QSize areaSize = area(*viewer)->size();
    EXPECT_TRUE(area(*viewer)->text().isEmpty());
    EXPECT_TRUE(image(*viewer)->isVisible());
    EXPECT_EQ(image(*viewer)->geometry(),
              QRect((areaSize.width() - 120) / 2, (areaSize.height() - 90) / 2, 120, 90));
}

TEST_F(ViewerWindow, LargerPhotoIsFittedByItsLimitingSideAndNeverDecodedLarger)
{
    auto viewer = open(TfrmViewer::Mode::View,
                       {mFolder.jpeg("wide.jpg", 3000, 600), mFolder.jpeg("tall.jpg", 600, 3000)});
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    const QSize areaSize = area(*viewer)->size();
    QRect placed = image(*viewer)->geometry();
    EXPECT_EQ(placed.width(), areaSize.width());
    EXPECT_NEAR(placed.height(), areaSize.width() / 5.0, 0.5);
    EXPECT_EQ(placed.top(), (areaSize.height() - placed.height()) / 2);
    const QSize decoded = image(*viewer)->pixmap().size();
    EXPECT_LE(decoded.width(), areaSize.width());
    EXPECT_LE(decoded.height(), areaSize.height());

    // Picking the second thumbnail shows that photo.
    viewer->findChild<TVelkoImageScroller*>()->SetActiveIndex(1);
    ASSERT_TRUE(shown.waitFor(2));
    EXPECT_EQ(shown.indexes.back(), 1);
    placed = image(*viewer)->geometry();
    EXPECT_EQ(placed.height(), areaSize.height());
    EXPECT_NEAR(placed.width(), areaSize.height() / 5.0, 0.5);
    EXPECT_EQ(placed.left(), (areaSize.width() - placed.width()) / 2);
}

TEST_F(ViewerWindow, UnreadableFileShowsAnEmptyAreaAndTheShowMovesOn)
{
    QStringList files = mFolder.jpegs(2);
    files.insert(1, mFolder.file("broken.jpg", QByteArray("\xff\xd8\xff\xe0 not a picture", 20)));
    auto viewer = open(TfrmViewer::Mode::Slideshow, files);
    viewer->setSlideInterval(20);
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(4));
    EXPECT_EQ(std::vector<int>(shown.indexes.begin(), shown.indexes.begin() + 4),
              (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(std::vector<bool>(shown.withPicture.begin(), shown.withPicture.begin() + 4),
              (std::vector<bool>{true, false, true, true}));
}

TEST_F(ViewerWindow, PreviousOnTheFirstWrapsToTheLastAndNextOnTheLastToTheFirst)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(3));
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    QTest::keyClick(viewer.get(), Qt::Key_Left);
    ASSERT_TRUE(shown.waitFor(2));
    QTest::keyClick(viewer.get(), Qt::Key_Space);
    ASSERT_TRUE(shown.waitFor(3));
    EXPECT_EQ(shown.indexes, (std::vector<int>{0, 2, 0}));
}

// Without preparation ahead a step always starts a load, which stays in progress until the
// event loop delivers the worker's answer: the keys below all come before that.
TEST_F(ViewerWindow, PausingWhileAPhotoLoadsShowsThatPhotoOnResume)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(4), false);
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    QTest::keyClick(viewer.get(), Qt::Key_Right);
    ASSERT_TRUE(viewer->isLoading());
    QTest::keyClick(viewer.get(), Qt::Key_P);
    EXPECT_TRUE(viewer->isPaused());
    EXPECT_FALSE(viewer->isLoading());
    EXPECT_FALSE(timer(*viewer, "tmSlide")->isActive());
    QTest::keyClick(viewer.get(), Qt::Key_P);
    ASSERT_TRUE(shown.waitFor(2));
    EXPECT_EQ(shown.indexes, (std::vector<int>{0, 1}));
    EXPECT_TRUE(timer(*viewer, "tmSlide")->isActive());
}

TEST_F(ViewerWindow, NextWhileAPhotoLoadsDoesNothing)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(4), false);
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    QTest::keyClick(viewer.get(), Qt::Key_Right);
    ASSERT_TRUE(viewer->isLoading());
    QTest::keyClick(viewer.get(), Qt::Key_Right);
    QTest::keyClick(viewer.get(), Qt::Key_Space);
    ASSERT_TRUE(shown.waitFor(2));
    QTest::keyClick(viewer.get(), Qt::Key_Right);
    ASSERT_TRUE(shown.waitFor(3));
    EXPECT_EQ(shown.indexes, (std::vector<int>{0, 1, 2}));
}

TEST_F(ViewerWindow, PreviousWhileTheFirstLoadsAfterTheWrapShowsTheOneBeforeTheLast)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(3), false);
    ShownRecord shown(*viewer);
    viewer->show();
    for (std::size_t i = 1; i <= 2; ++i) {
        ASSERT_TRUE(shown.waitFor(i));
        QTest::keyClick(viewer.get(), Qt::Key_Right);
    }
    ASSERT_TRUE(shown.waitFor(3));
    QTest::keyClick(viewer.get(), Qt::Key_Right); // photo 0 loads, photo 2 is on screen
    ASSERT_TRUE(viewer->isLoading());
    QTest::keyClick(viewer.get(), Qt::Key_Left);
    ASSERT_TRUE(shown.waitFor(4));
    EXPECT_EQ(shown.indexes, (std::vector<int>{0, 1, 2, 1}));
}

TEST_F(ViewerWindow, APreparedSlideIsShownAtOnce)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(3));
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    ASSERT_TRUE(pumpUntil([&] { return viewer->isNextPrepared(); }));
    viewer->nextPhoto();
    ASSERT_EQ(shown.indexes, (std::vector<int>{0, 1})) << "shown within the step";
    EXPECT_FALSE(viewer->isLoading());
    EXPECT_TRUE(image(*viewer)->isVisible());
    EXPECT_EQ(image(*viewer)->geometry().size(), QSize(320, 240));
    // The one after it is prepared in turn.
    EXPECT_TRUE(pumpUntil([&] { return viewer->isNextPrepared(); }));
}

TEST_F(ViewerWindow, APreparationForAnotherAreaSizeIsNotUsed)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(3));
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    ASSERT_TRUE(pumpUntil([&] { return viewer->isNextPrepared(); }));
    viewer->resize(700, 500);
    ASSERT_TRUE(pumpUntil([&] { return area(*viewer)->size() == QSize(700, 500); }));
    EXPECT_FALSE(viewer->isNextPrepared());
    viewer->nextPhoto();
    EXPECT_TRUE(viewer->isLoading());
    ASSERT_TRUE(shown.waitFor(2));
    EXPECT_EQ(shown.indexes.back(), 1);
}

TEST_F(ViewerWindow, AResizeReloadsOnceAtItsEndAndOnlyIfTheAreaChanged)
{
    auto viewer =
        open(TfrmViewer::Mode::View, {mFolder.jpeg("photo.jpg", 2400, 1800)}, true, {420, 340});
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    QTimer* settle = timer(*viewer, "tmResizeEnd");

    // A drag: sizes in quick succession, each one stretching what is shown.
    const QSize before = area(*viewer)->size();
    for (int step = 1; step <= 4; ++step) {
        viewer->resize(420 + 10 * step, 340 + 10 * step);
        ASSERT_TRUE(
            pumpUntil([&] { return area(*viewer)->width() == before.width() + 10 * step; }));
        EXPECT_FALSE(viewer->isLoading()) << "reloaded before the drag ended, step " << step;
    }
    EXPECT_TRUE(settle->isActive());
    const QRect stretched = image(*viewer)->geometry();
    EXPECT_EQ(stretched.width(), before.width() + 40);
    ASSERT_TRUE(shown.waitFor(2));
    EXPECT_EQ(image(*viewer)->geometry(), stretched);
    EXPECT_GT(image(*viewer)->pixmap().width(), before.width());

    // There and back again: the same area, no reload.
    viewer->resize(440, 360);
    viewer->resize(460, 380);
    ASSERT_TRUE(pumpUntil([&] { return !settle->isActive(); }));
    EXPECT_FALSE(viewer->isLoading());
    pumpFor(100ms);
    EXPECT_EQ(shown.indexes.size(), 2u);
}

TEST_F(ViewerWindow, MaximisingReloadsAtOnce)
{
    auto viewer =
        open(TfrmViewer::Mode::View, {mFolder.jpeg("photo.jpg", 240, 180)}, true, {400, 300});
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    const QSize before = area(*viewer)->size();
    viewer->showMaximized();
    ASSERT_TRUE(pumpUntil([&] { return area(*viewer)->size() != before; }));
    ASSERT_TRUE(pumpUntil([&] { return viewer->isLoading() || shown.indexes.size() == 2; }, 200ms))
        << "waited for the end of a drag";
    EXPECT_FALSE(timer(*viewer, "tmResizeEnd")->isActive());
    ASSERT_TRUE(shown.waitFor(2));
}

TEST_F(ViewerWindow, OtherKeysShowTheLegendForAWhile)
{
    LoadLanguage();
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(1));
    viewer->show();
    auto* legend = viewer->findChild<QLabel*>(QStringLiteral("pnMenu"));
    for (const unsigned id : {128u, 129u, 130u, 131u})
        EXPECT_TRUE(legend->text().contains(GetText(id).toHtmlEscaped())) << id;
    EXPECT_FALSE(legend->isVisible());
    QTest::keyClick(viewer.get(), Qt::Key_X);
    EXPECT_TRUE(legend->isVisible());
    EXPECT_EQ(legend->geometry().right(), viewer->width() - 1);
    EXPECT_TRUE(pumpUntil([&] { return !legend->isVisible(); }, 5s));
}

TEST_F(ViewerWindow, PlayButtonTogglesItsPictureAndHint)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(2));
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    auto* play = viewer->findChild<viewer::ViewerButton*>(QStringLiteral("imPlay"));
    EXPECT_EQ(play->toolTip(), GetText(124));
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_TRUE(viewer->isPaused());
    EXPECT_EQ(play->glyph(), viewer::ViewerButton::Glyph::Play);
    EXPECT_EQ(play->toolTip(), GetText(125));
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_FALSE(viewer->isPaused());
    ASSERT_TRUE(shown.waitFor(2));
    EXPECT_EQ(shown.indexes.back(), 1);
}

TEST_F(ViewerWindow, EscapeClosesTheSlideshowAndStopsItsLoad)
{
    auto viewer = open(TfrmViewer::Mode::Slideshow, mFolder.jpegs(3), false);
    ShownRecord shown(*viewer);
    viewer->show();
    ASSERT_TRUE(shown.waitFor(1));
    QTest::keyClick(viewer.get(), Qt::Key_Right);
    ASSERT_TRUE(viewer->isLoading());
    QTest::keyClick(viewer.get(), Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->isLoading());
    pumpFor(50ms);
    EXPECT_EQ(shown.indexes.size(), 1u);
}

TEST_F(ViewerWindow, TheStripSpacerNarrowsWhenTheStripScrolls)
{
    auto few = open(TfrmViewer::Mode::View, mFolder.jpegs(2, 64, 48));
    few->show();
    auto* space = few->findChild<QWidget*>(QStringLiteral("pnLeftSpace"));
    ASSERT_TRUE(pumpUntil([&] { return space->width() == 16; }));

    auto many = open(TfrmViewer::Mode::View, mFolder.jpegs(30, 64, 48));
    many->show();
    space = many->findChild<QWidget*>(QStringLiteral("pnLeftSpace"));
    EXPECT_TRUE(pumpUntil([&] { return space->width() == 8; }));
}

} // namespace
