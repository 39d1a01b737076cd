#include "TfrmUpload.h"

TfrmUpload::TfrmUpload(QWidget* parent) : QDialog(parent) {}

void TfrmUpload::SetPhotoFiles(const QStringList& files)
{
    Q_UNUSED(files);
}
