// Thumbnails shared with the other desktop programs through the freedesktop.org thumbnail
// cache (Thumbnail Managing Standard): the grids' loader with the cache in front of it.
#pragma once

#include "Bitmap.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The side of the cache's "normal" thumbnails, the only size this program reads and writes.
constexpr int kNormalThumbnailSize = 128;

// $XDG_CACHE_HOME/thumbnails, else ~/.cache/thumbnails; looked up on every call.
QString thumbnailCacheDir();

// The file's URI escaped byte by byte as the desktop's own libraries write it (only letters,
// digits and !$&'()*+,-./:=@_~ kept), so that every program hashes the same text to the
// same cache name.
QByteArray thumbnailUri(const QString& absolutePath);

// A thumbnail loader for the grids (same signature as LoadThumbnailStream), safe on several
// threads at once. For a box of at most 128 px, the first that applies:
// 1. a valid normal/ entry, whoever wrote it (Thumb::URI, Thumb::MTime and, when present,
//    Thumb::Size match the file): scaled into size × size;
// 2. a valid fail entry of this program's version: none, without decoding;
// 3. the camera's embedded preview when it fits (LoadEmbeddedPreview);
// 4. the picture decoded once to 128 px, written to normal/, then scaled to the box; a file
//    whose contents cannot be read gets a fail entry instead.
// Larger boxes, and files inside the cache folder itself, bypass the cache
// (LoadThumbnailStream). Honours the calling thread's registered cancel flag; a cancelled
// load writes nothing. Transparent cache pictures are laid on the background colour.
std::optional<QByteArray> LoadCachedThumbnail(const QString& path, int size,
                                              imaging::ColorRef background);
