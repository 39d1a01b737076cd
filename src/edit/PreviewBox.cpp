#include "PreviewBox.h"

#include "ImagingResult.h"
#include "TAltLeadImage.h"
#include "TEditImage.h"
#include "WidgetColors.h"

PreviewBox::PreviewBox(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pnImage"));
    // A plain grey line: a style's light bevel edge vanishes against a light picture.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setTextColor(this, palette().color(QPalette::Mid));
    setFixedSize(kBoxSize + QSize(2, 2));
    mImage = new TAltLeadImage(this);
    mImage->setObjectName(QStringLiteral("AltLeadImage1"));
    mImage->setGeometry(QRect(QPoint(1, 1), kBoxSize));
    mEngine = std::make_unique<TEditImage>(kBoxSize.width(), kBoxSize.height(), EditMode::Preview,
                                           mImage);
}

PreviewBox::~PreviewBox() = default;

bool PreviewBox::setPicture(const imaging::Bitmap& copy)
{
    // Stops the worker, which may still be reading the old source.
    mEngine->Open(nullptr);
    if (copy.isNull() || imaging::copyBitmap(mSource, copy) != imaging::Success ||
        !mEngine->Open(&mSource)) {
        mSource.reset();
        return false;
    }
    return true;
}
