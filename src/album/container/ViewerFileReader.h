// Reads the block container from the end of a file, a byte range of a file or bytes in memory.
// Every offset and size is checked against the data before use, so a truncated or hostile
// container gives a ContainerError, never an over-read.
#pragma once

#include "ContainerFile.h"
#include "ContainerFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace album {

class ViewerFileReader
{
public:
    struct Entry
    {
        std::string name;
        std::uint32_t size = 0;
        std::uint32_t offset = 0; // from the start of the container's file
    };

    // The whole file (an exported program reads /proc/self/exe).
    static ViewerFileReader openFile(const std::string& fileName);
    // length bytes from offset of the file, as if they were a file of their own.
    static ViewerFileReader openFile(const std::string& fileName, std::uint64_t offset,
                                     std::uint64_t length);
    // The bytes must outlive the reader.
    static ViewerFileReader fromBytes(std::span<const std::uint8_t> bytes);

    std::uint32_t directoryOffset() const { return mDirectoryOffset; }
    const std::vector<Entry>& entries() const { return mEntries; }
    const Entry* find(std::string_view name) const;

    // nullopt when no block has the name; a ContainerError when the file cannot be read.
    std::optional<std::vector<std::uint8_t>> block(std::string_view name) const;
    std::optional<std::string> text(std::string_view name) const;
    // A block of 1, 2 or 4 bytes, little-endian; nullopt for a missing block or another size.
    std::optional<std::uint32_t> number(std::string_view name) const;

private:
    ViewerFileReader() = default;
    static ViewerFileReader fromFile(ContainerFile file, std::uint64_t base, std::uint64_t length);
    void read(std::uint64_t position, void* out, std::size_t length) const;
    void parse();

    std::shared_ptr<const ContainerFile> mFile;
    std::uint64_t mBase = 0;
    std::span<const std::uint8_t> mBytes;
    std::uint64_t mLength = 0;
    std::uint32_t mDirectoryOffset = 0;
    std::vector<Entry> mEntries;
};

} // namespace album
