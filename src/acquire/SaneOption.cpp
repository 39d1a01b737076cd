#include "SaneOption.h"

#include "SaneOptionConversion.h"

#include <cmath>
#include <cstring>

QString SaneDeviceInfo::displayName() const
{
    const QString text = QStringList{vendor, model}.join(QLatin1Char(' ')).trimmed();
    return text.isEmpty() ? QString::fromUtf8(name) : text;
}

const SaneOption* findSaneOption(const QList<SaneOption>& options, const QByteArray& name)
{
    for (const SaneOption& option : options)
        if (option.name == name)
            return &option;
    return nullptr;
}

bool isFeederSource(const QString& value)
{
    return value.contains(QLatin1String("ADF"), Qt::CaseInsensitive) ||
           value.contains(QLatin1String("feeder"), Qt::CaseInsensitive);
}

namespace {

QString fromSane(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

SaneOption::Type typeOf(SANE_Value_Type type)
{
    switch (type) {
    case SANE_TYPE_BOOL:
        return SaneOption::Type::Bool;
    case SANE_TYPE_INT:
        return SaneOption::Type::Int;
    case SANE_TYPE_FIXED:
        return SaneOption::Type::Fixed;
    case SANE_TYPE_STRING:
        return SaneOption::Type::String;
    case SANE_TYPE_BUTTON:
        return SaneOption::Type::Button;
    case SANE_TYPE_GROUP:
        return SaneOption::Type::Group;
    }
    return SaneOption::Type::Button; // unknown: nothing the dialog can hold a value of
}

SaneOption::Unit unitOf(SANE_Unit unit)
{
    switch (unit) {
    case SANE_UNIT_NONE:
        return SaneOption::Unit::None;
    case SANE_UNIT_PIXEL:
        return SaneOption::Unit::Pixel;
    case SANE_UNIT_BIT:
        return SaneOption::Unit::Bit;
    case SANE_UNIT_MM:
        return SaneOption::Unit::Mm;
    case SANE_UNIT_DPI:
        return SaneOption::Unit::Dpi;
    case SANE_UNIT_PERCENT:
        return SaneOption::Unit::Percent;
    case SANE_UNIT_MICROSECOND:
        return SaneOption::Unit::Microsecond;
    }
    return SaneOption::Unit::None;
}

double numberOf(const SaneOption& option, SANE_Word word)
{
    return option.type == SaneOption::Type::Fixed ? SANE_UNFIX(word) : double(word);
}

SANE_Word wordOf(const SaneOption& option, const QVariant& value, bool* ok)
{
    switch (option.type) {
    case SaneOption::Type::Bool:
        *ok = value.canConvert<bool>();
        return value.toBool() ? SANE_TRUE : SANE_FALSE;
    case SaneOption::Type::Int: {
        const double number = value.toDouble(ok);
        *ok = *ok && std::isfinite(number) && std::abs(number) < 2147483647.0;
        return *ok ? SANE_Word(std::lround(number)) : 0;
    }
    case SaneOption::Type::Fixed: {
        const double number = value.toDouble(ok);
        *ok = *ok && std::isfinite(number) && std::abs(number) < 32767.0;
        return *ok ? SANE_FIX(number) : 0;
    }
    default:
        *ok = false;
        return 0;
    }
}

} // namespace

SaneOption saneOptionFromDescriptor(int index, const SANE_Option_Descriptor& descriptor,
                                    const QString& group)
{
    SaneOption option;
    option.index = index;
    option.name = QByteArray(descriptor.name ? descriptor.name : "");
    option.title = fromSane(descriptor.title);
    option.description = fromSane(descriptor.desc);
    option.group = group;
    option.type = typeOf(descriptor.type);
    option.unit = unitOf(descriptor.unit);
    const int cap = descriptor.cap;
    option.active = SANE_OPTION_IS_ACTIVE(cap);
    option.settable = SANE_OPTION_IS_SETTABLE(cap);
    option.readable = (cap & SANE_CAP_SOFT_DETECT) != 0;
    option.advanced = (cap & SANE_CAP_ADVANCED) != 0;
    option.automatic = (cap & SANE_CAP_AUTOMATIC) != 0;
    if (option.type == SaneOption::Type::Bool || option.type == SaneOption::Type::Int ||
        option.type == SaneOption::Type::Fixed)
        option.count = std::max(1, int(descriptor.size / SANE_Int(sizeof(SANE_Word))));
    switch (descriptor.constraint_type) {
    case SANE_CONSTRAINT_RANGE:
        if (descriptor.constraint.range) {
            option.constraint = SaneOption::Constraint::Range;
            option.min = numberOf(option, descriptor.constraint.range->min);
            option.max = numberOf(option, descriptor.constraint.range->max);
            option.quant = numberOf(option, descriptor.constraint.range->quant);
        }
        break;
    case SANE_CONSTRAINT_WORD_LIST:
        if (const SANE_Word* list = descriptor.constraint.word_list) {
            option.constraint = SaneOption::Constraint::WordList;
            // The first word is the length of the list.
            for (SANE_Word i = 1; i <= list[0]; ++i)
                option.words.append(numberOf(option, list[i]));
        }
        break;
    case SANE_CONSTRAINT_STRING_LIST:
        if (const SANE_String_Const* list = descriptor.constraint.string_list) {
            option.constraint = SaneOption::Constraint::StringList;
            for (; *list; ++list)
                option.strings.append(fromSane(*list));
        }
        break;
    case SANE_CONSTRAINT_NONE:
        break;
    }
    return option;
}

QVariant saneValueFromBuffer(const SaneOption& option, const QByteArray& buffer)
{
    switch (option.type) {
    case SaneOption::Type::String:
        // Up to the first zero; a backend that filled the buffer has no terminator.
        return QString::fromUtf8(buffer.constData(),
                                 qstrnlen(buffer.constData(), uint(buffer.size())));
    case SaneOption::Type::Bool:
    case SaneOption::Type::Int:
    case SaneOption::Type::Fixed: {
        const int words = int(buffer.size() / qsizetype(sizeof(SANE_Word)));
        QVariantList values;
        for (int i = 0; i < words; ++i) {
            SANE_Word word;
            std::memcpy(&word, buffer.constData() + i * sizeof(SANE_Word), sizeof word);
            if (option.type == SaneOption::Type::Bool)
                values.append(word != SANE_FALSE);
            else if (option.type == SaneOption::Type::Int)
                values.append(int(word));
            else
                values.append(SANE_UNFIX(word));
        }
        if (values.isEmpty())
            return {};
        return option.count > 1 ? QVariant(values) : values.first();
    }
    default:
        return {};
    }
}

bool saneValueToBuffer(const SaneOption& option, const QVariant& value, int size,
                       QByteArray& buffer, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (size <= 0)
        return fail(QStringLiteral("option has no value"));
    buffer = QByteArray(size, '\0');
    if (option.type == SaneOption::Type::String) {
        const QByteArray text = value.toString().toUtf8();
        if (text.size() >= size)
            return fail(QStringLiteral("text too long"));
        std::memcpy(buffer.data(), text.constData(), size_t(text.size()));
        return true;
    }
    if (option.type != SaneOption::Type::Bool && option.type != SaneOption::Type::Int &&
        option.type != SaneOption::Type::Fixed)
        return fail(QStringLiteral("option takes no value"));
    const int words = size / int(sizeof(SANE_Word));
    QVariantList values =
        value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    // One value for an array sets every element alike.
    if (values.size() == 1 && words > 1)
        values = QVariantList(words, values.first());
    if (values.size() != words)
        return fail(QStringLiteral("wrong number of values"));
    for (int i = 0; i < words; ++i) {
        bool ok = false;
        const SANE_Word word = wordOf(option, values[i], &ok);
        if (!ok)
            return fail(QStringLiteral("not a number"));
        std::memcpy(buffer.data() + i * sizeof(SANE_Word), &word, sizeof word);
    }
    return true;
}
