#include "ShellNameOrder.h"

#include <QChar>

#include <algorithm>
#include <cstring>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One code point from UTF-8; an invalid byte stands for itself in the lone-surrogate range,
// so that undecodable names still have a stable order.
char32_t decodeAt(QByteArrayView s, qsizetype& i)
{
    const auto lead = static_cast<unsigned char>(s.at(i));
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    }
    if (length == 0 || i + length > s.size()) {
        ++i;
        return 0xDC00 + lead;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s.at(i + k));
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xDC00 + lead;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xDC00 + lead; // overlong or out of range
    }
    i += length;
    return cp;
}

char32_t fold(char32_t cp)
{
    if (cp < 0x80) {
        return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
    }
    return QChar::toCaseFolded(cp);
}

// Compares the digit runs at i and j as numbers and moves past them.
int compareNumbers(QByteArrayView a, qsizetype& i, QByteArrayView b, qsizetype& j)
{
    while (i < a.size() && a.at(i) == '0' && i + 1 < a.size() && isDigit(a.at(i + 1))) {
        ++i;
    }
    while (j < b.size() && b.at(j) == '0' && j + 1 < b.size() && isDigit(b.at(j + 1))) {
        ++j;
    }
    qsizetype endA = i;
    qsizetype endB = j;
    while (endA < a.size() && isDigit(a.at(endA))) {
        ++endA;
    }
    while (endB < b.size() && isDigit(b.at(endB))) {
        ++endB;
    }
    int result = 0;
    if (endA - i != endB - j) {
        result = endA - i < endB - j ? -1 : 1;
    } else {
        const int c = std::memcmp(a.constData() + i, b.constData() + j, size_t(endA - i));
        result = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    i = endA;
    j = endB;
    return result;
}

} // namespace

namespace ShellNameOrder {

int naturalCompare(QByteArrayView a, QByteArrayView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            if (const int c = compareNumbers(a, i, b, j); c != 0) {
                return c;
            }
            continue;
        }
        const char32_t ca = fold(decodeAt(a, i));
        const char32_t cb = fold(decodeAt(b, j));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

int compareNames(QByteArrayView a, QByteArrayView b)
{
    if (a == b) {
        return 0; // the common case of shared leading items, at memcmp speed
    }
    if (const int c = naturalCompare(a, b); c != 0) {
        return c;
    }
    const int c = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
    if (c != 0) {
        return c < 0 ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace ShellNameOrder
