#include "DialogButtons.h"

#include "EditDialogTexts.h"
#include "uLanguage.h"

#include <QDialog>
#include <QPushButton>

using namespace editdialogs;

DialogButtons addOkCancelButtons(QDialog* dialog, int right, int top, QSize size)
{
    constexpr int kGap = 8;
    DialogButtons buttons;
    buttons.cancel = new QPushButton(GetText(TextCancel), dialog);
    buttons.cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons.cancel->setGeometry(QRect(QPoint(right - size.width(), top), size));
    buttons.ok = new QPushButton(GetText(TextOk), dialog);
    buttons.ok->setObjectName(QStringLiteral("btnOK"));
    buttons.ok->setDefault(true);
    buttons.ok->setGeometry(QRect(QPoint(buttons.cancel->x() - kGap - size.width(), top), size));
    QObject::connect(buttons.ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}
