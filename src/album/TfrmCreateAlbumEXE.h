#pragma once

#include <QDialog>

// The photo-viewer export wizard; its pages come with the album export.
// It exists now so that the start-up order and the wiring are in place.
class TfrmCreateAlbumEXE : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmCreateAlbumEXE(QWidget* parent = nullptr);
};
