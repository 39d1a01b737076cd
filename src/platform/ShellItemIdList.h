// Stands for the Windows shell's item-ID lists (PIDLs).
#pragma once

#include <QByteArray>
#include <QMetaType>

#include <optional>
#include <vector>

enum class ShellItemKind : quint8
{
    VirtualFolder = 1, // an item of the virtual root; name is one of the ShellVirtualName values
    Volume = 2,        // a mounted volume under My Computer; name is its mount point
    Entry = 3,         // a file-system entry; name is the file name's raw bytes
};

// Names of the virtual root's items, in the root's order.
namespace ShellVirtualName {
inline constexpr char MyDocuments[] = "MyDocuments";
inline constexpr char MyComputer[] = "MyComputer";
inline constexpr char Network[] = "Network";
inline constexpr char Trash[] = "Trash";
} // namespace ShellVirtualName

struct ShellItem
{
    ShellItemKind kind = ShellItemKind::Entry;
    QByteArray name; // raw bytes: file names need not be valid UTF-8
};

// A sequence of items, each stored as a 16-bit (little-endian) byte count and that many bytes
// (one kind byte, then the name), ended by a zero count. An absolute list starts
// at the virtual root; the empty list is the root itself.
// Equality and order are the namespace's business (ShellFolder::compareIds), never
// the raw bytes', so this class deliberately has no operator==.
class ShellItemIdList
{
public:
    ShellItemIdList();
    explicit ShellItemIdList(const ShellItem& item);
    explicit ShellItemIdList(const std::vector<ShellItem>& items);

    // Validates the layout; nullopt for truncated or malformed bytes, bytes after the
    // terminator, unknown kinds and unsafe names (empty, NUL, "/", "." or ".." in an entry,
    // a volume that is not an absolute path).
    static std::optional<ShellItemIdList> fromBytes(const QByteArray& bytes);

    const QByteArray& bytes() const { return mBytes; }
    bool isEmpty() const;
    int itemCount() const;
    ShellItem item(int index) const; // an empty Entry when out of range
    ShellItem lastItem() const;
    std::vector<ShellItem> items() const;

    ShellItemIdList operator+(const ShellItemIdList& tail) const;
    ShellItemIdList first(int count) const; // the leading items
    ShellItemIdList mid(int from) const;    // the items from index on
    ShellItemIdList last() const;           // the last item alone (a relative list)
    std::vector<ShellItemIdList> split() const;

private:
    qsizetype offsetOf(int index) const; // byte offset of an item, or of the terminator

    QByteArray mBytes; // always well-formed, terminator included
};

Q_DECLARE_METATYPE(ShellItemIdList)
