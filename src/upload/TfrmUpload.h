#pragma once

#include <QDialog>

// The web-album upload wizard; its pages come with the upload.
// It exists now so that the start-up order and the wiring are in place.
class TfrmUpload : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmUpload(QWidget* parent = nullptr);
};
