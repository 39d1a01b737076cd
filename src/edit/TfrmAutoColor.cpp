#include "TfrmAutoColor.h"

#include "EditDialogTexts.h"
#include "uLanguage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using namespace editdialogs;

namespace {

constexpr int kMargin = 12;
constexpr int kIndent = 12;
constexpr int kRowHeight = 24;
constexpr int kClientWidth = 260;
constexpr QSize kButtonSize(85, 25);

QCheckBox* checkedBox(unsigned textId, const char* name, QWidget* parent, int top)
{
    auto* box = new QCheckBox(GetText(textId), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(kMargin + kIndent, top, kClientWidth - 2 * kMargin - kIndent, kRowHeight);
    box->setChecked(true);
    return box;
}

} // namespace

TfrmAutoColor::TfrmAutoColor(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(GetText(TextAutoColor));

    mAutoChange = new QLabel(GetText(TextAutoChange), this);
    mAutoChange->setObjectName(QStringLiteral("lblAutoChange"));
    mAutoChange->setGeometry(kMargin, kMargin, kClientWidth - 2 * kMargin, kRowHeight);
    int top = kMargin + kRowHeight + 4;
    mColor = checkedBox(TextColor, "chkColor", this, top);
    mContrast = checkedBox(TextContrast, "chkContrast", this, top += kRowHeight);
    mIntensity = checkedBox(TextBrightness, "chkIntensity", this, top += kRowHeight);

    const int buttonTop = top + kRowHeight + 16;
    mOk = new QPushButton(GetText(TextOk), this);
    mOk->setObjectName(QStringLiteral("btnOK"));
    mOk->setDefault(true);
    mOk->setGeometry(
        QRect(QPoint(kClientWidth - kMargin - kButtonSize.width(), buttonTop), kButtonSize));
    connect(mOk, &QPushButton::clicked, this, &TfrmAutoColor::accept);

    setFixedSize(kClientWidth, buttonTop + kButtonSize.height() + kMargin);
}

bool TfrmAutoColor::colour() const
{
    return mColor->isChecked();
}

bool TfrmAutoColor::contrast() const
{
    return mContrast->isChecked();
}

bool TfrmAutoColor::brightness() const
{
    return mIntensity->isChecked();
}

void TfrmAutoColor::accept()
{
    if (colour() || contrast() || brightness())
        QDialog::accept();
    else
        QDialog::reject(); // nothing chosen
}
