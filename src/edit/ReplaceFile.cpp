#include "ReplaceFile.h"

#include "WriteAll.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

struct Temporary
{
    QByteArray path;
    int fd = -1;
    ~Temporary()
    {
        if (fd >= 0)
            ::close(fd);
        if (!path.isEmpty())
            ::unlink(path.constData());
    }
};

QByteArray resolvedTarget(const QString& path)
{
    QByteArray target = QFile::encodeName(path);
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = resolved;
    }
    return target;
}

} // namespace

int replaceFileContents(const QString& path, const QByteArray& bytes, bool* existed)
{
    const QByteArray target = resolvedTarget(path);
    struct stat old;
    const bool hadFile = ::stat(target.constData(), &old) == 0;
    if (existed)
        *existed = hadFile;
    if (hadFile && S_ISDIR(old.st_mode))
        return EISDIR;
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : target.left(std::max<qsizetype>(slash, 1));
    const QByteArray name = target.mid(slash + 1).left(100);

    Temporary temporary;
    for (int attempt = 0; attempt < 100 && temporary.fd < 0; ++attempt) {
        const QByteArray candidate =
            folder + '/' + '.' + name + '.' +
            QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".part";
        temporary.fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              hadFile ? 0600 : 0666);
        if (temporary.fd >= 0)
            temporary.path = candidate;
        else if (errno != EEXIST)
            return errno;
    }
    if (temporary.fd < 0)
        return EEXIST;
    if (hadFile) {
        (void)::fchown(temporary.fd, old.st_uid, old.st_gid);
        (void)::fchmod(temporary.fd, old.st_mode & 07777);
    }
    if (const int error = writeAll(temporary.fd, bytes))
        return error;
    if (::fsync(temporary.fd) != 0)
        return errno;
    const int fd = temporary.fd;
    temporary.fd = -1;
    if (::close(fd) != 0)
        return errno;
    if (::rename(temporary.path.constData(), target.constData()) != 0)
        return errno;
    temporary.path.clear();
    // The new file is whole under its name either way; this makes the rename itself durable.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return 0;
}
