// The photos a print run works on: one photo's print settings, shared by every run, and the
// main window's cache of them for the program's lifetime.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TPrintPhotoObject
{
public:
    explicit TPrintPhotoObject(QString fileName) : mFileName(std::move(fileName)) {}

    const QString& fileName() const { return mFileName; }

    // Where the visible part of a photo cut to fill its slot lies along the overflowing axis:
    // 0 the start (left or top), 1 the end. Kept within 0..1.
    double cropPosition() const { return mCropPosition; }
    void setCropPosition(double position);

private:
    QString mFileName;
    double mCropPosition = 0.5;
};

using TPrintPhotoObjectPtr = std::shared_ptr<TPrintPhotoObject>;
// The photos of one run in grid order; the objects belong to the cache.
using TPrintPhotoObjectRefs = std::vector<TPrintPhotoObjectPtr>;

// The main window's cache. Paths are compared exactly: on Linux "a.jpg" and "A.jpg" are two
// files, and one must not take the other's crop.
class TPrintPhotoObjectList
{
public:
    // The object for exactly this path, or null.
    TPrintPhotoObjectPtr find(const QString& fileName) const;
    // The object for this path, created on first use.
    TPrintPhotoObjectPtr findOrAdd(const QString& fileName);
    // The objects for the paths in the given order, created where missing.
    TPrintPhotoObjectRefs objectsFor(const QStringList& fileNames);

    int count() const { return int(mObjects.size()); }

private:
    std::vector<TPrintPhotoObjectPtr> mObjects;
};
