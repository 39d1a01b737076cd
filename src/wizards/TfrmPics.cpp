#include "TfrmPics.h"

TfrmPics::TfrmPics(QWidget* parent) : QWidget(parent) {}
