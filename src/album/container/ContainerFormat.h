// The block container appended to the exported programs: sizes of its parts, little-endian
// integers independent of the host, and the error both the writer and the reader throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace album {

inline constexpr std::size_t kResourceNameSize = 24;
inline constexpr std::size_t kEntrySize = 32;
inline constexpr std::size_t kDirectoryHeaderSize = 8; // used count and a zero word
inline constexpr std::size_t kTrailerSize = 8;         // a zero word and the directory offset

// A file error carries errno (0 for a malformed container) and the system's text in what().
class ContainerError : public std::runtime_error
{
public:
    explicit ContainerError(const std::string& message, int errorNumber = 0);
    // "<what> <file>: <strerror(errorNumber)>"
    static ContainerError fromErrno(const std::string& what, const std::string& fileName,
                                    int errorNumber);
    // "The album data is damaged: <why>", keeping why as the reason.
    static ContainerError damaged(const std::string& why);

    int errorNumber() const { return mErrorNumber; }
    // Why a container is damaged, without the lead-in; the whole message for other errors.
    const std::string& reason() const { return mReason; }

private:
    int mErrorNumber;
    std::string mReason;
};

inline void putLittleEndian32(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
}

inline std::uint32_t getLittleEndian32(const std::uint8_t* in)
{
    return std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8 | std::uint32_t(in[2]) << 16 |
           std::uint32_t(in[3]) << 24;
}

// Zero bytes before the trailer after a block or directory ending at position: 5 to 12, so
// that the file length is a multiple of 8.
inline std::uint64_t paddingAfter(std::uint64_t position)
{
    return 12 - position % 8;
}

} // namespace album
