#include "TfrmCreateAlbumEXE.h"

TfrmCreateAlbumEXE::TfrmCreateAlbumEXE(QWidget* parent) : QDialog(parent) {}
