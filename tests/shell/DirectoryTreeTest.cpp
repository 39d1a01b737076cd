#include "ShellChangeNotifier.h"
#include "ShellNamespace.h"
#include "TFolder.h"
#include "TVelkoDirectoryTreeview.h"
#include "TreeTestNamespace.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTreeWidgetItem>

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

QStringList childNames(const QTreeWidgetItem* node)
{
    QStringList names;
    for (int i = 0; i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    return names;
}

QTreeWidgetItem* childNamed(const QTreeWidgetItem* node, const QString& name)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == name)
            return node->child(i);
    }
    return nullptr;
}

// Expands through the view (as a click would) down the named path from the root.
QTreeWidgetItem* expandPath(TVelkoDirectoryTreeview& tree, const QStringList& names)
{
    QTreeWidgetItem* node = tree.RootNode();
    if (!node)
        return nullptr;
    node->setExpanded(true);
    for (const QString& name : names) {
        node = childNamed(node, name);
        if (!node)
            return nullptr;
        node->setExpanded(true);
    }
    return node;
}

bool childrenSorted(const QTreeWidgetItem* node)
{
    for (int i = 1; i < node->childCount(); ++i) {
        const TFolder* before = TVelkoDirectoryTreeview::folderOf(node->child(i - 1));
        const TFolder* after = TVelkoDirectoryTreeview::folderOf(node->child(i));
        if (!before || !after ||
            ShellNamespace::instance().desktopFolder().compareIds(before->id(), after->id()) >= 0)
            return false;
    }
    return true;
}

bool isPlaceholderOnly(const QTreeWidgetItem* node)
{
    return node->childCount() == 1 && !TVelkoDirectoryTreeview::folderOf(node->child(0));
}

ShellItemIdList idOf(const QTreeWidgetItem* node)
{
    const TFolder* folder = TVelkoDirectoryTreeview::folderOf(node);
    return folder ? folder->id() : ShellItemIdList();
}

// Whether the kernel watches the folder for this process, read from the fdinfo of its
// inotify descriptors.
bool inotifyWatches(const QByteArray& path)
{
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
        return false;
    const QByteArray inode = " ino:" + QByteArray::number(qulonglong(info.st_ino), 16) + ' ';
    const QDir fdInfo(QStringLiteral("/proc/self/fdinfo"));
    for (const QString& fd : fdInfo.entryList(QDir::Files)) {
        QFile file(fdInfo.filePath(fd));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("inotify wd:") && line.contains(inode))
                return true;
        }
    }
    return false;
}

// Records the nodes OnChange reports.
struct ChangeRecorder
{
    explicit ChangeRecorder(TVelkoDirectoryTreeview& tree)
    {
        QObject::connect(&tree, &TVelkoDirectoryTreeview::OnChange,
                         [this](QTreeWidgetItem* node) { nodes.push_back(node); });
        QObject::connect(&tree, &TVelkoDirectoryTreeview::OnSelectedFolderMediaChanged,
                         [this] { ++mediaChanges; });
    }
    void clear()
    {
        nodes.clear();
        mediaChanges = 0;
    }
    std::vector<QTreeWidgetItem*> nodes;
    int mediaChanges = 0;
};

} // namespace

class DirectoryTreeTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { mNamespace.rebuild(); }

    void folderListRemovesInConstantTimeAndKeepsTheRest();
    void populatedFolderIsWatchedUntilReset();
    void hiddenFoldersNeverAppearAtAnyLevel();
    void nodesAreListedLazilyAndSorted();
    void populateNodeWithoutFolderFails();
    void showRootMyDocumentsAndSelectMyDocuments();
    void showDriveRootsAtTheVolumeHoldingThePath();
    void folderCreatedInExpandedFolderAppearsSorted();
    void folderCreatedUnderNeverExpandedNodeIsAdded();
    void folderMadeInShownNeverExpandedFolderIsSeen();
    void shownFoldersAreWatchedOnlyWhileInView();
    void renamingSelectedFolderKeepsTheNode();
    void renameAndMoveOutOfTheTree();
    void removedFolderDisappearsAndSelectionMovesUp();
    void mediumEventsThroughAnnounce();
    void mediumSwapThroughMountTable();
    void driveAddedAndRemovedThroughMountTable();
    void copySelectionFromDriveTree();
    void copySelectionFromDesktopTree();
    void copySelectionFromEmptyTree();
    void oddNamesAreShownAndFollowed();
    void folderRemovedBeforeListingHasNoChildren();
    void unreadableFolderHasNoChildren();
    void notFocusedSelectionColours();
    void deletedTreeIgnoresLaterEvents();
    void leafFolderFollowsItsSubFolders();
    void queueOverflowBringsListedFoldersUpToDate();

