#include "CopyFileReadOnlySafe.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kBlockSize = 1 << 20;
constexpr qint64 kReadAhead = 4 * kBlockSize;

struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct HashState
{
    XXH3_state_t* state = XXH3_createState();
    HashState() { XXH3_64bits_reset(state); }
    ~HashState() { XXH3_freeState(state); }
};

CopyFileFailure failureOf(CopyFileError code, int error, const QString& text = {})
{
    return {code, error,
            text.isEmpty() && error ? QString::fromLocal8Bit(std::strerror(error)) : text};
}

const QString& cancelledText()
{
    static const QString text = QStringLiteral("The copy was cancelled.");
    return text;
}

bool cancelled(const std::atomic<int>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed) != 0;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : path.left(slash + 1);
}

bool flushFolderPath(const QByteArray& folder, CopyFileFailure* failure)
{
    Fd dir{::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    // The files are whole under their names either way; only the names' durability is at stake.
    if (dir.fd >= 0 && ::fsync(dir.fd) != 0 && errno != EINVAL) {
        if (failure)
            *failure = failureOf(CopyFileError::Other, errno);
        return false;
    }
    return true;
}

bool isHidden(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return path.size() > slash + 1 && path.at(slash + 1) == '.';
}

} // namespace

struct StagedCopy::Private
{
    ~Private() { discardTemporary(); }

    bool fail(CopyFileError code, int error, const QString& text = {})
    {
        failure = failureOf(code, error, text);
        discardTemporary();
        return false;
    }
    bool failWrite(int error)
    {
        const bool full = error == ENOSPC || error == EFBIG || error == EDQUOT;
        return fail(full ? CopyFileError::DiskFull : CopyFileError::Other, error);
    }
    bool checkDestination();
    bool createTemporary();
    // copied is 0 at the end of the source.
    bool copyBlock(int in, qint64 offset, std::vector<char>& buffer, bool* kernelCopy,
                   XXH3_state_t* state, ssize_t* copied);
    bool copyData(int in, qint64 total, const CopyFileProgress& progress,
                  const std::atomic<int>* cancel);
    bool flush();
    bool verify(const std::atomic<int>* cancel);
    bool moveIntoPlace();
    void discardTemporary()
    {
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        temporary.clear();
        if (out.fd >= 0)
            ::close(out.fd);
        out.fd = -1;
    }

    QByteArray destination;
    bool failIfExists = true;
    bool verifying = true;
    bool kernelCopies = true;
    bool flushed = false;
    QByteArray temporary; // empty unless a staged copy waits for its commit
    Fd out;
    qint64 size = 0;
    XXH64_hash_t hash = 0;
    CopyFileFailure failure;
};

// The system does not stop root from replacing a file without write permission, so the
// owner-write bit is checked here, before any data are copied and again before the rename.
bool StagedCopy::Private::checkDestination()
{
    struct stat st;
    if (::lstat(destination.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? true : fail(CopyFileError::Other, errno);
    if (failIfExists)
        return fail(CopyFileError::Exists, EEXIST);
    if (S_ISDIR(st.st_mode))
        return fail(CopyFileError::Other, EISDIR);
    // A read-only destination is replaced only when not hidden. The old file is touched by
    // nothing but the final rename, so a failed copy leaves it read-only as it was.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR) && isHidden(destination))
        return fail(CopyFileError::AccessDenied, EACCES);
    return true;
}

bool StagedCopy::Private::createTemporary()
{
    const qsizetype slash = destination.lastIndexOf('/');
    const QByteArray folder = destination.left(slash + 1);
    const QByteArray name = destination.mid(slash + 1).left(100);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = folder + '.' + name + '.' +
                               QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                               ".part";
        // O_NOATIME: reading the copy back must not touch its times; allowed as its owner.
        out.fd =
            ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOATIME, 0600);
        if (out.fd < 0 && errno == EPERM)
            out.fd = ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out.fd >= 0) {
            temporary = candidate;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    return fail(error == EACCES || error == EPERM || error == EROFS ? CopyFileError::AccessDenied
                                                                    : CopyFileError::Other,
                error);
}

// Within one file system the kernel copies the blocks itself, which spares their way through
// this process; the checksum is then taken from the source's pages it has just read.
// Elsewhere (a card, another disk) the blocks are read and written here.
bool StagedCopy::Private::copyBlock(int in, qint64 offset, std::vector<char>& buffer,
                                    bool* kernelCopy, XXH3_state_t* state, ssize_t* copied)
{
    for (;;) {
        if (*kernelCopy) {
            const ssize_t got = ::copy_file_range(in, nullptr, out.fd, nullptr, buffer.size(), 0);
            if (got < 0 && errno == EINTR)
                continue;
            // Some file systems copy nothing and say so with 0 at once.
            if ((got == 0 || (got < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                          errno == EOPNOTSUPP))) &&
                offset == 0) {
                *kernelCopy = false;
                continue;
            }
            if (got < 0)
                return failWrite(errno);
            if (got > 0 && verifying) {
                const ssize_t again = ::pread(in, buffer.data(), size_t(got), offset);
                if (again != got)
                    return fail(CopyFileError::SourceUnreadable, again < 0 ? errno : EIO);
                XXH3_64bits_update(state, buffer.data(), size_t(got));
            }
            *copied = got;
            return true;
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(CopyFileError::SourceUnreadable, errno);
        if (verifying)
            XXH3_64bits_update(state, buffer.data(), size_t(got));
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, buffer.data() + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return failWrite(errno);
            done += put;
        }
        *copied = got;
        return true;
    }
}

