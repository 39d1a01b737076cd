#include "ScanOptionArrangement.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace scanoptions {

namespace {

const QByteArray kBasicNames[] = {"mode", "resolution", "source"};
const QByteArray kAreaNames[] = {"tl-x", "tl-y", "br-x", "br-y"};

int indexIn(const QByteArray& name, const QByteArray* names, int count)
{
    for (int i = 0; i < count; ++i)
        if (names[i] == name)
            return i;
    return -1;
}

void addTo(QList<Section>& sections, const QString& group, int position)
{
    if (sections.isEmpty() || sections.last().title != group)
        sections.append(Section{group, {}});
    sections.last().options.append(position);
}

bool sameShape(const SaneOption& a, const SaneOption& b)
{
    return a.index == b.index && a.name == b.name && a.title == b.title && a.group == b.group &&
           a.type == b.type && a.unit == b.unit && a.count == b.count && a.advanced == b.advanced &&
           a.constraint == b.constraint && a.min == b.min && a.max == b.max && a.quant == b.quant &&
           a.words == b.words && a.strings == b.strings;
}

} // namespace

Editor editorFor(const SaneOption& option)
{
    if (!option.isShown())
        return Editor::None;
    if (option.type == SaneOption::Type::Button)
        return Editor::PushButton;
    if (option.count != 1)
        return Editor::None;
    if (option.constraint == SaneOption::Constraint::WordList ||
        option.constraint == SaneOption::Constraint::StringList)
        return Editor::Combo;
    switch (option.type) {
    case SaneOption::Type::Bool:
        return Editor::CheckBox;
    case SaneOption::Type::Int:
        return Editor::SpinBox;
    case SaneOption::Type::Fixed:
        return Editor::DoubleSpinBox;
    case SaneOption::Type::String:
        return Editor::LineEdit;
    case SaneOption::Type::Button:
        return Editor::PushButton;
    case SaneOption::Type::Group:
        break;
    }
    return Editor::None;
}

namespace {

// The slider moves in the device's own steps; 0 when the option has none.
double sliderStep(const SaneOption& option)
{
    if (option.constraint != SaneOption::Constraint::Range || option.max <= option.min)
        return 0;
    const Editor editor = editorFor(option);
    if (option.quant > 0 && (editor == Editor::SpinBox || editor == Editor::DoubleSpinBox))
        return option.quant;
    return editor == Editor::SpinBox ? 1 : 0;
}

} // namespace

int sliderPositions(const SaneOption& option)
{
    const double step = sliderStep(option);
    if (step <= 0)
        return 0;
    // A last, shorter step reaches the maximum when the range is no whole number of steps.
    const double positions = std::ceil((option.max - option.min) / step - 1e-9);
    return positions >= 1 && positions <= kMaxSliderPositions ? int(positions) : 0;
}

int sliderPosition(const SaneOption& option, double value)
{
    const int positions = sliderPositions(option);
    if (positions == 0)
        return 0;
    const double steps = (value - option.min) / sliderStep(option);
    return int(std::lround(qBound(0.0, steps, double(positions))));
}

double sliderValue(const SaneOption& option, int position)
{
    const int positions = sliderPositions(option);
    if (positions == 0)
        return option.min;
    return qMin(option.min + qBound(0, position, positions) * sliderStep(option), option.max);
}

Arrangement arrange(const QList<SaneOption>& options)
{
    Arrangement result;
    int basic[std::size(kBasicNames)];
    std::fill(std::begin(basic), std::end(basic), -1);
    int area[std::size(kAreaNames)];
    std::fill(std::begin(area), std::end(area), -1);

    for (int i = 0; i < options.size(); ++i) {
        const SaneOption& option = options.at(i);
        if (editorFor(option) == Editor::None)
            continue;
        if (const int b = indexIn(option.name, kBasicNames, int(std::size(kBasicNames))); b >= 0) {
            basic[b] = i;
            continue;
        }
        if (const int a = indexIn(option.name, kAreaNames, int(std::size(kAreaNames))); a >= 0) {
            area[a] = i;
            continue;
        }
        addTo(option.advanced ? result.advanced : result.groups, option.group, i);
    }
    for (int i : basic)
        if (i >= 0)
            result.basic.append(i);
    for (int i : area)
        if (i >= 0)
            result.area.append(i);
    return result;
}

bool sameLayout(const QList<SaneOption>& a, const QList<SaneOption>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (!sameShape(a.at(i), b.at(i)))
            return false;
    return true;
}

} // namespace scanoptions