private:
    TreeTestNamespace mNamespace;
};

void DirectoryTreeTest::folderListRemovesInConstantTimeAndKeepsTheRest()
{
    TFolderList list;
    std::vector<TFolder*> folders;
    for (const char* name : {"a", "b", "c", "d"}) {
        folders.push_back(list.add(std::make_unique<TFolder>(
            std::nullopt, ShellItemIdList(ShellItem{ShellItemKind::Entry, name}))));
    }
    list.remove(folders[1]);
    list.remove(folders[1]); // twice is harmless
    QCOMPARE(list.size(), std::size_t(3));
    QVERIFY(!list.contains(folders[1]));
    for (const int kept : {0, 2, 3})
        QVERIFY(list.contains(folders[kept]));
    QVERIFY(list.containsId(ShellItemIdList(ShellItem{ShellItemKind::Entry, "d"})));
    QVERIFY(!list.containsId(ShellItemIdList(ShellItem{ShellItemKind::Entry, "b"})));
    list.remove(folders[3]);
    list.remove(folders[0]);
    QVERIFY(list.contains(folders[2]));
    QCOMPARE(list.size(), std::size_t(1));
}

void DirectoryTreeTest::populatedFolderIsWatchedUntilReset()
{
    const auto home = ShellNamespace::instance().myDocuments();
    TFolder folder(ShellFolder(home), home);
    QVERIFY(!folder.isWatched());
    folder.setPopulated(true);
    QVERIFY(folder.populated());
    QVERIFY(folder.isWatched());
    folder.setPopulated(false);
    QVERIFY(!folder.isWatched());

    TFolder unbound(std::nullopt, home);
    unbound.setPopulated(true);
    QVERIFY(!unbound.isWatched()); // nothing to list, nothing to watch
}

void DirectoryTreeTest::hiddenFoldersNeverAppearAtAnyLevel()
{
    TVelkoDirectoryTreeview tree;
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
    QVERIFY(root);
    root->setExpanded(true);
    const QStringList top = childNames(root);
    QCOMPARE(top, (QStringList{QStringLiteral("My Documents"), QStringLiteral("My Computer"),
                               QStringLiteral("Projects")}));

    // A real folder named Trash is not the Trash: only the namespace's special items hide.
    const QTreeWidgetItem* home = expandPath(tree, {QStringLiteral("My Documents")});
    QVERIFY(childNamed(home, QStringLiteral("Trash")));
    QVERIFY(childNamed(home, QStringLiteral("Pictures")));
    QVERIFY(!childNamed(home, QStringLiteral(".config")));

    const QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QVERIFY(!childNamed(pictures, QStringLiteral(".thumbnails")));

    const QTreeWidgetItem* computer = expandPath(tree, {QStringLiteral("My Computer")});
    QCOMPARE(childNames(computer), (QStringList{QStringLiteral("File System"),
                                                QStringLiteral("card"), QStringLiteral("disk")}));
    const QTreeWidgetItem* disk =
        expandPath(tree, {QStringLiteral("My Computer"), QStringLiteral("disk")});
    QCOMPARE(childNames(disk), QStringList{QStringLiteral("Archive")});

    // The hidden items are also refused when announced directly.
    for (const int special : {SpecialRecycleBin, SpecialNetwork}) {
        const auto id = ShellNamespace::instance().specialFolderLocation(special);
        QVERIFY(id);
        ShellChangeNotifier::instance().announce(ShcneMkDir, *id);
    }
    QTest::qWait(50);
    QCOMPARE(childNames(root), top);
}

void DirectoryTreeTest::nodesAreListedLazilyAndSorted()
{
    TVelkoDirectoryTreeview tree;
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
    QVERIFY(root);
    QVERIFY(isPlaceholderOnly(root));
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(root)->populated());

    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QVERIFY(pictures);
    QVERIFY(TVelkoDirectoryTreeview::folderOf(pictures)->populated());
    QVERIFY(childrenSorted(pictures));
    const QStringList names = childNames(pictures);
    QCOMPARE(names.size(), 3);
    QVERIFY(names.indexOf(QStringLiteral("Photos 1")) < names.indexOf(QStringLiteral("Photos 10")));

    // A folder with sub-folders waits behind a placeholder; one without gets no expand button.
    QVERIFY(isPlaceholderOnly(childNamed(pictures, QStringLiteral("Photos 1"))));
    QCOMPARE(childNamed(pictures, QStringLiteral("Photos 10"))->childCount(), 0);

    // Listing again changes nothing.
    const std::size_t records = tree.folderRecordCount();
    QVERIFY(tree.PopulateNode(pictures));
    QCOMPARE(childNames(pictures), names);
    QCOMPARE(tree.folderRecordCount(), records);
}

