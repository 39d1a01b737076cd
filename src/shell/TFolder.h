// The data behind one folder-tree node, and owning lists of such records.
#pragma once

#include "ShellChangeNotifier.h"
#include "ShellItemIdList.h"
#include "ShellNamespace.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One folder of the namespace as a tree node knows it: the folder to list its children
// (absent when it cannot be bound), its absolute item-ID list, and whether its sub-folders
// have been listed. While populated or shown in a tree the folder is watched, so that
// sub-folders created, removed or renamed inside it are reported even when nobody else looks
// at it.
class TFolder
{
public:
    TFolder(std::optional<ShellFolder> shellFolder, ShellItemIdList id);

    const std::optional<ShellFolder>& shellFolder() const { return mShellFolder; }
    const ShellItemIdList& id() const { return mId; }

    bool populated() const { return mPopulated; }
    void setPopulated(bool populated);
    bool shown() const { return mShown; }
    void setShown(bool shown);
    bool isWatched() const { return mWatch.isActive(); }

    // Whether sub-folders may have come or gone unseen: the folder went unwatched after they
    // were last looked at. markChecked records a look.
    bool mayBeStale() const { return mStale; }
    void markChecked() { mStale = !isWatched(); }

private:
    void updateWatch();

    std::optional<ShellFolder> mShellFolder;
    ShellItemIdList mId;
    bool mPopulated = false;
    bool mShown = false;
    bool mStale = false;
    ShellFolderWatch mWatch;
};

// An owning list of folder records. Records are handed out as stable raw pointers (the
// tree's nodes point at them); removal is constant time so that a burst of removals
// from a big tree stays linear.
class TFolderList
{
public:
    TFolder* add(std::unique_ptr<TFolder> folder);
    void remove(const TFolder* folder);
    void clear();

    std::size_t size() const { return mFolders.size(); }
    bool empty() const { return mFolders.empty(); }
    bool contains(const TFolder* folder) const { return mIndex.contains(folder); }
    // Whether a record's list compares equal to the given one (desktop comparison).
    bool containsId(const ShellItemIdList& id) const;

private:
    std::vector<std::unique_ptr<TFolder>> mFolders;
    std::unordered_map<const TFolder*, std::size_t> mIndex;
};
