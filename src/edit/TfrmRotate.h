// The fine-turn dialog: an angle picked from a list or typed, with a live preview of the
// turn on a reduced copy of the picture.
#pragma once

#include "Bitmap.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class PreviewBox;
class TAltLeadImage;
class TEditImage;

class TfrmRotate : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmRotate(QWidget* parent = nullptr);
    ~TfrmRotate() override;

    // The box the preview copy is fitted into.
    QSize pictureBox() const;
    // Shows a copy of the picture (the dialog keeps its own); false when it cannot be shown.
    bool setPicture(const imaging::Bitmap& copy);

    // Clockwise, 0 … 360; 0 when the text is not a usable angle.
    double angle() const;
    // Crop the turned picture to its clean rectangle.
    bool autoCrop() const;

    // Closes accepted only when OK is pressed with an angle above 0.
    void accept() override;

    QComboBox* cmbAngle() const { return mAngle; }
    QCheckBox* chkAutoCrop() const { return mAutoCrop; }
    QPushButton* btnOK() const { return mOk; }
    TAltLeadImage* AltLeadImage1() const;
    TEditImage* engine() const;

private:
    void angleChanged();

    QComboBox* mAngle = nullptr;
    QLabel* mAngleCaption = nullptr;
    QCheckBox* mAutoCrop = nullptr;
    QPushButton* mOk = nullptr;
    QPushButton* mCancel = nullptr;
    PreviewBox* mPreview = nullptr;
    // Below this turn (and above 90 less it) the clean rectangle keeps too little to offer.
    double mT0 = 0;
};