void DirectoryTreeTest::populateNodeWithoutFolderFails()
{
    TVelkoDirectoryTreeview tree;
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
    QVERIFY(root);
    QVERIFY(!tree.PopulateNode(nullptr));
    QVERIFY(!tree.PopulateNode(root->child(0))); // the placeholder
    QVERIFY(tree.PopulateNode(root));
    QVERIFY(!tree.PopulateNode(tree.ShowRoot(7)));
    QCOMPARE(tree.topLevelItemCount(), 0);
}

void DirectoryTreeTest::showRootMyDocumentsAndSelectMyDocuments()
{
    TVelkoDirectoryTreeview tree;
    ChangeRecorder changes(tree);
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QVERIFY(tree.registration() != 0);
    QTreeWidgetItem* docs = tree.SelectMyDocuments();
    QVERIFY(docs);
    QCOMPARE(docs->text(0), QStringLiteral("My Documents"));
    QCOMPARE(tree.selectedNode(), docs);
    QVERIFY(sameFolderId(*tree.SelectedFolderId(), ShellNamespace::instance().myDocuments()));
    QCOMPARE(changes.nodes, std::vector<QTreeWidgetItem*>{docs});

    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootMyDocuments);
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("My Documents"));
    QVERIFY(!tree.SelectedFolderId());
    QCOMPARE(tree.SelectMyDocuments(), root);
    QVERIFY(isPlaceholderOnly(root));
    root->setExpanded(true);
    QVERIFY(childNamed(root, QStringLiteral("Pictures")));

    QVERIFY(tree.ShowDrive(mNamespace.path("vol/disk")));
    QVERIFY(!tree.SelectMyDocuments()); // a drive tree has no My Documents
}

void DirectoryTreeTest::showDriveRootsAtTheVolumeHoldingThePath()
{
    TVelkoDirectoryTreeview tree;
    QTreeWidgetItem* root = tree.ShowDrive(mNamespace.path("vol/disk/Archive/A"));
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("disk"));
    QVERIFY(tree.rootPrefix());
    QVERIFY(sameFolderId(*tree.rootPrefix(), ShellNamespace::instance().myComputer()));
    QCOMPARE(tree.topLevelItemCount(), 1);
    root->setExpanded(true);
    QCOMPARE(childNames(root), QStringList{QStringLiteral("Archive")});

    QVERIFY(!tree.ShowDrive(QByteArray()));
    QVERIFY(!tree.ShowDrive("relative/path"));
    QCOMPARE(tree.topLevelItemCount(), 0);
}

void DirectoryTreeTest::folderCreatedInExpandedFolderAppearsSorted()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QVERIFY(pictures);

    mNamespace.makeFolder("home/Pictures/Photos 2");
    QTRY_VERIFY(childNamed(pictures, QStringLiteral("Photos 2")));
    const QStringList names = childNames(pictures);
    QVERIFY(childrenSorted(pictures));
    QCOMPARE(names.indexOf(QStringLiteral("Photos 2")),
             names.indexOf(QStringLiteral("Photos 1")) + 1);

    // The same change announced by the writer as well is harmless.
    ShellChangeNotifier::instance().announcePath(ShcneMkDir,
                                                 mNamespace.path("home/Pictures/Photos 2"));
    // A hidden folder and a plain file never become nodes.
    mNamespace.makeFolder("home/Pictures/.cache");
    QFile file(QFile::decodeName(mNamespace.path("home/Pictures/photo.jpg")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ShellChangeNotifier::instance().announcePath(ShcneMkDir,
                                                 mNamespace.path("home/Pictures/photo.jpg"));
    QTest::qWait(100);
    QCOMPARE(childNames(pictures), names);
}

void DirectoryTreeTest::folderCreatedUnderNeverExpandedNodeIsAdded()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* photos1 = childNamed(pictures, QStringLiteral("Photos 1"));
    QTreeWidgetItem* photos10 = childNamed(pictures, QStringLiteral("Photos 10"));
    QVERIFY(photos1 && photos10);

    // Seen by the watch on the shown folders and announced by the writer too: harmless twice.
    mNamespace.makeFolder("home/Pictures/Photos 1/New");
    mNamespace.makeFolder("home/Pictures/Photos 10/First");
    ShellChangeNotifier::instance().announcePath(ShcneMkDir,
                                                 mNamespace.path("home/Pictures/Photos 1/New"));
    ShellChangeNotifier::instance().announcePath(ShcneMkDir,
                                                 mNamespace.path("home/Pictures/Photos 10/First"));
    QTRY_COMPARE(childNames(photos1), QStringList{QStringLiteral("New")});
    QTRY_COMPARE(childNames(photos10), QStringList{QStringLiteral("First")});
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(photos1)->populated());

    photos1->setExpanded(true);
    QCOMPARE(childNames(photos1), (QStringList{QStringLiteral("New"), QStringLiteral("Old")}));
    QVERIFY(TVelkoDirectoryTreeview::folderOf(photos1)->populated());
}

