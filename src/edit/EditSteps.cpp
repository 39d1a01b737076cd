#include "EditSteps.h"

#include "TEditImage.h"

#include <QRegularExpression>

namespace edit {
namespace {

struct Bad
{
    QString message;
};

// count whole numbers separated by commas, each within [low, high].
std::array<int, 7> numbers(const QString& text, int count, int low, int high)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != count)
        throw Bad{QStringLiteral("expected %1 numbers separated by commas").arg(count)};
    std::array<int, 7> values{};
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        values[std::size_t(i)] = parts.at(i).toInt(&ok);
        if (!ok || values[std::size_t(i)] < low || values[std::size_t(i)] > high)
            throw Bad{QStringLiteral("%1 is not a whole number from %2 to %3")
                          .arg(parts.at(i))
                          .arg(low)
                          .arg(high)};
    }
    return values;
}

// Left and top from 0, width and height from 1.
std::array<int, 7> rectangle(const QString& text)
{
    std::array<int, 7> values = numbers(text, 4, 0, 100000000);
    if (values[2] < 1 || values[3] < 1)
        throw Bad{QStringLiteral("width and height must be at least 1")};
    return values;
}

EditStep rotateStep(const QStringList& parts)
{
    static const QRegularExpression angle(QStringLiteral("^-?[0-9]{1,3}(\\.[0-9]{1,2})?$"));
    if (parts.size() > 3 || parts.size() < 2 ||
        (parts.size() == 3 && parts.at(2) != QLatin1String("crop")))
        throw Bad{QStringLiteral("rotate takes DEGREES or DEGREES:crop")};
    EditStep step{EditStep::Kind::Rotate};
    if (!angle.match(parts.at(1)).hasMatch())
        throw Bad{QStringLiteral("degrees must be a number with at most two decimals")};
    step.degrees = parts.at(1).toDouble();
    if (step.degrees < -360 || step.degrees > 360)
        throw Bad{QStringLiteral("degrees must lie from -360 to 360")};
    // As the rotate dialog reads it: -30 is a turn by 330.
    if (step.degrees < 0)
        step.degrees += 360;
    step.crop = parts.size() == 3;
    return step;
}

EditStep parse(const QString& text)
{
    const QStringList parts = text.split(u':');
    const QString& name = parts.first();
    if (name == QLatin1String("rotate"))
        return rotateStep(parts);
    if (name == QLatin1String("grey")) {
        if (parts.size() != 1)
            throw Bad{QStringLiteral("grey takes no values")};
        return EditStep{EditStep::Kind::Grey};
    }
    if (parts.size() != 2)
        throw Bad{QStringLiteral("expected NAME:VALUES")};
    const QString& values = parts.at(1);
    EditStep step;
    if (name == QLatin1String("flip")) {
        if (values != QLatin1String("h") && values != QLatin1String("v"))
            throw Bad{QStringLiteral("flip takes h or v")};
        step.kind = EditStep::Kind::Flip;
        step.leftRight = values == QLatin1String("h");
    } else if (name == QLatin1String("crop")) {
        step.kind = EditStep::Kind::Crop;
        step.values = rectangle(values);
    } else if (name == QLatin1String("redeye")) {
        step.kind = EditStep::Kind::RedEye;
        step.values = rectangle(values);
    } else if (name == QLatin1String("resize")) {
        step.kind = EditStep::Kind::Resize;
        step.values = numbers(values, 2, 1, 100000000);
    } else if (name == QLatin1String("colors")) {
        step.kind = EditStep::Kind::Colours;
        step.values = numbers(values, 7, -1000, 1000);
    } else if (name == QLatin1String("auto")) {
        step.kind = EditStep::Kind::Auto;
        step.values = numbers(values, 3, 0, 1);
    } else {
        throw Bad{QStringLiteral("unknown step")};
    }
    return step;
}

} // namespace

std::optional<EditStep> parseEditStep(const QString& text, QString* error)
{
    try {
        return parse(text);
    } catch (const Bad& bad) {
        if (error)
            *error = text + QStringLiteral(": ") + bad.message;
        return std::nullopt;
    }
}

std::optional<std::vector<EditStep>> parseEditSteps(const QStringList& texts, QString* error)
{
    std::vector<EditStep> steps;
    for (const QString& text : texts) {
        std::optional<EditStep> step = parseEditStep(text, error);
        if (!step)
            return std::nullopt;
        steps.push_back(*step);
    }
    return steps;
}

void postEditStep(TEditImage& engine, const EditStep& step)
{
    const std::array<int, 7>& v = step.values;
    switch (step.kind) {
    case EditStep::Kind::Rotate:
        engine.Rotate(step.crop, step.degrees);
        break;
    case EditStep::Kind::Flip:
        engine.Mirror(step.leftRight, false);
        break;
    case EditStep::Kind::Crop:
        engine.Crop(v[0], v[1], v[2], v[3]);
        break;
    case EditStep::Kind::Resize:
        engine.Resize(v[0], v[1]);
        break;
    case EditStep::Kind::Colours:
        engine.SetColours(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
        break;
    case EditStep::Kind::Auto:
        engine.AutoColour(v[0] == 1, v[1] == 1, v[2] == 1);
        break;
    case EditStep::Kind::Grey:
        engine.GreyScale();
        break;
    case EditStep::Kind::RedEye:
        engine.RedEye(imaging::makeColorRef(0, 0, 0), v[0], v[1], v[2], v[3]);
        break;
    }
}

} // namespace edit
