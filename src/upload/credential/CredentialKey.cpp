#include "CredentialKey.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace upload {

namespace {

constexpr char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-:/.";

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::optional<CredentialKey> CredentialKey::parse(const std::string& text, std::string* error)
{
    auto fail = [error](const std::string& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    CredentialKey key;
    std::istringstream in(text);
    std::string line;
    int row = -1;
    std::set<unsigned> seen;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        if (row < 0) {
            std::string sorted = line;
            std::string wanted = kCharacters;
            std::sort(sorted.begin(), sorted.end());
            std::sort(wanted.begin(), wanted.end());
            if (sorted != wanted)
                return fail("the alphabet line must hold each of the 41 characters once");
            key.mAlphabet = line;
            row = 0;
            continue;
        }
        if (row >= kAlphabetSize)
            return fail("more than 41 rows");
        std::istringstream cells(line);
        std::string cell;
        int column = 0;
        while (cells >> cell) {
            if (column >= kAlphabetSize)
                return fail("row " + std::to_string(row + 1) + " has more than 41 numbers");
            // Five digits each, so that an encoding splits back into its pairs one way only.
            if (cell.size() != 5 || cell[0] == '0' ||
                !std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return fail("\"" + cell + "\" is not a number of five digits");
            const unsigned value = static_cast<unsigned>(std::stoul(cell));
            if (value > 65535)
                return fail("\"" + cell + "\" does not fit in 16 bits");
            if (!seen.insert(value).second)
                return fail("\"" + cell + "\" appears twice");
            key.mTable[row][column++] = value;
        }
        if (column != kAlphabetSize)
            return fail("row " + std::to_string(row + 1) + " has fewer than 41 numbers");
        ++row;
    }
    if (row != kAlphabetSize)
        return fail("the table needs 41 rows");
    return key;
}

std::optional<CredentialKey> CredentialKey::load(const std::string& path, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str(), error);
}

int CredentialKey::position(char c) const
{
    const auto at = mAlphabet.find(c);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

std::string CredentialKey::encode(const std::string& text) const
{
    std::string upper(text.size(), '\0');
    std::transform(text.begin(), text.end(), upper.begin(), upperAscii);
    std::string out;
    for (std::size_t i = 0; i < upper.size(); i += 2) {
        if (i + 1 == upper.size()) {
            out += upper[i];
            break;
        }
        const int first = position(upper[i]);
        const int second = position(upper[i + 1]);
        if (first >= 0 && second >= 0) {
            out += std::to_string(mTable[first][second]);
        } else {
            out += '0';
            out += upper[i];
            out += upper[i + 1];
        }
    }
    return out;
}

} // namespace upload
