// Receives the edit worker's pictures and selection frames on the window's thread and hands
// them to the image control. Stands for the hidden window that took the worker's messages.
#pragma once

#include "WindowMessenger.h"

#include <QPointer>

class TAltLeadImage;

// wParam: the address of the rendered picture's BMP bytes (a QByteArray that the worker
// keeps while it waits); lParam: their size.
inline constexpr int WM_EDIT_PICTURE_READY = WM_USER + 1;
// wParam: left × 65536 + top; lParam: width × 65536 + height, in shown pixels.
inline constexpr int WM_EDIT_SELECTION_FRAME = WM_USER + 2;
// A request starts and ends (apply mode).
inline constexpr int WM_EDIT_ACTION_START = WM_USER + 3;
inline constexpr int WM_EDIT_ACTION_END = WM_USER + 4;

class TMessageControl
{
public:
    explicit TMessageControl(TAltLeadImage* image);

    // Where the next picture goes in the image control's parent.
    void setPlacement(int left, int top, int width, int height);

    // Handles WM_EDIT_PICTURE_READY and WM_EDIT_SELECTION_FRAME; 0.
    qintptr WndProc(const WindowMessage& message);

    // How many pictures arrived.
    int picturesShown() const { return mPicturesShown; }

private:
    QPointer<TAltLeadImage> mImage;
    int mLeft = 0;
    int mTop = 0;
    int mWidth = 0;
    int mHeight = 0;
    int mPicturesShown = 0;
};
