// One photo in its slot, for the preview and for the printer: loaded, turned if that fits
// better, scaled (never up in pixels for the printer), cut by its crop position, and the
// rectangle it covers on the page.
#pragma once

#include "Cancel.h"
#include "TPrintPage.h"

#include <QImage>
#include <QString>

#include <optional>

enum class PlacementMode
{
    Preview,
    Print
};

struct PlacementRequest
{
    QString fileName;
    MicroRect slot;
    bool rotateAllowed = false;
    bool enlarge = false;
    bool fill = false;
    // Print only: which part of an overflowing photo stays (0 start, 1 end).
    double cropPosition = 0.5;
    // The device's pixels per inch (printer, or the preview's scale).
    double ppiX = 300;
    double ppiY = 300;
    PlacementMode mode = PlacementMode::Print;
    // Turn a quarter turn clockwise instead of anticlockwise (preview of a landscape-turned
    // page).
    bool rotateClockwise = false;
    // Print only, landscape with one, two or four per page: turn whenever that is no worse.
    bool preferRotation = false;
    // Stands in for a photo file's missing resolution; read on the window's thread.
    double screenPpiX = 96;
    double screenPpiY = 96;
};

struct PlacedPhoto
{
    // The pixels to draw into the rectangle; device-sized unless the photo was smaller.
    QImage image;
    // Micrometres, centred on the slot; larger than the slot along the overflowing axis for
    // a fill slot in the preview.
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    // Whether the photo was turned.
    bool turned = false;
};

// None when the photo cannot be loaded, has no positive size or resolution, or the cancel
// flag was set; the flag is polled by every long step. A null flag leaves the one the
// calling thread registered in force.
std::optional<PlacedPhoto> PlacePhoto(const PlacementRequest& request,
                                      const imaging::CancelFlag* cancel);

// A photo's resolution as the layout reads it: the file's horizontal resolution, else its
// vertical one, else the screen's; vertical likewise. False for no positive size.
struct PhotoNaturalSize
{
    double widthMicrometres = 0;
    double heightMicrometres = 0;
    double ppiX = 0;
    double ppiY = 0;
};
std::optional<PhotoNaturalSize> naturalSize(int pixelWidth, int pixelHeight, int xResolution,
                                            int yResolution, double screenPpiX, double screenPpiY);
