#include "TfrmRotate.h"

#include "EditDialogTexts.h"
#include "PreviewBox.h"
#include "RotateAngle.h"
#include "TAltLeadImage.h"
#include "TEditImage.h"
#include "uLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace editdialogs;

namespace {

constexpr int kMargin = 12;
constexpr int kColumnWidth = 140;
constexpr QSize kButtonSize(kColumnWidth, 25);
constexpr int kMaximumListAngle = 180;

} // namespace

TfrmRotate::TfrmRotate(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(GetText(TextRotate));

    mPreview = new PreviewBox(this);
    mPreview->move(kMargin, kMargin);

    const int column = mPreview->geometry().right() + 1 + kMargin;
    mAngleCaption = new QLabel(GetText(TextRotateAngle), this);
    mAngleCaption->setObjectName(QStringLiteral("cptRotateAngle"));
    mAngleCaption->setGeometry(column, kMargin, kColumnWidth, 17);

    mAngle = new QComboBox(this);
    mAngle->setObjectName(QStringLiteral("cmbAngle"));
    mAngle->setEditable(true);
    mAngle->setInsertPolicy(QComboBox::NoInsert);
    for (int angle = -kMaximumListAngle; angle <= kMaximumListAngle; ++angle)
        mAngle->addItem(QString::number(angle));
    mAngle->setCurrentIndex(kMaximumListAngle); // "0"
    mAngle->setMaxVisibleItems(15);
    mAngle->setGeometry(column, kMargin + 20, kColumnWidth, 25);
    mAngleCaption->setBuddy(mAngle);

    mAutoCrop = new QCheckBox(this);
    mAutoCrop->setObjectName(QStringLiteral("chkAutoCrop"));
    mAutoCrop->setGeometry(column, kMargin + 56, kColumnWidth, 20);
    mAutoCrop->setChecked(false);
    mAutoCrop->setVisible(false);

    const int clientHeight = mPreview->height() + 2 * kMargin;
    mOk = new QPushButton(GetText(TextOk), this);
    mOk->setObjectName(QStringLiteral("btnOK"));
    mOk->setDefault(true);
    mOk->setGeometry(
        QRect(QPoint(column, clientHeight - kMargin - 2 * kButtonSize.height() - 8), kButtonSize));
    mCancel = new QPushButton(GetText(TextCancel), this);
    mCancel->setObjectName(QStringLiteral("btnCancel"));
    mCancel->setGeometry(
        QRect(QPoint(column, clientHeight - kMargin - kButtonSize.height()), kButtonSize));
    connect(mOk, &QPushButton::clicked, this, &TfrmRotate::accept);
    connect(mCancel, &QPushButton::clicked, this, &TfrmRotate::reject);

    setFixedSize(column + kColumnWidth + kMargin, clientHeight);

    // Preview mode with the box and no callbacks: only the dialog's picture changes.
    connect(mAngle, &QComboBox::currentTextChanged, this, [this] { angleChanged(); });
    connect(mAutoCrop, &QCheckBox::clicked, this, [this] { angleChanged(); });
    mAngle->setFocus();
}

TfrmRotate::~TfrmRotate() = default;

TAltLeadImage* TfrmRotate::AltLeadImage1() const
{
    return mPreview->image();
}

TEditImage* TfrmRotate::engine() const
{
    return mPreview->engine();
}

QSize TfrmRotate::pictureBox() const
{
    return PreviewBox::kBoxSize;
}

bool TfrmRotate::setPicture(const imaging::Bitmap& copy)
{
    if (!mPreview->setPicture(copy))
        return false;
    mT0 = edit::autoCropLimit(copy.width(), copy.height());
    return true;
}

double TfrmRotate::angle() const
{
    return edit::turnAngleFromText(mAngle->currentText());
}

bool TfrmRotate::autoCrop() const
{
    return mAutoCrop->isChecked() && mAutoCrop->isEnabled();
}

void TfrmRotate::accept()
{
    if (angle() > 0)
        QDialog::accept();
    else
        QDialog::reject(); // nothing to turn
}

void TfrmRotate::angleChanged()
{
    const double turn = angle();
    mAutoCrop->setEnabled(edit::autoCropOffered(turn, mT0));
    if (mPreview->hasPicture())
        engine()->Rotate(autoCrop(), turn);
}
