#include "VersionInfo.h"

#include "ContainerFile.h"
#include "ContainerFormat.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace album {

namespace {

// The marker and the size field: a stray copy of the marker text alone does not match.
constexpr std::size_t kSignatureSize = 20;

// Cuts text to at most length bytes without splitting a UTF-8 sequence.
std::string_view cutUtf8(std::string_view text, std::size_t length)
{
    if (text.size() <= length)
        return text;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length);
}

// Where the area starts in the file; nullopt unless there is exactly one.
std::optional<std::uint64_t> findArea(const ContainerFile& file)
{
    const auto empty = emptyVersionArea();
    const auto signature = std::span(empty).first(kSignatureSize);
    const std::uint64_t size = file.size();
    constexpr std::size_t kChunk = 1 << 20;
    std::vector<std::uint8_t> buffer(kChunk + kSignatureSize);
    std::optional<std::uint64_t> found;
    std::size_t carried = 0; // the end of the previous chunk, for a signature across chunks
    for (std::uint64_t position = 0; position < size;) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - position));
        file.readAt(position, buffer.data() + carried, length);
        const auto begin = buffer.begin();
        const auto end = begin + carried + length;
        for (auto hit = std::search(begin, end, signature.begin(), signature.end()); hit != end;
             hit = std::search(hit + 1, end, signature.begin(), signature.end())) {
            if (found)
                return std::nullopt;
            found = position - carried + static_cast<std::uint64_t>(hit - begin);
        }
        position += length;
        carried = std::min<std::size_t>(kSignatureSize - 1, carried + length);
        std::copy(end - carried, end, begin);
    }
    return found;
}

} // namespace

VersionFields versionFields(std::string_view title, std::string_view comments,
                            std::string_view company)
{
    const std::string version = "1.0.0.0";
    return {{"CompanyName", std::string(company)},
            {"FileDescription", std::string(title)},
            {"FileVersion", version},
            {"InternalName", {}},
            {"LegalCopyright", {}},
            {"LegalTrademarks", {}},
            {"OriginalFilename", {}},
            {"ProductName", {}},
            {"ProductVersion", version},
            {"Comments", std::string(comments)}};
}

std::array<std::uint8_t, kVersionAreaSize> encodeVersionArea(const VersionFields& fields)
{
    auto area = emptyVersionArea();
    std::size_t out = kVersionAreaHeaderSize;
    for (const auto& [key, value] : fields) {
        const std::size_t room = kVersionAreaSize - out;
        if (key.size() + 2 > room)
            break;
        const std::string_view kept = cutUtf8(value, room - key.size() - 2);
        std::memcpy(area.data() + out, key.data(), key.size());
        out += key.size() + 1;
        std::memcpy(area.data() + out, kept.data(), kept.size());
        out += kept.size() + 1;
    }
    putLittleEndian32(area.data() + 20, static_cast<std::uint32_t>(out - kVersionAreaHeaderSize));
    return area;
}

bool WriteVersionInfo(const std::string& fileName, std::string_view title,
                      std::string_view comments, std::string_view company)
{
    ContainerFile file(fileName, O_RDWR);
    file.lockExclusive();
    const std::optional<std::uint64_t> position = findArea(file);
    if (!position)
        return false;
    const auto area = encodeVersionArea(versionFields(title, comments, company));
    file.writeAt(*position, area.data(), area.size());
    return true;
}

} // namespace album
