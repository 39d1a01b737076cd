// Stands for the Windows shell namespace: the desktop folder, special folders,
// binding, enumeration, attributes, display names, parsing and CompareIDs.
#pragma once

#include "ShellItemIdList.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// The special-folder numbers the design uses.
enum ShellSpecialFolder : int {
    SpecialDesktop = 0,
    SpecialInternet = 1,
    SpecialControlPanel = 3,
    SpecialPrinters = 4,
    SpecialRecycleBin = 10,
    SpecialMyComputer = 17,
    SpecialNetwork = 18,
    SpecialNetworkNeighborhood = 19,
};

enum ShellEnumFlag : unsigned {
    EnumFolders = 32,
    EnumNonFolders = 64,
    EnumIncludeHidden = 128,
};

// The text that names My Documents when parsed in the desktop folder.
inline constexpr char kMyDocumentsParseName[] = "::{450d8fba-ad25-11d0-98a8-0800361b1103}";

// Where the namespace lives. Tests redirect it through the environment:
// VELKO_HOME (home folder), VELKO_DESKTOP_DIR (desktop folder),
// VELKO_MOUNTINFO (a mount table file read instead of /proc/self/mountinfo),
// VELKO_MEDIA_DIR (an extra folder under which removable volumes are mounted).
struct ShellRoots
{
    QByteArray home;
    QByteArray desktop; // may name a folder that does not exist
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
    bool removable = false;
    int mountId = 0;
};

// Stands for IShellFolder. A value naming one folder of the namespace by its absolute
// list. Safe to use from any thread.
class ShellFolder
{
public:
    explicit ShellFolder(ShellItemIdList absoluteId);

    const ShellItemIdList& id() const { return mId; }
    bool isDesktop() const { return mId.isEmpty(); }

    // The children, each as a one-item list relative to this folder, unordered.
    // A folder that cannot be listed has none.
    std::vector<ShellItemIdList> enumObjects(unsigned flags) const;
    std::optional<ShellFolder> bindToObject(const ShellItemIdList& relative) const;
    // The has-sub-folders attribute of a child; stops at the first sub-folder found.
    bool hasSubFolders(const ShellItemIdList& relative) const;
    // My Documents' name in the desktop folder; a path in My Computer (names its volume);
    // a child's name elsewhere.
    std::optional<ShellItemIdList> parseDisplayName(const QString& text) const;
    // Column 0 of CompareIDs for two lists relative to this folder: <0, 0 or >0.
    int compareIds(const ShellItemIdList& a, const ShellItemIdList& b) const;

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

    QString displayName(const ShellItemIdList& absolute) const;
    // Indices into ShellIconList.
    int iconIndex(const ShellItemIdList& absolute, bool open) const;
    // Stands for SHGetPathFromIDList: nullopt for virtual folders (My Documents has the home path).
    std::optional<QByteArray> pathOf(const ShellItemIdList& absolute) const;
    // Every absolute list that names the path: through My Documents, the desktop and its volume.
    std::vector<ShellItemIdList> idsOfPath(const QByteArray& path) const;
    // The volume that holds the path (longest matching mount point), as My Computer's child.
    std::optional<ShellItemIdList> volumeOfPath(const QByteArray& path) const;

    std::vector<ShellVolume> volumes() const;
    ShellRoots roots() const;
    // Re-reads the mount table; returns the volumes before and after (for the notifier).
    std::pair<std::vector<ShellVolume>, std::vector<ShellVolume>> reloadVolumes();

private:
    ShellNamespace();
    struct State;
    std::shared_ptr<const State> state() const;
    void setState(std::shared_ptr<const State> state);

    mutable std::shared_ptr<const State> mState;
    std::unique_ptr<ShellFolder> mDesktop;
};
