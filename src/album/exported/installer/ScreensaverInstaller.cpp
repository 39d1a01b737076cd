#include "ScreensaverInstaller.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace album {

namespace {

constexpr std::uint32_t kPieceSize = 1048576;
// Block offsets are 32-bit, so a container never holds more than 4 GiB.
constexpr std::uint32_t kMostPieces = 4096;

std::string pieceName(std::uint32_t k)
{
    return "VELKOSS" + std::to_string(k);
}

// Valid UTF-8 without control characters; anything else becomes '?' or a space.
std::string shownText(const std::string& bytes, std::size_t limit)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && out.size() < limit;) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7f) {
            out += ' ';
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = length > 0 && i + length <= bytes.size() && c < 0xF5;
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0);
        }
        if (valid && length == 4) {
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            valid = !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (valid) {
            out.append(bytes, i, length);
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    const std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : out.substr(first, out.find_last_not_of(' ') - first + 1);
}

class TemporaryFile
{
public:
    explicit TemporaryFile(const std::filesystem::path& folder, const std::string& name)
        : mPath((folder / ("." + name + ".XXXXXX")).string())
    {
        mFd = ::mkstemp(mPath.data());
        if (mFd < 0)
            fail("Cannot create a file in " + folder.string());
    }
    ~TemporaryFile()
    {
        if (mFd >= 0)
            ::close(mFd);
        if (!mKept)
            ::unlink(mPath.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void write(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t written = ::write(mFd, bytes.data() + done, bytes.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                fail("Cannot write " + mPath);
            done += static_cast<std::size_t>(written);
        }
    }

    void commit(const std::filesystem::path& target)
    {
        if (::fchmod(mFd, 0755) != 0)
            fail("Cannot make " + mPath + " executable");
        if (::fsync(mFd) != 0)
            fail("Cannot write " + mPath);
        if (::close(std::exchange(mFd, -1)) != 0)
            fail("Cannot write " + mPath);
        if (::rename(mPath.c_str(), target.c_str()) != 0)
            fail("Cannot save " + target.string());
        mKept = true;
    }

private:
    [[noreturn]] static void fail(const std::string& what)
    {
        throw InstallError(what + ": " + std::strerror(errno));
    }

    std::string mPath;
    int mFd = -1;
    bool mKept = false;
};

} // namespace

InstallerContents checkInstaller(const ViewerFileReader& reader)
{
    const auto* countEntry = reader.find("VELKOSSN");
    if (!countEntry || countEntry->size != 4)
        throw InstallError("The installer holds no screensaver.");
    const std::uint32_t count = *reader.number("VELKOSSN");
    if (count == 0 || count > kMostPieces)
        throw InstallError("The installer's piece count (" + std::to_string(count) +
                           ") is not possible.");

    InstallerContents contents;
    for (std::uint32_t k = 1; k <= count; ++k) {
        const std::string name = pieceName(k);
        const auto* entry = reader.find(name);
        if (!entry)
            throw InstallError("Piece " + std::to_string(k) + " of " + std::to_string(count) +
                               " of the screensaver is missing.");
        const bool last = k == count;
        if ((!last && entry->size != kPieceSize) ||
            (last && (entry->size == 0 || entry->size > kPieceSize)))
            throw InstallError("Piece " + std::to_string(k) +
                               " of the screensaver has a wrong size (" +
                               std::to_string(entry->size) + " bytes).");
        contents.pieces.push_back(name);
        contents.size += entry->size;
    }
    if (reader.find(pieceName(count + 1)))
        throw InstallError("The installer holds more pieces than it counts.");

    const std::optional<std::string> guid = reader.text("VELKOSSG");
    const std::optional<std::string> fileName = guid ? screensaverFileName(*guid) : std::nullopt;
    if (!fileName)
        throw InstallError("The installer's screensaver identifier is missing or malformed.");
    contents.fileName = *fileName;

    contents.title = shownText(reader.text("VELKOSST").value_or(std::string()), 200);
    if (contents.title.empty())
        contents.title = "Photo screensaver";
    contents.creator = shownText(reader.text("VELKOSSC").value_or(std::string()), 200);
    if (contents.creator == "-")
        contents.creator.clear();
    return contents;
}

InstallResult installScreensaver(const ViewerFileReader& reader, const InstallerContents& contents)
{
    InstallResult result;
    const std::filesystem::path folder = screensaverFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw InstallError("Cannot create the folder " + folder.string() + ": " + error.message());
    result.program = folder / contents.fileName;
    {
        TemporaryFile file(folder, contents.fileName);
        try {
            for (const std::string& piece : contents.pieces)
                file.write(*reader.block(piece));
        } catch (const ContainerError& failure) {
            throw InstallError(failure.what());
        }
        file.commit(result.program);
    }
    try {
        result.registration = registerScreensaver(result.program, contents.title, false);
    } catch (const std::exception& failure) {
        throw InstallError("The screensaver was saved as " + result.program.string() +
                           ", but it could not be added to XScreenSaver's list: " + failure.what());
    }
    return result;
}

} // namespace album
