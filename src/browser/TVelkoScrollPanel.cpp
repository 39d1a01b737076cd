#include "TVelkoScrollPanel.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kShadow(128, 128, 128);

} // namespace

TVelkoScrollPanel::TVelkoScrollPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TVelkoScrollPanel::setUp(Qt::Orientation orientation, int range, int view, int position,
                              bool pageClick, bool arrows)
{
    mOrientation = orientation;
    mPageClick = pageClick;
    mArrows = arrows;
    mDragging = false;
    mTargetBefore = mTargetAfter = -1;
    const int length = orientation == Qt::Vertical ? height() : width();
    mGeometry.setUp(length, range, view, position);
    if (mGeometry.enabled())
        emit changed();
    update();
}

void TVelkoScrollPanel::moveThumbBy(int delta)
{
    thumbMoved(mGeometry.moveThumbTo(mGeometry.thumbStart() + delta));
}

void TVelkoScrollPanel::changeLook(QColor& member, const QColor& value)
{
    if (member == value)
        return;
    member = value;
    update();
}

int TVelkoScrollPanel::along(const QPointF& point) const
{
    const QPoint p = point.toPoint();
    return mOrientation == Qt::Vertical ? p.y() : p.x();
}

QRect TVelkoScrollPanel::thumbRect() const
{
    const int start = mGeometry.thumbStart();
    const int length = mGeometry.thumbLength();
    return mOrientation == Qt::Vertical ? QRect(0, start, width(), length)
                                        : QRect(start, 0, length, height());
}

void TVelkoScrollPanel::thumbMoved(bool moved)
{
    if (!moved)
        return;
    emit changed();
    update();
}

void TVelkoScrollPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), mColor);
    if (!mGeometry.enabled())
        return;

    const QRect thumb = thumbRect();
    if (thumb.width() <= 1 || thumb.height() <= 1) {
        painter.fillRect(thumb, mArrows ? kShadow : mThumbBorderColor);
        return;
    }
    // Whole logical pixels with fillRect: on a high-DPI screen each edge covers whole
    // device pixels and stays sharp.
    const QColor light = mArrows ? QColor(Qt::white) : mThumbBorderColor;
    const QColor dark = mArrows ? kShadow : mThumbBorderColor;
    painter.fillRect(thumb, dark);
    painter.fillRect(thumb.adjusted(0, 0, -1, -1), light);
    painter.fillRect(thumb.adjusted(1, 1, -1, -1), mThumbColor);
}

void TVelkoScrollPanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mGeometry.enabled())
        return;
    const int point = along(event->position());
    if (thumbRect().contains(event->position().toPoint())) {
        mDragging = true;
        mPressPoint = point;
        mThumbOrigin = mGeometry.thumbStart();
    } else if (mPageClick) {
        if (point < mGeometry.thumbStart())
            mTargetBefore = point;
        else
            mTargetAfter = point;
    }
}

void TVelkoScrollPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!mDragging)
        return;
    thumbMoved(mGeometry.moveThumbTo(along(event->position()) + mThumbOrigin - mPressPoint));
}

void TVelkoScrollPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mDragging = false;
    const int before = mTargetBefore;
    const int after = mTargetAfter;
    mTargetBefore = mTargetAfter = -1;
    // A click counts only where the button went up over the track, as with any button.
    if ((before < 0 && after < 0) || !rect().contains(event->position().toPoint()))
        return;
    // The thumb jumps so that it starts, or ends, at the pointer, not by a page.
    const int start = before >= 0 ? before : after - mGeometry.thumbLength() + 1;
    mGeometry.moveThumbTo(start);
    emit changed();
    update();
}
