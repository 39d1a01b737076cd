#include "TfrmResize.h"

#include "DialogButtons.h"
#include "EditDialogTexts.h"
#include "ProgramVersion.h"
#include "ScreenResolution.h"
#include "uLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

using namespace editdialogs;

namespace {

constexpr int kMargin = 12;
constexpr int kCaptionWidth = 80;
constexpr int kFieldWidth = 90;
constexpr int kRowHeight = 25;
constexpr int kGap = 8;
constexpr QSize kButtonSize(85, 25);

// A focus change the user made; the focus put back after a refusal, or the one a message box
// takes, is none.
bool userMovedFocus(const QFocusEvent& event)
{
    switch (event.reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    default:
        return false;
    }
}

} // namespace

TfrmResize::TfrmResize(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(GetText(TextResize));

    const int fieldLeft = kMargin + kCaptionWidth + kGap;
    auto* cptWidth = new QLabel(GetText(TextWidth), this);
    cptWidth->setGeometry(kMargin, kMargin, kCaptionWidth, kRowHeight);
    mWidth = new QLineEdit(this);
    mWidth->setObjectName(QStringLiteral("edWidth"));
    mWidth->setGeometry(fieldLeft, kMargin, kFieldWidth, kRowHeight);
    cptWidth->setBuddy(mWidth);

    const int secondRow = kMargin + kRowHeight + kGap;
    auto* cptHeight = new QLabel(GetText(TextHeight), this);
    cptHeight->setGeometry(kMargin, secondRow, kCaptionWidth, kRowHeight);
    mHeight = new QLineEdit(this);
    mHeight->setObjectName(QStringLiteral("edHeight"));
    mHeight->setGeometry(fieldLeft, secondRow, kFieldWidth, kRowHeight);
    cptHeight->setBuddy(mHeight);

    const int unitLeft = fieldLeft + kFieldWidth + kGap;
    mUnit = new QComboBox(this);
    mUnit->setObjectName(QStringLiteral("cmbUnit"));
    // Fixed names, as the unit symbols are the same in every language the program speaks.
    mUnit->addItems({GetText(TextPixels), GetText(TextCm), GetText(TextInches)});
    mUnit->setGeometry(unitLeft, kMargin, kFieldWidth, kRowHeight);

    const int clientWidth = unitLeft + kFieldWidth + kMargin;
    const int thirdRow = secondRow + kRowHeight + kGap;
    mKeepAspect = new QCheckBox(GetText(TextKeepAspectRatio), this);
    mKeepAspect->setObjectName(QStringLiteral("chkKeepAspectRatio"));
    mKeepAspect->setGeometry(kMargin, thirdRow, clientWidth - 2 * kMargin, kRowHeight);
    mKeepAspect->setChecked(true);

    const int buttonTop = thirdRow + kRowHeight + 2 * kGap;
    const int clientHeight = buttonTop + kButtonSize.height() + kMargin;
    const DialogButtons buttons =
        addOkCancelButtons(this, clientWidth - kMargin, buttonTop, kButtonSize);
    mOk = buttons.ok;
    mCancel = buttons.cancel;
    // Clicking them does not take the focus, so leaving a field by a click on Cancel does not
    // check it, and OK checks both fields itself.
    mOk->setFocusPolicy(Qt::TabFocus);
    mCancel->setFocusPolicy(Qt::TabFocus);

    setFixedSize(clientWidth, clientHeight);

    mWidth->installEventFilter(this);
    mHeight->installEventFilter(this);
    connect(mUnit, &QComboBox::currentIndexChanged, this, [this](int index) {
        mUnits.setUnit(edit::SizeUnit(index));
        showFields();
    });
    connect(mKeepAspect, &QCheckBox::toggled, this, [this](bool checked) {
        mUnits.setKeepAspectRatio(checked);
        if (checked)
            leaveWidth();
    });
}

TfrmResize::~TfrmResize() = default;

void TfrmResize::start(int width, int height, double resolutionX, double resolutionY)
{
    mUnits.start(width, height,
                 edit::resolutionOrScreen(resolutionX, resolutionY,
                                          {screenDotsPerInchX(), screenDotsPerInchY()}));
    showFields();
}

int TfrmResize::newWidth() const
{
    return mUnits.newWidth();
}

int TfrmResize::newHeight() const
{
    return mUnits.newHeight();
}

void TfrmResize::accept()
{
    if (!leaveWidth() || !leaveHeight())
        return;
    if (mUnits.changed())
        QDialog::accept();
    else
        QDialog::reject(); // the same size: nothing to do
}

bool TfrmResize::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && (watched == mWidth || watched == mHeight) &&
        !mChecking && userMovedFocus(*static_cast<QFocusEvent*>(event))) {
        // Checked once the focus has settled where the user put it.
        mChecking = true;
        QMetaObject::invokeMethod(
            this,
            [this, width = watched == mWidth] {
                if (isVisible())
                    width ? leaveWidth() : leaveHeight();
                mChecking = false;
            },
            Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

bool TfrmResize::leaveWidth()
{
    if (!mUnits.enterWidth(mWidth->text())) {
        refuse(mWidth, TextBadWidth);
        return false;
    }
    mWidth->setText(mUnits.widthText());
    if (mUnits.keepAspectRatio())
        mHeight->setText(mUnits.heightText());
    return true;
}

bool TfrmResize::leaveHeight()
{
    if (!mUnits.enterHeight(mHeight->text())) {
        refuse(mHeight, TextBadHeight);
        return false;
    }
    mHeight->setText(mUnits.heightText());
    if (mUnits.keepAspectRatio())
        mWidth->setText(mUnits.widthText());
    return true;
}

void TfrmResize::showFields()
{
    mWidth->setText(mUnits.widthText());
    mHeight->setText(mUnits.heightText());
}

void TfrmResize::refuse(QLineEdit* field, unsigned textId)
{
    const bool checking = mChecking;
    mChecking = true;
    field->setFocus();
    field->selectAll();
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), GetText(textId),
                    QMessageBox::NoButton, this);
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
    mChecking = checking;
}
