#include "TfrmEditPicture.h"

TfrmEditPicture::TfrmEditPicture(QWidget* parent) : QWidget(parent) {}
