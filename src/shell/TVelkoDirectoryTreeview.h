// A lazily filled tree of the shell namespace, kept current by shell change notifications.
#pragma once

#include "ShellChangeNotifier.h"
#include "ShellItemIdList.h"
#include "TFolder.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QTreeWidget>

#include <optional>

class TVelkoDirectoryTreeview : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor NotFocusedSelectedItemBgColor READ notFocusedSelectedItemBgColor WRITE
                   setNotFocusedSelectedItemBgColor)
    Q_PROPERTY(QColor NotFocusedSelectedItemFontColor READ notFocusedSelectedItemFontColor WRITE
                   setNotFocusedSelectedItemFontColor)

public:
    // The message number under which the shell notifier delivers changes to every tree.
    static constexpr int WM_SHELL_TREE_CHANGE = 1025;
    // The events the tree follows.
    static constexpr quint32 kWatchedEvents = ShcneMkDir | ShcneRmDir | ShcneMediaInserted |
                                              ShcneMediaRemoved | ShcneDriveRemoved |
                                              ShcneDriveAdd | ShcneRenameFolder | ShcneUpdateDir;

    enum RootKind : int
    {
        RootDesktop = 0,
        RootMyDocuments = 1
    };

    explicit TVelkoDirectoryTreeview(QWidget* parent = nullptr);
    ~TVelkoDirectoryTreeview() override;

    // Rebuilds the tree with the desktop (0) or My Documents (1) as its only root.
    QTreeWidgetItem* ShowRoot(int kind);
    // Rebuilds the tree with the volume that holds the path as its only root.
    QTreeWidgetItem* ShowDrive(const QByteArray& path);
    QTreeWidgetItem* SelectMyDocuments();
    // Makes the other tree show and select the folder selected here, as deep as it exists.
    void CopySelectionTo(TVelkoDirectoryTreeview& other);
    // The selected node's absolute list; none without a selection.
    std::optional<ShellItemIdList> SelectedFolderId() const;
    // The selected folder's file-system path; empty for a virtual folder or no selection.
    QString selectedFolderPath() const;
    QTreeWidgetItem* RootNode() const;
    // Lists the node's sub-folders once; false for a node without a folder.
    bool PopulateNode(QTreeWidgetItem* node);

    // The folder record behind a node; null for placeholders.
    static TFolder* folderOf(const QTreeWidgetItem* node);
    QTreeWidgetItem* selectedNode() const;
    std::optional<ShellItemIdList> rootPrefix() const { return mRootPrefix; }
    ShellChangeNotifier::Registration registration() const { return mRegistration; }
    std::size_t folderRecordCount() const { return mFolders.size(); }

    QColor notFocusedSelectedItemBgColor() const { return mNotFocusedBg; }
    void setNotFocusedSelectedItemBgColor(const QColor& color);
    QColor notFocusedSelectedItemFontColor() const { return mNotFocusedFont; }
    void setNotFocusedSelectedItemFontColor(const QColor& color);

signals:
    // Raised on every selection change and when the selected node's folder changed.
    void OnChange(QTreeWidgetItem* node);
    // A medium was inserted into the drive of the selected node.
    void OnSelectedFolderMediaChanged();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Located
    {
        QTreeWidgetItem* item = nullptr;
        QTreeWidgetItem* parent = nullptr;
    };
    class ChangeScope;

    void applySelectionColors();
    void clearTree();
    void ensureRegistered();
    void fillHiddenFolders();

    // Builds a node for a child of the parent folder (or a root when parent is null); null
    // when the child is hidden or cannot be bound. The node is not inserted yet; `shown` says
    // whether it will be in view, so that its folder is watched before it is looked at.
    std::unique_ptr<QTreeWidgetItem> createNode(const QTreeWidgetItem* parent,
                                                const ShellFolder* parentFolder,
                                                const ShellItemIdList& relative, bool shown);
    QTreeWidgetItem* addRootNode(const ShellFolder* parentFolder, const ShellItemIdList& relative);
    void refreshNode(QTreeWidgetItem* node);
    QIcon iconFor(int closedIndex, int openIndex);

    void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* node);
    QTreeWidgetItem* findChild(const QTreeWidgetItem* parent, const ShellItemIdList& id) const;
    Located locate(const ShellItemIdList& id) const;

    void deleteChildren(QTreeWidgetItem* node);
    void removeNode(QTreeWidgetItem* node);
    void releaseFolders(QTreeWidgetItem* node);
    void resetNode(QTreeWidgetItem* node);
    // Points the node at a new record (a rename) and resets it to unlisted.
    void retargetNode(QTreeWidgetItem* node, std::unique_ptr<TFolder> folder);
    // Moves a node whose name changed to its sorted place among its siblings.
    void keepSorted(QTreeWidgetItem* node);
    void expandNode(QTreeWidgetItem* node);

    // A node is shown when every node above it is expanded; a shown node's folder is watched.
    static bool isShown(const QTreeWidgetItem* node);
    static bool showsChildrenOf(const QTreeWidgetItem* node);
    // Sets the node's shown state and its descendants' from it; a folder that comes back into
    // view after going unwatched has its expand button brought up to date.
    void setNodeShown(QTreeWidgetItem* node, bool shown);

    void handleShellChange(quint32 event, const ShellItemIdList& first,
                           const ShellItemIdList& second);
    void onItemAppeared(quint32 event, const ShellItemIdList& id);
    void onItemGone(quint32 event, const ShellItemIdList& id);
    void onFolderRenamed(const ShellItemIdList& oldId, const ShellItemIdList& newId);
    void onFolderUpdated(const ShellItemIdList& id);
    void syncChildren(QTreeWidgetItem* node);
    void syncExpandButton(QTreeWidgetItem* node);

    void onSelectionChanged();
    void requestChange();
    void onItemExpanded(QTreeWidgetItem* item);
    void onItemCollapsed(QTreeWidgetItem* item);

    TFolderList mFolders;
    TFolderList mHiddenFolders;
    std::optional<ShellItemIdList> mRootPrefix;
    ShellChangeNotifier::Registration mRegistration = 0;
    QColor mNotFocusedBg;
    QColor mNotFocusedFont;
    QColor mFocusedHighlight;
    QColor mFocusedHighlightedText;
    QHash<quint64, QIcon> mIcons;
    int mChangeDepth = 0;
    bool mChangePending = false;
};
