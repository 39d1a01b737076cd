// One edit request as the engine's worker receives it: a kind and seven parameters.
#pragma once

#include <cstdint>

enum EditKind : std::int32_t
{
    EditNone = 0, // wakes the worker at shutdown
    EditResize = 1,
    EditTurn = 2,
    EditCrop = 3,
    EditColours = 4,
    EditRedEye = 5,
    EditAutoColour = 6,
    EditGreyScale = 7,
    EditUndoMarker = 100,
};

// Parameters by kind:
//   resize     width, height
//   turn       mirror left-right (1), mirror top-bottom (1), angle in hundredths of a degree,
//              fill colour, crop to the inscribed rectangle (1)
//   crop       left, top, width, height
//   colours    contrast, brightness, saturation, hue, red, green, blue (each -1000 ... 1000)
//   red eye    replacement colour, threshold, lightness, left, top, right, bottom (exclusive)
//   auto       colour (1), contrast (1), brightness (1)
struct EditAction
{
    std::int32_t kind = EditNone;
    std::int32_t p1 = 0;
    std::int32_t p2 = 0;
    std::int32_t p3 = 0;
    std::int32_t p4 = 0;
    std::int32_t p5 = 0;
    std::int32_t p6 = 0;
    std::int32_t p7 = 0;

    bool operator==(const EditAction&) const = default;
};
static_assert(sizeof(EditAction) == 32);
