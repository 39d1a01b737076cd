#include "TfrmAddPhotobook.h"

#include "DialogButtons.h"
#include "WizardPageWidgets.h"
#include "uLanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

enum : unsigned
{
    TextOk = 7,
    TextCancel = 3,
    TextCreateAlbum = 512,
    TextBadAlbumName = 515,
    TextTitle = 516,
};

constexpr int kMargin = 12;
constexpr int kEditWidth = 300;
constexpr int kRowHeight = 23;
constexpr int kGap = 6;
constexpr QSize kButtonSize(85, 25);

bool isAlbumNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
           u == u' ' || u == u'-' || u == u'_';
}

} // namespace

namespace upload {

int firstInvalidAlbumNameCharacter(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isAlbumNameCharacter(name[i]))
            return int(i);
    }
    return -1;
}

} // namespace upload

TfrmAddPhotobook::TfrmAddPhotobook(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAddPhotobook"));
    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(kMargin, kMargin, kEditWidth, kRowHeight);
    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    edName->setMaxLength(upload::kAlbumNameMaxLength);
    edName->setGeometry(kMargin, kMargin + kRowHeight, kEditWidth, kRowHeight);
    lblTitle->setBuddy(edName);

    const int buttonTop = kMargin + 2 * kRowHeight + 2 * kGap;
    const DialogButtons buttons =
        addOkCancelButtons(this, kMargin + kEditWidth, buttonTop, kButtonSize);
    btnOK = buttons.ok;
    btnCancel = buttons.cancel;
    setFixedSize(kEditWidth + 2 * kMargin, buttonTop + kButtonSize.height() + kMargin);
    ApplyTexts();
}

void TfrmAddPhotobook::ApplyTexts()
{
    setWindowTitle(GetText(TextCreateAlbum));
    lblTitle->setText(GetText(TextTitle));
    btnOK->setText(GetText(TextOk));
    btnCancel->setText(GetText(TextCancel));
}

void TfrmAddPhotobook::setName(const QString& name)
{
    edName->setText(name.left(upload::kAlbumNameMaxLength));
}

QString TfrmAddPhotobook::name() const
{
    return edName->text();
}

void TfrmAddPhotobook::accept()
{
    const QString text = edName->text();
    const QString trimmed = text.trimmed();
    const int bad = upload::firstInvalidAlbumNameCharacter(trimmed);
    if (bad < 0) {
        QDialog::accept();
        return;
    }
    wizardpage::showMessage(this, QMessageBox::Information, GetText(TextBadAlbumName),
                            "BadAlbumName");
    // Back to the name, with the offending character selected (leaving the edit deselects).
    edName->setFocus();
    edName->setSelection(int(text.indexOf(trimmed)) + bad, 1);
}
