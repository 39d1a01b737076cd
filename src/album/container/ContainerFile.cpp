#include "ContainerFile.h"

#include "ContainerFormat.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace album {

ContainerError::ContainerError(const std::string& message, int errorNumber)
    : std::runtime_error(message), mErrorNumber(errorNumber), mReason(message)
{}

ContainerError ContainerError::damaged(const std::string& why)
{
    ContainerError error("The album data is damaged: " + why);
    error.mReason = why;
    return error;
}

ContainerError ContainerError::fromErrno(const std::string& what, const std::string& fileName,
                                         int errorNumber)
{
    return ContainerError(what + ' ' + fileName + ": " + std::strerror(errorNumber), errorNumber);
}

ContainerFile::ContainerFile(const std::string& fileName, int flags) : mFileName(fileName)
{
    mFd = ::open(fileName.c_str(), flags | O_CLOEXEC);
    if (mFd < 0)
        throw ContainerError::fromErrno("Cannot open", fileName, errno);
}

ContainerFile::~ContainerFile()
{
    if (mFd >= 0)
        ::close(mFd);
}

ContainerFile::ContainerFile(ContainerFile&& other) noexcept
    : mFd(std::exchange(other.mFd, -1)), mFileName(std::move(other.mFileName))
{}

ContainerFile& ContainerFile::operator=(ContainerFile&& other) noexcept
{
    if (this != &other) {
        if (mFd >= 0)
            ::close(mFd);
        mFd = std::exchange(other.mFd, -1);
        mFileName = std::move(other.mFileName);
    }
    return *this;
}

std::uint64_t ContainerFile::size() const
{
    struct stat info
    {};
    if (::fstat(mFd, &info) != 0)
        throw ContainerError::fromErrno("Cannot read the size of", mFileName, errno);
    return static_cast<std::uint64_t>(info.st_size);
}

void ContainerFile::writeAt(std::uint64_t position, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = ::pwrite(mFd, bytes, length, static_cast<off_t>(position));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw ContainerError::fromErrno("Cannot write to", mFileName,
                                            written < 0 ? errno : ENOSPC);
        bytes += written;
        length -= static_cast<std::size_t>(written);
        position += static_cast<std::uint64_t>(written);
    }
}

void ContainerFile::readAt(std::uint64_t position, void* data, std::size_t length) const
{
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        const ssize_t got = ::pread(mFd, bytes, length, static_cast<off_t>(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw ContainerError::fromErrno("Cannot read", mFileName, errno);
        if (got == 0)
            throw ContainerError("The file " + mFileName + " ended before its album data");
        bytes += got;
        length -= static_cast<std::size_t>(got);
        position += static_cast<std::uint64_t>(got);
    }
}

void ContainerFile::truncate(std::uint64_t length)
{
    int result;
    do
        result = ::ftruncate(mFd, static_cast<off_t>(length));
    while (result != 0 && errno == EINTR);
    if (result != 0)
        throw ContainerError::fromErrno("Cannot change the size of", mFileName, errno);
}

void ContainerFile::lockExclusive()
{
    if (::flock(mFd, LOCK_EX | LOCK_NB) != 0)
        throw ContainerError::fromErrno("Cannot lock", mFileName, errno);
}

} // namespace album
