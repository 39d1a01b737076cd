// The widgets every wizard page is made of, made one way so that the wizards look alike.
#pragma once

#include <QMessageBox>
#include <QSize>
#include <QStyle>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace wizardpage {

// A bare widget under its control name, for a page or a panel.
QWidget* namedPanel(QWidget* parent, const char* name);
QLabel* makeLabel(QWidget* parent, const char* name, bool bold = false, bool wrap = false);
QPushButton* makeButton(QWidget* parent, const char* name, QSize minimumSize = QSize(75, 25));
// The page's own margins and spacing.
QVBoxLayout* pageLayout(QWidget* page);
// The row of navigation buttons at the bottom right of a page.
QHBoxLayout* buttonRow(std::initializer_list<QWidget*> buttons);
// A label that reads as a web link; its owner decides what a click opens.
QLabel* makeLink(QWidget* parent, const char* name);
void setLinkText(QLabel* label, const QString& text);
// A flat button with the theme's icon, or the style's own when the theme lacks it.
QToolButton* makeFlatButton(QWidget* parent, const char* name, const char* iconName,
                            QStyle::StandardPixmap fallback, QSize size, QSize iconSize);

// A modal message box with the program's title and the table's OK; name lets tests find it.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text, const char* name);

} // namespace wizardpage
