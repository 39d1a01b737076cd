#pragma once

#include <QDialog>

// The print wizard; its pages come with printing.
// It exists now so that the start-up order and the wiring are in place.
class TfrmPrint : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPrint(QWidget* parent = nullptr);
};