void DirectoryTreeTest::folderMadeInShownNeverExpandedFolderIsSeen()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* leaf = childNamed(pictures, QStringLiteral("Photos 10"));
    QTreeWidgetItem* photos1 = childNamed(pictures, QStringLiteral("Photos 1"));
    QVERIFY(leaf && photos1);
    QCOMPARE(leaf->childCount(), 0); // no expand button

    // Made by another program, announced by nobody.
    mNamespace.makeFolder("home/Pictures/Photos 10/First");
    mNamespace.makeFolder("home/Pictures/Photos 1/New");
    QTRY_COMPARE(childNames(leaf), QStringList{QStringLiteral("First")});
    QTRY_COMPARE(childNames(photos1), QStringList{QStringLiteral("New")});
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(leaf)->populated());

    photos1->setExpanded(true);
    QCOMPARE(childNames(photos1), (QStringList{QStringLiteral("New"), QStringLiteral("Old")}));
    // The newly shown children are followed in turn, down to a new grandchild.
    mNamespace.makeFolder("home/Pictures/Photos 1/Old/Inner");
    QTreeWidgetItem* old = childNamed(photos1, QStringLiteral("Old"));
    QTRY_COMPARE(childNames(old), QStringList{QStringLiteral("Inner")});
}

void DirectoryTreeTest::shownFoldersAreWatchedOnlyWhileInView()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* leaf = childNamed(pictures, QStringLiteral("Photos 10"));
    QTreeWidgetItem* photos1 = childNamed(pictures, QStringLiteral("Photos 1"));
    QVERIFY(leaf && photos1);
    const QByteArray leafPath = mNamespace.path("home/Pictures/Photos 10");
    const QByteArray photos1Path = mNamespace.path("home/Pictures/Photos 1");
    const QByteArray picturesPath = mNamespace.path("home/Pictures");
    QVERIFY(inotifyWatches(leafPath));
    QVERIFY(inotifyWatches(photos1Path));

    // Collapsed away: the children's watches end, the listed folder keeps its own.
    pictures->setExpanded(false);
    QVERIFY(!inotifyWatches(leafPath));
    QVERIFY(!inotifyWatches(photos1Path));
    QVERIFY(inotifyWatches(picturesPath));

    // What changed out of view is caught up when the nodes come back into view.
    mNamespace.makeFolder("home/Pictures/Photos 10/Unseen");
    mNamespace.removeFolder("home/Pictures/Photos 1/Old");
    pictures->setExpanded(true);
    QVERIFY(inotifyWatches(leafPath));
    QVERIFY(isPlaceholderOnly(leaf));
    QCOMPARE(photos1->childCount(), 0);

    // Collapsing further up hides the whole subtree; expanding shows it again.
    QTreeWidgetItem* documents = pictures->parent();
    documents->setExpanded(false);
    QVERIFY(!inotifyWatches(leafPath));
    QVERIFY(inotifyWatches(picturesPath)); // out of view, but listed: still followed
    documents->setExpanded(true);
    QVERIFY(inotifyWatches(leafPath));

    // Nodes that go release their folders.
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QVERIFY(!inotifyWatches(leafPath));
    QVERIFY(!inotifyWatches(picturesPath));
    QVERIFY(inotifyWatches(mNamespace.path("desktop")));
}

void DirectoryTreeTest::renamingSelectedFolderKeepsTheNode()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* node = childNamed(pictures, QStringLiteral("Photos 1"));
    QVERIFY(node);
    node->setExpanded(true);
    tree.setCurrentItem(childNamed(node, QStringLiteral("Old")));
    ChangeRecorder changes(tree);

    // The selection was inside the renamed folder: it moves up to the renamed node.
    QVERIFY(QDir().rename(QFile::decodeName(mNamespace.path("home/Pictures/Photos 1")),
                          QFile::decodeName(mNamespace.path("home/Pictures/Zoo"))));
    QTRY_VERIFY(!changes.nodes.empty());
    QCOMPARE(changes.nodes.back(), node);
    QCOMPARE(tree.selectedNode(), node);
    QCOMPARE(node->text(0), QStringLiteral("Zoo"));
    QCOMPARE(ShellNamespace::instance().displayName(*tree.SelectedFolderId()),
             QStringLiteral("Zoo"));
    QCOMPARE(ShellNamespace::instance().pathOf(*tree.SelectedFolderId()),
             std::optional<QByteArray>(mNamespace.path("home/Pictures/Zoo")));
    QCOMPARE(pictures->indexOfChild(node), pictures->childCount() - 1);
    QVERIFY(childrenSorted(pictures));
    QVERIFY(!node->isExpanded());
    QVERIFY(isPlaceholderOnly(node));

    // Renamed again while selected: still the same node, still one OnChange per change.
    changes.clear();
    QVERIFY(QDir().rename(QFile::decodeName(mNamespace.path("home/Pictures/Zoo")),
                          QFile::decodeName(mNamespace.path("home/Pictures/Album"))));
    QTRY_COMPARE(node->text(0), QStringLiteral("Album"));
    QCOMPARE(changes.nodes, std::vector<QTreeWidgetItem*>{node});
    QCOMPARE(pictures->indexOfChild(node), 1); // "2024", "Album", "Photos 10"
    node->setExpanded(true);
    QCOMPARE(childNames(node), QStringList{QStringLiteral("Old")});
}

