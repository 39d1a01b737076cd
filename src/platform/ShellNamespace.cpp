#include "ShellNamespace.h"

#include "MountTable.h"
#include "ShellDirectory.h"
#include "ShellIconList.h"
#include "ShellNameOrder.h"
#include "ShellPaths.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

struct ShellNamespace::State
{
    ShellRoots roots;
    std::vector<ShellVolume> volumes;
};

namespace {

constexpr std::array<const char*, 4> kVirtualOrder = {
    ShellVirtualName::MyDocuments, ShellVirtualName::MyComputer, ShellVirtualName::Network,
    ShellVirtualName::Trash};

ShellItem virtualItem(const char* name)
{
    return ShellItem{ShellItemKind::VirtualFolder, QByteArray(name)};
}

ShellItem entryItem(const QByteArray& name)
{
    return ShellItem{ShellItemKind::Entry, name};
}

// ---- roots ----

QByteArray absolute(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/')) {
        return path;
    }
    return ShellPaths::join(QFile::encodeName(QDir::currentPath()), path);
}

QByteArray userName()
{
    if (const QByteArray user = qgetenv("USER"); !user.isEmpty()) {
        return user;
    }
    const passwd* pw = getpwuid(getuid());
    return pw ? QByteArray(pw->pw_name) : QByteArray();
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs file: a shell-quoted path, absolute or
// starting with $HOME.
QByteArray desktopFromUserDirs(const QByteArray& configDir, const QByteArray& home)
{
    QFile file(QFile::decodeName(ShellPaths::join(configDir, "user-dirs.dirs")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("XDG_DESKTOP_DIR=")) {
            continue;
        }
        QByteArray value = line.mid(int(sizeof "XDG_DESKTOP_DIR=") - 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
            value = value.mid(1, value.size() - 2);
        }
        QByteArray unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i) == '\\' && i + 1 < value.size()) {
                ++i;
            }
            unescaped += value.at(i);
        }
        if (unescaped.startsWith("$HOME")) {
            unescaped = home + unescaped.mid(5);
        }
        return unescaped.startsWith('/') ? unescaped : QByteArray();
    }
    return {};
}

// ---- resolving a list ----

enum class Node
{
    Invalid,
    Root,
    MyDocuments,
    MyComputer,
    Network,
    Trash,
    Volume,
    Path
};

struct Resolved
{
    Node node = Node::Invalid;
    QByteArray path;                     // for MyDocuments, Volume and Path
    const ShellVolume* volume = nullptr; // the mounted volume of a Volume node
};

bool isSafeEntryName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

// Appends the entry items from index on to base; false if one is not a safe entry.
bool appendEntries(const std::vector<ShellItem>& items, size_t from, QByteArray& path)
{
    for (size_t i = from; i < items.size(); ++i) {
        if (items[i].kind != ShellItemKind::Entry || !isSafeEntryName(items[i].name)) {
            return false;
        }
        path = ShellPaths::join(path, items[i].name);
    }
    return true;
}

Resolved resolveVirtual(const std::vector<ShellItem>& items, const ShellRoots& roots,
                        const std::vector<ShellVolume>& volumes)
{
    const QByteArray& name = items[0].name;
    Resolved r;
    if (name == ShellVirtualName::MyDocuments) {
        r.path = roots.home;
        r.node = items.size() == 1 ? Node::MyDocuments : Node::Path;
        if (!appendEntries(items, 1, r.path)) {
            return {};
        }
        return r;
    }
    if (name == ShellVirtualName::MyComputer) {
        if (items.size() == 1) {
            r.node = Node::MyComputer;
            return r;
        }
        const ShellItem& volume = items[1];
        if (volume.kind != ShellItemKind::Volume || ShellPaths::clean(volume.name) != volume.name) {
            return {};
        }
        r.path = volume.name;
        r.volume = MountTable::findVolume(volumes, volume.name);
        r.node = items.size() == 2 ? Node::Volume : Node::Path;
        if (!appendEntries(items, 2, r.path)) {
            return {};
        }
        return r;
    }
    if (items.size() == 1 && name == ShellVirtualName::Network) {
        r.node = Node::Network;
    } else if (items.size() == 1 && name == ShellVirtualName::Trash) {
        r.node = Node::Trash;
    }
    return r;
}

