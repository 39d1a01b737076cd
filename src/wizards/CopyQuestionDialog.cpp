#include "CopyQuestionDialog.h"

#include "CopyFileReadOnlySafe.h"
#include "CopyMessages.h"
#include "GetPhotosTexts.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

using namespace getphotos;

namespace {

constexpr int kIconLeft = 8;
constexpr int kIconTop = 8;
constexpr int kIconSize = 32;
constexpr int kLabelLeft = 48;
constexpr int kLabelTop = 12;
constexpr int kLabelRightMargin = 12;
constexpr QSize kButtonSize(75, 25);
constexpr int kButtonsAboveBottom = 37;

constexpr QSize kErrorClientSize(275, 112);
constexpr int kErrorLabelHeight = 47;
constexpr QSize kReplaceClientSize(381, 128);
constexpr int kReplaceLabelHeight = 73;

int labelWidthIn(QSize client)
{
    return client.width() - kLabelLeft - kLabelRightMargin;
}

// The question with the quoted name. A name without spaces cannot wrap, so a long one loses its
// middle: to fit beside the question where there is room, else on a line of its own.
QString withQuotedName(const QString& question, const QString& fileName, const QFont& font,
                       int width)
{
    const QFontMetrics metrics(font);
    const int quotes = metrics.horizontalAdvance(QStringLiteral(" ''.")) + 4;
    int room = width - metrics.horizontalAdvance(question) - quotes;
    if (metrics.horizontalAdvance(fileName) > room && room < width / 2)
        room = width - quotes;
    QString name = metrics.elidedText(fileName, Qt::ElideMiddle, room);
    // Word joiners keep the line from breaking at the ellipsis.
    name.replace(QChar(0x2026), QStringLiteral("\u2060\u2026\u2060"));
    return question + QStringLiteral(" '") + name + QStringLiteral("'.");
}

QString failureReason(const CopyFileFailure& failure)
{
    if (failure.code == CopyFileError::VerifyMismatch)
        return GetText(TextCopyMismatch);
    return failure.systemError != 0 ? failure.text : QString();
}

QFont fontOf(const QWidget* parent)
{
    return parent ? parent->font() : QApplication::font();
}

} // namespace

CopyQuestionDialog::CopyQuestionDialog(QWidget* parent, const QString& caption, QSize clientSize,
                                       int labelHeight, const QIcon& icon, const QString& text,
                                       const std::vector<Button>& buttons)
    : QDialog(parent)
{
    // No close box and no system menu: one of the buttons has to answer.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(caption);
    setModal(true);
    setFont(fontOf(parent));

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("imIcon"));
    image->setPixmap(icon.pixmap(kIconSize, kIconSize));
    image->setGeometry(kIconLeft, kIconTop, kIconSize, kIconSize);

    const int labelWidth = labelWidthIn(clientSize);
    mMessage = new QLabel(text, this);
    mMessage->setObjectName(QStringLiteral("lblMessage"));
    mMessage->setTextFormat(Qt::PlainText);
    mMessage->setWordWrap(true);
    mMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A longer text (a system reason, another language) makes the window taller, not clipped.
    const int grow = std::max(0, mMessage->heightForWidth(labelWidth) - labelHeight);
    mMessage->setGeometry(kLabelLeft, kLabelTop, labelWidth, labelHeight + grow);

    const QSize client(clientSize.width(), clientSize.height() + grow);
    for (const Button& spec : buttons) {
        auto* button = new QPushButton(GetText(spec.textId), this);
        button->setGeometry(
            QRect(QPoint(spec.left, client.height() - kButtonsAboveBottom), kButtonSize));
        button->setAutoDefault(false);
        const qintptr result = spec.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(int(result)); });
        mButtons.push_back(button);
    }
    if (!mButtons.empty()) {
        mButtons.front()->setDefault(true);
        mButtons.front()->setFocus();
    }
    setFixedSize(client);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(client.width() / 2, client.height() / 2));
    }
}

std::unique_ptr<CopyQuestionDialog> CopyQuestionDialog::copyError(const QString& fileName,
                                                                  const CopyFileFailure& failure,
                                                                  QWidget* parent)
{
    QString text = withQuotedName(GetText(TextFailedToCopyFile), fileName, fontOf(parent),
                                  labelWidthIn(kErrorClientSize));
    const QString reason = failureReason(failure);
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
    auto* dialog = new CopyQuestionDialog(
        parent, GetText(TextCopyError), kErrorClientSize, kErrorLabelHeight, icon, text,
        {{TextRetry, 20, kCopyRetry}, {TextSkip, 100, kCopySkip}, {TextCancel, 180, kCopyCancel}});
    dialog->setObjectName(QStringLiteral("CopyErrorDialog"));
    return std::unique_ptr<CopyQuestionDialog>(dialog);
}

std::unique_ptr<CopyQuestionDialog> CopyQuestionDialog::replaceFile(const QString& fileName,
                                                                    QWidget* parent)
{
    const QString text = withQuotedName(GetText(TextFileExists), fileName, fontOf(parent),
                                        labelWidthIn(kReplaceClientSize)) +
                         QLatin1Char('\n') + GetText(TextReplaceQuestion);
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion);
    auto* dialog = new CopyQuestionDialog(parent, GetText(TextConfirmReplace), kReplaceClientSize,
                                          kReplaceLabelHeight, icon, text,
                                          {{TextYes, 28, kCopyReplace},
                                           {TextYesToAll, 108, kCopyReplaceAll},
                                           {TextNo, 188, kCopyKeep},
                                           {TextCancel, 268, kCopyCancel}});
    dialog->setObjectName(QStringLiteral("ReplaceFileDialog"));
    return std::unique_ptr<CopyQuestionDialog>(dialog);
}

void CopyQuestionDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
