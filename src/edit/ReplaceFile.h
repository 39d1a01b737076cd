// Writes a file so that a failure or a power cut leaves either the old file or the whole new
// one: a temporary file beside it, flushed, renamed over the old one, and the folder flushed.
#pragma once

#include <QByteArray>
#include <QString>

// Returns 0 or the errno of the step that failed (nothing is left behind then). existed
// tells whether a file was replaced. A replaced file keeps its permissions (and its owner,
// where the system allows); a symbolic link is followed, so the file it names is replaced.
int replaceFileContents(const QString& path, const QByteArray& bytes, bool* existed = nullptr);
