// Stands for the Windows shell namespace: the desktop folder, special folders,
// binding, enumeration, attributes, display names, parsing and CompareIDs.
#pragma once

#include "ShellItemIdList.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The special-folder numbers the design uses.
enum ShellSpecialFolder : int
{
    SpecialDesktop = 0,
    SpecialInternet = 1,
    SpecialControlPanel = 3,
    SpecialPrinters = 4,
    SpecialRecycleBin = 10,
    SpecialMyComputer = 17,
    SpecialNetwork = 18,
    SpecialNetworkNeighborhood = 19,
};

enum ShellEnumFlag : unsigned
{
    EnumFolders = 32,
    EnumNonFolders = 64,
    EnumIncludeHidden = 128,
};

// The text that names My Documents when parsed in the desktop folder.
inline constexpr char kMyDocumentsParseName[] = "::{450d8fba-ad25-11d0-98a8-0800361b1103}";

// Where the namespace lives. Tests redirect it through the environment:
// VELKO_HOME (home folder), VELKO_DESKTOP_DIR (desktop folder),
// VELKO_MOUNTINFO (a mount table file read instead of /proc/self/mountinfo),
// VELKO_MEDIA_DIR (an extra folder under which removable volumes are mounted),
// VELKO_DISK_BY_LABEL (a folder of label symlinks read instead of /dev/disk/by-label).
// Without VELKO_DESKTOP_DIR the desktop is XDG_DESKTOP_DIR of user-dirs.dirs (in
// $XDG_CONFIG_HOME, or in VELKO_HOME/.config when VELKO_HOME is set), else ~/Desktop.
struct ShellRoots
{
    QByteArray home;    // canonical
    QByteArray desktop; // canonical when it exists; may name a folder that does not exist;
                        // empty when the desktop is the home folder itself (no desktop)
    QString mountTable;
    std::vector<QByteArray> mediaDirs;
    QByteArray diskByLabel = "/dev/disk/by-label";

    static ShellRoots fromEnvironment();
};

struct ShellVolume
{
    QByteArray mountPoint;
    QByteArray device;
    QString label;
    bool removable = false; // under a media folder, or an optical drive
    int mountId = 0;
};

// How a list is shown: its display name and its closed and open icons.
struct ShellDisplay
{
    QString name;
    int icon = 0;
    int openIcon = 0;
};

// Stands for IShellFolder. A value naming one folder of the namespace by its absolute
// list. Safe to use from any thread.
class ShellFolder
{
public:
    explicit ShellFolder(ShellItemIdList absoluteId);

    const ShellItemIdList& id() const { return mId; }
    bool isDesktop() const { return mId.isEmpty(); }

    // The children, each as a one-item list relative to this folder, unordered (the root
    // gives its virtual items first). A folder that cannot be listed has none.
    std::vector<ShellItemIdList> enumObjects(unsigned flags) const;
    // Checks only that the list names a folder of the namespace; the disk is read later.
    std::optional<ShellFolder> bindToObject(const ShellItemIdList& relative) const;
    // The has-sub-folders attribute of a child; stops at the first sub-folder found.
    bool hasSubFolders(const ShellItemIdList& relative) const;
    // My Documents' name (or an absolute path, or a child's name) in the desktop folder;
    // a path in My Computer (names its volume); an existing child's name elsewhere
    // ("a/b" names a grandchild). Results are relative to this folder.
    std::optional<ShellItemIdList> parseDisplayName(const QString& text) const;
    // Column 0 of CompareIDs for two lists relative to this folder: -1, 0 or 1. Virtual items
    // first in the root's order, then volumes, then entries; names in ShellNameOrder's order
    // with ties broken by the raw bytes, so 0 means the same item; a prefix sorts first.
    int compareIds(const ShellItemIdList& a, const ShellItemIdList& b) const;
    // Whether enumObjects(EnumFolders) lists the one-item child, found without listing:
    // a folder's changes are checked against it one by one.
    bool listsFolder(const ShellItemIdList& relative) const;

private:
    ShellItemIdList mId;
};

// The process-wide namespace. Safe to use from any thread.
class ShellNamespace
{
public:
    static ShellNamespace& instance();

    // Re-reads the roots from the environment and the mount table (tests).
    void reset();

    const ShellFolder& desktopFolder() const;
    std::optional<ShellItemIdList> specialFolderLocation(int specialFolder) const;
    ShellItemIdList myDocuments() const;
    ShellItemIdList myComputer() const;

    // Empty for a list that names nothing; control characters in file names are shown as
    // visible symbols.
    // The name and both icons (indices into ShellIconList) in one look-up.
    ShellDisplay display(const ShellItemIdList& absolute) const;
    QString displayName(const ShellItemIdList& absolute) const;
    // Indices into ShellIconList.
    int iconIndex(const ShellItemIdList& absolute, bool open) const;
    // Stands for SHGetPathFromIDList: nullopt for virtual folders (My Documents has the home path).
    std::optional<QByteArray> pathOf(const ShellItemIdList& absolute) const;
    // Every absolute list that names the path: through My Documents, the desktop and its volume.
    // Purely lexical (the path need not exist); pathOf gives the path back for each.
    std::vector<ShellItemIdList> idsOfPath(const QByteArray& path) const;
    // The volume that holds the path (longest matching mount point), as the absolute list
    // My Computer + volume; nullopt for a relative path.
    std::optional<ShellItemIdList> volumeOfPath(const QByteArray& path) const;

    std::vector<ShellVolume> volumes() const;
    ShellRoots roots() const;
    // Re-reads the mount table; returns the volumes before and after (for the notifier).
    // A table that cannot be read leaves the volumes as they were.
    std::pair<std::vector<ShellVolume>, std::vector<ShellVolume>> reloadVolumes();

private:
    friend class ShellFolder;
    ShellNamespace();
    struct State;
    std::shared_ptr<const State> state() const;
    void setState(std::shared_ptr<const State> state);

    mutable std::mutex mStateMutex; // guards the pointer only; a State never changes
    std::mutex mReloadMutex;        // one mount-table reload at a time
    mutable std::shared_ptr<const State> mState;
    const ShellFolder mDesktop{ShellItemIdList()};
};

// True when two absolute lists name the same item, by the desktop folder's comparison.
bool sameFolderId(const ShellItemIdList& a, const ShellItemIdList& b);
