#include "TFolder.h"

#include <utility>

TFolder::TFolder(std::optional<ShellFolder> shellFolder, ShellItemIdList id)
    : mShellFolder(std::move(shellFolder)), mId(std::move(id))
{}

void TFolder::setPopulated(bool populated)
{
    mPopulated = populated;
    updateWatch();
}

void TFolder::setShown(bool shown)
{
    mShown = shown;
    updateWatch();
}

void TFolder::updateWatch()
{
    const bool wanted = mShellFolder && (mPopulated || mShown);
    if (wanted && !mWatch.isActive()) {
        mWatch = ShellChangeNotifier::instance().watchFolder(mId);
    } else if (!wanted && mWatch.isActive()) {
        mWatch = ShellFolderWatch();
        mStale = true;
    }
}

TFolder* TFolderList::add(std::unique_ptr<TFolder> folder)
{
    TFolder* raw = folder.get();
    if (!raw)
        return nullptr;
    mIndex.emplace(raw, mFolders.size());
    mFolders.push_back(std::move(folder));
    return raw;
}

void TFolderList::remove(const TFolder* folder)
{
    const auto found = mIndex.find(folder);
    if (found == mIndex.end())
        return;
    const std::size_t index = found->second;
    mIndex.erase(found);
    if (index + 1 != mFolders.size()) {
        mFolders[index] = std::move(mFolders.back());
        mIndex[mFolders[index].get()] = index;
    }
    mFolders.pop_back();
}

void TFolderList::clear()
{
    mIndex.clear();
    mFolders.clear();
}

bool TFolderList::containsId(const ShellItemIdList& id) const
{
    for (const auto& folder : mFolders) {
        if (sameFolderId(folder->id(), id))
            return true;
    }
    return false;
}
