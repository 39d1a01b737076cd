// A whole shell namespace in a temporary folder: home, desktop, volumes and a mount table.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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
    // Points the namespace's environment at the temporary folder; once per program.
    bool setUp();
    // Wipes the folder, builds the standard layout and mount table, and resets the namespace.
    void rebuild();

    QByteArray path(const QByteArray& relative) const;
    void makeFolder(const QByteArray& relative) const;
    void removeFolder(const QByteArray& relative) const;
    void writeMountTable(const std::vector<TestMount>& mounts) const;
    static std::vector<TestMount> standardMounts();

private:
    QTemporaryDir mDir;
    QByteArray mRoot;
};
