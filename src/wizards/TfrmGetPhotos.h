#pragma once

#include <QDialog>

// The Get Photos wizard; its pages come with the copy wizard.
// It exists now so that the start-up order and the wiring are in place.
class TfrmGetPhotos : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGetPhotos(QWidget* parent = nullptr);
};
