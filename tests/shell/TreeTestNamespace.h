// The folder tree's standard namespace: a home with pictures, a desktop folder, a disk,
// a card and a mount table, built anew for every test.
#pragma once

#include "ShellTestNamespace.h"

#include <QByteArray>

#include <memory>
#include <vector>

struct TestMount
{
    int mountId;
    QByteArray relativeMountPoint; // below the namespace's folder
    QByteArray fsType;
    QByteArray device;
};

class TreeTestNamespace
{
public:
    // A new temporary folder with the standard layout and mount table; the namespace is reset.
    void rebuild();

    QByteArray path(const QByteArray& relative) const { return mFolder->path(relative); }
    void makeFolder(const QByteArray& relative) const { mFolder->makeFolder(relative); }
    void removeFolder(const QByteArray& relative) const { mFolder->removeFolder(relative); }
    void writeMountTable(const std::vector<TestMount>& mounts) const;
    static std::vector<TestMount> standardMounts();

private:
    std::unique_ptr<ShellTestNamespace> mFolder;
};
