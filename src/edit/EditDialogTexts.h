// The language table's ids of the edit dialogs' texts.
#pragma once

namespace editdialogs {

enum TextId : unsigned
{
    TextCancel = 3,
    TextOk = 7,
    TextResize = 601,
    TextKeepAspectRatio = 602,
    TextWidth = 603,
    TextHeight = 604,
    TextBadWidth = 605,
    TextBadHeight = 606,
    TextPixels = 607,
    TextCm = 608,
    TextInches = 609,
    TextRotate = 611,
    TextRotateAngle = 612,
    TextColor = 621,
    TextContrast = 622,
    TextBrightness = 623,
    TextSaturation = 624,
    TextHue = 625,
    TextColorBalance = 626,
    TextCyan = 627,
    TextRed = 628,
    TextMagenta = 629,
    TextGreen = 630,
    TextYellow = 631,
    TextBlue = 632,
    TextAutoColor = 647,
    TextAutoChange = 648,
    TextCustomColors = 650,
};

} // namespace editdialogs
