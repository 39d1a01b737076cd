#include "TVelkoDirectoryTreeview.h"

#include "ShellIconList.h"
#include "ShellNamespace.h"
#include "WaitCursor.h"

#include <QFile>
#include <QFocusEvent>

#include <algorithm>
#include <utility>

namespace {

constexpr int kFolderNodeType = QTreeWidgetItem::UserType + 1;
// The small-icon sizes the composed node icons carry.
constexpr int kIconSizes[] = {16, 22, 24, 32};

// A node that points at its folder record; the record list owns the record.
class TFolderNode : public QTreeWidgetItem
{
public:
    explicit TFolderNode(TFolder* folder) : QTreeWidgetItem(kFolderNodeType), mFolder(folder) {}
    TFolder* folder() const { return mFolder; }
    void setFolder(TFolder* folder) { mFolder = folder; }

private:
    TFolder* mFolder;
};

// Suspends repainting for the duration of a change and restores the previous state.
class UpdatesLock
{
public:
    explicit UpdatesLock(QWidget* widget) : mWidget(widget), mWasEnabled(widget->updatesEnabled())
    {
        mWidget->setUpdatesEnabled(false);
    }
    ~UpdatesLock() { mWidget->setUpdatesEnabled(mWasEnabled); }
    UpdatesLock(const UpdatesLock&) = delete;
    UpdatesLock& operator=(const UpdatesLock&) = delete;

private:
    QWidget* mWidget;
    bool mWasEnabled;
};

bool isNodeAncestorOf(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node)
{
    for (const QTreeWidgetItem* up = node ? node->parent() : nullptr; up; up = up->parent()) {
        if (up == ancestor)
            return true;
    }
    return false;
}

int compareNodes(const QTreeWidgetItem* node, const ShellItemIdList& id)
{
    const TFolder* folder = TVelkoDirectoryTreeview::folderOf(node);
    return folder ? ShellNamespace::instance().desktopFolder().compareIds(folder->id(), id) : -1;
}

// A relative list and the node built for it, sorted before insertion.
struct PendingChild
{
    ShellItemIdList relative;
    std::unique_ptr<QTreeWidgetItem> node;
};

} // namespace

// Collects the tree's own OnChange raises and the selection moves made while handling one
// change, and raises OnChange once when the outermost scope ends.
class TVelkoDirectoryTreeview::ChangeScope
{
public:
    explicit ChangeScope(TVelkoDirectoryTreeview& tree) : mTree(tree) { ++mTree.mChangeDepth; }
    ~ChangeScope()
    {
        if (--mTree.mChangeDepth == 0 && mTree.mChangePending) {
            mTree.mChangePending = false;
            emit mTree.OnChange(mTree.selectedNode());
        }
    }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    TVelkoDirectoryTreeview& mTree;
};

TVelkoDirectoryTreeview::TVelkoDirectoryTreeview(QWidget* parent)
    : QTreeWidget(parent), mNotFocusedBg(palette().color(QPalette::Button)),
      mNotFocusedFont(palette().color(QPalette::ButtonText))
{
    setColumnCount(1);
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    // Every row has the same height, so expanding a huge folder needs no per-row measuring.
    setUniformRowHeights(true);
    setAnimated(false);
    mFocusedHighlight = palette().color(QPalette::Active, QPalette::Highlight);
    mFocusedHighlightedText = palette().color(QPalette::Active, QPalette::HighlightedText);
    applySelectionColors();

    connect(this, &QTreeWidget::itemSelectionChanged, this,
            &TVelkoDirectoryTreeview::onSelectionChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &TVelkoDirectoryTreeview::onItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TVelkoDirectoryTreeview::onItemCollapsed);
    fillHiddenFolders();
}

TVelkoDirectoryTreeview::~TVelkoDirectoryTreeview()
{
    if (mRegistration != 0)
        ShellChangeNotifier::instance().deregisterClient(mRegistration);
    blockSignals(true);
    clear();
    mFolders.clear();
}

