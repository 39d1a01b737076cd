#include "TPhotoList.h"

#include <algorithm>

void TPhotoList::append(TPhoto* photo)
{
    Q_ASSERT(!owning());
    mItems.emplace_back(photo, Release{false});
}

void TPhotoList::append(std::unique_ptr<TPhoto> photo)
{
    Q_ASSERT(owning());
    mItems.emplace_back(photo.release(), Release{true});
}

void TPhotoList::insert(int index, std::unique_ptr<TPhoto> photo)
{
    Q_ASSERT(owning());
    mItems.insert(mItems.begin() + index, Entry(photo.release(), Release{true}));
}

void TPhotoList::removeAt(int index)
{
    mItems.erase(mItems.begin() + index);
}

void TPhotoList::move(int from, int to)
{
    if (from == to)
        return;
    Entry photo = std::move(mItems[std::size_t(from)]);
    mItems.erase(mItems.begin() + from);
    mItems.insert(mItems.begin() + to, std::move(photo));
}

void TPhotoList::clear()
{
    mItems.clear();
}

int TPhotoList::indexOfPath(const QString& path) const
{
    const auto found = std::find_if(mItems.begin(), mItems.end(),
                                    [&](const Entry& p) { return p->path() == path; });
    return found == mItems.end() ? -1 : int(found - mItems.begin());
}

void TPhotoList::removeIf(const std::function<bool(const TPhoto&)>& remove)
{
    std::erase_if(mItems, [&](const Entry& photo) { return remove(*photo); });
}
