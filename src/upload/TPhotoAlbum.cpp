#include "TPhotoAlbum.h"

int TPhotoAlbumList::indexOfId(qint32 id) const
{
    for (int i = 0; i < count(); ++i) {
        if (mAlbums.at(i).id == id)
            return i;
    }
    return -1;
}
