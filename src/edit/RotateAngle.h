// The arithmetic of the rotate dialog: the angle read from its text and when cropping the
// turned picture to its clean rectangle is offered.
#pragma once

#include <QLocale>
#include <QString>

namespace edit {

// Clockwise degrees in 0 … 360 from the dialog's text: a negative angle turns the other way
// round (−30 is 330); text that is not a number, or lies below −360 or above 360, is 0.
double turnAngleFromText(const QString& text, const QLocale& locale = QLocale());

// t0 in degrees for a width × height picture: between t0 and 90 − t0 (within each quarter
// turn) the clean rectangle of the turned picture is too small to offer cropping to it.
double autoCropLimit(int width, int height);

// Whether cropping is offered for a turn by angle (any number of quarter turns included).
bool autoCropOffered(double angle, double limit);

} // namespace edit