void DirectoryTreeTest::renameAndMoveOutOfTheTree()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* home = pictures->parent();

    // To a hidden name: the folder leaves the tree.
    QVERIFY(QDir().rename(QFile::decodeName(mNamespace.path("home/Pictures/Photos 10")),
                          QFile::decodeName(mNamespace.path("home/Pictures/.Photos 10"))));
    QTRY_VERIFY(!childNamed(pictures, QStringLiteral("Photos 10")));
    QVERIFY(!childNamed(pictures, QStringLiteral(".Photos 10")));

    // Moved to another watched folder: it leaves one parent and shows up under the other.
    QVERIFY(QDir().rename(QFile::decodeName(mNamespace.path("home/Pictures/2024")),
                          QFile::decodeName(mNamespace.path("home/2024"))));
    QTRY_VERIFY(childNamed(home, QStringLiteral("2024")));
    QVERIFY(!childNamed(pictures, QStringLiteral("2024")));
    QVERIFY(childrenSorted(home));
    QCOMPARE(childNames(pictures), QStringList{QStringLiteral("Photos 1")});
}

void DirectoryTreeTest::removedFolderDisappearsAndSelectionMovesUp()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* trip =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures"),
                          QStringLiteral("2024"), QStringLiteral("Trip")});
    QVERIFY(trip);
    tree.setCurrentItem(trip);
    ChangeRecorder changes(tree);
    const std::size_t records = tree.folderRecordCount();

    mNamespace.removeFolder("home/Pictures/2024");
    QTRY_VERIFY(!childNamed(pictures, QStringLiteral("2024")));
    QTRY_COMPARE(tree.selectedNode(), pictures);
    QVERIFY(!changes.nodes.empty());
    QCOMPARE(changes.nodes.back(), pictures);
    QCOMPARE(tree.folderRecordCount(), records - 2); // the records go with their nodes
}

void DirectoryTreeTest::mediumEventsThroughAnnounce()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* card =
        expandPath(tree, {QStringLiteral("My Computer"), QStringLiteral("card")});
    QVERIFY(card);
    QCOMPARE(card->childCount(), 0); // an empty drive
    tree.setCurrentItem(card);
    ChangeRecorder changes(tree);
    const ShellItemIdList cardId = idOf(card);

    // The shown drive's folder is watched: its new folder is seen before the medium event.
    mNamespace.makeFolder("media/card/DCIM");
    QTRY_VERIFY(childNamed(card, QStringLiteral("DCIM")));
    ShellChangeNotifier::instance().announce(ShcneMediaInserted, cardId);
    QTRY_COMPARE(changes.mediaChanges, 1);
    QVERIFY(!card->isExpanded());
    QVERIFY(isPlaceholderOnly(card));
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(card)->populated());
    QCOMPARE(tree.selectedNode(), card);
    card->setExpanded(true);
    QCOMPARE(childNames(card), QStringList{QStringLiteral("DCIM")});
    QTreeWidgetItem* dcim = childNamed(card, QStringLiteral("DCIM"));
    tree.setCurrentItem(dcim);
    changes.clear();

    // Removing the medium empties the node; the selection on it comes back to the drive.
    ShellChangeNotifier::instance().announce(ShcneMediaRemoved, cardId);
    QTRY_VERIFY(!changes.nodes.empty());
    QCOMPARE(changes.nodes, std::vector<QTreeWidgetItem*>{card});
    QCOMPARE(card->childCount(), 0);
    QCOMPARE(tree.selectedNode(), card);
    QCOMPARE(changes.mediaChanges, 0);
}

