#include "SignInDialog.h"

#include "DialogButtons.h"
#include "uLanguage.h"

#include <QLabel>
#include <QLineEdit>

namespace {

enum : unsigned
{
    TextPassword = 506,
    TextSignIn = 555,
    TextAsksForSignIn = 556,
    TextUserName = 557,
};

constexpr int kMargin = 12;
constexpr int kCaptionWidth = 110;
constexpr int kFieldWidth = 220;
constexpr int kRowHeight = 25;
constexpr int kGap = 8;
constexpr QSize kButtonSize(85, 25);

} // namespace

SignInDialog::SignInDialog(const QString& who, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SignInDialog"));
    setWindowTitle(GetText(TextSignIn));
    const int clientWidth = 2 * kMargin + kCaptionWidth + kGap + kFieldWidth;

    auto* lblWho = new QLabel(GetText(TextAsksForSignIn).arg(who), this);
    lblWho->setObjectName(QStringLiteral("lblWho"));
    lblWho->setWordWrap(true);
    lblWho->setTextFormat(Qt::PlainText);
    lblWho->setGeometry(kMargin, kMargin, clientWidth - 2 * kMargin, 2 * kRowHeight);

    const int fieldLeft = kMargin + kCaptionWidth + kGap;
    const int firstRow = kMargin + 2 * kRowHeight + kGap;
    auto* cptUserName = new QLabel(GetText(TextUserName), this);
    cptUserName->setGeometry(kMargin, firstRow, kCaptionWidth, kRowHeight);
    mUserName = new QLineEdit(this);
    mUserName->setObjectName(QStringLiteral("edUserName"));
    mUserName->setGeometry(fieldLeft, firstRow, kFieldWidth, kRowHeight);
    cptUserName->setBuddy(mUserName);

    const int secondRow = firstRow + kRowHeight + kGap;
    auto* cptPassword = new QLabel(GetText(TextPassword), this);
    cptPassword->setGeometry(kMargin, secondRow, kCaptionWidth, kRowHeight);
    mPassword = new QLineEdit(this);
    mPassword->setObjectName(QStringLiteral("edPassword"));
    mPassword->setEchoMode(QLineEdit::Password);
    mPassword->setGeometry(fieldLeft, secondRow, kFieldWidth, kRowHeight);
    cptPassword->setBuddy(mPassword);

    const int buttonTop = secondRow + kRowHeight + 2 * kGap;
    addOkCancelButtons(this, clientWidth - kMargin, buttonTop, kButtonSize);
    setFixedSize(clientWidth, buttonTop + kButtonSize.height() + kMargin);
    mUserName->setFocus();
}

QString SignInDialog::userName() const
{
    return mUserName->text();
}

QString SignInDialog::password() const
{
    return mPassword->text();
}
