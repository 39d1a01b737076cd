#include "TfrmWIA.h"

TfrmWIA::TfrmWIA(QWidget* parent) : QDialog(parent) {}
