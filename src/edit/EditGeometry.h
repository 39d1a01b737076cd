// The arithmetic of the edit engine: fitting a picture into the screen box and the clean
// rectangle left inside a picture turned by a fine angle.
#pragma once

#include "Bitmap.h"

#include <optional>

namespace edit {

// A picture's size on screen and the factor from its full size.
struct DisplayFit
{
    double scale = 1;
    double width = 0;
    double height = 0;
};

// Shrinks fit so that x × y (the picture, or something that scales with it) fits into
// boxWidth × boxHeight; the scale never exceeds 1.
void fitIntoBox(DisplayFit& fit, double boxWidth, double boxHeight, double x, double y);

// The whole pixel size of a fit (to nearest, halves to even), at least 1 × 1.
int roundedSide(double side);

struct SizeF
{
    double width = 0;
    double height = 0;
};

// Turning by at least 90° swaps the sides; the angle returned lies in 0 … 90.
double reduceAngle(double degrees, double& width, double& height);

// The angle below which (and above 90 minus which) a picture with these sides keeps a
// clean rectangle whose corners touch all four sides of the turned picture.
double cropLimitAngle(double longer, double shorter);

// The canvas that holds the whole picture turned by degrees.
SizeF turnedSize(double degrees, double width, double height);

// The size of the largest upright rectangle inside width × height turned by degrees, when
// one exists with its corners on all four sides.
std::optional<SizeF> inscribedSize(double degrees, double width, double height);

// That rectangle placed in the centre of the turned canvas, left and top rounded up, right
// and bottom rounded down. The canvas defaults to turnedSize.
std::optional<imaging::Rect> inscribedRectangle(double degrees, double width, double height,
                                                double canvasWidth, double canvasHeight);
std::optional<imaging::Rect> inscribedRectangle(double degrees, double width, double height);

// The fit of a width × height picture into the box for a preview that is turned: of every
// turn of 0.01° … 90°, the one whose turned and cropped picture needs the largest scale.
DisplayFit previewFitOverTurns(int width, int height, double boxWidth, double boxHeight);

} // namespace edit
