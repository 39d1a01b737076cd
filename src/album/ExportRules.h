// The export wizard's arithmetic and naming rules, kept apart from its widgets.
#pragma once

#include <QString>

#include <cstdint>

namespace album {

// The installer carries the screensaver in blocks of this size, the last one the remainder.
inline constexpr qint64 kInstallerPieceSize = 1048576;

// Pieces of a screensaver of fileSize bytes (rounded up).
int installerPieceCount(qint64 fileSize);

// Directory entries an export reserves: a picture per photo, a thumbnail too for the photo
// viewer, and room for the settings blocks.
std::uint32_t reservedBlockCount(int photoCount, bool slideshow);

// The options to make an exported file the active screensaver or build its installer apply
// only to a slideshow saved under the screensaver's extension.
bool offersScreensaverOptions(bool slideshow, const QString& target);

// The installer's title: the user's, else the screensaver's file name without its extension.
QString installerTitle(const QString& trimmedTitle, const QString& target);
// The installer's creator: the user's, else "-".
QString installerCreator(const QString& trimmedCompany);

// The share of photos done, cut to a whole percent.
int progressPercent(int index, int count);

} // namespace album
