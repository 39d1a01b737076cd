#include "WizardPageWidgets.h"

#include "ProgramVersion.h"
#include "uLanguage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace wizardpage {

namespace {
constexpr unsigned kTextOk = 7;
}

QWidget* namedPanel(QWidget* parent, const char* name)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    return panel;
}

QLabel* makeLabel(QWidget* parent, const char* name, bool bold, bool wrap)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wrap);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, QSize minimumSize)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setMinimumSize(minimumSize);
    return button;
}

QVBoxLayout* pageLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    return layout;
}

QHBoxLayout* buttonRow(std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const char* name)
{
    QMessageBox box(icon, QLatin1String(kApplicationTitle), text, QMessageBox::NoButton, parent);
    box.setObjectName(QLatin1String(name));
    box.addButton(GetText(kTextOk), QMessageBox::AcceptRole);
    box.exec();
}

QLabel* makeLink(QWidget* parent, const char* name)
{
    QLabel* label = makeLabel(parent, name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QToolButton* makeFlatButton(QWidget* parent, const char* name, const char* iconName,
                            QStyle::StandardPixmap fallback, QSize size, QSize iconSize)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setFixedSize(size);
    button->setIconSize(iconSize);
    button->setIcon(
        QIcon::fromTheme(QLatin1String(iconName), parent->style()->standardIcon(fallback)));
    return button;
}

void setLinkText(QLabel* label, const QString& text)
{
    label->setText(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
}

} // namespace wizardpage