void TVelkoDirectoryTreeview::fillHiddenFolders()
{
    for (const int special : {SpecialRecycleBin, SpecialControlPanel, SpecialInternet,
                              SpecialPrinters, SpecialNetworkNeighborhood, SpecialNetwork}) {
        if (auto id = ShellNamespace::instance().specialFolderLocation(special))
            mHiddenFolders.add(std::make_unique<TFolder>(std::nullopt, std::move(*id)));
    }
}

void TVelkoDirectoryTreeview::clearTree()
{
    clear();
    mFolders.clear();
    mRootPrefix.reset();
}

void TVelkoDirectoryTreeview::ensureRegistered()
{
    if (mRegistration == 0) {
        mRegistration = ShellChangeNotifier::instance().registerClient(
            this, WM_SHELL_TREE_CHANGE, ShellItemIdList(), true, kWatchedEvents);
    }
}

TFolder* TVelkoDirectoryTreeview::folderOf(const QTreeWidgetItem* node)
{
    if (!node || node->type() != kFolderNodeType)
        return nullptr;
    return static_cast<const TFolderNode*>(node)->folder();
}

QTreeWidgetItem* TVelkoDirectoryTreeview::selectedNode() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* TVelkoDirectoryTreeview::RootNode() const
{
    return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

std::optional<ShellItemIdList> TVelkoDirectoryTreeview::SelectedFolderId() const
{
    if (const TFolder* folder = folderOf(selectedNode()))
        return folder->id();
    return std::nullopt;
}

QString TVelkoDirectoryTreeview::selectedFolderPath() const
{
    const std::optional<ShellItemIdList> id = SelectedFolderId();
    if (!id)
        return {};
    const std::optional<QByteArray> path = ShellNamespace::instance().pathOf(*id);
    return path ? QFile::decodeName(*path) : QString();
}

void TVelkoDirectoryTreeview::setNotFocusedSelectedItemBgColor(const QColor& color)
{
    mNotFocusedBg = color;
    applySelectionColors();
}

void TVelkoDirectoryTreeview::setNotFocusedSelectedItemFontColor(const QColor& color)
{
    mNotFocusedFont = color;
    applySelectionColors();
}

// The highlight roles of the tree's own palette are switched, so that the whole row,
// the branch area included, shows the same colours.
void TVelkoDirectoryTreeview::applySelectionColors()
{
    const bool focused = hasFocus();
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Highlight, focused ? mFocusedHighlight : mNotFocusedBg);
        colours.setColor(group, QPalette::HighlightedText,
                         focused ? mFocusedHighlightedText : mNotFocusedFont);
    }
    setPalette(colours);
    viewport()->update();
}

void TVelkoDirectoryTreeview::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    applySelectionColors();
}

void TVelkoDirectoryTreeview::focusOutEvent(QFocusEvent* event)
{
    QTreeWidget::focusOutEvent(event);
    applySelectionColors();
}

// ---- building nodes ----

std::unique_ptr<QTreeWidgetItem>
TVelkoDirectoryTreeview::createNode(const QTreeWidgetItem* parent, const ShellFolder* parentFolder,
                                    const ShellItemIdList& relative, bool shown)
{
    std::optional<ShellFolder> shellFolder =
        parentFolder ? parentFolder->bindToObject(relative)
                     : std::optional(ShellNamespace::instance().desktopFolder());
    if (!shellFolder)
        return nullptr;

    ShellItemIdList id;
    if (const TFolder* parentRecord = folderOf(parent))
        id = parentRecord->id() + relative;
    else if (mRootPrefix)
        id = *mRootPrefix + relative;
    else
        id = relative;
    if (mHiddenFolders.containsId(id))
        return nullptr;

    TFolder* record = mFolders.add(std::make_unique<TFolder>(std::move(shellFolder), id));
    // Watched before the look for sub-folders, so that one made meanwhile is reported.
    record->setShown(shown);
    auto node = std::make_unique<TFolderNode>(record);
    refreshNode(node.get());
    if (!parentFolder || parentFolder->hasSubFolders(relative))
        new QTreeWidgetItem(node.get()); // placeholder: shows the expand button until listed
    record->markChecked();
    return node;
}

