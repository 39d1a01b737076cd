// Stands for the hourglass: SetCursor(IDC_WAIT) with the previous cursor restored on every exit.
#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

// Shows a busy cursor for as long as the guard lives (window thread only). Guards nest: each
// one pops exactly the cursor it pushed, so the previous cursor comes back however the scope
// is left. Without a QGuiApplication (console tools, logic tests) it does nothing, since the
// override-cursor calls would then misuse the core application object.
class WaitCursor
{
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor)
        : mActive(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (mActive)
            QGuiApplication::setOverrideCursor(QCursor(shape));
    }
    ~WaitCursor()
    {
        if (mActive)
            QGuiApplication::restoreOverrideCursor();
    }

    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    WaitCursor(WaitCursor&&) = delete;
    WaitCursor& operator=(WaitCursor&&) = delete;

private:
    const bool mActive;
};
