#pragma once

#include <QDialog>
#include <QStringList>

// The web-album upload wizard; its pages come with the upload.
// It exists now so that the start-up order and the wiring are in place.
class TfrmUpload : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmUpload(QWidget* parent = nullptr);

    // The photos to upload, in the main window's order.
    void SetPhotoFiles(const QStringList& files);
};