QTreeWidgetItem* TVelkoDirectoryTreeview::addRootNode(const ShellFolder* parentFolder,
                                                      const ShellItemIdList& relative)
{
    std::unique_ptr<QTreeWidgetItem> node = createNode(nullptr, parentFolder, relative, true);
    if (!node)
        return nullptr;
    QTreeWidgetItem* root = node.release();
    addTopLevelItem(root);
    return root;
}

void TVelkoDirectoryTreeview::refreshNode(QTreeWidgetItem* node)
{
    const TFolder* folder = folderOf(node);
    if (!folder)
        return;
    const ShellDisplay shown = ShellNamespace::instance().display(folder->id());
    node->setText(0, shown.name);
    node->setIcon(0, iconFor(shown.icon, shown.openIcon));
}

QIcon TVelkoDirectoryTreeview::iconFor(int closedIndex, int openIndex)
{
    // Composed icons are shared by every node with the same pair: the selected state shows
    // the open folder, as the system's selected-image index did.
    const quint64 key = (quint64(quint32(closedIndex)) << 32) | quint32(openIndex);
    const auto cached = mIcons.constFind(key);
    if (cached != mIcons.constEnd())
        return *cached;

    const ShellIconList& icons = ShellIconList::instance();
    QIcon icon = icons.icon(closedIndex);
    if (openIndex != closedIndex) {
        const QIcon closed = icon;
        const QIcon open = icons.icon(openIndex);
        icon = QIcon();
        for (const int size : kIconSizes) {
            icon.addPixmap(closed.pixmap(size), QIcon::Normal);
            icon.addPixmap(open.pixmap(size), QIcon::Selected);
        }
    }
    mIcons.insert(key, icon);
    return icon;
}

// ---- sorted children ----
// Children of a node are always kept in the namespace's order, so lookups are binary searches.

