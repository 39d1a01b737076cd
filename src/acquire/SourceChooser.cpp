#include "SourceChooser.h"

#include "ProgramVersion.h"
#include "uLanguage.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

enum : unsigned
{
    TextOk = 7,
    TextSelectSource = 190,
    TextFolder = 191,
    TextTwainDevice = 192,
};

constexpr int kMargin = 16;
constexpr int kLabelTop = 12;
constexpr int kLabelHeight = 35;
constexpr int kFolderTop = 48;
constexpr int kTwainTop = 72;
constexpr int kRadioHeight = 21;
constexpr QSize kOkSize(89, 25);
constexpr int kOkFromBottom = 33;

} // namespace

SourceChooserGeometry sourceChooserGeometry(QSize client)
{
    const int width = qMax(0, client.width() - 2 * kMargin);
    SourceChooserGeometry g;
    g.lblSelectSource = QRect(kMargin, kLabelTop, width, kLabelHeight);
    g.rbFolder = QRect(kMargin, kFolderTop, width, kRadioHeight);
    g.rbTwain = QRect(kMargin, kTwainTop, width, kRadioHeight);
    g.btnOk = QRect(QPoint((client.width() - kOkSize.width()) / 2, client.height() - kOkFromBottom),
                    kOkSize);
    return g;
}

SourceChooser::SourceChooser(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSourceChooser"));
    setWindowTitle(QLatin1String(kApplicationTitle));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    if (parent)
        setFont(parent->font());
    setFixedSize(kSourceChooserSize);

    lblSelectSource = new QLabel(GetText(TextSelectSource), this);
    lblSelectSource->setObjectName(QStringLiteral("lblSelectSource"));
    lblSelectSource->setWordWrap(true);
    QFont bold = font();
    bold.setBold(true);
    lblSelectSource->setFont(bold);
    rbFolder = new QRadioButton(GetText(TextFolder), this);
    rbFolder->setObjectName(QStringLiteral("rbFolder"));
    rbFolder->setChecked(true);
    rbTwain = new QRadioButton(GetText(TextTwainDevice), this);
    rbTwain->setObjectName(QStringLiteral("rbTwain"));
    btnOk = new QPushButton(GetText(TextOk), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    const SourceChooserGeometry g = sourceChooserGeometry(kSourceChooserSize);
    lblSelectSource->setGeometry(g.lblSelectSource);
    rbFolder->setGeometry(g.rbFolder);
    rbTwain->setGeometry(g.rbTwain);
    btnOk->setGeometry(g.btnOk);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

SourceChooser::Source SourceChooser::source() const
{
    return rbTwain->isChecked() ? Source::Twain : Source::Folder;
}

std::optional<SourceChooser::Source> SourceChooser::ask(QWidget* parent)
{
    SourceChooser chooser(parent);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.source();
}
