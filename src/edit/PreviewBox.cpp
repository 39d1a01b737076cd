#include "PreviewBox.h"

#include "TAltLeadImage.h"
#include "WidgetColors.h"

PreviewBox::PreviewBox(QSize boxSize, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pnImage"));
    // A plain grey line: a style's light bevel edge vanishes against a light picture.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setTextColor(this, palette().color(QPalette::Mid));
    setFixedSize(boxSize + QSize(2, 2));
    mImage = new TAltLeadImage(this);
    mImage->setObjectName(QStringLiteral("AltLeadImage1"));
    mImage->setGeometry(QRect(QPoint(1, 1), boxSize));
}
