#pragma once

#include <QWidget>

// Hidden holder of the wizards' pictures; filled when the wizard base is built.
// It exists now so that the start-up order and the wiring are in place.
class TfrmPics : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPics(QWidget* parent = nullptr);
};
