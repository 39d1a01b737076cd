#include "ShellPaths.h"

#include <QList>

#include <climits>
#include <cstdlib>
#include <memory>

namespace ShellPaths {

QByteArray clean(const QByteArray& path)
{
    if (!path.startsWith('/')) {
        return {};
    }
    std::vector<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    QByteArray result;
    for (const QByteArray& part : parts) {
        result += '/' + part;
    }
    return result.isEmpty() ? QByteArray("/") : result;
}

QByteArray canonical(const QByteArray& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.constData(), nullptr),
                                                               &std::free);
    return resolved ? QByteArray(resolved.get()) : clean(path);
}

bool isAtOrUnder(const QByteArray& path, const QByteArray& prefix)
{
    if (prefix.isEmpty() || !path.startsWith(prefix)) {
        return false;
    }
    return prefix == "/" || path.size() == prefix.size() || path.at(prefix.size()) == '/';
}

std::vector<QByteArray> componentsBelow(const QByteArray& path, const QByteArray& prefix)
{
    std::vector<QByteArray> result;
    const QByteArray rest = path.mid(prefix.size());
    for (const QByteArray& part : rest.split('/')) {
        if (!part.isEmpty()) {
            result.push_back(part);
        }
    }
    return result;
}

QByteArray join(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QByteArray lastName(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

} // namespace ShellPaths
