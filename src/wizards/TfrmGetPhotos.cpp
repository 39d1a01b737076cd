#include "TfrmGetPhotos.h"

TfrmGetPhotos::TfrmGetPhotos(QWidget* parent) : QDialog(parent) {}
