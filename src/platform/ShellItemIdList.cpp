#include "ShellItemIdList.h"

#include <QtEndian>

namespace {

constexpr int kCountSize = 2;
constexpr int kMaxItemSize = 0xFFFF; // the count is 16 bits wide

// A function, not a global: lists may be made during other files' static initialisation.
QByteArray terminator()
{
    return QByteArray(kCountSize, '\0');
}

int readCount(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

void appendItem(QByteArray& out, const ShellItem& item)
{
    // File names are at most 255 bytes and paths 4096, so the cut never happens in
    // practice; it keeps the layout well-formed whatever a caller passes.
    const QByteArray name = item.name.left(kMaxItemSize - 1);
    char count[kCountSize];
    qToLittleEndian<quint16>(static_cast<quint16>(name.size() + 1), count);
    out.append(count, kCountSize);
    out.append(static_cast<char>(item.kind));
    out.append(name);
}

bool isValidItem(ShellItemKind kind, const QByteArray& name)
{
    if (name.isEmpty() || name.contains('\0')) {
        return false;
    }
    switch (kind) {
    case ShellItemKind::VirtualFolder:
        return true;
    case ShellItemKind::Volume:
        return name.startsWith('/');
    case ShellItemKind::Entry:
        return !name.contains('/') && name != "." && name != "..";
    }
    return false;
}

} // namespace

ShellItemIdList::ShellItemIdList() : mBytes(terminator()) {}

ShellItemIdList::ShellItemIdList(const ShellItem& item)
{
    appendItem(mBytes, item);
    mBytes.append(terminator());
}

ShellItemIdList::ShellItemIdList(const std::vector<ShellItem>& items)
{
    for (const ShellItem& item : items) {
        appendItem(mBytes, item);
    }
    mBytes.append(terminator());
}

std::optional<ShellItemIdList> ShellItemIdList::fromBytes(const QByteArray& bytes)
{
    qsizetype offset = 0;
    for (;;) {
        if (bytes.size() - offset < kCountSize) {
            return std::nullopt; // truncated: no terminator
        }
        const int count = readCount(bytes, offset);
        offset += kCountSize;
        if (count == 0) {
            break;
        }
        if (count > bytes.size() - offset) {
            return std::nullopt; // the count runs past the end
        }
        const auto kind = static_cast<quint8>(bytes.at(offset));
        if (kind < quint8(ShellItemKind::VirtualFolder) || kind > quint8(ShellItemKind::Entry)) {
            return std::nullopt;
        }
        if (!isValidItem(ShellItemKind(kind), bytes.mid(offset + 1, count - 1))) {
            return std::nullopt;
        }
        offset += count;
    }
    if (offset != bytes.size()) {
        return std::nullopt; // bytes after the terminator
    }
    ShellItemIdList list;
    list.mBytes = bytes;
    return list;
}

bool ShellItemIdList::isEmpty() const
{
    return readCount(mBytes, 0) == 0;
}

int ShellItemIdList::itemCount() const
{
    int n = 0;
    for (qsizetype offset = 0; readCount(mBytes, offset) != 0;
         offset += kCountSize + readCount(mBytes, offset)) {
        ++n;
    }
    return n;
}

qsizetype ShellItemIdList::offsetOf(int index) const
{
    qsizetype offset = 0;
    for (int i = 0; i < index; ++i) {
        const int count = readCount(mBytes, offset);
        if (count == 0) {
            break;
        }
        offset += kCountSize + count;
    }
    return offset;
}

ShellItem ShellItemIdList::item(int index) const
{
    if (index < 0) {
        return {};
    }
    const qsizetype offset = offsetOf(index);
    const int count = readCount(mBytes, offset);
    if (count == 0) {
        return {};
    }
    return ShellItem{ShellItemKind(quint8(mBytes.at(offset + kCountSize))),
                     mBytes.mid(offset + kCountSize + 1, count - 1)};
}

ShellItem ShellItemIdList::lastItem() const
{
    return item(itemCount() - 1);
}

std::vector<ShellItem> ShellItemIdList::items() const
{
    std::vector<ShellItem> result;
    for (qsizetype offset = 0; readCount(mBytes, offset) != 0;) {
        const int count = readCount(mBytes, offset);
        result.push_back(ShellItem{ShellItemKind(quint8(mBytes.at(offset + kCountSize))),
                                   mBytes.mid(offset + kCountSize + 1, count - 1)});
        offset += kCountSize + count;
    }
    return result;
}

ShellItemIdList ShellItemIdList::operator+(const ShellItemIdList& tail) const
{
    ShellItemIdList result;
    result.mBytes = mBytes.left(mBytes.size() - kCountSize) + tail.mBytes;
    return result;
}

ShellItemIdList ShellItemIdList::first(int count) const
{
    ShellItemIdList result;
    if (count > 0) {
        result.mBytes = mBytes.left(offsetOf(count)) + terminator();
    }
    return result;
}

ShellItemIdList ShellItemIdList::mid(int from) const
{
    ShellItemIdList result;
    result.mBytes = mBytes.mid(offsetOf(qMax(from, 0)));
    return result;
}

ShellItemIdList ShellItemIdList::last() const
{
    const int n = itemCount();
    return n == 0 ? ShellItemIdList() : mid(n - 1);
}

std::vector<ShellItemIdList> ShellItemIdList::split() const
{
    std::vector<ShellItemIdList> result;
    for (const ShellItem& item : items()) {
        result.emplace_back(item);
    }
    return result;
}
