// Stands for the hourglass: SetCursor(IDC_WAIT) with the previous cursor restored on every exit.
#pragma once

#include <QGuiApplication>

// Shows a busy cursor for as long as the guard lives. Guards nest: each one pops exactly
// the cursor it pushed, so the previous cursor comes back however the scope is left.
class WaitCursor
{
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor)
    {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    WaitCursor(WaitCursor&&) = delete;
    WaitCursor& operator=(WaitCursor&&) = delete;
};
