// The framed box of the rotate and colour dialogs that shows their preview (pnImage), with the
// preview engine and the dialog's own copy of the picture it works on.
#pragma once

#include "Bitmap.h"

#include <QFrame>

#include <memory>

class TAltLeadImage;
class TEditImage;

class PreviewBox : public QFrame
{
    Q_OBJECT
public:
    // The engine's box, inside the 1-pixel bevel.
    static constexpr QSize kBoxSize{305, 305};

    explicit PreviewBox(QWidget* parent = nullptr);
    ~PreviewBox() override;

    TAltLeadImage* image() const { return mImage; }
    TEditImage* engine() const { return mEngine.get(); }

    // Gives the engine a copy of the picture; false, and no picture, when it cannot be shown.
    bool setPicture(const imaging::Bitmap& copy);
    bool hasPicture() const { return !mSource.isNull(); }
    const imaging::Bitmap& picture() const { return mSource; }

private:
    TAltLeadImage* mImage = nullptr;
    imaging::Bitmap mSource;
    // Last, so that its worker ends before the picture goes.
    std::unique_ptr<TEditImage> mEngine;
};
