// The resize dialog: a new width and height in pixels, centimetres or inches, optionally
// keeping the picture's proportions.
#pragma once

#include "ResizeUnits.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfrmResize : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmResize(QWidget* parent = nullptr);
    ~TfrmResize() override;

    // The picture's size in pixels and its resolution in dots per inch; 0 for a resolution
    // the file does not give, which the screen's then stands for.
    void start(int width, int height, double resolutionX, double resolutionY);

    // In whole pixels.
    int newWidth() const;
    int newHeight() const;

    // Checks both fields; closes accepted only when the size differs from the start.
    void accept() override;

    QLineEdit* edWidth() const { return mWidth; }
    QLineEdit* edHeight() const { return mHeight; }
    QComboBox* cmbUnit() const { return mUnit; }
    QCheckBox* chkKeepAspectRatio() const { return mKeepAspect; }
    QPushButton* btnOK() const { return mOk; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool leaveWidth();
    bool leaveHeight();
    void showFields();
    void refuse(QLineEdit* field, unsigned textId);

    QLineEdit* mWidth = nullptr;
    QLineEdit* mHeight = nullptr;
    QComboBox* mUnit = nullptr;
    QCheckBox* mKeepAspect = nullptr;
    QPushButton* mOk = nullptr;
    QPushButton* mCancel = nullptr;
    edit::ResizeUnits mUnits;
    // Set while a field's check is running or queued, so that its message box or the
    // focus put back does not start another.
    bool mChecking = false;
};
