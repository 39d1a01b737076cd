#pragma once

#include <QWidget>

// The picture-editing frame shown over the main window; its tools come with editing.
// It exists now so that the start-up order and the wiring are in place.
class TfrmEditPicture : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmEditPicture(QWidget* parent = nullptr);
};
