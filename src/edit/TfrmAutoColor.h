// The automatic corrections dialog: colour, contrast and brightness, each to be chosen.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class TfrmAutoColor : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAutoColor(QWidget* parent = nullptr);

    bool colour() const;
    bool contrast() const;
    bool brightness() const;

    // Closes accepted only when OK is pressed with at least one box checked.
    void accept() override;

    QCheckBox* chkColor() const { return mColor; }
    QCheckBox* chkContrast() const { return mContrast; }
    QCheckBox* chkIntensity() const { return mIntensity; }
    QPushButton* btnOK() const { return mOk; }

private:
    QLabel* mAutoChange = nullptr;
    QCheckBox* mColor = nullptr;
    QCheckBox* mContrast = nullptr;
    QCheckBox* mIntensity = nullptr;
    QPushButton* mOk = nullptr;
};
