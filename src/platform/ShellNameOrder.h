// The order in which the namespace sorts names: what a file-manager user expects.
#pragma once

#include <QByteArray>

namespace ShellNameOrder {

// Case-insensitive, digit runs compared as numbers ("Photos 2" < "Photos 10"); bytes that
// are not valid UTF-8 sort by their value. May return 0 for distinct names ("a" and "A").
int naturalCompare(const QByteArray& a, const QByteArray& b);
// naturalCompare with ties broken by the raw bytes: 0 only for identical names.
int compareNames(const QByteArray& a, const QByteArray& b);

} // namespace ShellNameOrder
