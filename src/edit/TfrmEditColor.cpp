#include "TfrmEditColor.h"

#include "DialogButtons.h"
#include "EditDialogTexts.h"
#include "PreviewBox.h"
#include "TAltLeadImage.h"
#include "TEditImage.h"
#include "TVelkoScrollBar.h"
#include "uLanguage.h"

#include <QLabel>
#include <QPushButton>

using namespace editdialogs;

namespace {

constexpr int kMargin = 12;
constexpr QSize kSliderSize(113, 17);
constexpr int kSliderRange = 1113;
constexpr int kMiddle = 500;
constexpr int kRowHeight = 30;
constexpr int kCaptionWidth = 92;
constexpr int kEndLabelWidth = 64;
constexpr int kValueWidth = 36;
constexpr int kGap = 6;
constexpr QSize kButtonSize(85, 25);

struct SliderInfo
{
    const char* name;
    const char* valueLabel;
    unsigned caption;  // the caption, or the balance's left end
    unsigned rightEnd; // 0 for none
};

constexpr std::array<SliderInfo, TfrmEditColor::SliderCount> kSliders{{
    {"scContast", "lblContrast", TextContrast, 0},
    {"scIntensity", "lblIntensity", TextBrightness, 0},
    {"scSaturation", "lblSaturation", TextSaturation, 0},
    {"scHue", "lblHue", TextHue, 0},
    {"scRed", "lblRed", TextCyan, TextRed},
    {"scGreen", "lblGreen", TextMagenta, TextGreen},
    {"scBlue", "lblBlue", TextYellow, TextBlue},
}};

QLabel* label(const QString& text, QWidget* parent, QRect geometry, Qt::Alignment alignment)
{
    auto* result = new QLabel(text, parent);
    result->setGeometry(geometry);
    result->setAlignment(alignment | Qt::AlignVCenter);
    return result;
}

} // namespace

TfrmEditColor::TfrmEditColor(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(GetText(TextCustomColors));

    mPreview = new PreviewBox(this);
    mPreview->move(kMargin, kMargin);

    auto* pnEdit = new QWidget(this);
    pnEdit->setObjectName(QStringLiteral("pnEdit"));
    const int sliderLeft = kCaptionWidth + kGap;
    const int rightEndLeft = sliderLeft + kSliderSize.width() + kGap;
    const int valueLeft = rightEndLeft + kEndLabelWidth + kGap;
    const int editWidth = valueLeft + kValueWidth;
    pnEdit->setGeometry(mPreview->geometry().right() + 1 + kMargin, kMargin, editWidth,
                        mPreview->height());

    int top = 4;
    for (int i = 0; i < SliderCount; ++i) {
        const SliderInfo& info = kSliders[i];
        if (i == Red) {
            top += 6;
            QLabel* balance = label(GetText(TextColorBalance), pnEdit,
                                    QRect(0, top, editWidth, kSliderSize.height()), Qt::AlignLeft);
            QFont bold = balance->font();
            bold.setBold(true);
            balance->setFont(bold);
            top += kRowHeight - 4;
        }
        const QRect row(0, top, 0, kSliderSize.height());
        // The balances have their two ends on either side; the others a caption before.
        const bool balance = info.rightEnd != 0;
        label(GetText(info.caption), pnEdit, row.adjusted(0, 0, kCaptionWidth, 0),
              balance ? Qt::AlignRight : Qt::AlignLeft);
        if (balance) {
            label(GetText(info.rightEnd), pnEdit,
                  row.adjusted(rightEndLeft, 0, rightEndLeft + kEndLabelWidth, 0), Qt::AlignLeft);
        }
        auto* bar = new TVelkoScrollBar(pnEdit);
        bar->setObjectName(QString::fromLatin1(info.name));
        bar->setProperty("tag", i + 1);
        bar->setGeometry(QRect(QPoint(sliderLeft, top), kSliderSize));
        bar->Setup(Qt::Horizontal, kSliderRange, true, false, kMiddle);
        mSliders[i] = bar;
        mValueLabels[i] =
            label(QStringLiteral("0"), pnEdit,
                  row.adjusted(valueLeft, 0, valueLeft + kValueWidth, 0), Qt::AlignRight);
        mValueLabels[i]->setObjectName(QString::fromLatin1(info.valueLabel));
        // After Setup, which reports the position it sets.
        connect(bar, &TVelkoScrollBar::positionChanged, this,
                [this, i](int position) { positionChanged(Slider(i), position); });
        top += kRowHeight;
    }

    const int clientWidth = pnEdit->geometry().right() + 1 + kMargin;
    const int clientHeight = mPreview->height() + 2 * kMargin;
    const int buttonTop = clientHeight - kMargin - kButtonSize.height();
    const DialogButtons buttons =
        addOkCancelButtons(this, clientWidth - kMargin, buttonTop, kButtonSize);
    mOk = buttons.ok;
    mCancel = buttons.cancel;

    setFixedSize(clientWidth, clientHeight);
}

TfrmEditColor::~TfrmEditColor() = default;

TAltLeadImage* TfrmEditColor::AltLeadImage1() const
{
    return mPreview->image();
}

TEditImage* TfrmEditColor::engine() const
{
    return mPreview->engine();
}

QSize TfrmEditColor::pictureBox() const
{
    return PreviewBox::kBoxSize;
}

bool TfrmEditColor::setPicture(const imaging::Bitmap& copy)
{
    if (!mPreview->setPicture(copy))
        return false;
    // A new source starts from the middle of every slider; show the present ones on it.
    if (anyChanged()) {
        const auto& v = mValues;
        engine()->SetColours(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    }
    return true;
}

std::array<int, TfrmEditColor::SliderCount> TfrmEditColor::values() const
{
    return mValues;
}

bool TfrmEditColor::anyChanged() const
{
    for (int value : mValues) {
        if (value != 0)
            return true;
    }
    return false;
}

void TfrmEditColor::accept()
{
    if (anyChanged())
        QDialog::accept();
    else
        QDialog::reject(); // nothing to change
}

void TfrmEditColor::positionChanged(Slider which, int position)
{
    const int value = 2 * position - 1000;
    mValues[which] = value;
    // Integer division truncates toward zero: −5 shows as 0, −15 as −1.
    mValueLabels[which]->setText(QString::number(value / 10));
    if (mValueLabels[which]->isVisible())
        mValueLabels[which]->repaint(); // the engine's work must not hold the label back
    if (!mPreview->hasPicture())
        return;
    TEditImage* const preview = engine();
    switch (which) {
    case Contrast:
        preview->SetContrast(value);
        break;
    case Brightness:
        preview->SetBrightness(value);
        break;
    case Saturation:
        preview->SetSaturation(value);
        break;
    case Hue:
        preview->SetHue(value);
        break;
    case Red:
        preview->SetRed(value);
        break;
    case Green:
        preview->SetGreen(value);
        break;
    case Blue:
        preview->SetBlue(value);
        break;
    case SliderCount:
        break;
    }
}
