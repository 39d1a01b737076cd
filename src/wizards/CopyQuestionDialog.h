// The two questions the copy worker asks through its window: a failed copy (Retry, Skip,
// Cancel) and an existing file (Yes, Yes to all, No, Cancel). Neither can be closed except
// through its buttons.
#pragma once

#include <QDialog>

#include <memory>
#include <vector>

struct CopyFileFailure;
class QLabel;
class QPushButton;

class CopyQuestionDialog : public QDialog
{
    Q_OBJECT
public:
    // exec() gives kCopyRetry, kCopySkip or kCopyCancel. A failure with a system reason (or a
    // copy that did not match its source) shows that reason on a line of its own.
    static std::unique_ptr<CopyQuestionDialog>
    copyError(const QString& fileName, const CopyFileFailure& failure, QWidget* parent = nullptr);
    // exec() gives kCopyReplace, kCopyReplaceAll, kCopyKeep or kCopyCancel.
    static std::unique_ptr<CopyQuestionDialog> replaceFile(const QString& fileName,
                                                           QWidget* parent = nullptr);

    QLabel* message() const { return mMessage; }
    const std::vector<QPushButton*>& buttons() const { return mButtons; }

    // Only the buttons end the dialog.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Button
    {
        unsigned textId;
        int left;
        qintptr result;
    };
    CopyQuestionDialog(QWidget* parent, const QString& caption, QSize clientSize, int labelHeight,
                       const QIcon& icon, const QString& text, const std::vector<Button>& buttons);

    QLabel* mMessage = nullptr;
    std::vector<QPushButton*> mButtons;
};