bool StagedCopy::Private::copyData(int in, qint64 total, const CopyFileProgress& progress,
                                   const std::atomic<int>* cancel)
{
    std::vector<char> buffer(kBlockSize);
    HashState state;
    bool kernelCopy = kernelCopies;
    qint64 copied = 0;
    if (progress)
        progress(0, total);
    for (;;) {
        if (cancelled(cancel))
            return fail(CopyFileError::Cancelled, 0, cancelledText());
        ssize_t got = 0;
        if (!copyBlock(in, copied, buffer, &kernelCopy, state.state, &got))
            return false;
        if (got == 0)
            break;
        // Keep the next blocks on their way from the disk while this one is written.
        ::posix_fadvise(in, copied + got, kReadAhead, POSIX_FADV_WILLNEED);
        // Start the block's writeback now, so the flush at the end finds little left to do.
        ::sync_file_range(out.fd, copied, got, SYNC_FILE_RANGE_WRITE);
        copied += got;
        if (copied > total)
            break;
        if (progress)
            progress(copied, total);
    }
    if (copied != total)
        return fail(CopyFileError::SourceUnreadable, 0,
                    QStringLiteral("The source file changed while it was copied."));
    hash = XXH3_64bits_digest(state.state);
    return true;
}

bool StagedCopy::Private::flush()
{
    if (flushed)
        return true;
    if (::fsync(out.fd) != 0)
        return failWrite(errno);
    flushed = true;
    if (verifying) {
        // Clean pages only are dropped, so this comes after the flush: the read-back is the
        // disk's. Its first blocks are asked for at once, beside those of other copies.
        ::posix_fadvise(out.fd, 0, 0, POSIX_FADV_DONTNEED);
        ::posix_fadvise(out.fd, 0, kReadAhead, POSIX_FADV_WILLNEED);
    }
    return true;
}

bool StagedCopy::Private::verify(const std::atomic<int>* cancel)
{
    std::vector<char> buffer(kBlockSize);
    HashState state;
    qint64 offset = 0;
    for (;;) {
        if (cancelled(cancel))
            return fail(CopyFileError::Cancelled, 0, cancelledText());
        const ssize_t got = ::pread(out.fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(CopyFileError::Other, errno);
        if (got == 0)
            break;
        ::posix_fadvise(out.fd, offset + got, kReadAhead, POSIX_FADV_WILLNEED);
        XXH3_64bits_update(state.state, buffer.data(), size_t(got));
        offset += got;
    }
    if (offset != size || XXH3_64bits_digest(state.state) != hash)
        return fail(CopyFileError::VerifyMismatch, 0,
                    QStringLiteral("The copy does not match the original."));
    return true;
}

bool StagedCopy::Private::moveIntoPlace()
{
    if (!checkDestination())
        return false;
    const char* from = temporary.constData();
    const char* to = destination.constData();
    if (!failIfExists) {
        if (::rename(from, to) != 0)
            return fail(errno == EACCES || errno == EPERM ? CopyFileError::AccessDenied
                                                          : CopyFileError::Other,
                        errno);
    } else if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST)
            return fail(CopyFileError::Exists, EEXIST);
        if (errno != EINVAL && errno != ENOSYS)
            return fail(CopyFileError::Other, errno);
        // File systems without RENAME_NOREPLACE: a hard link also refuses an existing name.
        if (::link(from, to) != 0)
            return fail(errno == EEXIST ? CopyFileError::Exists : CopyFileError::Other, errno);
        ::unlink(from);
    }
    temporary.clear();
    return true;
}

