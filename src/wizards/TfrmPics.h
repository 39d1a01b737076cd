#pragma once

#include "WizardArtwork.h"

#include <QWidget>

// Hidden holder of the wizards' side-bar pictures; a wizard hands one of them to
// TfrmWizard::SetWizardSteps. Never shown.
class TfrmPics : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPics(QWidget* parent = nullptr);

    const WizardPicture& imGetPhotos; // Get Photos and the webcam
    const WizardPicture& imPrint;
    const WizardPicture& imUpload;
    const WizardPicture& imExport;
};
