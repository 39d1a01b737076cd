// The framed box of the rotate and colour dialogs that shows their preview (pnImage): the
// engine places the image control centred inside its 1-pixel bevel.
#pragma once

#include <QFrame>

class TAltLeadImage;

class PreviewBox : public QFrame
{
    Q_OBJECT
public:
    // boxSize is the engine's box, inside the bevel.
    explicit PreviewBox(QSize boxSize, QWidget* parent = nullptr);

    TAltLeadImage* image() const { return mImage; }

private:
    TAltLeadImage* mImage = nullptr;
};
