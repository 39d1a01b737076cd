#include "SiteRules.h"

#include <algorithm>

namespace photosite {

bool isValidAlbumName(const std::string& name)
{
    if (name.empty() || name.size() > 100 || name.find_first_not_of(' ') == std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == ' ' || c == '-' || c == '_';
    });
}

bool isAcceptedCredential(const std::string& text, std::size_t minLength, std::size_t maxLength)
{
    return text.size() >= minLength && text.size() <= maxLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

bool looksLikeEmail(const std::string& text)
{
    const auto at = text.find('@');
    return isAcceptedCredential(text, 3, 254) && at != std::string::npos && at > 0 &&
           at + 1 < text.size() && text.find('@', at + 1) == std::string::npos &&
           text.find(' ') == std::string::npos;
}

std::string userPathBase(const std::string& email)
{
    std::string out;
    for (char c : email.substr(0, email.find('@'))) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')
            out += c;
        if (out.size() == 30)
            break;
    }
    return out.empty() ? std::string("user") : out;
}

bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           std::none_of(name.begin(), name.end(), [](char c) {
               return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
           });
}

std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& base,
                                                   const std::string& relative)
{
    if (relative.empty() || relative.find('\0') != std::string::npos ||
        relative.find('\\') != std::string::npos)
        return std::nullopt;
    const std::filesystem::path rel(relative);
    if (rel.is_absolute() || rel.has_root_name() || rel.has_root_directory())
        return std::nullopt;
    for (const auto& part : rel) {
        if (part == "..")
            return std::nullopt;
    }
    return base / rel;
}

} // namespace photosite
