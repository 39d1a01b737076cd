#include "WizardArtwork.h"

#include "WizardLayout.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor kRed(237, 28, 36);
const QColor kSilver(192, 192, 192);
const QColor kDark(102, 102, 102);

constexpr QSize kSidePictureSize(120, 96);

QFont pixelFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void paintCamera(QPainter& p, QPointF at, qreal scale)
{
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(0, 4, 40, 27), 4, 4);
    p.drawRoundedRect(QRectF(10, 0, 14, 6), 2, 2);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(20, 18), 9.5, 9.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(20, 18), 6, 6);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(20, 18), 3, 3);
    p.restore();
}

void paintLogo(QPainter& p)
{
    p.fillRect(QRect(QPoint(), wizard::kLogoSize), Qt::black);
    paintCamera(p, QPointF(4, 6), 0.8);
    p.setPen(Qt::white);
    p.setFont(pixelFont(14, true));
    p.drawText(QPointF(42, 19), QStringLiteral("VELKO"));
    p.setPen(QColor(187, 187, 187));
    p.setFont(pixelFont(9, false));
    p.drawText(QPointF(42, 32), QStringLiteral("photo software"));
}

// A thick arrow pointing right, from x0 to x1 along y.
void paintArrow(QPainter& p, qreal x0, qreal x1, qreal y)
{
    QPainterPath arrow;
    arrow.moveTo(x0, y - 5);
    arrow.lineTo(x1 - 12, y - 5);
    arrow.lineTo(x1 - 12, y - 12);
    arrow.lineTo(x1, y);
    arrow.lineTo(x1 - 12, y + 12);
    arrow.lineTo(x1 - 12, y + 5);
    arrow.lineTo(x0, y + 5);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPath(arrow);
}

void paintPhoto(QPainter& p, const QRectF& frame)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(frame);
    const QRectF inside = frame.adjusted(3, 3, -3, -3);
    p.setBrush(QColor(120, 170, 220));
    p.drawRect(inside);
    QPainterPath hills;
    hills.moveTo(inside.bottomLeft());
    hills.lineTo(inside.left() + inside.width() * 0.35, inside.top() + inside.height() * 0.45);
    hills.lineTo(inside.left() + inside.width() * 0.6, inside.top() + inside.height() * 0.75);
    hills.lineTo(inside.left() + inside.width() * 0.8, inside.top() + inside.height() * 0.55);
    hills.lineTo(inside.bottomRight());
    hills.closeSubpath();
    p.setBrush(QColor(60, 140, 70));
    p.drawPath(hills);
}

// A memory card beside an arrow into a folder.
void paintGetPhotos(QPainter& p)
{
    QPainterPath card;
    card.moveTo(6, 24);
    card.lineTo(24, 24);
    card.lineTo(36, 36);
    card.lineTo(36, 72);
    card.lineTo(6, 72);
    card.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kSilver);
    p.drawPath(card);
    p.setBrush(kDark);
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(10 + i * 5, 28, 3, 8));
    paintArrow(p, 42, 70, 48);
    p.setBrush(kSilver);
    p.drawRoundedRect(QRectF(76, 30, 18, 8), 2, 2);
    p.drawRoundedRect(QRectF(76, 34, 40, 36), 3, 3);
    paintPhoto(p, QRectF(82, 42, 28, 20));
}

// A printer with a photo coming out of it.
void paintPrint(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(36, 10, 48, 26));
    p.setBrush(kSilver);
    p.drawRoundedRect(QRectF(14, 30, 92, 36), 5, 5);
    p.setBrush(kDark);
    p.drawRect(QRectF(28, 52, 64, 4));
    p.setBrush(kRed);
    p.drawEllipse(QPointF(96, 40), 3, 3);
    paintPhoto(p, QRectF(34, 54, 52, 36));
}

// A photo lifted by an arrow up into a cloud.
void paintUpload(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kSilver);
    QPainterPath cloud;
    cloud.addEllipse(QPointF(44, 34), 18, 16);
    cloud.addEllipse(QPointF(68, 26), 22, 22);
    cloud.addEllipse(QPointF(90, 36), 16, 14);
    cloud.addRoundedRect(QRectF(26, 34, 80, 16), 8, 8);
    cloud.setFillRule(Qt::WindingFill);
    p.drawPath(cloud.simplified());
    p.save();
    p.translate(60, 0);
    p.rotate(-90);
    paintArrow(p, -86, -40, 0);
    p.restore();
    paintPhoto(p, QRectF(12, 62, 34, 26));
    paintPhoto(p, QRectF(74, 62, 34, 26));
}

// A stack of photos with a play mark: the slideshow program it becomes.
void paintExport(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kDark);
    p.drawRect(QRectF(26, 12, 72, 52));
    p.setBrush(kSilver);
    p.drawRect(QRectF(18, 20, 72, 52));
    paintPhoto(p, QRectF(10, 28, 72, 52));
    QPainterPath play;
    play.addEllipse(QPointF(92, 72), 18, 18);
    p.setBrush(kRed);
    p.drawPath(play);
    QPolygonF triangle;
    triangle << QPointF(86, 62) << QPointF(101, 72) << QPointF(86, 82);
    p.setBrush(Qt::white);
    p.drawPolygon(triangle);
}

} // namespace

void WizardPicture::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    mPaint(painter);
    painter.restore();
}

QImage WizardPicture::render(qreal devicePixelRatio) const
{
    const QSize pixels(int(std::ceil(mSize.width() * devicePixelRatio)),
                       int(std::ceil(mSize.height() * devicePixelRatio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter);
    return image;
}

namespace wizard::artwork {

const WizardPicture& logo()
{
    static const WizardPicture picture(kLogoSize, paintLogo);
    return picture;
}

const WizardPicture& getPhotos()
{
    static const WizardPicture picture(kSidePictureSize, paintGetPhotos);
    return picture;
}

const WizardPicture& print()
{
    static const WizardPicture picture(kSidePictureSize, paintPrint);
    return picture;
}

const WizardPicture& upload()
{
    static const WizardPicture picture(kSidePictureSize, paintUpload);
    return picture;
}

const WizardPicture& exportPhotos()
{
    static const WizardPicture picture(kSidePictureSize, paintExport);
    return picture;
}

} // namespace wizard::artwork
