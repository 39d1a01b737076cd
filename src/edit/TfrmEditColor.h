// The colour dialog: seven sliders (contrast, brightness, saturation, hue and the three
// colour balances) with a live preview on a reduced copy of the picture.
#pragma once

#include "Bitmap.h"

#include <QDialog>

#include <array>
#include <memory>

class QLabel;
class QPushButton;
class PreviewBox;
class TAltLeadImage;
class TEditImage;
class TVelkoScrollBar;

class TfrmEditColor : public QDialog
{
    Q_OBJECT
public:
    // In the order of TEditImage::SetColours; a slider's tag is its index + 1.
    enum Slider
    {
        Contrast,
        Brightness,
        Saturation,
        Hue,
        Red,
        Green,
        Blue,
        SliderCount
    };

    explicit TfrmEditColor(QWidget* parent = nullptr);
    ~TfrmEditColor() override;

    QSize pictureBox() const;
    // Shows a copy of the picture (the dialog keeps its own); false when it cannot be shown.
    bool setPicture(const imaging::Bitmap& copy);

    // -1000 … 1000 each, 0 in the middle.
    std::array<int, SliderCount> values() const;
    bool anyChanged() const;

    // Closes accepted only when OK is pressed with a slider away from its middle.
    void accept() override;

    TVelkoScrollBar* slider(Slider which) const { return mSliders[which]; }
    QLabel* valueLabel(Slider which) const { return mValueLabels[which]; }
    TAltLeadImage* AltLeadImage1() const;
    TEditImage* engine() const;

private:
    void positionChanged(Slider which, int position);

    std::array<TVelkoScrollBar*, SliderCount> mSliders{};
    std::array<QLabel*, SliderCount> mValueLabels{};
    std::array<int, SliderCount> mValues{};
    QPushButton* mOk = nullptr;
    QPushButton* mCancel = nullptr;
    PreviewBox* mPreview = nullptr;
};