Resolved resolve(const ShellItemIdList& id, const ShellRoots& roots,
                 const std::vector<ShellVolume>& volumes)
{
    const std::vector<ShellItem> items = id.items();
    if (items.empty()) {
        return Resolved{Node::Root, {}, nullptr};
    }
    if (items[0].kind == ShellItemKind::VirtualFolder) {
        return resolveVirtual(items, roots, volumes);
    }
    Resolved r;
    if (items[0].kind == ShellItemKind::Entry && !roots.desktop.isEmpty()) {
        r.path = roots.desktop;
        if (appendEntries(items, 0, r.path)) {
            r.node = Node::Path;
            return r;
        }
    }
    return {};
}

// Newlines and other control characters would break a one-line label: show their symbols.
QString visibleName(QString name)
{
    for (QChar& c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            c = QChar(char16_t(0x2400 + u));
        } else if (u == 0x7F) {
            c = QChar(char16_t(0x2421));
        } else if (u >= 0x80 && u < 0xA0) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return name;
}

int kindRank(quint8 kind)
{
    switch (ShellItemKind(kind)) {
    case ShellItemKind::VirtualFolder:
        return 0;
    case ShellItemKind::Volume:
        return 1;
    case ShellItemKind::Entry:
        return 2;
    }
    return 3;
}

int virtualRank(QByteArrayView name)
{
    for (size_t i = 0; i < kVirtualOrder.size(); ++i) {
        if (name == QByteArrayView(kVirtualOrder[i])) {
            return int(i);
        }
    }
    return int(kVirtualOrder.size());
}

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Walks a well-formed list's bytes item by item, without copying: sorting a large folder
// compares a lot.
class ItemCursor
{
public:
    explicit ItemCursor(const QByteArray& bytes) : mBytes(bytes) {}

    bool atEnd() const { return count() == 0; }
    quint8 kind() const { return quint8(mBytes.at(mOffset + 2)); }
    QByteArrayView name() const
    {
        return QByteArrayView(mBytes.constData() + mOffset + 3, count() - 1);
    }
    void next() { mOffset += 2 + count(); }

private:
    int count() const { return qFromLittleEndian<quint16>(mBytes.constData() + mOffset); }

    const QByteArray& mBytes;
    qsizetype mOffset = 0;
};

int compareItems(const ItemCursor& a, const ItemCursor& b)
{
    if (const int c = kindRank(a.kind()) - kindRank(b.kind()); c != 0) {
        return sign(c);
    }
    if (ShellItemKind(a.kind()) == ShellItemKind::VirtualFolder) {
        if (const int c = virtualRank(a.name()) - virtualRank(b.name()); c != 0) {
            return sign(c);
        }
    }
    return ShellNameOrder::compareNames(a.name(), b.name());
}

// "/" is always a volume, even where the table lacks it (a chroot) or cannot be read.
void ensureRootVolume(std::vector<ShellVolume>& volumes)
{
    if (MountTable::findVolume(volumes, "/"))
        return;
    ShellVolume root;
    root.mountPoint = "/";
    root.label = MountTable::fallbackLabel("/");
    volumes.insert(volumes.begin(), std::move(root));
}

bool pathExists(const QByteArray& path)
{
    struct stat st = {};
    return lstat(path.constData(), &st) == 0;
}

// "a/b" below dir as a relative list of entries, when that entry exists.
std::optional<ShellItemIdList> parseChildPath(const QByteArray& dir, const QString& text)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    std::vector<ShellItem> items;
    QByteArray path = dir;
    for (const QByteArray& name : QFile::encodeName(text).split('/')) {
        if (name.isEmpty()) {
            continue; // "a//b" and a trailing slash
        }
        if (!isSafeEntryName(name)) {
            return std::nullopt;
        }
        items.push_back(entryItem(name));
        path = ShellPaths::join(path, name);
    }
    if (items.empty() || !pathExists(path)) {
        return std::nullopt;
    }
    return ShellItemIdList(items);
}

