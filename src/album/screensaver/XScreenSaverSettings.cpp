#include "XScreenSaverSettings.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace album {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view stripped(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    return "/";
}

// One line of the file as XScreenSaver reads it: physical lines ending in a backslash are
// joined, then the escapes \n, \t, \r and \<char> are decoded.
struct LogicalLine
{
    std::size_t start = 0;         // first byte of the first physical line
    std::size_t lastStart = 0;     // first byte of the last physical line
    std::size_t contentEnd = 0;    // end of the last physical line, before its newline
    bool continuesIntoEnd = false; // the last line ends in a backslash and the file ends
    std::string key;
    std::string value;                 // decoded, stripped
    bool valueEndsWithNewline = false; // before any trailing spaces and tabs
};

std::string decoded(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 >= raw.size()) {
            out += raw[i];
            continue;
        }
        const char next = raw[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return out;
}

std::vector<LogicalLine> logicalLines(std::string_view text)
{
    std::vector<LogicalLine> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        LogicalLine line;
        line.start = position;
        std::string joined;
        bool first = true;
        while (true) {
            const std::size_t newline = text.find('\n', position);
            const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
            std::string_view content = text.substr(position, end - position);
            line.lastStart = position;
            line.contentEnd = end;
            position = newline == std::string_view::npos ? text.size() : newline + 1;
            // XScreenSaver does not join a first line that is a lone backslash.
            const bool continued = !content.empty() && content.back() == '\\' &&
                                   newline != std::string_view::npos &&
                                   (!first || content.size() >= 2);
            if (!continued) {
                joined += content;
                break;
            }
            joined += content.substr(0, content.size() - 1);
            first = false;
            if (position >= text.size()) {
                line.continuesIntoEnd = true;
                line.lastStart = line.contentEnd = text.size();
                break;
            }
        }
        const std::string full = decoded(joined);
        const std::string_view body = stripped(full);
        if (!body.empty() && body[0] != '#' && body[0] != '!' && body[0] != ';') {
            if (const std::size_t colon = body.find(':'); colon != std::string_view::npos) {
                line.key = std::string(stripped(body.substr(0, colon)));
                line.value = std::string(stripped(body.substr(colon + 1)));
                const std::size_t last = full.find_last_not_of(" \t\r");
                line.valueEndsWithNewline = last != std::string::npos && full[last] == '\n';
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// XScreenSaver keeps the last of repeated settings.
const LogicalLine* findSetting(const std::vector<LogicalLine>& lines, std::string_view key)
{
    const LogicalLine* found = nullptr;
    for (const LogicalLine& line : lines)
        if (equalsIgnoringCase(line.key, key))
            found = &line;
    return found;
}

std::vector<std::string_view> programEntries(std::string_view value)
{
    std::vector<std::string_view> entries;
    std::size_t position = 0;
    while (position <= value.size()) {
        std::size_t end = value.find('\n', position);
        if (end == std::string_view::npos)
            end = value.size();
        if (const std::string_view entry = stripped(value.substr(position, end - position));
            !entry.empty())
            entries.push_back(entry);
        position = end + 1;
    }
    return entries;
}

// The program an entry runs: the first word of its command after "-", "visual:" and "name".
std::string entryProgram(std::string_view entry)
{
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < entry.size() && isBlank(entry[i]))
            ++i;
    };
    skipBlanks();
    if (i < entry.size() && entry[i] == '-') {
        ++i;
        skipBlanks();
    }
    std::size_t visualEnd = i;
    while (visualEnd < entry.size() && entry[visualEnd] != ':' && entry[visualEnd] != '"' &&
           !isBlank(entry[visualEnd]))
        ++visualEnd;
    if (visualEnd < entry.size() && entry[visualEnd] == ':') {
        i = visualEnd + 1;
        skipBlanks();
    }
    if (i < entry.size() && entry[i] == '"') {
        const std::size_t close = entry.find('"', i + 1);
        i = close == std::string_view::npos ? entry.size() : close + 1;
        skipBlanks();
    }
    // The command goes to /bin/sh: undo its quoting of the first word.
    std::string word;
    char quote = 0;
    for (; i < entry.size(); ++i) {
        const char c = entry[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (c == '\\' && i + 1 < entry.size() && quote != '\'') {
            word += entry[++i];
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (isBlank(c)) {
            break;
        } else {
            word += c;
        }
    }
    return word;
}

// The path as one shell word, written so that the file's own escapes give it back.
std::string commandWord(const std::string& path)
{
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw std::system_error(EINVAL, std::generic_category(),
                                    "The screensaver's path cannot be put in ~/.xscreensaver");
    const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::strchr("_./,+=@%-", c) != nullptr;
    });
    std::string word;
    if (plain)
        return path;
    word = "'";
    for (const char c : path) {
        if (c == '\'')
            word += "'\\\\''";
        else if (c == '\\')
            word += "\\\\";
        else
            word += c;
    }
    return word + "'";
}

// A title that cannot end the name's quotes, start an escape or break the line.
std::string nameText(std::string_view title)
{
    std::string name;
    for (const char c : title) {
        if (c == '"')
            name += '\'';
        else if (c == '\\')
            name += '/';
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            name += ' ';
        else
            name += c;
    }
    return std::string(stripped(name));
}

// The last physical line of a continued setting is blank (XScreenSaver writes it so).
bool endsInBlankLine(std::string_view text, const LogicalLine& line)
{
    return line.lastStart > line.start &&
           stripped(text.substr(line.lastStart, line.contentEnd - line.lastStart)).empty();
}

std::string withSettingValue(std::string_view settings, std::string_view key,
                             const std::string& value)
{
    const std::vector<LogicalLine> lines = logicalLines(settings);
    std::string text(settings);
    if (const LogicalLine* line = findSetting(lines, key)) {
        const std::size_t firstEnd = std::min(settings.find('\n', line->start), line->contentEnd);
        const std::size_t colon = settings.substr(0, firstEnd).find(':', line->start);
        if (colon == std::string_view::npos)
            return text.replace(line->start, line->contentEnd - line->start,
                                std::string(key) + ":\t" + value);
        std::size_t valueStart = colon + 1;
        while (valueStart < firstEnd &&
               (settings[valueStart] == ' ' || settings[valueStart] == '\t'))
            ++valueStart;
        // Keep "key:" as it was; a value without a separator gets one.
        const std::string separator = valueStart == colon + 1 ? "\t" : "";
        return text.replace(valueStart, line->contentEnd - valueStart, separator + value);
    }
    // A file ending inside a continued line would swallow a setting added behind it.
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    if (!lines.empty() && lines.back().continuesIntoEnd)
        text += '\n';
    return text + std::string(key) + ":\t\t" + value + '\n';
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : mFd(fd) {}
    ~FileDescriptor()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return mFd; }
    int release() { return std::exchange(mFd, -1); }

private:
    int mFd;
};

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Reads the whole file; nullopt when it does not exist.
std::optional<std::string> readSettings(const std::filesystem::path& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throwErrno("Cannot open " + path.string());
    }
    std::string text;
    char buffer[8192];
    while (true) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwErrno("Cannot read " + path.string());
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// A temporary file beside the settings, renamed over them, so that a reader never sees half a
// file; it keeps the old file's mode.
void replaceSettings(const std::filesystem::path& path, const std::string& text)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0)
        throwErrno("Cannot read the mode of " + path.string());
    std::string temporary = path.string() + ".velko-XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0)
        throwErrno("Cannot create a file beside " + path.string());
    try {
        if (::fchmod(file.get(), info.st_mode & 07777) != 0)
            throwErrno("Cannot set the mode of " + temporary);
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t written = ::write(file.get(), text.data() + done, text.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                throwErrno("Cannot write " + temporary);
            done += static_cast<std::size_t>(written);
        }
        if (::fsync(file.get()) != 0)
            throwErrno("Cannot write " + temporary);
        if (::close(file.release()) != 0)
            throwErrno("Cannot write " + temporary);
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throwErrno("Cannot replace " + path.string());
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

std::filesystem::path screensaverFolder()
{
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return std::filesystem::path(data) / "velko-screensavers";
    return std::filesystem::path(homeFolder()) / ".local/share/velko-screensavers";
}

std::filesystem::path xscreensaverSettingsPath()
{
    return std::filesystem::path(homeFolder()) / ".xscreensaver";
}

std::optional<std::string> screensaverFileName(std::string_view guid)
{
    if (guid.size() != 38 || guid.front() != '{' || guid.back() != '}')
        return std::nullopt;
    std::string name;
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = guid[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != '-')
                return std::nullopt;
            name += c;
        } else if (!isHex(c)) {
            return std::nullopt;
        } else {
            name += c >= 'A' && c <= 'F' ? static_cast<char>(c + 32) : c;
        }
    }
    // Lower case, so the same GUID in another spelling replaces the same file.
    return name + ".scr";
}

