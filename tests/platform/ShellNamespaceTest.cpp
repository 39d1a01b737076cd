#include "ShellNamespace.h"

#include "ShellIconList.h"
#include "ShellNameOrder.h"
#include "ShellTestNamespace.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

ShellItem entry(const QByteArray& name)
{
    return ShellItem{ShellItemKind::Entry, name};
}

ShellItemIdList entries(ShellItemIdList base, const std::vector<QByteArray>& names)
{
    for (const QByteArray& name : names) {
        base = base + ShellItemIdList(entry(name));
    }
    return base;
}

ShellItemIdList volumeId(const QByteArray& mountPoint)
{
    return ShellNamespace::instance().myComputer() +
           ShellItemIdList(ShellItem{ShellItemKind::Volume, mountPoint});
}

std::vector<QByteArray> names(const std::vector<ShellItemIdList>& ids)
{
    std::vector<QByteArray> out;
    for (const ShellItemIdList& id : ids) {
        out.push_back(id.lastItem().name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

const ShellFolder& desktop()
{
    return ShellNamespace::instance().desktopFolder();
}

class ShellNamespaceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ns.isValid());
        ns.makeFolder("home/Pictures/Trip");
        ns.makeFolder("home/.cache");
        ns.makeFolder("home/Desktop/Projects");
        ns.makeFolder("home/Desktop/.hidden");
        ns.writeFile("home/Desktop/note.txt");
        ns.writeFile("home/.profile");
        ns.writeFile("home/photo.jpg");
        ns.apply();
    }

    ShellFolder home() const { return ShellFolder(ShellNamespace::instance().myDocuments()); }

    ShellTestNamespace ns;
};

} // namespace

TEST_F(ShellNamespaceTest, RootHoldsTheVirtualFoldersThenTheDesktopsEntries)
{
    const auto folders = desktop().enumObjects(EnumFolders);
    ASSERT_EQ(folders.size(), 5u);
    const char* expected[] = {ShellVirtualName::MyDocuments, ShellVirtualName::MyComputer,
                              ShellVirtualName::Network, ShellVirtualName::Trash};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(folders[size_t(i)].lastItem().kind, ShellItemKind::VirtualFolder);
        EXPECT_EQ(folders[size_t(i)].lastItem().name, expected[i]);
    }
    EXPECT_EQ(folders[4].lastItem().kind, ShellItemKind::Entry);
    EXPECT_EQ(folders[4].lastItem().name, "Projects");
    EXPECT_EQ(names(desktop().enumObjects(EnumNonFolders)), std::vector<QByteArray>{"note.txt"});
    EXPECT_EQ(ShellNamespace::instance().pathOf(folders[4]), ns.desktop() + "/Projects");
}

TEST_F(ShellNamespaceTest, SpecialFolders)
{
    ShellNamespace& shell = ShellNamespace::instance();
    EXPECT_TRUE(shell.specialFolderLocation(SpecialDesktop)->isEmpty());
    EXPECT_TRUE(sameFolderId(*shell.specialFolderLocation(SpecialMyComputer), shell.myComputer()));
    EXPECT_EQ(shell.specialFolderLocation(SpecialRecycleBin)->lastItem().name, "Trash");
    EXPECT_TRUE(sameFolderId(*shell.specialFolderLocation(SpecialNetwork),
                             *shell.specialFolderLocation(SpecialNetworkNeighborhood)));
    for (const int absent :
         {int(SpecialInternet), int(SpecialControlPanel), int(SpecialPrinters), 5, 999}) {
        EXPECT_FALSE(shell.specialFolderLocation(absent)) << absent;
    }
    EXPECT_EQ(shell.pathOf(shell.myDocuments()), ns.home());
    EXPECT_FALSE(shell.pathOf(ShellItemIdList()));
    EXPECT_FALSE(shell.pathOf(shell.myComputer()));
    EXPECT_FALSE(shell.pathOf(*shell.specialFolderLocation(SpecialNetwork)));
    EXPECT_TRUE(desktop().parseDisplayName(QLatin1String(kMyDocumentsParseName)));
    EXPECT_TRUE(sameFolderId(
        *desktop().parseDisplayName(QStringLiteral("::{450D8FBA-AD25-11D0-98A8-0800361B1103}")),
        shell.myDocuments()));
}

