// The wizard frame's arithmetic: step list bounds, the highlighted step and where the window
// and its pictures go. No widgets, so it is tested without a display.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace wizard {

inline constexpr int kHeaderHeight = 53;
inline constexpr int kHeaderStripHeight = 4;
inline constexpr int kSideBarWidth = 145;
inline constexpr int kStepsLeft = 6;
inline constexpr int kStepsTop = 12;
inline constexpr int kStepsWidth = kSideBarWidth - kStepsLeft - 12;
inline constexpr int kStepNumberLeft = 4;
inline constexpr int kStepGap = 11;
inline constexpr int kPictureGap = 12;
inline constexpr int kTitleLeft = 161;
inline constexpr QSize kLogoSize(122, 39);

// Only steps that have a page are listed.
constexpr int shownStepCount(int stepCount, int pageCount)
{
    return qMax(0, qMin(stepCount, pageCount));
}

// The step drawn in red for a page, or -1 when that page has no listed step.
constexpr int highlightedStep(int pageIndex, int shownSteps)
{
    return pageIndex >= 0 && pageIndex < shownSteps ? pageIndex : -1;
}

// The whole window: the page area with the header above and the side bar beside it.
constexpr QSize frameSize(QSize pageArea)
{
    return {pageArea.width() + kSideBarWidth, pageArea.height() + kHeaderHeight};
}

// Centred on the screen's work area; a window larger than the work area starts at its
// top-left corner, so that its title bar stays reachable.
QPoint centredTopLeft(const QRect& workArea, QSize window);

// Centred in the header above its bottom strip.
constexpr QPoint logoTopLeft()
{
    return {(kSideBarWidth - kLogoSize.width()) / 2,
            (kHeaderHeight - kHeaderStripHeight - kLogoSize.height()) / 2};
}

constexpr int titleTop(int textHeight)
{
    return qMax(0, (kHeaderHeight - kHeaderStripHeight - textHeight) / 2);
}

// The side picture, centred in the side bar below the steps; x and y in the side bar.
constexpr QPoint sidePictureTopLeft(int stepsHeight, QSize picture)
{
    return {qMax(0, (kSideBarWidth - picture.width()) / 2), kStepsTop + stepsHeight + kPictureGap};
}

} // namespace wizard
