// Between SANE's option descriptors and value buffers and the program's SaneOption.
#pragma once

#include "SaneOption.h"

#include <QByteArray>

#include <sane/sane.h>

SaneOption saneOptionFromDescriptor(int index, const SANE_Option_Descriptor& descriptor,
                                    const QString& group);

// The value in a buffer of the descriptor's size, as SaneOption::value holds it.
QVariant saneValueFromBuffer(const SaneOption& option, const QByteArray& buffer);

// The value as a buffer of size bytes for sane_control_option; false with error for a
// value of the wrong kind or count (a string too long for the option is refused, not cut).
bool saneValueToBuffer(const SaneOption& option, const QVariant& value, int size,
                       QByteArray& buffer, QString* error);
