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

class Copy
{
public:
    Copy(const CopyFileProgress& progress, const std::atomic<int>* cancel,
         const CopyFileOptions& options)
        : mProgress(progress), mCancel(cancel), mOptions(options)
    {}
    ~Copy() { discardTemporary(); }

    bool run(const QString& source, const QString& destination, bool failIfExists);
    CopyFileFailure failure;

private:
    bool fail(CopyFileError code, int error, const QString& text = {})
    {
        failure.code = code;
        failure.systemError = error;
        failure.text =
            text.isEmpty() && error ? QString::fromLocal8Bit(std::strerror(error)) : text;
        return false;
    }
    bool failWrite(int error)
    {
        const bool full = error == ENOSPC || error == EFBIG || error == EDQUOT;
        return fail(full ? CopyFileError::DiskFull : CopyFileError::Other, error);
    }
    bool cancelled() const { return mCancel && mCancel->load(std::memory_order_relaxed) != 0; }
    bool checkDestination(const QByteArray& destination, bool failIfExists);
    bool createTemporary(const QByteArray& destination);
    bool copyData(int in, qint64 total, XXH64_hash_t* hash);
    bool verify(qint64 total, XXH64_hash_t expected);
    bool moveIntoPlace(const QByteArray& destination, bool failIfExists);
    void discardTemporary()
    {
        if (!mTemporary.isEmpty())
            ::unlink(mTemporary.constData());
        mTemporary.clear();
    }

    const CopyFileProgress& mProgress;
    const std::atomic<int>* mCancel;
    const CopyFileOptions& mOptions;
    std::vector<char> mBuffer = std::vector<char>(kBlockSize);
    QByteArray mTemporary;
    Fd mOut;
};

bool isHidden(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return path.size() > slash + 1 && path.at(slash + 1) == '.';
}

// The system does not stop root from replacing a file without write permission, so the
// owner-write bit is checked here, before any data are copied and again before the rename.
bool Copy::checkDestination(const QByteArray& destination, bool failIfExists)
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

bool Copy::createTemporary(const QByteArray& destination)
{
    const qsizetype slash = destination.lastIndexOf('/');
    const QByteArray folder = destination.left(slash + 1);
    const QByteArray name = destination.mid(slash + 1).left(100);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = folder + '.' + name + '.' +
                               QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                               ".part";
        // O_NOATIME: reading the copy back must not touch its times; allowed as its owner.
        mOut.fd =
            ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOATIME, 0600);
        if (mOut.fd < 0 && errno == EPERM)
            mOut.fd = ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (mOut.fd >= 0) {
            mTemporary = candidate;
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

bool Copy::copyData(int in, qint64 total, XXH64_hash_t* hash)
{
    HashState state;
    qint64 copied = 0;
    if (mProgress)
        mProgress(0, total);
    for (;;) {
        if (cancelled())
            return fail(CopyFileError::Cancelled, 0, QStringLiteral("The copy was cancelled."));
        ssize_t got;
        do
            got = ::read(in, mBuffer.data(), mBuffer.size());
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return fail(CopyFileError::SourceUnreadable, errno);
        if (got == 0)
            break;
        // Keep the next blocks on their way from the disk while this one is written.
        ::posix_fadvise(in, copied + got, kReadAhead, POSIX_FADV_WILLNEED);
        if (copied + got > total)
            break;
        if (mOptions.verify)
            XXH3_64bits_update(state.state, mBuffer.data(), size_t(got));
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(mOut.fd, mBuffer.data() + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return failWrite(errno);
            done += put;
        }
        // Start the block's writeback now, so the flush at the end finds little left to do.
        ::sync_file_range(mOut.fd, copied, got, SYNC_FILE_RANGE_WRITE);
        copied += got;
        if (mProgress)
            mProgress(copied, total);
    }
    if (copied != total)
        return fail(CopyFileError::SourceUnreadable, 0,
                    QStringLiteral("The source file changed while it was copied."));
    *hash = XXH3_64bits_digest(state.state);
    return true;
}

bool Copy::verify(qint64 total, XXH64_hash_t expected)
{
    // Clean pages only are dropped, so this comes after the flush: the read-back is the disk's.
    ::posix_fadvise(mOut.fd, 0, 0, POSIX_FADV_DONTNEED);
    HashState state;
    qint64 offset = 0;
    for (;;) {
        if (cancelled())
            return fail(CopyFileError::Cancelled, 0, QStringLiteral("The copy was cancelled."));
        const ssize_t got = ::pread(mOut.fd, mBuffer.data(), mBuffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(CopyFileError::Other, errno);
        if (got == 0)
            break;
        XXH3_64bits_update(state.state, mBuffer.data(), size_t(got));
        offset += got;
    }
    if (offset != total || XXH3_64bits_digest(state.state) != expected)
        return fail(CopyFileError::VerifyMismatch, 0,
                    QStringLiteral("The copy does not match the original."));
    return true;
}

bool Copy::moveIntoPlace(const QByteArray& destination, bool failIfExists)
{
    if (!checkDestination(destination, failIfExists))
        return false;
    const char* from = mTemporary.constData();
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
    mTemporary.clear();
    const qsizetype slash = destination.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : destination.left(slash + 1);
    Fd dir{::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    // The file is whole under its name either way; only the rename's durability is at stake.
    if (dir.fd >= 0 && ::fsync(dir.fd) != 0 && errno != EINVAL)
        return fail(CopyFileError::Other, errno);
    return true;
}

bool Copy::run(const QString& source, const QString& destination, bool failIfExists)
{
    const QByteArray sourcePath = QFile::encodeName(source);
    const QByteArray destinationPath = QFile::encodeName(destination);
    if (sourcePath.isEmpty() || destinationPath.isEmpty() || destinationPath.endsWith('/'))
        return fail(CopyFileError::Other, EINVAL);

    Fd in{::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return fail(errno == ENOENT || errno == ENOTDIR ? CopyFileError::SourceMissing
                                                        : CopyFileError::SourceUnreadable,
                    errno);
    struct stat st;
    if (::fstat(in.fd, &st) != 0)
        return fail(CopyFileError::SourceUnreadable, errno);
    if (!S_ISREG(st.st_mode))
        return fail(CopyFileError::SourceUnreadable, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    if (!checkDestination(destinationPath, failIfExists) || !createTemporary(destinationPath))
        return false;
    XXH64_hash_t hash = 0;
    if (!copyData(in.fd, st.st_size, &hash))
        return false;
    if (mOptions.beforeFlush)
        mOptions.beforeFlush(mOut.fd);

    // The user's copy must stay editable and deletable: owner write on top of the source's mode.
    if (::fchmod(mOut.fd, (st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) | S_IWUSR) != 0 &&
        errno != EPERM && errno != EOPNOTSUPP)
        return fail(CopyFileError::Other, errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(mOut.fd, times) != 0)
        return fail(CopyFileError::Other, errno);
    if (::fsync(mOut.fd) != 0)
        return failWrite(errno);
    if (mOptions.verify && !verify(st.st_size, hash))
        return false;
    if (cancelled())
        return fail(CopyFileError::Cancelled, 0, QStringLiteral("The copy was cancelled."));
    return moveIntoPlace(destinationPath, failIfExists);
}

} // namespace

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
    Copy copy(progress, cancel, options);
    const bool ok = copy.run(source, destination, failIfExists);
    if (failure)
        *failure = ok ? CopyFileFailure{} : copy.failure;
    return ok;
}
