// The key of the credential scrambling: the alphabet order and the table of pair numbers,
// read from the data file the program shares with the site.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace upload {

class CredentialKey
{
public:
    static constexpr int kAlphabetSize = 41;

    // Reads the key file's text; nullopt with a reason in *error when it is malformed.
    static std::optional<CredentialKey> parse(const std::string& text, std::string* error);
    static std::optional<CredentialKey> load(const std::string& path, std::string* error);

    // Upper-cases (ASCII), then writes each pair as its table number, a pair with a character
    // outside the alphabet as "0" and the two characters, and an odd last character as it is.
    std::string encode(const std::string& text) const;

private:
    int position(char c) const;

    std::string mAlphabet;
    std::array<std::array<unsigned, kAlphabetSize>, kAlphabetSize> mTable{};
};

} // namespace upload
