#include "TPrintPhotoObject.h"

#include <QStringList>

#include <algorithm>

void TPrintPhotoObject::setCropPosition(double position)
{
    mCropPosition = std::clamp(position, 0.0, 1.0);
}

TPrintPhotoObjectPtr TPrintPhotoObjectList::find(const QString& fileName) const
{
    const auto found = std::find_if(mObjects.begin(), mObjects.end(), [&](const auto& object) {
        return object->fileName() == fileName;
    });
    return found == mObjects.end() ? nullptr : *found;
}

TPrintPhotoObjectPtr TPrintPhotoObjectList::findOrAdd(const QString& fileName)
{
    if (TPrintPhotoObjectPtr object = find(fileName))
        return object;
    mObjects.push_back(std::make_shared<TPrintPhotoObject>(fileName));
    return mObjects.back();
}

TPrintPhotoObjectRefs TPrintPhotoObjectList::objectsFor(const QStringList& fileNames)
{
    TPrintPhotoObjectRefs objects;
    objects.reserve(std::size_t(fileNames.size()));
    for (const QString& fileName : fileNames)
        objects.push_back(findOrAdd(fileName));
    return objects;
}