TEST_F(ShellNamespaceTest, EnumerationFlagsAndHiddenEntries)
{
    EXPECT_EQ(names(home().enumObjects(EnumFolders)),
              (std::vector<QByteArray>{"Desktop", "Pictures"}));
    EXPECT_EQ(names(home().enumObjects(EnumNonFolders)), std::vector<QByteArray>{"photo.jpg"});
    EXPECT_EQ(names(home().enumObjects(EnumFolders | EnumIncludeHidden)),
              (std::vector<QByteArray>{".cache", "Desktop", "Pictures"}));
    EXPECT_EQ(names(home().enumObjects(EnumFolders | EnumNonFolders | EnumIncludeHidden)),
              (std::vector<QByteArray>{".cache", ".profile", "Desktop", "Pictures", "photo.jpg"}));
    EXPECT_TRUE(home().enumObjects(0).empty());
}

TEST_F(ShellNamespaceTest, SymlinkToAFolderIsAFolder)
{
    ASSERT_EQ(::symlink("Pictures", ns.path("home/linked").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", ns.path("home/broken").constData()), 0);
    EXPECT_EQ(names(home().enumObjects(EnumFolders)),
              (std::vector<QByteArray>{"Desktop", "Pictures", "linked"}));
    EXPECT_EQ(names(home().enumObjects(EnumNonFolders)),
              (std::vector<QByteArray>{"broken", "photo.jpg"}));
}

TEST_F(ShellNamespaceTest, HasSubFolders)
{
    ns.makeFolder("home/t/empty");
    ns.makeFolder("home/t/files");
    ns.writeFile("home/t/files/a.jpg");
    ns.makeFolder("home/t/hiddenOnly/.git");
    ns.makeFolder("home/t/hiddenOnly/.svn");
    ns.makeFolder("home/t/mixed/.git");
    ns.makeFolder("home/t/mixed/sub");
    const ShellFolder t = *home().bindToObject(ShellItemIdList(entry("t")));
    EXPECT_FALSE(t.hasSubFolders(ShellItemIdList(entry("empty"))));
    EXPECT_FALSE(t.hasSubFolders(ShellItemIdList(entry("files"))));
    EXPECT_FALSE(t.hasSubFolders(ShellItemIdList(entry("hiddenOnly"))));
    EXPECT_TRUE(t.hasSubFolders(ShellItemIdList(entry("mixed"))));
    EXPECT_FALSE(t.hasSubFolders(ShellItemIdList(entry("missing"))));
    EXPECT_FALSE(
        t.hasSubFolders(ShellItemIdList(entry("files")) + ShellItemIdList(entry("a.jpg"))));

    EXPECT_TRUE(desktop().hasSubFolders(ShellItemIdList()));
    EXPECT_TRUE(desktop().hasSubFolders(ShellNamespace::instance().myComputer()));
    EXPECT_TRUE(desktop().hasSubFolders(ShellNamespace::instance().myDocuments()));
    EXPECT_FALSE(
        desktop().hasSubFolders(*ShellNamespace::instance().specialFolderLocation(SpecialNetwork)));
    EXPECT_FALSE(desktop().hasSubFolders(
        *ShellNamespace::instance().specialFolderLocation(SpecialRecycleBin)));
}

TEST_F(ShellNamespaceTest, UnreadableFolderHasNoChildren)
{
    ns.makeFolder("home/locked/inside");
    ASSERT_EQ(::chmod(ns.path("home/locked").constData(), 0), 0);
    const ShellItemIdList locked = ShellItemIdList(entry("locked"));
    const auto check = [&] {
        EXPECT_FALSE(home().hasSubFolders(locked));
        EXPECT_TRUE(home().bindToObject(locked)->enumObjects(EnumFolders).empty());
    };
    if (::geteuid() != 0) {
        check();
    } else {
        // Root reads everything: look as the unprivileged "nobody" for a moment.
        if (::seteuid(65534) != 0) {
            ::chmod(ns.path("home/locked").constData(), 0755);
            GTEST_SKIP() << "cannot drop root's rights to test an unreadable folder";
        }
        check();
        ASSERT_EQ(::seteuid(0), 0);
        EXPECT_TRUE(home().hasSubFolders(locked)); // the folder was readable to root all along
    }
    ::chmod(ns.path("home/locked").constData(), 0755);
}

TEST_F(ShellNamespaceTest, OddNamesRoundTrip)
{
    const QByteArray newline("two\nlines");
    const QByteArray invalid("bad\xff\xfe", 5);
    ns.makeFolder("home/" + newline + "/sub");
    ns.makeFolder("home/" + invalid);
    const std::vector<ShellItemIdList> found = home().enumObjects(EnumFolders);
    EXPECT_EQ(names(found), (std::vector<QByteArray>{"Desktop", "Pictures", invalid, newline}));
    ShellNamespace& shell = ShellNamespace::instance();
    for (const ShellItemIdList& child : found) {
        const ShellItemIdList absolute = shell.myDocuments() + child;
        const QByteArray path = *shell.pathOf(absolute);
        struct stat st = {};
        EXPECT_EQ(::stat(path.constData(), &st), 0) << path.constData();
        EXPECT_FALSE(shell.displayName(absolute).contains(QLatin1Char('\n')));
    }
    const ShellItemIdList odd = shell.myDocuments() + ShellItemIdList(entry(newline));
    EXPECT_EQ(shell.displayName(odd), QString::fromUtf8("two\u240Alines"));
    EXPECT_TRUE(home().hasSubFolders(ShellItemIdList(entry(newline))));
    EXPECT_FALSE(
        shell.displayName(shell.myDocuments() + ShellItemIdList(entry(invalid))).isEmpty());
    EXPECT_NE(desktop().compareIds(ShellItemIdList(entry(invalid)),
                                   ShellItemIdList(entry(QByteArray("bad\xff\xfd", 5)))),
              0);
}

TEST_F(ShellNamespaceTest, DisplayNamesAndIcons)
{
    ns.makeFolder("media/CARD");
    ns.makeFolder("media/cd");
    ns.makeFolder("srv/disk");
    ns.writeMountTable(
        ShellTestNamespace::baseMounts() +
        ShellTestNamespace::mountLine(20, ns.media() + "/CARD", "vfat", "/dev/sdb1") +
        ShellTestNamespace::mountLine(21, ns.media() + "/cd", "iso9660", "/dev/sr0") +
        ShellTestNamespace::mountLine(22, ns.path("srv/disk"), "ext4", "/dev/sdc1"));
    ns.apply();
    ShellNamespace& shell = ShellNamespace::instance();
    EXPECT_EQ(shell.displayName(ShellItemIdList()), QStringLiteral("Desktop"));
    EXPECT_EQ(shell.displayName(shell.myDocuments()), QStringLiteral("My Documents"));
    EXPECT_EQ(shell.displayName(shell.myComputer()), QStringLiteral("My Computer"));
    EXPECT_EQ(shell.displayName(*shell.specialFolderLocation(SpecialNetwork)),
              QStringLiteral("Network"));
    EXPECT_EQ(shell.displayName(*shell.specialFolderLocation(SpecialRecycleBin)),
              QStringLiteral("Trash"));
    EXPECT_EQ(shell.displayName(volumeId("/")), QStringLiteral("File System"));
    EXPECT_EQ(shell.displayName(volumeId(ns.media() + "/CARD")), QStringLiteral("CARD"));
    EXPECT_EQ(shell.displayName(entries(shell.myDocuments(), {"Pictures", "Trip"})),
              QStringLiteral("Trip"));
    // Lists that name nothing.
    EXPECT_EQ(shell.displayName(entries(shell.myComputer(), {"x"})), QString());
    EXPECT_EQ(shell.displayName(entries(*shell.specialFolderLocation(SpecialNetwork), {"x"})),
              QString());

    EXPECT_EQ(shell.iconIndex(ShellItemIdList(), false), ShellIconList::Desktop);
    EXPECT_EQ(shell.iconIndex(shell.myDocuments(), false), ShellIconList::Home);
    EXPECT_EQ(shell.iconIndex(shell.myComputer(), false), ShellIconList::Computer);
    EXPECT_EQ(shell.iconIndex(volumeId("/"), false), ShellIconList::Drive);
    EXPECT_EQ(shell.iconIndex(volumeId(ns.path("srv/disk")), false), ShellIconList::Drive);
    EXPECT_EQ(shell.iconIndex(volumeId(ns.media() + "/CARD"), false),
              ShellIconList::RemovableDrive);
    EXPECT_EQ(shell.iconIndex(volumeId(ns.media() + "/cd"), false), ShellIconList::OpticalDrive);
    const ShellItemIdList trip = entries(shell.myDocuments(), {"Pictures"});
    EXPECT_EQ(shell.iconIndex(trip, false), ShellIconList::Folder);
    EXPECT_EQ(shell.iconIndex(trip, true), ShellIconList::FolderOpen);

    const ShellFolder computer(shell.myComputer());
    EXPECT_EQ(computer.enumObjects(EnumFolders).size(), 4u);
    EXPECT_TRUE(computer.enumObjects(EnumNonFolders).empty());
}

TEST_F(ShellNamespaceTest, ParseDisplayName)
{
    ns.makeFolder("media/a");
    ns.makeFolder("media/ab");
    ns.writeMountTable(ShellTestNamespace::baseMounts() +
                       ShellTestNamespace::mountLine(20, ns.media() + "/a", "vfat", "/dev/sdb1") +
                       ShellTestNamespace::mountLine(21, ns.media() + "/ab", "vfat", "/dev/sdc1"));
    ns.apply();
    ShellNamespace& shell = ShellNamespace::instance();
    const ShellFolder computer(shell.myComputer());
    const auto volumeOf = [&](const QByteArray& path) {
        const auto id = computer.parseDisplayName(QFile::decodeName(path));
        return id ? id->lastItem().name : QByteArray("none");
    };
    EXPECT_EQ(volumeOf(ns.media() + "/a"), ns.media() + "/a");
    EXPECT_EQ(volumeOf(ns.media() + "/a/DCIM/x.jpg"), ns.media() + "/a");
    EXPECT_EQ(volumeOf(ns.media() + "/ab/x"), ns.media() + "/ab");
    EXPECT_EQ(volumeOf(ns.media() + "/abc"), "/");
    EXPECT_EQ(volumeOf(ns.media() + "/a/../ab"), ns.media() + "/ab");
    EXPECT_EQ(volumeOf("relative/path"), "none");
    EXPECT_EQ(computer.parseDisplayName(QFile::decodeName(ns.media() + "/a"))->itemCount(), 1);

    const auto pictures = home().parseDisplayName(QStringLiteral("Pictures/Trip"));
    ASSERT_TRUE(pictures);
    EXPECT_EQ(ShellNamespace::instance().pathOf(shell.myDocuments() + *pictures),
              ns.home() + "/Pictures/Trip");
    EXPECT_FALSE(home().parseDisplayName(QStringLiteral("Nothing here")));
    EXPECT_FALSE(home().parseDisplayName(QStringLiteral("../home")));
    EXPECT_FALSE(home().parseDisplayName(QString()));
    EXPECT_TRUE(desktop().parseDisplayName(QStringLiteral("Projects")));

    const auto absolute = desktop().parseDisplayName(QFile::decodeName(ns.home() + "/Pictures"));
    ASSERT_TRUE(absolute);
    EXPECT_EQ(absolute->item(1).name, "/");
    EXPECT_EQ(shell.pathOf(*absolute), ns.home() + "/Pictures");
}

TEST_F(ShellNamespaceTest, PathsHaveEveryAlias)
{
    ShellNamespace& shell = ShellNamespace::instance();
    const QByteArray inDesktop = ns.desktop() + "/Projects";
    const std::vector<ShellItemIdList> ids = shell.idsOfPath(inDesktop);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_TRUE(sameFolderId(ids[0], entries(shell.myDocuments(), {"Desktop", "Projects"})));
    EXPECT_TRUE(sameFolderId(ids[1], entries(ShellItemIdList(), {"Projects"})));
    EXPECT_EQ(ids[2].item(1).name, "/");
    for (const ShellItemIdList& id : ids) {
        EXPECT_EQ(shell.pathOf(id), inDesktop);
    }
    // Not yet existing, unclean, the home itself, the desktop itself, outside home.
    EXPECT_EQ(shell.idsOfPath(ns.home() + "//Pictures/./new/../Later").size(), 2u);
    EXPECT_EQ(shell.pathOf(shell.idsOfPath(ns.home() + "//Pictures/./new/../Later")[0]),
              ns.home() + "/Pictures/Later");
    EXPECT_TRUE(sameFolderId(shell.idsOfPath(ns.home())[0], shell.myDocuments()));
    EXPECT_EQ(shell.idsOfPath(ns.desktop()).size(), 2u);
    EXPECT_EQ(shell.idsOfPath(ns.path("elsewhere")).size(), 1u);
    EXPECT_TRUE(shell.idsOfPath("relative").empty());
    EXPECT_TRUE(sameFolderId(*shell.volumeOfPath(ns.home()), volumeId("/")));
    EXPECT_FALSE(shell.volumeOfPath("relative"));
}

TEST_F(ShellNamespaceTest, ForeignListsNameNothing)
{
    ShellNamespace& shell = ShellNamespace::instance();
    const ShellItemIdList escape = entries(shell.myDocuments(), {"..", ".."});
    EXPECT_FALSE(shell.pathOf(escape));
    EXPECT_FALSE(home().bindToObject(ShellItemIdList(entry(".."))));
    EXPECT_FALSE(shell.pathOf(shell.myComputer() +
                              ShellItemIdList(ShellItem{ShellItemKind::Volume, "/a/../etc"})));
    EXPECT_FALSE(shell.pathOf(ShellItemIdList(ShellItem{ShellItemKind::VirtualFolder, "Nowhere"})));
    EXPECT_FALSE(shell.pathOf(ShellItemIdList(ShellItem{ShellItemKind::Volume, "/"})));
    EXPECT_FALSE(desktop().bindToObject(ShellItemIdList()));
    EXPECT_TRUE(ShellFolder(escape).enumObjects(EnumFolders | EnumNonFolders).empty());
}

TEST(ShellNamespaceRoots, DesktopFromUserDirs)
{
    ShellTestNamespace ns;
    ns.makeFolder("home/.config");
    ns.makeFolder("home/Schreib tisch");
    ns.writeFile("home/.config/user-dirs.dirs",
                 "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n"
                 "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n");
    qunsetenv("VELKO_DESKTOP_DIR");
    ShellNamespace::instance().reset();
    EXPECT_EQ(ShellNamespace::instance().roots().desktop, ns.home() + "/Schreib tisch");

    // A desktop that is the home folder itself means none.
    ns.writeFile("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    ShellNamespace::instance().reset();
    EXPECT_TRUE(ShellNamespace::instance().roots().desktop.isEmpty());
    EXPECT_EQ(ShellNamespace::instance().desktopFolder().enumObjects(EnumFolders).size(), 4u);

    ns.writeFile("home/.config/user-dirs.dirs", "");
    ShellNamespace::instance().reset();
    EXPECT_EQ(ShellNamespace::instance().roots().desktop, ns.home() + "/Desktop");
}

TEST(ShellNamespaceOrder, NaturalCaseInsensitiveAndTotal)
{
    const std::vector<QByteArray> sorted = {"2023",      "2024",       "apple",      "Banana",
                                            "cherry",    "Photos",     "Photos 2",   "photos 3",
                                            "Photos 10", "Photos 10a", "Photos 100", "z"};
    std::vector<ShellItemIdList> ids;
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        ids.emplace_back(entry(*it));
    }
    std::sort(ids.begin(), ids.end(),
              [](const auto& a, const auto& b) { return desktop().compareIds(a, b) < 0; });
    std::vector<QByteArray> got;
    for (const auto& id : ids) {
        got.push_back(id.lastItem().name);
    }
    EXPECT_EQ(got, sorted);

    // Distinct names never compare equal, and the order is antisymmetric.
    for (const auto& [a, b] : std::vector<std::pair<QByteArray, QByteArray>>{
             {"photo", "Photo"}, {"a01", "a1"}, {"\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89"}}) {
        const int ab = desktop().compareIds(ShellItemIdList(entry(a)), ShellItemIdList(entry(b)));
        const int ba = desktop().compareIds(ShellItemIdList(entry(b)), ShellItemIdList(entry(a)));
        EXPECT_NE(ab, 0) << a.constData();
        EXPECT_EQ(ab, -ba);
        EXPECT_EQ(ShellNameOrder::naturalCompare(a, b), 0) << a.constData();
    }
    EXPECT_EQ(desktop().compareIds(ShellItemIdList(entry("same")), ShellItemIdList(entry("same"))),
              0);
    EXPECT_LT(ShellNameOrder::naturalCompare("Photos 9", "Photos 10"), 0);
    EXPECT_LT(
        ShellNameOrder::naturalCompare("file99999999999999999999", "file100000000000000000000"), 0);
}

TEST(ShellNamespaceOrder, VirtualFirstVolumesThenEntriesPrefixFirst)
{
    ShellNamespace& shell = ShellNamespace::instance();
    const ShellItemIdList root;
    const auto virtualId = [](const char* name) {
        return ShellItemIdList(ShellItem{ShellItemKind::VirtualFolder, name});
    };
    const std::vector<ShellItemIdList> sorted = {
        root,
        virtualId(ShellVirtualName::MyDocuments),
        entries(virtualId(ShellVirtualName::MyDocuments), {"a"}),
        virtualId(ShellVirtualName::MyComputer),
        volumeId("/"),
        entries(volumeId("/"), {"etc"}),
        volumeId("/media/a"),
        volumeId("/mnt"),
        virtualId(ShellVirtualName::Network),
        virtualId(ShellVirtualName::Trash),
        ShellItemIdList(entry("AAA desktop folder")),
    };
    for (size_t i = 0; i < sorted.size(); ++i) {
        for (size_t j = 0; j < sorted.size(); ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(shell.desktopFolder().compareIds(sorted[i], sorted[j]), expected)
                << i << " vs " << j;
        }
    }
}

TEST_F(ShellNamespaceTest, WorkersEnumerateWhileTheMountTableChanges)
{
    ns.makeFolder("media/usb");
    std::atomic<bool> stop = false;
    std::atomic<int> rounds = 0;
    std::thread worker([&] {
        const ShellItemIdList pictures =
            entries(ShellNamespace::instance().myDocuments(), {"Pictures"});
        while (!stop) {
            ShellFolder(pictures).enumObjects(EnumFolders | EnumNonFolders);
            ShellNamespace::instance().idsOfPath(ns.media() + "/usb/x");
            ShellNamespace::instance().displayName(volumeId(ns.media() + "/usb"));
            ++rounds;
        }
    });
    for (int i = 0; i < 50; ++i) {
        QByteArray table = ShellTestNamespace::baseMounts();
        if (i % 2) {
            table += ShellTestNamespace::mountLine(20, ns.media() + "/usb", "vfat", "/dev/sdb1");
        }
        ns.writeMountTable(table);
        ShellNamespace::instance().reloadVolumes();
    }
    while (rounds < 10) {
        std::this_thread::yield();
    }
    stop = true;
    worker.join();
    EXPECT_EQ(ShellNamespace::instance().volumes().size(), 2u);
}

TEST(ShellIconListTest, BuildsUnderAPlainGuiApplication)
{
    // The test program has a QGuiApplication only: the widget style must not be asked.
    const ShellIconList& icons = ShellIconList::instance();
    EXPECT_EQ(&icons, &ShellIconList::instance());
    EXPECT_TRUE(icons.icon(-1).isNull());
    EXPECT_TRUE(icons.icon(ShellIconList::Count).isNull());
    for (int i = 0; i < ShellIconList::Count; ++i) {
        icons.icon(i); // any icon, or none when no theme is installed
    }
}
