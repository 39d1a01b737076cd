#include "ShellIconList.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QStyle>

namespace {

struct IconSource
{
    const char* themeName;
    QAbstractFileIconProvider::IconType providerType;
    QStyle::StandardPixmap standardPixmap;
};

// In ShellIconList::Index order: a theme icon, else the platform's file icon, else the
// widget style's own.
constexpr IconSource kSources[ShellIconList::Count] = {
    {"folder", QAbstractFileIconProvider::Folder, QStyle::SP_DirClosedIcon},
    {"folder-open", QAbstractFileIconProvider::Folder, QStyle::SP_DirOpenIcon},
    {"user-home", QAbstractFileIconProvider::Folder, QStyle::SP_DirHomeIcon},
    {"computer", QAbstractFileIconProvider::Computer, QStyle::SP_ComputerIcon},
    {"drive-harddisk", QAbstractFileIconProvider::Drive, QStyle::SP_DriveHDIcon},
    {"drive-removable-media", QAbstractFileIconProvider::Drive, QStyle::SP_DriveFDIcon},
    {"drive-optical", QAbstractFileIconProvider::Drive, QStyle::SP_DriveCDIcon},
    {"network-workgroup", QAbstractFileIconProvider::Network, QStyle::SP_DriveNetIcon},
    {"user-trash", QAbstractFileIconProvider::Trashcan, QStyle::SP_TrashIcon},
    {"user-desktop", QAbstractFileIconProvider::Desktop, QStyle::SP_DesktopIcon},
};

QIcon loadIcon(const IconSource& source)
{
    QIcon icon = QIcon::fromTheme(QLatin1String(source.themeName));
    if (!icon.isNull()) {
        return icon;
    }
    // The widget style and QFileIconProvider need a QApplication; a QGuiApplication (the
    // tests) gets what the generic provider has.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        icon = QFileIconProvider().icon(source.providerType);
        if (icon.isNull()) {
            icon = QApplication::style()->standardIcon(source.standardPixmap);
        }
    } else if (QCoreApplication::instance()) {
        icon = QAbstractFileIconProvider().icon(source.providerType);
    }
    return icon;
}

} // namespace

const ShellIconList& ShellIconList::instance()
{
    static const ShellIconList list;
    return list;
}

ShellIconList::ShellIconList()
{
    mIcons.reserve(Count);
    for (const IconSource& source : kSources) {
        mIcons.push_back(loadIcon(source));
    }
}

QIcon ShellIconList::icon(int index) const
{
    return index >= 0 && index < int(mIcons.size()) ? mIcons[size_t(index)] : QIcon();
}
