// A scanner option as the options dialog needs it: what the device's SANE option descriptor
// says (type, unit, constraint, state) together with the option's current value.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

struct SaneDeviceInfo
{
    QByteArray name; // what open() takes, e.g. "test:0"
    QString vendor;
    QString model;
    QString type;

    // "Vendor Model" for the source list; the device name when the backend gave neither.
    QString displayName() const;
};

struct SaneOption
{
    enum class Type
    {
        Bool,
        Int,
        Fixed,
        String,
        Button,
        Group
    };
    enum class Unit
    {
        None,
        Pixel,
        Bit,
        Mm,
        Dpi,
        Percent,
        Microsecond
    };
    enum class Constraint
    {
        None,
        Range,
        WordList,
        StringList
    };

    int index = 0;   // the option's number on the device, for setOption()
    QByteArray name; // e.g. "mode", "resolution", "source"; empty for a group
    QString title;
    QString description;
    QString group; // title of the group the option follows
    Type type = Type::Int;
    Unit unit = Unit::None;
    int count = 1; // values the option holds (more than one: an array such as a gamma table)
    bool active = true;
    bool settable = true; // the program may set it (a soft-select option)
    bool readable = true; // the program may read it (soft-detect)
    bool advanced = false;
    bool automatic = false; // the device can choose the value itself (setAutomatic)
    Constraint constraint = Constraint::None;
    // Range: min, max and quant (0 = any step); Fixed values are already plain numbers.
    double min = 0;
    double max = 0;
    double quant = 0;
    QList<double> words; // WordList
    QStringList strings; // StringList
    // bool, int, double (Fixed) or QString; a QVariantList of those when count > 1; invalid
    // for a button, a group or an option that is inactive or cannot be read.
    QVariant value;

    bool isGroup() const { return type == Type::Group; }
    // An option the dialog shows: not a group, active or not.
    bool isShown() const { return type != Type::Group && !name.isEmpty(); }
};

// The option of that name in the list, or nullptr.
const SaneOption* findSaneOption(const QList<SaneOption>& options, const QByteArray& name);

// True when value, a source option's choice, names a document feeder, e.g. "ADF",
// "Automatic Document Feeder", "ADF Duplex" (these scan until the feeder is empty).
bool isFeederSource(const QString& value);

Q_DECLARE_METATYPE(SaneDeviceInfo)
Q_DECLARE_METATYPE(SaneOption)
