#include "TfrmPics.h"

TfrmPics::TfrmPics(QWidget* parent)
    : QWidget(parent), imGetPhotos(wizard::artwork::getPhotos()), imPrint(wizard::artwork::print()),
      imUpload(wizard::artwork::upload()), imExport(wizard::artwork::exportPhotos())
{
    setObjectName(QStringLiteral("frmPics"));
}