void DirectoryTreeTest::mediumSwapThroughMountTable()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* card =
        expandPath(tree, {QStringLiteral("My Computer"), QStringLiteral("card")});
    QVERIFY(card);
    tree.setCurrentItem(card);
    ChangeRecorder changes(tree);

    // The same mount point with a new mount: one medium out, another in.
    mNamespace.makeFolder("media/card/Holiday");
    QTRY_VERIFY(childNamed(card, QStringLiteral("Holiday")));
    auto mounts = TreeTestNamespace::standardMounts();
    mounts[1].mountId = 41;
    mNamespace.writeMountTable(mounts);
    ShellChangeNotifier::instance().rescanMounts();
    QTRY_COMPARE(changes.mediaChanges, 1);
    QVERIFY(!changes.nodes.empty());
    QVERIFY(changes.nodes.front() == card);
    QCOMPARE(tree.selectedNode(), card);
    QVERIFY(isPlaceholderOnly(card));
    card->setExpanded(true);
    QCOMPARE(childNames(card), QStringList{QStringLiteral("Holiday")});

    // The card taken out for good: the drive goes and the selection moves to My Computer.
    mounts.erase(mounts.begin() + 1);
    mNamespace.writeMountTable(mounts);
    ShellChangeNotifier::instance().rescanMounts();
    const QTreeWidgetItem* computer = childNamed(tree.RootNode(), QStringLiteral("My Computer"));
    QTRY_COMPARE(childNames(computer),
                 (QStringList{QStringLiteral("File System"), QStringLiteral("disk")}));
    QCOMPARE(tree.selectedNode(), computer);
}

void DirectoryTreeTest::driveAddedAndRemovedThroughMountTable()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* computer = expandPath(tree, {QStringLiteral("My Computer")});
    QVERIFY(computer);

    auto mounts = TreeTestNamespace::standardMounts();
    mNamespace.makeFolder("vol/camera/DCIM");
    mounts.push_back({50, "vol/usb", "ext4", "/dev/vtestd1"});
    mounts.push_back({51, "vol/camera", "ext4", "/dev/vteste1"});
    mNamespace.writeMountTable(mounts);
    // Without a rescan: the notifier must see the rewritten file by itself.
    QTRY_COMPARE(
        childNames(computer),
        (QStringList{QStringLiteral("File System"), QStringLiteral("card"),
                     QStringLiteral("camera"), QStringLiteral("disk"), QStringLiteral("usb")}));
    QVERIFY(isPlaceholderOnly(childNamed(computer, QStringLiteral("camera"))));
    QCOMPARE(childNamed(computer, QStringLiteral("usb"))->childCount(), 0);

    // Unmounted while expanded, with a folder on it selected.
    QTreeWidgetItem* deep = expandPath(
        tree, {QStringLiteral("My Computer"), QStringLiteral("disk"), QStringLiteral("Archive")});
    QVERIFY(deep);
    tree.setCurrentItem(childNamed(deep, QStringLiteral("A")));
    ChangeRecorder changes(tree);
    mounts.erase(mounts.begin()); // the disk
    mNamespace.writeMountTable(mounts);
    ShellChangeNotifier::instance().rescanMounts();
    QTRY_COMPARE(childNames(computer),
                 (QStringList{QStringLiteral("File System"), QStringLiteral("card"),
                              QStringLiteral("camera"), QStringLiteral("usb")}));
    QCOMPARE(tree.selectedNode(), computer);
    QVERIFY(!changes.nodes.empty());
    QCOMPARE(changes.nodes.back(), computer);
}

void DirectoryTreeTest::copySelectionFromDriveTree()
{
    TVelkoDirectoryTreeview source;
    QVERIFY(source.ShowDrive(mNamespace.path("vol/disk/Archive")));
    QTreeWidgetItem* deep = expandPath(
        source, {QStringLiteral("Archive"), QStringLiteral("A"), QStringLiteral("Deep")});
    QVERIFY(deep);
    source.setCurrentItem(deep);

    TVelkoDirectoryTreeview target;
    source.CopySelectionTo(target);
    QVERIFY(target.RootNode());
    QCOMPARE(target.RootNode()->text(0), QStringLiteral("disk"));
    QVERIFY(target.rootPrefix());
    QVERIFY(sameFolderId(*target.SelectedFolderId(), idOf(deep)));

    // The deepest folder gone before the copy: the copy stops at its parent.
    const ShellItemIdList parentId = idOf(deep->parent());
    mNamespace.removeFolder("vol/disk/Archive/A/Deep");
    source.CopySelectionTo(target);
    QVERIFY(sameFolderId(*target.SelectedFolderId(), parentId));
    QCOMPARE(target.selectedNode()->text(0), QStringLiteral("A"));

    // A tree built only by copying still follows changes.
    QVERIFY(target.registration() != 0);
    QTreeWidgetItem* selected = target.selectedNode();
    mNamespace.makeFolder("vol/disk/Archive/A/New");
    QTRY_COMPARE(childNames(selected), QStringList{QStringLiteral("New")});
}

