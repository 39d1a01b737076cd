// One screen size the export offers to fit its pictures to.
#pragma once

#include <QSize>
#include <QString>

struct TScreenResolution
{
    int width = 0;
    int height = 0;

    // As the resolution list shows it: "1024 x 768".
    QString caption() const;

    friend bool operator==(const TScreenResolution&, const TScreenResolution&) = default;
};

// The box the export fits each picture into: the whole screen for a slideshow or screensaver,
// what the viewer's frame leaves of it for the photo viewer; never below what the viewer needs.
QSize exportDisplayBox(const TScreenResolution& resolution, bool slideshow);