void TVelkoDirectoryTreeview::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node)
{
    if (parent->childCount() > 0 && !folderOf(parent->child(0)))
        qDeleteAll(parent->takeChildren()); // a placeholder gives way to real children
    const ShellItemIdList& id = folderOf(node)->id();
    int low = 0;
    int high = parent->childCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (compareNodes(parent->child(middle), id) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    parent->insertChild(low, node);
}

QTreeWidgetItem* TVelkoDirectoryTreeview::findChild(const QTreeWidgetItem* parent,
                                                    const ShellItemIdList& id) const
{
    int low = 0;
    int high = parent->childCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        QTreeWidgetItem* child = parent->child(middle);
        if (!folderOf(child))
            return nullptr;
        const int order = compareNodes(child, id);
        if (order == 0)
            return child;
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

TVelkoDirectoryTreeview::Located TVelkoDirectoryTreeview::locate(const ShellItemIdList& id) const
{
    Located located;
    QTreeWidgetItem* root = RootNode();
    const TFolder* rootFolder = folderOf(root);
    if (!rootFolder)
        return located;
    const int rootCount = rootFolder->id().itemCount();
    const int count = id.itemCount();
    if (count < rootCount || !sameFolderId(id.first(rootCount), rootFolder->id()))
        return located;
    if (count == rootCount) {
        // The root itself (a drive or My Documents): its medium or its existence changed.
        if (count > 0)
            located.item = root;
        return located;
    }
    if (count == rootCount + 1)
        located.parent = root;
    QTreeWidgetItem* current = root;
    for (int depth = rootCount + 1; depth <= count; ++depth) {
        QTreeWidgetItem* child = findChild(current, depth == count ? id : id.first(depth));
        if (!child)
            break;
        current = child;
        if (depth == count - 1)
            located.parent = current;
        else if (depth == count)
            located.item = current;
    }
    return located;
}

// ---- removing and resetting nodes ----

void TVelkoDirectoryTreeview::releaseFolders(QTreeWidgetItem* node)
{
    for (int i = 0; i < node->childCount(); ++i)
        releaseFolders(node->child(i));
    if (TFolder* folder = folderOf(node)) {
        static_cast<TFolderNode*>(node)->setFolder(nullptr);
        mFolders.remove(folder);
    }
}

void TVelkoDirectoryTreeview::deleteChildren(QTreeWidgetItem* node)
{
    const bool selectionInside = isNodeAncestorOf(node, selectedNode());
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    for (QTreeWidgetItem* child : children)
        releaseFolders(child);
    qDeleteAll(children);
    // A selection that vanished with the children moves up to the node, so the listener
    // never keeps showing a folder that is no longer in the tree.
    if (selectionInside)
        setCurrentItem(node);
}

void TVelkoDirectoryTreeview::removeNode(QTreeWidgetItem* node)
{
    const QTreeWidgetItem* selected = selectedNode();
    const bool selectionInside = selected == node || isNodeAncestorOf(node, selected);
    QTreeWidgetItem* parent = node->parent();
    releaseFolders(node);
    delete node;
    if (selectionInside && parent)
        setCurrentItem(parent);
}

void TVelkoDirectoryTreeview::resetNode(QTreeWidgetItem* node)
{
    UpdatesLock lock(this);
    deleteChildren(node);
    folderOf(node)->setPopulated(false);
    new QTreeWidgetItem(node); // placeholder: listed again when expanded
    node->setExpanded(false);
}

void TVelkoDirectoryTreeview::expandNode(QTreeWidgetItem* node)
{
    // Expanded first, so that the children are built as shown; a node that was expanded
    // already gives no signal and is listed here.
    node->setExpanded(true);
    PopulateNode(node);
}

void TVelkoDirectoryTreeview::onItemExpanded(QTreeWidgetItem* item)
{
    if (!PopulateNode(item)) {
        item->setExpanded(false);
        return;
    }
    const bool shown = isShown(item);
    for (int i = 0; i < item->childCount(); ++i)
        setNodeShown(item->child(i), shown);
}

void TVelkoDirectoryTreeview::onItemCollapsed(QTreeWidgetItem* item)
{
    for (int i = 0; i < item->childCount(); ++i)
        setNodeShown(item->child(i), false);
}

bool TVelkoDirectoryTreeview::isShown(const QTreeWidgetItem* node)
{
    for (const QTreeWidgetItem* up = node->parent(); up; up = up->parent()) {
        if (!up->isExpanded())
            return false;
    }
    return true;
}

bool TVelkoDirectoryTreeview::showsChildrenOf(const QTreeWidgetItem* node)
{
    return node->isExpanded() && isShown(node);
}

void TVelkoDirectoryTreeview::setNodeShown(QTreeWidgetItem* node, bool shown)
{
    TFolder* folder = folderOf(node);
    if (!folder)
        return; // a placeholder
    folder->setShown(shown);
    if (shown && folder->mayBeStale() && !folder->populated() && folder->shellFolder()) {
        syncExpandButton(node);
        folder->markChecked();
    }
    // Only the children of an expanded node can be shown, so a collapsed subtree is done.
    if (node->childCount() == 0 || !folderOf(node->child(0)))
        return;
    const bool childrenShown = shown && node->isExpanded();
    if (!childrenShown && !folderOf(node->child(0))->shown())
        return;
    for (int i = 0; i < node->childCount(); ++i)
        setNodeShown(node->child(i), childrenShown);
}

bool TVelkoDirectoryTreeview::PopulateNode(QTreeWidgetItem* node)
{
    TFolder* folder = folderOf(node);
    if (!folder)
        return false;
    if (folder->populated())
        return true;

    WaitCursor wait;
    UpdatesLock lock(this);
    deleteChildren(node);
    // Watch before listing: a folder made meanwhile is then reported, never lost.
    folder->setPopulated(true);
    if (const std::optional<ShellFolder>& shellFolder = folder->shellFolder()) {
        const bool shown = showsChildrenOf(node);
        std::vector<PendingChild> pending;
        for (ShellItemIdList& relative : shellFolder->enumObjects(EnumFolders)) {
            if (auto child = createNode(node, &*shellFolder, relative, shown))
                pending.push_back({std::move(relative), std::move(child)});
        }
        // Siblings share the parent's list, so their relative lists decide the order.
        std::sort(pending.begin(), pending.end(),
                  [&](const PendingChild& a, const PendingChild& b) {
                      return shellFolder->compareIds(a.relative, b.relative) < 0;
                  });
        QList<QTreeWidgetItem*> children;
        children.reserve(qsizetype(pending.size()));
        for (PendingChild& child : pending)
            children.append(child.node.release());
        node->addChildren(children);
    }
    return folder->populated();
}

// ---- roots ----

QTreeWidgetItem* TVelkoDirectoryTreeview::ShowRoot(int kind)
{
    WaitCursor wait;
    clearTree();
    ensureRegistered();
    if (kind == RootDesktop) {
        const auto desktop = ShellNamespace::instance().specialFolderLocation(SpecialDesktop);
        return desktop ? addRootNode(nullptr, *desktop) : nullptr;
    }
    if (kind == RootMyDocuments) {
        const ShellFolder& desktop = ShellNamespace::instance().desktopFolder();
        const auto myDocuments =
            desktop.parseDisplayName(QString::fromLatin1(kMyDocumentsParseName));
        return myDocuments ? addRootNode(&desktop, *myDocuments) : nullptr;
    }
    return nullptr;
}

QTreeWidgetItem* TVelkoDirectoryTreeview::ShowDrive(const QByteArray& path)
{
    WaitCursor wait;
    clearTree();
    ensureRegistered();
    const ShellNamespace& shell = ShellNamespace::instance();
    const auto myComputer = shell.specialFolderLocation(SpecialMyComputer);
    if (!myComputer)
        return nullptr;
    const auto myComputerFolder =
        ShellNamespace::instance().desktopFolder().bindToObject(*myComputer);
    if (!myComputerFolder)
        return nullptr;
    mRootPrefix = *myComputer;
    auto volume = path.isEmpty() ? std::nullopt : shell.volumeOfPath(path);
    if (!volume)
        return nullptr;
    // The volume as My Computer's child, whether handed back relative or absolute.
    if (volume->itemCount() > 1)
        volume = volume->last();
    return addRootNode(&*myComputerFolder, *volume);
}

QTreeWidgetItem* TVelkoDirectoryTreeview::SelectMyDocuments()
{
    QTreeWidgetItem* root = RootNode();
    const TFolder* rootFolder = folderOf(root);
    if (!rootFolder || mRootPrefix)
        return nullptr;
    if (!rootFolder->shellFolder() || !rootFolder->shellFolder()->isDesktop()) {
        setCurrentItem(root);
        return root;
    }
    const auto myDocuments = ShellNamespace::instance().desktopFolder().parseDisplayName(
        QString::fromLatin1(kMyDocumentsParseName));
    if (!myDocuments)
        return nullptr;
    expandNode(root);
    QTreeWidgetItem* node = findChild(root, *myDocuments);
    if (node)
        setCurrentItem(node);
    return node;
}

void TVelkoDirectoryTreeview::CopySelectionTo(TVelkoDirectoryTreeview& other)
{
    if (&other == this)
        return;
    WaitCursor wait;
    other.clearTree();
    other.mRootPrefix = mRootPrefix;
    const TFolder* rootFolder = folderOf(RootNode());
    if (!rootFolder)
        return;
    const QTreeWidgetItem* source = selectedNode() ? selectedNode() : RootNode();
    const TFolder* sourceFolder = folderOf(source);
    if (!sourceFolder)
        return;
    const std::vector<ShellItemIdList> items = sourceFolder->id().split();

    QTreeWidgetItem* current = nullptr;
    ShellItemIdList prefix;
    if (rootFolder->id().isEmpty()) {
        current = other.ShowRoot(RootDesktop);
        if (!current)
            return;
        prefix = folderOf(current)->id();
    }
    std::size_t next = 0;
    if (mRootPrefix)
        next = std::min(items.size(), std::size_t(mRootPrefix->itemCount()));
    for (; next < items.size(); ++next) {
        if (current) {
            other.expandNode(current);
            QTreeWidgetItem* child = other.findChild(current, prefix + items[next]);
            if (!child)
                break; // the deepest folder that still exists
            current = child;
        } else if (mRootPrefix) {
            // Registering here too: a tree built only by copying must still follow changes.
            other.ensureRegistered();
            const auto myComputer =
                ShellNamespace::instance().desktopFolder().bindToObject(*mRootPrefix);
            current = myComputer ? other.addRootNode(&*myComputer, items[next]) : nullptr;
        } else {
            current = other.ShowRoot(RootMyDocuments);
        }
        if (!current)
            break;
        prefix = folderOf(current)->id();
    }
    if (current)
        other.setCurrentItem(current);
}

// ---- change notifications ----

bool TVelkoDirectoryTreeview::event(QEvent* event)
{
    if (int(event->type()) == WM_SHELL_TREE_CHANGE) {
        if (const auto* message = dynamic_cast<const ShellChangeMessage*>(event)) {
            try {
                handleShellChange(message->event(), message->first(), message->second());
            } catch (...) {
                // A notification that cannot be applied leaves the tree as it was.
            }
        }
    }
    return QTreeWidget::event(event);
}

void TVelkoDirectoryTreeview::handleShellChange(quint32 event, const ShellItemIdList& first,
                                                const ShellItemIdList& second)
{
    ChangeScope scope(*this);
    switch (event) {
    case ShcneMkDir:
    case ShcneMediaInserted:
    case ShcneDriveAdd:
        onItemAppeared(event, first);
        break;
    case ShcneRmDir:
    case ShcneMediaRemoved:
    case ShcneDriveRemoved:
        onItemGone(event, first);
        break;
    case ShcneRenameFolder:
        onFolderRenamed(first, second);
        break;
    case ShcneUpdateDir:
        onFolderUpdated(first);
        break;
    default:
        break;
    }
}

void TVelkoDirectoryTreeview::onItemAppeared(quint32 event, const ShellItemIdList& id)
{
    const Located located = locate(id);
    if (located.item) {
        // Seen before (an announced change is also observed): only a new medium resets it.
        if (event == ShcneMediaInserted)
            resetNode(located.item);
        refreshNode(located.item);
        if (event == ShcneMediaInserted && located.item == selectedNode())
            emit OnSelectedFolderMediaChanged();
        return;
    }
    const TFolder* parentFolder = folderOf(located.parent);
    if (!parentFolder || !parentFolder->shellFolder())
        return;
    if (!parentFolder->shellFolder()->listsFolder(id.last()))
        return;
    std::unique_ptr<QTreeWidgetItem> node = createNode(
        located.parent, &*parentFolder->shellFolder(), id.last(), showsChildrenOf(located.parent));
    if (node)
        insertSorted(located.parent, node.release());
}

void TVelkoDirectoryTreeview::onItemGone(quint32 event, const ShellItemIdList& id)
{
    QTreeWidgetItem* node = locate(id).item;
    if (!node)
        return;
    if (event != ShcneMediaRemoved) {
        removeNode(node);
        return;
    }
    deleteChildren(node);
    folderOf(node)->setPopulated(false);
    refreshNode(node);
    if (node == selectedNode())
        requestChange();
}

// A folder's sub-folders changed in ways the other events did not tell (a queue overflow, or a
// sub-folder made inside a folder that was never listed): the node is brought up to date.
void TVelkoDirectoryTreeview::onFolderUpdated(const ShellItemIdList& id)
{
    QTreeWidgetItem* root = RootNode();
    const TFolder* rootFolder = folderOf(root);
    QTreeWidgetItem* node =
        rootFolder && sameFolderId(id, rootFolder->id()) ? root : locate(id).item;
    const TFolder* folder = folderOf(node);
    if (!folder || !folder->shellFolder())
        return;
    if (folder->populated())
        syncChildren(node);
    else
        syncExpandButton(node);
}

void TVelkoDirectoryTreeview::syncChildren(QTreeWidgetItem* node)
{
    const TFolder* folder = folderOf(node);
    const ShellFolder& shellFolder = *folder->shellFolder();
    std::vector<ShellItemIdList> listed = shellFolder.enumObjects(EnumFolders);
    const auto before = [&shellFolder](const ShellItemIdList& a, const ShellItemIdList& b) {
        return shellFolder.compareIds(a, b) < 0;
    };
    std::sort(listed.begin(), listed.end(), before);

    UpdatesLock lock(this);
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = node->child(i);
        const TFolder* childFolder = folderOf(child);
        if (childFolder &&
            !std::binary_search(listed.begin(), listed.end(), childFolder->id().last(), before))
            removeNode(child);
    }
    const bool shown = showsChildrenOf(node);
    for (const ShellItemIdList& relative : listed) {
        if (findChild(node, folder->id() + relative))
            continue;
        if (std::unique_ptr<QTreeWidgetItem> child =
                createNode(node, &shellFolder, relative, shown))
            insertSorted(node, child.release());
    }
}

void TVelkoDirectoryTreeview::syncExpandButton(QTreeWidgetItem* node)
{
    const TFolder* parentFolder = folderOf(node->parent());
    const bool hasSubFolders =
        !parentFolder || !parentFolder->shellFolder() ||
        parentFolder->shellFolder()->hasSubFolders(folderOf(node)->id().last());
    if (hasSubFolders && node->childCount() == 0)
        new QTreeWidgetItem(node); // placeholder: listed when expanded
    else if (!hasSubFolders && node->childCount() > 0)
        deleteChildren(node);
}

void TVelkoDirectoryTreeview::onFolderRenamed(const ShellItemIdList& oldId,
                                              const ShellItemIdList& newId)
{
    const Located old = locate(oldId);
    if (!old.item) {
        // Not shown under its old name (already renamed, or moved in): show the new one.
        onItemAppeared(ShcneMkDir, newId);
        return;
    }
    const TFolder* parentFolder = folderOf(old.parent);
    const int count = newId.itemCount();
    const bool sameParent = parentFolder && parentFolder->shellFolder() &&
                            count == oldId.itemCount() &&
                            sameFolderId(newId.first(count - 1), parentFolder->id());
    if (!sameParent) {
        // Moved to another folder: gone here, perhaps shown there.
        removeNode(old.item);
        onItemAppeared(ShcneMkDir, newId);
        return;
    }
    if (QTreeWidgetItem* existing = findChild(old.parent, newId)) {
        if (existing != old.item)
            removeNode(old.item);
        refreshNode(existing);
        return;
    }
    const ShellFolder& parentShellFolder = *parentFolder->shellFolder();
    const ShellItemIdList child = newId.last();
    auto shellFolder =
        parentShellFolder.listsFolder(child) ? parentShellFolder.bindToObject(child) : std::nullopt;
    const ShellItemIdList id = parentFolder->id() + child;
    if (!shellFolder || mHiddenFolders.containsId(id)) {
        // The new name is not listed (renamed again, or now hidden): the old node is stale.
        removeNode(old.item);
        return;
    }

    const bool wasSelected = old.item == selectedNode();
    retargetNode(old.item, std::make_unique<TFolder>(std::move(shellFolder), id));
    keepSorted(old.item);
    if (wasSelected)
        requestChange();
}

void TVelkoDirectoryTreeview::retargetNode(QTreeWidgetItem* node, std::unique_ptr<TFolder> folder)
{
    TFolder* oldRecord = folderOf(node);
    {
        UpdatesLock lock(this);
        deleteChildren(node);
        TFolder* record = mFolders.add(std::move(folder));
        record->setShown(isShown(node));
        record->markChecked(); // the placeholder below lists it when expanded
        static_cast<TFolderNode*>(node)->setFolder(record);
        mFolders.remove(oldRecord);
        new QTreeWidgetItem(node); // placeholder: listed again when expanded
        node->setExpanded(false);
    }
    refreshNode(node);
}

void TVelkoDirectoryTreeview::keepSorted(QTreeWidgetItem* node)
{
    QTreeWidgetItem* parent = node->parent();
    if (!parent)
        return;
    const ShellItemIdList& id = folderOf(node)->id();
    const int index = parent->indexOfChild(node);
    const bool early = index > 0 && compareNodes(parent->child(index - 1), id) > 0;
    const bool late =
        index + 1 < parent->childCount() && compareNodes(parent->child(index + 1), id) < 0;
    if (!early && !late)
        return;
    const bool wasSelected = node == selectedNode();
    parent->takeChild(index);
    insertSorted(parent, node);
    if (wasSelected)
        setCurrentItem(node);
}

void TVelkoDirectoryTreeview::onSelectionChanged()
{
    requestChange();
}

void TVelkoDirectoryTreeview::requestChange()
{
    if (mChangeDepth > 0) {
        mChangePending = true;
        return;
    }
    emit OnChange(selectedNode());
}
