// Writes the named blocks (photos, settings) that an exported program reads from the end of
// its own file: a directory reserved at the old end of the copied program, the blocks, and a
// trailer that points back to the directory.
#pragma once

#include "ContainerFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace album {

// One directory entry; a new one is all zero.
struct TViewerResource
{
    std::array<char, kResourceNameSize> name{}; // no terminator when all 24 bytes are used
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

class TViewerFile
{
public:
    // Reserves reservedCount entries at the end of fileName; throws ContainerError.
    TViewerFile(std::string fileName, std::uint32_t reservedCount);

    // Appends one block; throws ContainerError when the file fails, every reserved entry is
    // used, or the name is empty or longer than 24 bytes. The file is left as it was then.
    void add(std::string_view name, const void* bytes, std::size_t length);

    const std::string& fileName() const { return mFileName; }
    std::uint32_t directoryOffset() const { return mDirectoryOffset; }
    std::uint32_t usedCount() const { return mUsedCount; }
    const std::vector<TViewerResource>& entries() const { return mEntries; }

private:
    void writeDirectory(class ContainerFile& file) const;

    std::string mFileName;
    std::uint32_t mDirectoryOffset = 0;
    std::uint32_t mUsedCount = 0;
    std::vector<TViewerResource> mEntries;
};

// The process's current container. Begin frees any previous one; on failure no container is
// current and the error is passed on.
void BeginViewerFile(const std::string& fileName, std::uint32_t reservedCount);
// Returns false without writing unless fileName is exactly the current container's file.
bool AddViewerResource(const std::string& fileName, std::string_view name, const void* bytes,
                       std::size_t length);
void EndViewerFile();

// Block helpers for the settings: texts as UTF-8 without terminator, numbers little-endian.
bool AddViewerText(const std::string& fileName, std::string_view name, std::string_view utf8);
bool AddViewerNumber16(const std::string& fileName, std::string_view name, std::uint16_t value);
bool AddViewerNumber32(const std::string& fileName, std::string_view name, std::uint32_t value);

} // namespace album
