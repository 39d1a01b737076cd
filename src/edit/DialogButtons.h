// The OK and Cancel pair in the lower right corner of an edit dialog.
#pragma once

#include <QSize>

class QDialog;
class QPushButton;

struct DialogButtons
{
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

// Cancel ends at right, OK stands 8 pixels to its left and is the default; they accept and
// reject the dialog.
DialogButtons addOkCancelButtons(QDialog* dialog, int right, int top, QSize size);
