// A file descriptor that closes itself, and whole reads and writes at a position that retry
// interrupted and partial transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace album {

class ContainerFile
{
public:
    ContainerFile() = default;
    // Throws ContainerError with the system's reason.
    ContainerFile(const std::string& fileName, int flags);
    ~ContainerFile();
    ContainerFile(ContainerFile&& other) noexcept;
    ContainerFile& operator=(ContainerFile&& other) noexcept;
    ContainerFile(const ContainerFile&) = delete;
    ContainerFile& operator=(const ContainerFile&) = delete;

    const std::string& fileName() const { return mFileName; }
    std::uint64_t size() const;
    void writeAt(std::uint64_t position, const void* data, std::size_t length);
    void readAt(std::uint64_t position, void* data, std::size_t length) const;
    void truncate(std::uint64_t length);
    // Another writer holding the file gets a clear error instead of interleaved blocks.
    void lockExclusive();

private:
    int mFd = -1;
    std::string mFileName;
};

} // namespace album
