#include "ViewerButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace viewer {

namespace {

const QColor kFace(48, 48, 48);
const QColor kPressedFace(208, 208, 208);
const QColor kInk(224, 224, 224);
const QColor kPressedInk(24, 24, 24);

// A triangle pointing right (or left) inside the glyph box, with an optional bar at its tip.
QPainterPath arrow(bool right, bool bar)
{
    QPainterPath path;
    const qreal tip = right ? 10.5 : 5.5;
    const qreal base = right ? 5.5 : 10.5;
    path.moveTo(base, 3.5);
    path.lineTo(tip, 7);
    path.lineTo(base, 10.5);
    path.closeSubpath();
    if (bar)
        path.addRect(right ? QRectF(10.5, 3.5, 1.5, 7) : QRectF(4, 3.5, 1.5, 7));
    return path;
}

void drawGlyph(QPainter& painter, ViewerButton::Glyph glyph, const QColor& ink)
{
    using Glyph = ViewerButton::Glyph;
    switch (glyph) {
    case Glyph::Close:
        painter.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(5, 4), QPointF(11, 10));
        painter.drawLine(QPointF(11, 4), QPointF(5, 10));
        break;
    case Glyph::Pause:
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawRect(QRectF(5, 3.5, 2, 7));
        painter.drawRect(QRectF(9, 3.5, 2, 7));
        break;
    case Glyph::Play:
    case Glyph::Previous:
    case Glyph::Next:
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPath(arrow(glyph != Glyph::Previous, glyph != Glyph::Play));
        break;
    }
}

} // namespace

ViewerButton::ViewerButton(Glyph glyph, QWidget* parent) : QWidget(parent), mGlyph(glyph)
{
    setFixedSize(kSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ViewerButton::setGlyph(Glyph glyph)
{
    if (glyph == mGlyph)
        return;
    mGlyph = glyph;
    update();
}

QPixmap ViewerButton::picture(Glyph glyph, bool pressed, qreal devicePixelRatio)
{
    QPixmap pixmap(kSize * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::black);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pressed ? kPressedFace : kFace);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kSize.width() - 1, kSize.height() - 1), 2.5, 2.5);
    drawGlyph(painter, glyph, pressed ? kPressedInk : kInk);
    return pixmap;
}

void ViewerButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture(mGlyph, showsPressed(), devicePixelRatioF()));
}

void ViewerButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mPressed = true;
    setInside(true);
}

void ViewerButton::mouseMoveEvent(QMouseEvent* event)
{
    if (mPressed)
        setInside(rect().contains(event->position().toPoint()));
}

void ViewerButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mPressed)
        return;
    const bool act = rect().contains(event->position().toPoint());
    mPressed = false;
    setInside(false);
    if (act)
        emit clicked();
}

void ViewerButton::setInside(bool inside)
{
    mInside = inside;
    update();
}

} // namespace viewer
