#include "ShellItemIdList.h"

#include <gtest/gtest.h>

namespace {

ShellItem entry(const QByteArray& name)
{
    return ShellItem{ShellItemKind::Entry, name};
}

QByteArray item(quint16 count, char kind, const QByteArray& name)
{
    QByteArray bytes;
    bytes += char(count & 0xFF);
    bytes += char(count >> 8);
    bytes += kind;
    bytes += name;
    return bytes;
}

const QByteArray kEnd("\0\0", 2);

ShellItemIdList threeLevels()
{
    return ShellItemIdList(
        std::vector<ShellItem>{{ShellItemKind::VirtualFolder, ShellVirtualName::MyComputer},
                               {ShellItemKind::Volume, "/media/card"},
                               entry("DCIM")});
}

} // namespace

TEST(ShellItemIdList, EmptyListIsTheRoot)
{
    const ShellItemIdList root;
    EXPECT_TRUE(root.isEmpty());
    EXPECT_EQ(root.itemCount(), 0);
    EXPECT_EQ(root.bytes(), kEnd);
    EXPECT_TRUE(root.split().empty());
    EXPECT_TRUE(root.last().isEmpty());
    EXPECT_EQ(root.item(0).name, QByteArray());
}

TEST(ShellItemIdList, LayoutIsCountKindNameAndZeroEnd)
{
    const ShellItemIdList list(
        std::vector<ShellItem>{{ShellItemKind::VirtualFolder, "MyDocuments"}, entry("Pictures")});
    EXPECT_EQ(list.bytes(), item(12, 1, "MyDocuments") + item(9, 3, "Pictures") + kEnd);
    const auto parsed = ShellItemIdList::fromBytes(list.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->bytes(), list.bytes());
    EXPECT_EQ(parsed->itemCount(), 2);
    EXPECT_EQ(parsed->item(1).kind, ShellItemKind::Entry);
    EXPECT_EQ(parsed->item(1).name, "Pictures");
}

TEST(ShellItemIdList, PartsAndConcatenation)
{
    const ShellItemIdList list = threeLevels();
    EXPECT_EQ(list.itemCount(), 3);
    EXPECT_EQ(list.first(2).itemCount(), 2);
    EXPECT_EQ(list.first(2).lastItem().name, "/media/card");
    EXPECT_EQ(list.first(0).bytes(), kEnd);
    EXPECT_EQ(list.first(10).bytes(), list.bytes());
    EXPECT_EQ(list.mid(1).item(0).kind, ShellItemKind::Volume);
    EXPECT_TRUE(list.mid(3).isEmpty());
    EXPECT_TRUE(list.mid(7).isEmpty());
    EXPECT_EQ(list.last().bytes(), ShellItemIdList(entry("DCIM")).bytes());
    EXPECT_EQ((list.first(1) + list.mid(1)).bytes(), list.bytes());
    EXPECT_EQ((ShellItemIdList() + list).bytes(), list.bytes());
    EXPECT_EQ((list + ShellItemIdList()).bytes(), list.bytes());

    ShellItemIdList rebuilt;
    for (const ShellItemIdList& part : list.split()) {
        EXPECT_EQ(part.itemCount(), 1);
        rebuilt = rebuilt + part;
    }
    EXPECT_EQ(rebuilt.bytes(), list.bytes());
    EXPECT_EQ(list.item(-1).name, QByteArray());
    EXPECT_EQ(list.item(3).name, QByteArray());
}

TEST(ShellItemIdList, RawNamesSurvive)
{
    const QByteArray odd("caf\xe9\nnew\xff", 9);
    const ShellItemIdList list(entry(odd));
    const auto parsed = ShellItemIdList::fromBytes(list.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->lastItem().name, odd);
}

TEST(ShellItemIdList, OversizedNameIsCutToAWellFormedList)
{
    const ShellItemIdList list(entry(QByteArray(70000, 'x')));
    const auto parsed = ShellItemIdList::fromBytes(list.bytes());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->lastItem().name.size(), 0xFFFE);
}

TEST(ShellItemIdList, MalformedBytesAreRefused)
{
    const QByteArray good = item(5, 3, "abcd");
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"nothing", QByteArray()},
        {"half a count", QByteArray(1, '\0')},
        {"no terminator", good},
        {"terminator cut", good + QByteArray(1, '\0')},
        {"count past the end", item(50, 3, "abcd") + kEnd},
        {"huge count", item(0xFFFF, 3, "a") + kEnd},
        {"bytes after the end", good + kEnd + "x"},
        {"unknown kind 0", item(2, 0, "a") + kEnd},
        {"unknown kind 9", item(2, 9, "a") + kEnd},
        {"kind without name", item(1, 3, "") + kEnd},
        {"dot dot", item(3, 3, "..") + kEnd},
        {"dot", item(2, 3, ".") + kEnd},
        {"slash in entry", item(8, 3, "../etc") + kEnd},
        {"nul in name", item(4, 3, QByteArray("a\0b", 3)) + kEnd},
        {"relative volume", item(4, 2, "mnt") + kEnd},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_FALSE(ShellItemIdList::fromBytes(bytes)) << what;
    }
    EXPECT_TRUE(ShellItemIdList::fromBytes(good + kEnd));
    EXPECT_TRUE(ShellItemIdList::fromBytes(kEnd));
}