void DirectoryTreeTest::copySelectionFromDesktopTree()
{
    TVelkoDirectoryTreeview source;
    QVERIFY(source.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    const QStringList path{QStringLiteral("My Documents"), QStringLiteral("Pictures"),
                           QStringLiteral("2024"), QStringLiteral("Trip")};
    QTreeWidgetItem* trip = expandPath(source, path);
    QVERIFY(trip);
    source.setCurrentItem(trip);

    TVelkoDirectoryTreeview target;
    ChangeRecorder changes(target);
    source.CopySelectionTo(target);
    QVERIFY(!target.rootPrefix());
    QVERIFY(idOf(target.RootNode()).isEmpty());
    QVERIFY(sameFolderId(*target.SelectedFolderId(), idOf(trip)));
    QCOMPARE(changes.nodes.back(), target.selectedNode());

    const ShellItemIdList yearId = idOf(trip->parent());
    mNamespace.removeFolder("home/Pictures/2024/Trip");
    source.CopySelectionTo(target);
    QVERIFY(sameFolderId(*target.SelectedFolderId(), yearId));

    // From a tree rooted at My Documents the copy has that root too.
    QTreeWidgetItem* docs = source.ShowRoot(TVelkoDirectoryTreeview::RootMyDocuments);
    docs->setExpanded(true);
    source.setCurrentItem(childNamed(docs, QStringLiteral("Pictures")));
    source.CopySelectionTo(target);
    QCOMPARE(target.RootNode()->text(0), QStringLiteral("My Documents"));
    QCOMPARE(target.selectedNode()->text(0), QStringLiteral("Pictures"));

    // Onto itself: nothing to copy, nothing lost.
    source.CopySelectionTo(source);
    QCOMPARE(source.selectedNode()->text(0), QStringLiteral("Pictures"));
}

void DirectoryTreeTest::copySelectionFromEmptyTree()
{
    TVelkoDirectoryTreeview source;
    TVelkoDirectoryTreeview target;
    QVERIFY(target.ShowDrive(mNamespace.path("vol/disk")));
    source.CopySelectionTo(target);
    QCOMPARE(target.topLevelItemCount(), 0);
    QVERIFY(!target.rootPrefix());
}

void DirectoryTreeTest::oddNamesAreShownAndFollowed()
{
    const QByteArray latin1 = "home/Pictures/caf\xe9";
    const QByteArray newline = "home/Pictures/two\nlines";
    mNamespace.makeFolder(latin1);
    mNamespace.makeFolder(newline);
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QCOMPARE(pictures->childCount(), 5);
    QVERIFY(childrenSorted(pictures));
    for (const QString& name : childNames(pictures)) {
        QVERIFY(!name.isEmpty());
        QVERIFY(!name.contains(QLatin1Char('\n')));
    }

    QVERIFY(::rmdir(mNamespace.path(latin1).constData()) == 0);
    QTRY_COMPARE(pictures->childCount(), 4);
    QVERIFY(::rename(mNamespace.path(newline).constData(),
                     mNamespace.path("home/Pictures/one line").constData()) == 0);
    QTRY_VERIFY(childNamed(pictures, QStringLiteral("one line")));
    QCOMPARE(pictures->childCount(), 4);
}

void DirectoryTreeTest::folderRemovedBeforeListingHasNoChildren()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* home = expandPath(tree, {QStringLiteral("My Documents")});
    QTreeWidgetItem* documents = childNamed(home, QStringLiteral("Documents"));
    QVERIFY(documents && isPlaceholderOnly(documents));

    mNamespace.removeFolder("home/Documents");
    QVERIFY(tree.PopulateNode(documents)); // before the removal is reported
    QCOMPARE(documents->childCount(), 0);
    QTRY_VERIFY(!childNamed(home, QStringLiteral("Documents")));
}

