// How the scanner settings window lays out a device's options: the settings a user changes
// on almost every scan first, the rest as the device groups them, the advanced ones apart.
// No widgets, so it is tested without a display.
#pragma once

#include "SaneOption.h"

#include <QList>
#include <QString>

namespace scanoptions {

enum class Editor
{
    None, // not shown (an array such as a gamma table)
    CheckBox,
    SpinBox,       // whole numbers
    DoubleSpinBox, // fixed-point numbers
    Combo,         // a word or string list
    LineEdit,      // free text
    PushButton,
};

Editor editorFor(const SaneOption& option);

// A range worth a slider beside its spin box: whole steps of at most this many positions.
inline constexpr int kMaxSliderPositions = 10000;
// Positions 0..sliderPositions(option), or 0 when the option gets no slider.
int sliderPositions(const SaneOption& option);
int sliderPosition(const SaneOption& option, double value);
double sliderValue(const SaneOption& option, int position);

struct Section
{
    QString title;      // the device's group title; empty for options before any group
    QList<int> options; // positions in the option list
};

struct Arrangement
{
    QList<int> basic; // mode, resolution, source, in that order
    QList<int> area;  // the scan area's corners
    QList<Section> groups;
    QList<Section> advanced;
};

Arrangement arrange(const QList<SaneOption>& options);

// True when the two lists would give the same window (values and states aside), so that a
// re-read only updates the editors and the user keeps his place.
bool sameLayout(const QList<SaneOption>& a, const QList<SaneOption>& b);

} // namespace scanoptions
