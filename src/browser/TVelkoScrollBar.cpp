#include "TVelkoScrollBar.h"

#include "TVelkoScrollPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

const QColor kShadow(128, 128, 128);

// A frame one pixel wide, light on the upper and left edges and dark on the others.
void paintFrame(QPainter& painter, const QRect& rect, const QColor& light, const QColor& dark)
{
    painter.fillRect(rect, dark);
    painter.fillRect(rect.adjusted(0, 0, -1, -1), light);
}

} // namespace

TVelkoScrollBar::TVelkoScrollBar(QWidget* parent)
    : QWidget(parent), mTrack(new TVelkoScrollPanel(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    mTrack->setGeometry(1, 1, 0, 0);
    connect(mTrack, &TVelkoScrollPanel::changed, this,
            [this] { emit positionChanged(GetPosition()); });
}

TVelkoScrollBar::~TVelkoScrollBar()
{
    // Each thread is released from a send it may wait in and joined before the bar goes.
    stopRepeat();
    mEndingThreads.clear();
}

void TVelkoScrollBar::Setup(Qt::Orientation orientation, int range, bool pageClick, bool arrows,
                            int position)
{
    mOrientation = orientation;
    mRange = range;
    mPageClick = pageClick;
    mArrowsWanted = arrows;
    mSetUp = true;
    layOut(position);
}

int TVelkoScrollBar::GetPosition() const
{
    return mTrack->trackEnabled() ? mTrack->position() : 0;
}

void TVelkoScrollBar::layOut(int position)
{
    mLaidOutSize = size();
    mLayout = scroll::layoutBar(mOrientation, size(), mArrowsWanted);
    if (!mLayout.arrows)
        releaseArrows();
    const int length = mOrientation == Qt::Vertical ? height() : width();
    mTrack->setGeometry(mLayout.track);
    mTrack->setUp(mOrientation, mRange, length, position, mPageClick, mLayout.arrows);
    mRepeatStep = length / 6;
    if (!mTrack->trackEnabled())
        releaseArrows();
    setVisible(mTrack->trackEnabled());
    update();
}

void TVelkoScrollBar::resizeEvent(QResizeEvent*)
{
    // The owner may resize the bar after setting it up (a layout, a resized window): lay it
    // out again for the new size, keeping the content where it was.
    if (mSetUp && size() != mLaidOutSize)
        layOut(GetPosition());
}

void TVelkoScrollBar::hideEvent(QHideEvent*)
{
    // A hidden bar gets no release of the button, so a held arrow would repeat for ever.
    releaseArrows();
}

void TVelkoScrollBar::setColor(const QColor& color)
{
    mColor = color;
    mTrack->setColor(color);
    update();
}

void TVelkoScrollBar::setBorderColor(const QColor& color)
{
    mBorderColor = color;
    update();
}

void TVelkoScrollBar::setThumbColor(const QColor& color)
{
    mThumbColor = color;
    mTrack->setThumbColor(color);
}

void TVelkoScrollBar::setThumbBorderColor(const QColor& color)
{
    mThumbBorderColor = color;
    mTrack->setThumbBorderColor(color);
}

void TVelkoScrollBar::setTriangleColor(const QColor& color)
{
    mTriangleColor = color;
    update();
}

QRect TVelkoScrollBar::arrowRect(int arrow) const
{
    return arrow == FirstArrow ? mLayout.firstArrow : mLayout.secondArrow;
}

void TVelkoScrollBar::paintEvent(QPaintEvent*)
{
    // Whole logical pixels throughout, so that a high-DPI screen gets sharp edges.
    QPainter painter(this);
    painter.fillRect(rect(), mColor);
    if (!mSetUp)
        return;
    if (mLayout.arrows) {
        paintArrow(painter, FirstArrow);
        paintArrow(painter, SecondArrow);
    }
    const QRect all = rect();
    painter.fillRect(QRect(all.left(), all.top(), all.width(), 1), mBorderColor);
    painter.fillRect(QRect(all.left(), all.bottom(), all.width(), 1), mBorderColor);
    painter.fillRect(QRect(all.left(), all.top(), 1, all.height()), mBorderColor);
    painter.fillRect(QRect(all.right(), all.top(), 1, all.height()), mBorderColor);
}

void TVelkoScrollBar::paintArrow(QPainter& painter, int arrow) const
{
    const QRect button = arrowRect(arrow);
    const bool pressed = mArrows[arrow].pressed;
    if (pressed) {
        paintFrame(painter, button, kShadow, kShadow);
        painter.fillRect(button.adjusted(1, 1, -1, -1), mColor);
    } else {
        paintFrame(painter, button, Qt::white, mBorderColor);
        paintFrame(painter, button.adjusted(1, 1, -1, -1), mColor, kShadow);
        painter.fillRect(button.adjusted(2, 2, -2, -2), mColor);
    }

    // The triangle points away from the track. Its sides run at 45° through pixel corners
    // and it is filled without smoothing, so that it comes out as whole rows of 1, 3, 5 …
    // device pixels at any pixel ratio instead of a blur.
    const bool vertical = mOrientation == Qt::Vertical;
    const int across = vertical ? button.width() : button.height();
    const int alongSize = vertical ? button.height() : button.width();
    const int depth = std::max(3, (std::min(across, alongSize) - 2) / 4 + 1);
    const double middle = (vertical ? button.left() : button.top()) + (across - 1) / 2 + 0.5;
    const int tipSide = (vertical ? button.top() : button.left()) + (alongSize - depth) / 2;
    const bool towardStart = arrow == FirstArrow;
    const double tip = towardStart ? tipSide : tipSide + depth;
    const double baseLine = towardStart ? tipSide + depth : tipSide;
    const auto point = [vertical](double acrossPos, double alongPos) {
        return vertical ? QPointF(acrossPos, alongPos) : QPointF(alongPos, acrossPos);
    };
    QPainterPath triangle;
    triangle.moveTo(point(middle - depth, baseLine));
    triangle.lineTo(point(middle + depth, baseLine));
    triangle.lineTo(point(middle, tip));
    triangle.closeSubpath();
    painter.fillPath(triangle, mTriangleColor);
}

void TVelkoScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mLayout.arrows)
        return;
    const QPoint point = event->position().toPoint();
    for (int arrow : {FirstArrow, SecondArrow}) {
        if (arrowRect(arrow).contains(point)) {
            mArrows[arrow].pressed = true;
            startRepeat(arrow);
            update();
            return;
        }
    }
}

void TVelkoScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !mLayout.arrows)
        return;
    const QPoint point = event->position().toPoint();
    for (int arrow : {FirstArrow, SecondArrow}) {
        ArrowState& state = mArrows[arrow];
        const bool inside = arrowRect(arrow).contains(point);
        if (state.pressed && !inside) {
            state.pressed = false;
            state.left = true;
            stopRepeat();
            update();
        } else if (state.left && inside) {
            state.left = false;
            state.pressed = true;
            startRepeat(arrow);
            update();
        }
    }
}

void TVelkoScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        releaseArrows();
}

void TVelkoScrollBar::releaseArrows()
{
    bool wasPressed = false;
    for (ArrowState& state : mArrows) {
        wasPressed = wasPressed || state.pressed;
        state = ArrowState{};
    }
    if (wasPressed || mRepeatThread) {
        stopRepeat();
        update();
    }
}

void TVelkoScrollBar::startRepeat(int arrow)
{
    stopRepeat();
    const quint64 serial = ++mRepeatSerial;
    const auto direction = arrow == FirstArrow ? TVelkoScrollTimerThread::Direction::TowardStart
                                               : TVelkoScrollTimerThread::Direction::TowardEnd;
    mRepeatThread = std::make_unique<TVelkoScrollTimerThread>(
        [this, serial](const WindowMessage& message) { return handleRepeat(message, serial); },
        direction, mRepeatStep, mRepeatInterval);
}

void TVelkoScrollBar::stopRepeat()
{
    // Only asked to end: it is woken from its wait and ends by itself, and the ones that
    // have ended are freed here, so nobody waits for a thread on the GUI thread.
    if (mRepeatThread) {
        mRepeatThread->requestStop();
        mEndingThreads.push_back(std::move(mRepeatThread));
    }
    std::erase_if(mEndingThreads, [](const auto& thread) { return !thread->isRunning(); });
}

qintptr TVelkoScrollBar::handleRepeat(const WindowMessage& message, quint64 serial)
{
    // A thread asked to end may still have had one message on its way.
    if (!mRepeatThread || serial != mRepeatSerial)
        return 0;
    const int step = int(message.wParam);
    if (message.id == WM_SCROLL_ARROW_FIRST)
        mTrack->moveThumbBy(-step);
    else if (message.id == WM_SCROLL_ARROW_SECOND)
        mTrack->moveThumbBy(step);
    return 0;
}