void DirectoryTreeTest::unreadableFolderHasNoChildren()
{
    if (::geteuid() == 0)
        QSKIP("root reads every folder; unreadable folders cannot be made");
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* home = expandPath(tree, {QStringLiteral("My Documents")});
    QTreeWidgetItem* documents = childNamed(home, QStringLiteral("Documents"));
    QVERIFY(documents);
    QFile::setPermissions(QFile::decodeName(mNamespace.path("home/Documents")), {});
    documents->setExpanded(true);
    QFile::setPermissions(QFile::decodeName(mNamespace.path("home/Documents")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(documents->childCount(), 0);
    QVERIFY(TVelkoDirectoryTreeview::folderOf(documents)->populated());
}

void DirectoryTreeTest::notFocusedSelectionColours()
{
    TVelkoDirectoryTreeview tree;
    QCOMPARE(tree.notFocusedSelectedItemBgColor(), tree.palette().color(QPalette::Button));
    QCOMPARE(tree.property("NotFocusedSelectedItemFontColor").value<QColor>(),
             tree.palette().color(QPalette::ButtonText));

    const QColor background(12, 200, 34);
    QVERIFY(tree.setProperty("NotFocusedSelectedItemBgColor", background));
    tree.setNotFocusedSelectedItemFontColor(QColor(250, 1, 2));
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
    QVERIFY(root);
    tree.setFocusPolicy(Qt::NoFocus);
    tree.resize(300, 200);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    tree.setCurrentItem(root);
    QVERIFY(!tree.hasFocus());

    const QImage image = tree.viewport()->grab().toImage();
    const QRect rect = tree.visualItemRect(root);
    QCOMPARE(QColor(image.pixel(rect.right() - 4, rect.center().y())), background);
}

void DirectoryTreeTest::deletedTreeIgnoresLaterEvents()
{
    const QByteArray created = mNamespace.path("home/Pictures/Later");
    {
        TVelkoDirectoryTreeview tree;
        QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
        QVERIFY(expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")}));
        mNamespace.makeFolder("home/Pictures/Later");
        ShellChangeNotifier::instance().announcePath(ShcneMkDir, created);
    } // destroyed with notifications still queued for it
    ShellChangeNotifier::instance().announcePath(ShcneRmDir, created);
    QTest::qWait(100);
}

void DirectoryTreeTest::leafFolderFollowsItsSubFolders()
{
    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QTreeWidgetItem* leaf = childNamed(pictures, QStringLiteral("Photos 10"));
    QTreeWidgetItem* other = childNamed(pictures, QStringLiteral("Photos 1"));
    QVERIFY(leaf && other);
    QCOMPARE(leaf->childCount(), 0);
    QVERIFY(isPlaceholderOnly(other));

    // Out of view and never listed, the folders are not watched; "contents updated" makes
    // their nodes look again.
    pictures->setExpanded(false);
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(leaf)->isWatched());
    auto& notifier = ShellChangeNotifier::instance();
    mNamespace.makeFolder("home/Pictures/Photos 10/First");
    notifier.announcePath(ShcneUpdateDir, mNamespace.path("home/Pictures/Photos 10"));
    QTRY_VERIFY(isPlaceholderOnly(leaf));
    QVERIFY(!TVelkoDirectoryTreeview::folderOf(leaf)->populated());
    mNamespace.removeFolder("home/Pictures/Photos 1/Old");
    notifier.announcePath(ShcneUpdateDir, mNamespace.path("home/Pictures/Photos 1"));
    QTRY_COMPARE(other->childCount(), 0);

    pictures->setExpanded(true);
    leaf->setExpanded(true);
    QCOMPARE(childNames(leaf), QStringList{QStringLiteral("First")});
    QCOMPARE(other->childCount(), 0);
}

void DirectoryTreeTest::queueOverflowBringsListedFoldersUpToDate()
{
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    const int limit =
        limitFile.open(QIODevice::ReadOnly) ? limitFile.readAll().trimmed().toInt() : 0;
    if (limit <= 0 || limit > 40000)
        QSKIP("the inotify queue is too long to overflow quickly");

    TVelkoDirectoryTreeview tree;
    QVERIFY(tree.ShowRoot(TVelkoDirectoryTreeview::RootDesktop));
    QTreeWidgetItem* pictures =
        expandPath(tree, {QStringLiteral("My Documents"), QStringLiteral("Pictures")});
    QVERIFY(pictures);

    // More changes than the queue holds, made while no event is read: some are lost.
    const QString folder = QFile::decodeName(mNamespace.path("home/Pictures"));
    const int count = limit + 500;
    QDir dir(folder);
    for (int i = 0; i < count; ++i)
        QVERIFY(dir.mkdir(QStringLiteral("bulk %1").arg(i)));
    mNamespace.removeFolder("home/Pictures/2024/Trip");
    mNamespace.removeFolder("home/Pictures/2024");

    const int expected = int(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    QTRY_COMPARE_WITH_TIMEOUT(pictures->childCount(), expected, 20000);
    QVERIFY(!childNamed(pictures, QStringLiteral("2024")));
    QVERIFY(childNamed(pictures, QStringLiteral("bulk %1").arg(count - 1)));
    QVERIFY(childrenSorted(pictures));
}

QTEST_MAIN(DirectoryTreeTest)
#include "DirectoryTreeTest.moc"
