// Lists of photos: the grid's own list owns its photos; lists handed out do not.
#pragma once

#include "TPhoto.h"

#include <functional>
#include <memory>
#include <vector>

class TPhotoList
{
public:
    enum class Ownership
    {
        Owning,
        NonOwning
    };
    explicit TPhotoList(Ownership ownership = Ownership::Owning) : mOwnership(ownership) {}

    TPhotoList(const TPhotoList&) = delete;
    TPhotoList& operator=(const TPhotoList&) = delete;
    TPhotoList(TPhotoList&&) = default;
    TPhotoList& operator=(TPhotoList&&) = default;

    bool owning() const { return mOwnership == Ownership::Owning; }
    int count() const { return int(mItems.size()); }
    bool isEmpty() const { return mItems.empty(); }
    TPhoto* at(int index) const { return mItems[std::size_t(index)].get(); }

    // A non-owning list refers to a photo that someone else owns.
    void append(TPhoto* photo);
    // An owning list takes the photo.
    void append(std::unique_ptr<TPhoto> photo);
    void insert(int index, std::unique_ptr<TPhoto> photo);
    // Removes the entry; an owning list destroys the photo.
    void removeAt(int index);
    // Moves the entry at from so that it ends up at index to.
    void move(int from, int to);
    void clear();
    // Removes, in one pass, the entries for which remove() holds; an owning list destroys them.
    void removeIf(const std::function<bool(const TPhoto&)>& remove);

    // The first photo whose path equals this one exactly (Linux names are case-sensitive);
    // -1 if none.
    int indexOfPath(const QString& path) const;

private:
    // Destroys the photo only for an owning list.
    struct Release
    {
        bool owns = true;
        void operator()(TPhoto* photo) const
        {
            if (owns)
                delete photo;
        }
    };
    using Entry = std::unique_ptr<TPhoto, Release>;

public:
    auto begin() const { return mItems.begin(); }
    auto end() const { return mItems.end(); }

private:
    Ownership mOwnership;
    std::vector<Entry> mItems;
};
