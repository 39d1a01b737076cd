#include "TMessageControl.h"

#include "TAltLeadImage.h"

#include <QByteArray>

TMessageControl::TMessageControl(TAltLeadImage* image) : mImage(image) {}

void TMessageControl::setPlacement(int left, int top, int width, int height)
{
    mLeft = left;
    mTop = top;
    mWidth = width;
    mHeight = height;
}

qintptr TMessageControl::WndProc(const WindowMessage& message)
{
    switch (message.id) {
    case WM_EDIT_PICTURE_READY:
        ++mPicturesShown;
        if (mImage && message.wParam) {
            mImage->LoadFromGlobal(*reinterpret_cast<const QByteArray*>(message.wParam),
                                   qsizetype(message.lParam));
            mImage->setGeometry(mLeft, mTop, mWidth, mHeight);
        }
        break;
    case WM_EDIT_SELECTION_FRAME:
        if (mImage && mImage->AllowRgn()) {
            mImage->SetFrame(int(message.wParam / 65536), int(message.wParam % 65536),
                             int(message.lParam / 65536), int(message.lParam % 65536));
        }
        break;
    default:
        break;
    }
    return 0;
}
