// The palette colours the program's windows set on their panels and labels.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// A panel filled with the colour, as the windows' coloured bands and margins are.
inline void setBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

inline void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}
