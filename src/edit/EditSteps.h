// Edit steps written as text ("rotate:7.5", "crop:10,10,200,100"...), for running the edit
// engine from a shell: parsed here, posted to an engine in apply mode.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class TEditImage;

namespace edit {

struct EditStep
{
    enum class Kind
    {
        Rotate,  // degrees, crop
        Flip,    // leftRight
        Crop,    // values: left, top, width, height
        Resize,  // values: width, height
        Colours, // values: contrast, brightness, saturation, hue, red, green, blue
        Auto,    // values: colour, contrast, brightness (0 or 1)
        Grey,
        RedEye, // values: left, top, width, height
    };
    Kind kind = Kind::Grey;
    double degrees = 0; // 0 … 360 (a negative angle counts from 360), hundredths at most
    bool crop = false;
    bool leftRight = false;
    std::array<int, 7> values{};

    bool operator==(const EditStep&) const = default;
};

// One step; none with a message in error for text that is not one.
std::optional<EditStep> parseEditStep(const QString& text, QString* error = nullptr);
// Every step, or none with the message for the first bad one.
std::optional<std::vector<EditStep>> parseEditSteps(const QStringList& texts,
                                                    QString* error = nullptr);

// Posts the step's request.
void postEditStep(TEditImage& engine, const EditStep& step);

} // namespace edit
