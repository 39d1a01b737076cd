#pragma once

#include <QDialog>

// The webcam snapshot window; its pages come with webcam capture.
// It exists now so that the start-up order and the wiring are in place.
class TfrmWIA : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmWIA(QWidget* parent = nullptr);
};
