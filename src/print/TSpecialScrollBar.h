// The crop bar of the print preview: beside or below a photo that overflows its slot, it
// moves the photo inside the slot and keeps the chosen part in the photo's print settings.
#pragma once

#include "TPrintPhotoObject.h"
#include "TVelkoScrollBar.h"

#include <QPointer>

class TSpecialScrollBar : public TVelkoScrollBar
{
    Q_OBJECT
public:
    // image lies inside its slot's panel, which clips it.
    TSpecialScrollBar(QWidget* parent, QWidget* image, TPrintPhotoObjectPtr photo);

    // Sets the bar up for the image's present offset and from then on follows the user.
    void setUpFor(Qt::Orientation orientation);

    const TPrintPhotoObjectPtr& photo() const { return mPhoto; }

private:
    void change(int position);

    const QPointer<QWidget> mImage;
    const TPrintPhotoObjectPtr mPhoto;
};

// The crop position for a bar position: 0 at the start, 1 at the end of the overflow.
double cropFromBarPosition(int position, int imageLength, int panelLength);
