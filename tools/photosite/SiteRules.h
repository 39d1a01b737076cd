// Rules the site applies to names and paths it is given.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace photosite {

// Letters A-Z and a-z, digits, spaces, "-" and "_"; 1 to 100 characters, not only spaces.
bool isValidAlbumName(const std::string& name);

// E-mail addresses and passwords: printable ASCII, so that the site upper-cases them exactly
// as the program does before scrambling.
bool isAcceptedCredential(const std::string& text, std::size_t minLength, std::size_t maxLength);
bool looksLikeEmail(const std::string& text);

// The start of a user's path on the site, from the e-mail address: lower-case letters,
// digits and "-" of its local part; "user" when nothing is left.
std::string userPathBase(const std::string& email);

// A file name as the program sends it: no folder part, no control characters.
bool isPlainFileName(const std::string& name);

// base/relative when it stays inside base: no "..", no absolute part, no NUL or backslash.
std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& base,
                                                   const std::string& relative);

} // namespace photosite
