#include "TfrmUpload.h"

TfrmUpload::TfrmUpload(QWidget* parent) : QDialog(parent) {}
