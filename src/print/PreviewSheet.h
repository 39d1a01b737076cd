// Where the preview draws the paper: the sheet fitted into the square paper display, the
// preview's pixels per inch and the printable area on the sheet. No widgets.
#pragma once

#include <QRect>
#include <QString>
#include <QtGlobal>

struct PreviewSheet
{
    // In the paper display.
    QRect sheet;
    double ppiX = 0;
    double ppiY = 0;
    // On the sheet: from the unprintable offsets to the sheet's right and bottom edges.
    QRect printable;
};

// Paper and offsets in micrometres; an 8-pixel border keeps the sheet off the display's edge.
PreviewSheet previewSheet(int displaySide, qint32 paperWidth, qint32 paperHeight, qint32 offsetLeft,
                          qint32 offsetTop);

// "210 x 297 mm".
QString paperSizeText(qint32 paperWidth, qint32 paperHeight);