std::optional<ShellItemIdList> volumeListOf(const QByteArray& path,
                                            const std::vector<ShellVolume>& volumes)
{
    const QByteArray clean = ShellPaths::clean(path);
    if (clean.isEmpty()) {
        return std::nullopt;
    }
    const ShellVolume* best = nullptr;
    for (const ShellVolume& volume : volumes) {
        if (ShellPaths::isAtOrUnder(clean, volume.mountPoint) &&
            (!best || volume.mountPoint.size() > best->mountPoint.size())) {
            best = &volume;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return ShellItemIdList(
        std::vector<ShellItem>{virtualItem(ShellVirtualName::MyComputer),
                               ShellItem{ShellItemKind::Volume, best->mountPoint}});
}

ShellItemIdList entriesBelow(ShellItemIdList base, const QByteArray& path, const QByteArray& dir)
{
    std::vector<ShellItem> items;
    for (const QByteArray& name : ShellPaths::componentsBelow(path, dir)) {
        items.push_back(entryItem(name));
    }
    return items.empty() ? base : base + ShellItemIdList(items);
}

} // namespace

// ---- ShellRoots ----

ShellRoots ShellRoots::fromEnvironment()
{
    ShellRoots roots;
    const QByteArray velkoHome = absolute(qgetenv("VELKO_HOME"));
    roots.home = ShellPaths::canonical(
        velkoHome.isEmpty() ? absolute(QFile::encodeName(QDir::homePath())) : velkoHome);

    QByteArray desktop = absolute(qgetenv("VELKO_DESKTOP_DIR"));
    if (desktop.isEmpty()) {
        QByteArray configDir = absolute(qgetenv("XDG_CONFIG_HOME"));
        if (!velkoHome.isEmpty() || configDir.isEmpty()) {
            configDir = ShellPaths::join(roots.home, ".config");
        }
        desktop = desktopFromUserDirs(configDir, roots.home);
    }
    if (desktop.isEmpty()) {
        desktop = ShellPaths::join(roots.home, "Desktop");
    }
    roots.desktop = ShellPaths::canonical(desktop);
    if (roots.desktop == roots.home) {
        roots.desktop.clear(); // XDG's way of saying "no desktop folder"
    }

    const QByteArray mountInfo = qgetenv("VELKO_MOUNTINFO");
    roots.mountTable = mountInfo.isEmpty() ? QStringLiteral("/proc/self/mountinfo")
                                           : QFile::decodeName(absolute(mountInfo));
    roots.mediaDirs = {"/media", "/mnt"};
    if (const QByteArray user = userName(); !user.isEmpty() && !user.contains('/')) {
        roots.mediaDirs.push_back("/run/media/" + user);
    }
    if (const QByteArray media = absolute(qgetenv("VELKO_MEDIA_DIR")); !media.isEmpty()) {
        roots.mediaDirs.push_back(ShellPaths::canonical(media));
    }
    if (const QByteArray labels = absolute(qgetenv("VELKO_DISK_BY_LABEL")); !labels.isEmpty()) {
        roots.diskByLabel = labels;
    }
    return roots;
}

// ---- ShellFolder ----

ShellFolder::ShellFolder(ShellItemIdList absoluteId) : mId(std::move(absoluteId)) {}

std::vector<ShellItemIdList> ShellFolder::enumObjects(unsigned flags) const
{
    const auto state = ShellNamespace::instance().state();
    const Resolved self = resolve(mId, state->roots, state->volumes);
    std::vector<ShellItemIdList> children;
    const auto addEntry = [&](const QByteArray& name, bool) {
        children.emplace_back(entryItem(name));
    };
    switch (self.node) {
    case Node::Root:
        if (flags & EnumFolders) {
            for (const char* name : kVirtualOrder) {
                children.emplace_back(virtualItem(name));
            }
        }
        if (!state->roots.desktop.isEmpty()) {
            ShellDirectory::list(state->roots.desktop, flags, addEntry);
        }
        break;
    case Node::MyComputer:
        if (flags & EnumFolders) {
            for (const ShellVolume& volume : state->volumes) {
                children.emplace_back(ShellItem{ShellItemKind::Volume, volume.mountPoint});
            }
        }
        break;
    case Node::MyDocuments:
    case Node::Volume:
    case Node::Path:
        ShellDirectory::list(self.path, flags, addEntry);
        break;
    case Node::Network:
    case Node::Trash:
    case Node::Invalid:
        break;
    }
    return children;
}

std::optional<ShellFolder> ShellFolder::bindToObject(const ShellItemIdList& relative) const
{
    if (relative.isEmpty()) {
        return std::nullopt;
    }
    ShellItemIdList combined = mId + relative;
    const auto state = ShellNamespace::instance().state();
    if (resolve(combined, state->roots, state->volumes).node == Node::Invalid) {
        return std::nullopt;
    }
    return ShellFolder(std::move(combined));
}

bool ShellFolder::hasSubFolders(const ShellItemIdList& relative) const
{
    const auto state = ShellNamespace::instance().state();
    const Resolved child = resolve(mId + relative, state->roots, state->volumes);
    switch (child.node) {
    case Node::Root:
        return true;
    case Node::MyComputer:
        return !state->volumes.empty();
    case Node::MyDocuments:
    case Node::Volume:
    case Node::Path:
        return ShellDirectory::hasSubFolders(child.path);
    case Node::Network:
    case Node::Trash:
    case Node::Invalid:
        break;
    }
    return false;
}

std::optional<ShellItemIdList> ShellFolder::parseDisplayName(const QString& text) const
{
    const auto state = ShellNamespace::instance().state();
    const Resolved self = resolve(mId, state->roots, state->volumes);
    switch (self.node) {
    case Node::Root:
        if (text.compare(QLatin1String(kMyDocumentsParseName), Qt::CaseInsensitive) == 0) {
            return ShellItemIdList(virtualItem(ShellVirtualName::MyDocuments));
        }
        if (text.startsWith(QLatin1Char('/'))) {
            const QByteArray path = ShellPaths::clean(QFile::encodeName(text));
            const auto volume = volumeListOf(path, state->volumes);
            if (!volume || !pathExists(path)) {
                return std::nullopt;
            }
            return entriesBelow(*volume, path, volume->lastItem().name);
        }
        if (state->roots.desktop.isEmpty()) {
            return std::nullopt;
        }
        return parseChildPath(state->roots.desktop, text);
    case Node::MyComputer:
        if (!text.startsWith(QLatin1Char('/'))) {
            return std::nullopt;
        }
        if (const auto volume = volumeListOf(QFile::encodeName(text), state->volumes)) {
            return volume->last();
        }
        return std::nullopt;
    case Node::MyDocuments:
    case Node::Volume:
    case Node::Path:
        return parseChildPath(self.path, text);
    case Node::Network:
    case Node::Trash:
    case Node::Invalid:
        break;
    }
    return std::nullopt;
}

bool ShellFolder::listsFolder(const ShellItemIdList& relative) const
{
    if (relative.itemCount() != 1) {
        return false;
    }
    const ShellItem item = relative.lastItem();
    if (item.kind == ShellItemKind::Entry) {
        if (item.name.startsWith('.')) {
            return false; // hidden, so never listed
        }
        const auto path = ShellNamespace::instance().pathOf(mId + relative);
        return path && ShellDirectory::isFolder(*path);
    }
    // Virtual children and volumes are few and held in memory.
    const std::vector<ShellItemIdList> children = enumObjects(EnumFolders);
    return std::any_of(children.begin(), children.end(), [&](const ShellItemIdList& child) {
        return compareIds(child, relative) == 0;
    });
}

int ShellFolder::compareIds(const ShellItemIdList& a, const ShellItemIdList& b) const
{
    ItemCursor left(a.bytes());
    ItemCursor right(b.bytes());
    for (; !left.atEnd() && !right.atEnd(); left.next(), right.next()) {
        if (const int c = compareItems(left, right); c != 0) {
            return c;
        }
    }
    return left.atEnd() ? (right.atEnd() ? 0 : -1) : 1;
}

// ---- ShellNamespace ----

ShellNamespace& ShellNamespace::instance()
{
    static ShellNamespace ns;
    return ns;
}

ShellNamespace::ShellNamespace()
{
    reset();
}

void ShellNamespace::reset()
{
    const std::lock_guard lock(mReloadMutex);
    auto state = std::make_shared<State>();
    state->roots = ShellRoots::fromEnvironment();
    if (auto volumes = MountTable::load(state->roots)) {
        state->volumes = std::move(*volumes);
    }
    ensureRootVolume(state->volumes);
    setState(std::move(state));
}

std::shared_ptr<const ShellNamespace::State> ShellNamespace::state() const
{
    const std::lock_guard lock(mStateMutex);
    return mState;
}

void ShellNamespace::setState(std::shared_ptr<const State> state)
{
    const std::lock_guard lock(mStateMutex);
    mState = std::move(state);
}

const ShellFolder& ShellNamespace::desktopFolder() const
{
    return mDesktop;
}

std::optional<ShellItemIdList> ShellNamespace::specialFolderLocation(int specialFolder) const
{
    switch (specialFolder) {
    case SpecialDesktop:
        return ShellItemIdList();
    case SpecialMyComputer:
        return myComputer();
    case SpecialRecycleBin:
        return ShellItemIdList(virtualItem(ShellVirtualName::Trash));
    case SpecialNetwork:
    case SpecialNetworkNeighborhood:
        return ShellItemIdList(virtualItem(ShellVirtualName::Network));
    default:
        return std::nullopt;
    }
}

ShellItemIdList ShellNamespace::myDocuments() const
{
    return ShellItemIdList(virtualItem(ShellVirtualName::MyDocuments));
}

ShellItemIdList ShellNamespace::myComputer() const
{
    return ShellItemIdList(virtualItem(ShellVirtualName::MyComputer));
}

namespace {

QString nameOf(const Resolved& r, const ShellItemIdList& absolute)
{
    switch (r.node) {
    case Node::Root:
        return QStringLiteral("Desktop");
    case Node::MyDocuments:
        return QStringLiteral("My Documents");
    case Node::MyComputer:
        return QStringLiteral("My Computer");
    case Node::Network:
        return QStringLiteral("Network");
    case Node::Trash:
        return QStringLiteral("Trash");
    case Node::Volume:
        return r.volume ? r.volume->label : MountTable::fallbackLabel(r.path);
    case Node::Path:
        return visibleName(QFile::decodeName(absolute.lastItem().name));
    case Node::Invalid:
        break;
    }
    return {};
}

int iconOf(const Resolved& r, bool open)
{
    switch (r.node) {
    case Node::Root:
        return ShellIconList::Desktop;
    case Node::MyDocuments:
        return ShellIconList::Home;
    case Node::MyComputer:
        return ShellIconList::Computer;
    case Node::Network:
        return ShellIconList::Network;
    case Node::Trash:
        return ShellIconList::Trash;
    case Node::Volume:
        if (r.volume && r.volume->device.startsWith("/dev/sr")) {
            return ShellIconList::OpticalDrive;
        }
        return r.volume && r.volume->removable ? ShellIconList::RemovableDrive
                                               : ShellIconList::Drive;
    case Node::Path:
    case Node::Invalid:
        break;
    }
    return open ? ShellIconList::FolderOpen : ShellIconList::Folder;
}

} // namespace

ShellDisplay ShellNamespace::display(const ShellItemIdList& absolute) const
{
    const auto s = state();
    const Resolved r = resolve(absolute, s->roots, s->volumes);
    return ShellDisplay{nameOf(r, absolute), iconOf(r, false), iconOf(r, true)};
}

QString ShellNamespace::displayName(const ShellItemIdList& absolute) const
{
    return display(absolute).name;
}

int ShellNamespace::iconIndex(const ShellItemIdList& absolute, bool open) const
{
    const ShellDisplay shown = display(absolute);
    return open ? shown.openIcon : shown.icon;
}

std::optional<QByteArray> ShellNamespace::pathOf(const ShellItemIdList& absolute) const
{
    const auto s = state();
    const Resolved r = resolve(absolute, s->roots, s->volumes);
    switch (r.node) {
    case Node::MyDocuments:
    case Node::Volume:
    case Node::Path:
        return r.path;
    default:
        return std::nullopt;
    }
}

std::vector<ShellItemIdList> ShellNamespace::idsOfPath(const QByteArray& path) const
{
    const QByteArray clean = ShellPaths::clean(path);
    if (clean.isEmpty()) {
        return {};
    }
    const auto s = state();
    std::vector<ShellItemIdList> ids;
    if (ShellPaths::isAtOrUnder(clean, s->roots.home)) {
        ids.push_back(entriesBelow(myDocuments(), clean, s->roots.home));
    }
    if (!s->roots.desktop.isEmpty() && clean != s->roots.desktop &&
        ShellPaths::isAtOrUnder(clean, s->roots.desktop)) {
        ids.push_back(entriesBelow(ShellItemIdList(), clean, s->roots.desktop));
    }
    if (const auto volume = volumeListOf(clean, s->volumes)) {
        ids.push_back(entriesBelow(*volume, clean, volume->lastItem().name));
    }
    return ids;
}

std::optional<ShellItemIdList> ShellNamespace::volumeOfPath(const QByteArray& path) const
{
    return volumeListOf(path, state()->volumes);
}

std::vector<ShellVolume> ShellNamespace::volumes() const
{
    return state()->volumes;
}

ShellRoots ShellNamespace::roots() const
{
    return state()->roots;
}

std::pair<std::vector<ShellVolume>, std::vector<ShellVolume>> ShellNamespace::reloadVolumes()
{
    const std::lock_guard lock(mReloadMutex);
    const auto before = state();
    auto volumes = MountTable::load(before->roots);
    if (!volumes) {
        return {before->volumes, before->volumes};
    }
    ensureRootVolume(*volumes);
    auto after = std::make_shared<State>();
    after->roots = before->roots;
    after->volumes = std::move(*volumes);
    setState(after);
    return {before->volumes, after->volumes};
}

bool sameFolderId(const ShellItemIdList& a, const ShellItemIdList& b)
{
    return ShellNamespace::instance().desktopFolder().compareIds(a, b) == 0;
}
