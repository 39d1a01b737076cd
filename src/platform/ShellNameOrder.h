// The order in which the namespace sorts names: what a file-manager user expects.
#pragma once

#include <QByteArrayView>

namespace ShellNameOrder {

// Case-insensitive, digit runs compared as numbers ("Photos 2" < "Photos 10"); bytes that
// are not valid UTF-8 sort by their value. May return 0 for distinct names ("a" and "A").
int naturalCompare(QByteArrayView a, QByteArrayView b);
// naturalCompare with ties broken by the raw bytes: 0 only for identical names.
int compareNames(QByteArrayView a, QByteArrayView b);

} // namespace ShellNameOrder
