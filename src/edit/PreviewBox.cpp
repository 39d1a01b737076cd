#include "PreviewBox.h"

#include "TAltLeadImage.h"

PreviewBox::PreviewBox(QSize boxSize, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pnImage"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedSize(boxSize + QSize(2, 2));
    mImage = new TAltLeadImage(this);
    mImage->setObjectName(QStringLiteral("AltLeadImage1"));
    mImage->setGeometry(QRect(QPoint(1, 1), boxSize));
}