std::string withScreensaverProgram(std::string_view settings, std::string_view title,
                                   const std::filesystem::path& program, int& index)
{
    const std::vector<LogicalLine> lines = logicalLines(settings);
    const LogicalLine* programs = findSetting(lines, "programs");
    const std::vector<std::string_view> entries =
        programs ? programEntries(programs->value) : std::vector<std::string_view>{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entryProgram(entries[i]) == program.string()) {
            index = static_cast<int>(i);
            return std::string(settings);
        }
    }
    index = static_cast<int>(entries.size());

    const std::string name = nameText(title);
    const std::string entry = "  " + (name.empty() ? std::string() : '"' + name + "\"  ") +
                              commandWord(program) + " -root";
    std::string text(settings);
    if (!programs) {
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        if (!lines.empty() && lines.back().continuesIntoEnd)
            text += '\n';
        return text + "programs:\t\\\n" + entry + " \\n\\\n\n";
    }
    // A value that does not end with an entry separator needs one before the new entry.
    const bool needsSeparator = !programs->value.empty() && !programs->valueEndsWithNewline;
    if (endsInBlankLine(settings, *programs) || programs->continuesIntoEnd) {
        const std::string insert = (needsSeparator ? "\\n\\\n" : "") + entry + " \\n\\\n";
        return text.insert(programs->lastStart, insert);
    }
    // A one-line value: continue it, and close the new entry with a blank line.
    std::string insert = (needsSeparator ? " \\n" : " ") + std::string("\\\n") + entry + " \\n\\\n";
    if (programs->contentEnd == text.size())
        insert += '\n';
    return text.insert(programs->contentEnd, insert);
}

std::string withSelectedScreensaver(std::string_view settings, int index)
{
    return withSettingValue(withSettingValue(settings, "mode", "one"), "selected",
                            std::to_string(index));
}

ScreensaverRegistration registerScreensaver(const std::filesystem::path& program,
                                            std::string_view title, bool makeActive)
{
    ScreensaverRegistration result;
    std::filesystem::path path = xscreensaverSettingsPath();
    // A settings file kept elsewhere through a link stays a link.
    std::error_code error;
    if (const auto target = std::filesystem::canonical(path, error); !error)
        path = target;
    const std::optional<std::string> settings = readSettings(path);
    if (!settings)
        return result;
    result.settingsFound = true;
    int index = 0;
    std::string text = withScreensaverProgram(*settings, title, program, index);
    result.added = text != *settings;
    if (makeActive) {
        text = withSelectedScreensaver(text, index);
        result.selected = true;
    }
    if (text != *settings)
        replaceSettings(path, text);
    return result;
}

} // namespace album