StagedCopy::StagedCopy() : d(std::make_unique<Private>()) {}
StagedCopy::~StagedCopy() = default;
StagedCopy::StagedCopy(StagedCopy&& other) noexcept = default;
StagedCopy& StagedCopy::operator=(StagedCopy&& other) noexcept = default;

bool StagedCopy::stage(const QString& source, const QString& destination, bool failIfExists,
                       const CopyFileProgress& progress, const std::atomic<int>* cancel,
                       const CopyFileOptions& options)
{
    if (!d)
        d = std::make_unique<Private>();
    d->discardTemporary();
    d->failure = {};
    d->flushed = false;
    d->destination = QFile::encodeName(destination);
    d->failIfExists = failIfExists;
    d->verifying = options.verify;
    d->kernelCopies = options.kernelCopy;
    const QByteArray sourcePath = QFile::encodeName(source);
    if (sourcePath.isEmpty() || d->destination.isEmpty() || d->destination.endsWith('/'))
        return d->fail(CopyFileError::Other, EINVAL);

    Fd in{::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return d->fail(errno == ENOENT || errno == ENOTDIR ? CopyFileError::SourceMissing
                                                           : CopyFileError::SourceUnreadable,
                       errno);
    struct stat st;
    if (::fstat(in.fd, &st) != 0)
        return d->fail(CopyFileError::SourceUnreadable, errno);
    if (!S_ISREG(st.st_mode))
        return d->fail(CopyFileError::SourceUnreadable, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    if (!d->checkDestination() || !d->createTemporary())
        return false;
    d->size = st.st_size;
    if (!d->copyData(in.fd, st.st_size, progress, cancel))
        return false;
    if (options.beforeFlush)
        options.beforeFlush(d->out.fd);

    // The user's copy must stay editable and deletable: owner write on top of the source's mode.
    if (::fchmod(d->out.fd, (st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) | S_IWUSR) != 0 &&
        errno != EPERM && errno != EOPNOTSUPP)
        return d->fail(CopyFileError::Other, errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(d->out.fd, times) != 0)
        return d->fail(CopyFileError::Other, errno);
    return true;
}

bool StagedCopy::flush()
{
    if (!d || d->temporary.isEmpty()) {
        if (d && d->failure.code == CopyFileError::None)
            d->failure = failureOf(CopyFileError::Other, EINVAL);
        return false;
    }
    return d->flush();
}

bool StagedCopy::commit(const std::atomic<int>* cancel)
{
    if (!flush())
        return false;
    if (d->verifying && !d->verify(cancel))
        return false;
    if (cancelled(cancel))
        return d->fail(CopyFileError::Cancelled, 0, cancelledText());
    if (!d->moveIntoPlace())
        return false;
    d->discardTemporary();
    return true;
}

void StagedCopy::discard()
{
    if (d)
        d->discardTemporary();
}

const CopyFileFailure& StagedCopy::failure() const
{
    static const CopyFileFailure none;
    return d ? d->failure : none;
}

bool flushFolder(const QString& folder, CopyFileFailure* failure)
{
    return flushFolderPath(QFile::encodeName(folder), failure);
}

bool CopyFileReadOnlySafe(const QString& source, const QString& destination, bool failIfExists,
                          const CopyFileProgress& progress, const std::atomic<int>* cancel,
                          CopyFileFailure* failure)
{
    return CopyFileReadOnlySafe(source, destination, failIfExists, progress, cancel,
                                CopyFileOptions{}, failure);
}

bool CopyFileReadOnlySafe(const QString& source, const QString& destination, bool failIfExists,
                          const CopyFileProgress& progress, const std::atomic<int>* cancel,
                          const CopyFileOptions& options, CopyFileFailure* failure)
{
    StagedCopy copy;
    CopyFileFailure result;
    if (!copy.stage(source, destination, failIfExists, progress, cancel, options) ||
        !copy.commit(cancel))
        result = copy.failure();
    else
        flushFolderPath(folderOf(QFile::encodeName(destination)), &result);
    if (failure)
        *failure = result;
    return result.code == CopyFileError::None;
}
