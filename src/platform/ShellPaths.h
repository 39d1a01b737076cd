// Lexical helpers for raw (byte) paths used by the shell namespace.
#pragma once

#include <QByteArray>

#include <vector>

namespace ShellPaths {

// Collapses "//", "." and ".." without touching the disk; empty for a relative path.
QByteArray clean(const QByteArray& path);
// realpath() when the path exists, else the clean path.
QByteArray canonical(const QByteArray& path);
// True when path is prefix or lies below it, on a component boundary (/mnt/a is not under /mnt/ab).
bool isAtOrUnder(const QByteArray& path, const QByteArray& prefix);
// The names that lead from prefix down to path; both clean, path at or under prefix.
std::vector<QByteArray> componentsBelow(const QByteArray& path, const QByteArray& prefix);
QByteArray join(const QByteArray& dir, const QByteArray& name);
QByteArray lastName(const QByteArray& path);
QByteArray parentOf(const QByteArray& path);

} // namespace ShellPaths
