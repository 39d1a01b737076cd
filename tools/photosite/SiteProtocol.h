// The photo site's side of the program's protocol: reading the framed request bodies and
// writing the plain-text answers. No network or storage here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace photosite {

// Reads a body: a first line with the decimal length of everything after it, then text lines,
// then (for an upload) image bytes. Only the start of a large body needs to be in memory.
class FramedBody
{
public:
    // head: the first bytes of the body (all of it for a small one); totalSize: the whole body.
    FramedBody(std::string head, std::uint64_t totalSize);

    // False, with error() set, when the length line is missing or does not match the body.
    bool checkLength();
    // The next text line; nullopt when the head ends before it.
    std::optional<std::string> nextLine();
    // Bytes of the body after the lines read so far.
    std::uint64_t offset() const { return mPos; }
    std::uint64_t remaining() const { return mTotal > mPos ? mTotal - mPos : 0; }
    const std::string& error() const { return mError; }

private:
    std::string mHead;
    std::uint64_t mTotal;
    std::uint64_t mPos = 0;
    bool mEnded = false;
    std::string mError;
};

// A decimal 32-bit integer, nothing else around it.
std::optional<std::int32_t> parseInt32(const std::string& text);

struct LoginRequest
{
    std::string email;
    std::string password;
    int language = 0;
};

struct CreateAlbumRequest
{
    std::string email;
    std::string password;
    std::string albumName;
    int language = 0;
};

struct FreeSpaceRequest
{
    std::string email;
    std::string password;
    int language = 0;
};

struct UploadRequest
{
    std::string email;
    std::string password;
    std::int32_t albumId = 0;
    std::string albumKey;
    std::string fileName;
    int language = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t mainSize = 0;
    std::int32_t displaySize = 0;
    std::int32_t thumbSize = 0;
    // Where the main image starts in the body; the display copy and thumbnail follow it.
    std::uint64_t imageOffset = 0;
};

// Each reader fills its request from a body, or returns the text to answer with.
// maxImageBytes bounds every image of an upload.
std::optional<std::string> readLoginRequest(FramedBody& body, LoginRequest& out);
std::optional<std::string> readCreateAlbumRequest(FramedBody& body, CreateAlbumRequest& out);
std::optional<std::string> readFreeSpaceRequest(FramedBody& body, FreeSpaceRequest& out);
std::optional<std::string> readUploadRequest(FramedBody& body, std::int64_t maxImageBytes,
                                             UploadRequest& out);

struct AlbumEntry
{
    std::int64_t id = 0;
    std::string name;
    std::string key;
    std::string path;
};

// The limits and choices a login hands to the program, in answer order.
struct LoginLimits
{
    int mayChooseSize = 1;
    int displayCopyMode = 2;
    int unused = 0;
    int standardWidth = 800;
    int standardHeight = 600;
    int thumbnailBox = 160;
    int displayCopySeconds = 10;
    int displayCopyPercent = 50;
    std::int32_t maxImageBytes = 8 * 1024 * 1024;
    std::int32_t preparationCap = 0;
};

// The answers: "OK" and the value lines, joined by CRLF with none after the last.
std::string loginAnswer(int kind, const std::string& message, const std::string& userPath,
                        std::int64_t userNumber, const std::vector<AlbumEntry>& albums,
                        const LoginLimits& limits);
std::string albumAnswer(const AlbumEntry& album);
std::string spaceAnswer(std::int64_t freeBytes, const std::string& uploadHost);
// A refusal the program shows as it is: its first line is never "OK".
std::string failureAnswer(const std::string& message);

// Free bytes as the protocol's 32-bit field can carry them.
std::int32_t clampToField(std::int64_t bytes);

} // namespace photosite
