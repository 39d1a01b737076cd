#include "SiteProtocol.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace photosite {

namespace {

constexpr char kCrLf[] = "\r\n";

std::string join(const std::vector<std::string>& lines)
{
    std::string out = "OK";
    for (const std::string& line : lines) {
        out += kCrLf;
        out += line;
    }
    return out;
}

// Reads the fields every request starts with, in order; the error says which is missing.
std::optional<std::string> readLines(FramedBody& body, std::vector<std::string*> fields)
{
    for (std::string* field : fields) {
        auto line = body.nextLine();
        if (!line)
            return "The request is incomplete.";
        *field = std::move(*line);
    }
    return std::nullopt;
}

std::optional<std::string> readLanguage(FramedBody& body, int& language)
{
    auto line = body.nextLine();
    if (!line)
        return "The request is incomplete.";
    const auto number = parseInt32(*line);
    if (!number || *number < 1 || *number > 6)
        return "The language number is not valid.";
    language = *number;
    return std::nullopt;
}

} // namespace

FramedBody::FramedBody(std::string head, std::uint64_t totalSize)
    : mHead(std::move(head)), mTotal(totalSize)
{}

bool FramedBody::checkLength()
{
    const auto end = mHead.find(kCrLf);
    if (end == std::string::npos || end == 0 || end > 10) {
        mError = "The request has no length line.";
        return false;
    }
    const std::string line = mHead.substr(0, end);
    if (!std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        mError = "The length line is not a number.";
        return false;
    }
    mPos = end + 2;
    if (std::stoull(line) != mTotal - mPos) {
        mError = "The length line does not match the body.";
        return false;
    }
    return true;
}

std::optional<std::string> FramedBody::nextLine()
{
    if (mEnded || mPos > mHead.size() || (mPos == mHead.size() && mHead.size() < mTotal))
        return std::nullopt;
    const auto end = mHead.find(kCrLf, mPos);
    if (end == std::string::npos) {
        // The rest of a body that is all text is its last line.
        if (mHead.size() < mTotal)
            return std::nullopt;
        std::string line = mHead.substr(mPos);
        mPos = mHead.size();
        mEnded = true;
        return line;
    }
    std::string line = mHead.substr(mPos, end - mPos);
    mPos = end + 2;
    return line;
}

std::optional<std::int32_t> parseInt32(const std::string& text)
{
    std::int32_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<std::string> readLoginRequest(FramedBody& body, LoginRequest& out)
{
    if (auto error = readLines(body, {&out.email, &out.password}))
        return error;
    // The first-login and no-session flags, the version and the proxy flag tell the site
    // nothing it acts on.
    return readLanguage(body, out.language);
}

std::optional<std::string> readCreateAlbumRequest(FramedBody& body, CreateAlbumRequest& out)
{
    if (auto error = readLines(body, {&out.email, &out.password, &out.albumName}))
        return error;
    return readLanguage(body, out.language);
}

std::optional<std::string> readFreeSpaceRequest(FramedBody& body, FreeSpaceRequest& out)
{
    if (auto error = readLines(body, {&out.email, &out.password}))
        return error;
    return readLanguage(body, out.language);
}

std::optional<std::string> readUploadRequest(FramedBody& body, std::int64_t maxImageBytes,
                                             UploadRequest& out)
{
    std::string albumId, language, session, mainSize, maxBytes, width, height, hasDisplay;
    std::string sizes[3];
    if (auto error =
            readLines(body, {&out.email, &out.password, &albumId, &out.albumKey, &out.fileName,
                             &language, &session, &mainSize, &maxBytes, &width, &height,
                             &hasDisplay, &sizes[0], &sizes[1], &sizes[2]}))
        return error;
    const auto id = parseInt32(albumId);
    const auto lang = parseInt32(language);
    const auto main = parseInt32(mainSize);
    const auto w = parseInt32(width);
    const auto h = parseInt32(height);
    const auto display = parseInt32(hasDisplay);
    const auto s0 = parseInt32(sizes[0]);
    const auto s1 = parseInt32(sizes[1]);
    const auto s2 = parseInt32(sizes[2]);
    if (!id || !lang || !main || !w || !h || !display || !s0 || !s1 || !s2 || !parseInt32(maxBytes))
        return "The request holds a number that is not valid.";
    if (*lang < 1 || *lang > 6)
        return "The language number is not valid.";
    if (*s0 <= 0 || *s1 < 0 || *s2 < 0 || *main != *s0 || *w <= 0 || *h <= 0 ||
        (*display != 0 && *display != 1) || (*display == 0) != (*s1 == 0))
        return "The sizes in the request do not agree.";
    if (*s0 > maxImageBytes || *s1 > maxImageBytes || *s2 > maxImageBytes)
        return "The photo is larger than the site accepts.";
    const std::uint64_t images = std::uint64_t(*s0) + std::uint64_t(*s1) + std::uint64_t(*s2);
    out.imageOffset = body.offset();
    if (images != body.remaining())
        return "The image sizes do not match the body.";
    out.albumId = *id;
    out.language = *lang;
    out.width = *w;
    out.height = *h;
    out.mainSize = *s0;
    out.displaySize = *s1;
    out.thumbSize = *s2;
    return std::nullopt;
}

std::int32_t clampToField(std::int64_t bytes)
{
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(bytes, 0, std::numeric_limits<std::int32_t>::max()));
}

std::string loginAnswer(int kind, const std::string& message, const std::string& userPath,
                        std::int64_t userNumber, const std::vector<AlbumEntry>& albums,
                        const LoginLimits& limits)
{
    std::vector<std::string> lines{std::to_string(kind), message, userPath,
                                   std::to_string(userNumber), std::to_string(albums.size())};
    for (const AlbumEntry& album : albums) {
        lines.push_back(std::to_string(album.id));
        lines.push_back(album.name);
        lines.push_back(album.key);
        lines.push_back(album.path);
    }
    for (std::int64_t value :
         {std::int64_t(limits.mayChooseSize), std::int64_t(limits.displayCopyMode),
          std::int64_t(limits.unused), std::int64_t(limits.standardWidth),
          std::int64_t(limits.standardHeight), std::int64_t(limits.thumbnailBox),
          std::int64_t(limits.displayCopySeconds), std::int64_t(limits.displayCopyPercent),
          std::int64_t(limits.maxImageBytes), std::int64_t(limits.preparationCap)})
        lines.push_back(std::to_string(value));
    return join(lines);
}

std::string albumAnswer(const AlbumEntry& album)
{
    return join({std::to_string(album.id), album.key, album.path});
}

std::string spaceAnswer(std::int64_t freeBytes, const std::string& uploadHost)
{
    return join({std::to_string(clampToField(freeBytes)), uploadHost});
}

std::string failureAnswer(const std::string& message)
{
    return message == "OK" || message.rfind("OK\r", 0) == 0 ? "Refused: " + message : message;
}

} // namespace photosite
