// Stands for the system small-icon image list: one process-wide list of icons whose
// indices the namespace hands out.
#pragma once

#include <QIcon>

#include <vector>

class ShellIconList
{
public:
    enum Index : int
    {
        Folder,
        FolderOpen,
        Home,
        Computer,
        Drive,
        RemovableDrive,
        OpticalDrive,
        Network,
        Trash,
        Desktop,
        Count
    };

    // GUI thread only: icons need the application object.
    static const ShellIconList& instance();
    QIcon icon(int index) const;

private:
    ShellIconList();
    std::vector<QIcon> mIcons;
};
