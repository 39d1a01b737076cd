#include "TViewerFile.h"

#include "ContainerFile.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace album {

namespace {

constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();

// Zero padding up to a multiple of 8, then the directory offset.
void writeTrailer(ContainerFile& file, std::uint64_t end, std::uint32_t directoryOffset)
{
    std::uint8_t tail[16] = {};
    const std::uint64_t padding = paddingAfter(end);
    putLittleEndian32(tail + padding, directoryOffset);
    file.writeAt(end, tail, padding + 4);
}

ContainerFile openForWriting(const std::string& fileName)
{
    ContainerFile file(fileName, O_RDWR);
    file.lockExclusive();
    return file;
}

} // namespace

TViewerFile::TViewerFile(std::string fileName, std::uint32_t reservedCount)
    : mFileName(std::move(fileName)), mEntries(reservedCount)
{
    ContainerFile file = openForWriting(mFileName);
    const std::uint64_t programSize = file.size();
    const std::uint64_t directoryEnd =
        programSize + kDirectoryHeaderSize + std::uint64_t(kEntrySize) * reservedCount;
    if (directoryEnd + 16 > kLimit)
        throw ContainerError("The file " + mFileName + " is too large for album data", EFBIG);
    mDirectoryOffset = static_cast<std::uint32_t>(programSize);
    try {
        // The reserved entries go out as zeros with the count at 0, so a container that
        // never gets a block still reads as empty.
        std::vector<std::uint8_t> directory(directoryEnd - programSize, 0);
        file.writeAt(programSize, directory.data(), directory.size());
        writeTrailer(file, directoryEnd, mDirectoryOffset);
    } catch (...) {
        try {
            file.truncate(programSize); // give back the program as it was copied
        } catch (const ContainerError&) {
        }
        throw;
    }
}

void TViewerFile::writeDirectory(ContainerFile& file) const
{
    std::vector<std::uint8_t> directory(kDirectoryHeaderSize + kEntrySize * mUsedCount, 0);
    putLittleEndian32(directory.data(), mUsedCount);
    std::uint8_t* out = directory.data() + kDirectoryHeaderSize;
    for (std::uint32_t i = 0; i < mUsedCount; ++i, out += kEntrySize) {
        std::memcpy(out, mEntries[i].name.data(), kResourceNameSize);
        putLittleEndian32(out + kResourceNameSize, mEntries[i].size);
        putLittleEndian32(out + kResourceNameSize + 4, mEntries[i].offset);
    }
    file.writeAt(mDirectoryOffset, directory.data(), directory.size());
}

void TViewerFile::add(std::string_view name, const void* bytes, std::size_t length)
{
    if (name.empty() || name.size() > kResourceNameSize)
        throw ContainerError("The block name \"" + std::string(name) +
                             "\" must have 1 to 24 characters");
    if (mUsedCount >= mEntries.size())
        throw ContainerError("No room left in the directory of " + mFileName + " for \"" +
                             std::string(name) + '"');

    ContainerFile file = openForWriting(mFileName);
    const std::uint64_t end = file.size();
    if (end < mDirectoryOffset + kDirectoryHeaderSize + kTrailerSize || end % 8 != 0)
        throw ContainerError("The album data of " + mFileName + " was changed by someone else");
    // The block overwrites the last four padding bytes and the trailer.
    const std::uint64_t start = end - 8;
    if (start + length + 16 > kLimit)
        throw ContainerError("The file " + mFileName + " is too large for album data", EFBIG);

    bool counted = false;
    try {
        if (length > 0)
            file.writeAt(start, bytes, length);
        // A block shorter than the old trailer would leave its bytes behind the new padding.
        file.truncate(start + length);
        writeTrailer(file, start + length, mDirectoryOffset);
        TViewerResource& entry = mEntries[mUsedCount];
        std::copy(name.begin(), name.end(), entry.name.begin());
        entry.size = static_cast<std::uint32_t>(length);
        entry.offset = static_cast<std::uint32_t>(start);
        ++mUsedCount;
        counted = true;
        writeDirectory(file);
    } catch (...) {
        if (counted)
            mEntries[--mUsedCount] = TViewerResource{};
        // Back to the file as it was: these writes stay inside the old length, so they work
        // even on a full disk.
        try {
            std::uint8_t oldTail[8] = {};
            putLittleEndian32(oldTail + 4, mDirectoryOffset);
            file.truncate(end);
            file.writeAt(start, oldTail, sizeof oldTail);
            if (counted)
                writeDirectory(file);
        } catch (const ContainerError&) {
        }
        throw;
    }
}

namespace {

// The export writes photo blocks from its worker and settings from the GUI thread, one after
// the other; the mutex makes that hand-over safe whatever the caller's ordering.
std::mutex currentMutex;
std::unique_ptr<TViewerFile> current;

} // namespace

void BeginViewerFile(const std::string& fileName, std::uint32_t reservedCount)
{
    std::lock_guard lock(currentMutex);
    current.reset();
    current = std::make_unique<TViewerFile>(fileName, reservedCount);
}

bool AddViewerResource(const std::string& fileName, std::string_view name, const void* bytes,
                       std::size_t length)
{
    std::lock_guard lock(currentMutex);
    if (!current || current->fileName() != fileName)
        return false;
    current->add(name, bytes, length);
    return true;
}

void EndViewerFile()
{
    std::lock_guard lock(currentMutex);
    current.reset();
}

bool AddViewerText(const std::string& fileName, std::string_view name, std::string_view utf8)
{
    return AddViewerResource(fileName, name, utf8.data(), utf8.size());
}

bool AddViewerNumber16(const std::string& fileName, std::string_view name, std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value),
                                   static_cast<std::uint8_t>(value >> 8)};
    return AddViewerResource(fileName, name, bytes, sizeof bytes);
}

bool AddViewerNumber32(const std::string& fileName, std::string_view name, std::uint32_t value)
{
    std::uint8_t bytes[4];
    putLittleEndian32(bytes, value);
    return AddViewerResource(fileName, name, bytes, sizeof bytes);
}

} // namespace album
