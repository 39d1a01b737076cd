// The albums of the photo-site account, as the login and create-album answers list them.
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class TPhotoAlbum
{
public:
    qint32 id = 0;
    QString name;
    QString key;
    QString path; // begins and ends with "/"
};

// Owns its albums, in answer order.
class TPhotoAlbumList
{
public:
    int count() const { return static_cast<int>(mAlbums.size()); }
    bool isEmpty() const { return mAlbums.isEmpty(); }
    const TPhotoAlbum& at(int index) const { return mAlbums.at(index); }
    void add(const TPhotoAlbum& album) { mAlbums.append(album); }
    void clear() { mAlbums.clear(); }

    // The index of the album with this id, -1 when absent.
    int indexOfId(qint32 id) const;

    auto begin() const { return mAlbums.cbegin(); }
    auto end() const { return mAlbums.cend(); }

private:
    QList<TPhotoAlbum> mAlbums;
};
