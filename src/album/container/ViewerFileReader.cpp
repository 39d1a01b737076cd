#include "ViewerFileReader.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

namespace album {

namespace {

[[noreturn]] void malformed(const std::string& why)
{
    throw ContainerError::damaged(why);
}

} // namespace

ViewerFileReader ViewerFileReader::openFile(const std::string& fileName)
{
    ContainerFile file(fileName, O_RDONLY);
    const std::uint64_t length = file.size();
    return fromFile(std::move(file), 0, length);
}

ViewerFileReader ViewerFileReader::openFile(const std::string& fileName, std::uint64_t offset,
                                            std::uint64_t length)
{
    ContainerFile file(fileName, O_RDONLY);
    const std::uint64_t fileSize = file.size();
    if (offset > fileSize || length > fileSize - offset)
        throw ContainerError("The range asked for lies beyond the end of " + fileName);
    return fromFile(std::move(file), offset, length);
}

ViewerFileReader ViewerFileReader::fromFile(ContainerFile file, std::uint64_t base,
                                            std::uint64_t length)
{
    ViewerFileReader reader;
    reader.mFile = std::make_shared<const ContainerFile>(std::move(file));
    reader.mBase = base;
    reader.mLength = length;
    reader.parse();
    return reader;
}

ViewerFileReader ViewerFileReader::fromBytes(std::span<const std::uint8_t> bytes)
{
    ViewerFileReader reader;
    reader.mBytes = bytes;
    reader.mLength = bytes.size();
    reader.parse();
    return reader;
}

void ViewerFileReader::read(std::uint64_t position, void* out, std::size_t length) const
{
    // Callers have checked the range already; this guard keeps a slip from over-reading.
    if (position > mLength || length > mLength - position)
        malformed("a block lies beyond the end of the data");
    if (length == 0)
        return;
    if (mFile)
        mFile->readAt(mBase + position, out, length);
    else
        std::memcpy(out, mBytes.data() + position, length);
}

void ViewerFileReader::parse()
{
    if (mLength < kDirectoryHeaderSize + kTrailerSize)
        malformed("the file is too short");
    if (mLength % 8 != 0)
        malformed("the file length is not a multiple of 8");

    std::uint8_t trailer[kTrailerSize];
    read(mLength - kTrailerSize, trailer, sizeof trailer);
    if (getLittleEndian32(trailer) != 0)
        malformed("the trailer is not preceded by zeros");
    mDirectoryOffset = getLittleEndian32(trailer + 4);
    const std::uint64_t dataEnd = mLength - kTrailerSize;
    if (std::uint64_t(mDirectoryOffset) + kDirectoryHeaderSize > dataEnd)
        malformed("the directory lies beyond the end of the file");

    std::uint8_t header[kDirectoryHeaderSize];
    read(mDirectoryOffset, header, sizeof header);
    const std::uint32_t count = getLittleEndian32(header);
    if (getLittleEndian32(header + 4) != 0)
        malformed("the directory header is not followed by zeros");
    const std::uint64_t entriesStart = std::uint64_t(mDirectoryOffset) + kDirectoryHeaderSize;
    if (count > (dataEnd - entriesStart) / kEntrySize)
        malformed("the directory claims more entries than the file holds");
    const std::uint64_t blocksStart = entriesStart + std::uint64_t(kEntrySize) * count;

    std::vector<std::uint8_t> directory(std::size_t(kEntrySize) * count);
    read(entriesStart, directory.data(), directory.size());
    mEntries.clear();
    mEntries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* raw = directory.data() + std::size_t(i) * kEntrySize;
        const std::uint32_t size = getLittleEndian32(raw + kResourceNameSize);
        const std::uint32_t offset = getLittleEndian32(raw + kResourceNameSize + 4);
        const auto* nameStart = reinterpret_cast<const char*>(raw);
        const std::string name(nameStart, std::find(nameStart, nameStart + kResourceNameSize, 0));
        if (name.empty()) {
            // A reserved entry that was never filled.
            if (size == 0 && offset == 0 &&
                std::all_of(raw, raw + kResourceNameSize, [](std::uint8_t c) { return c == 0; }))
                continue;
            malformed("entry " + std::to_string(i) + " has no name");
        }
        if (offset % 8 != 0 || offset < blocksStart || std::uint64_t(offset) + size > dataEnd)
            malformed("the block \"" + name + "\" lies outside the data");
        mEntries.push_back({name, size, offset});
    }
}

const ViewerFileReader::Entry* ViewerFileReader::find(std::string_view name) const
{
    for (const Entry& entry : mEntries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

std::optional<std::vector<std::uint8_t>> ViewerFileReader::block(std::string_view name) const
{
    const Entry* entry = find(name);
    if (!entry)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(entry->size);
    read(entry->offset, bytes.data(), bytes.size());
    return bytes;
}

std::optional<std::string> ViewerFileReader::text(std::string_view name) const
{
    const Entry* entry = find(name);
    if (!entry)
        return std::nullopt;
    std::string result(entry->size, '\0');
    read(entry->offset, result.data(), result.size());
    return result;
}

std::optional<std::uint32_t> ViewerFileReader::number(std::string_view name) const
{
    const Entry* entry = find(name);
    if (!entry || (entry->size != 1 && entry->size != 2 && entry->size != 4))
        return std::nullopt;
    std::uint8_t bytes[4] = {};
    read(entry->offset, bytes, entry->size);
    return getLittleEndian32(bytes);
}

} // namespace album
