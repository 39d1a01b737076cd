#include "TfrmPrint.h"

TfrmPrint::TfrmPrint(QWidget* parent) : QDialog(parent) {}
