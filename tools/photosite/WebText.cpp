#include "WebText.h"

#include <algorithm>

namespace photosite {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string escapeHtml(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string encodeUrlComponent(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> decodeUrlComponent(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<FormFields> parseForm(const std::string& text)
{
    FormFields fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('&', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const auto equals = pair.find('=');
            auto name = decodeUrlComponent(pair.substr(0, equals));
            auto value = decodeUrlComponent(equals == std::string::npos ? std::string()
                                                                        : pair.substr(equals + 1));
            if (!name || !value)
                return std::nullopt;
            fields.emplace_back(std::move(*name), std::move(*value));
        }
        start = end + 1;
    }
    return fields;
}

std::string formValue(const FormFields& fields, const std::string& name)
{
    for (const auto& [key, value] : fields) {
        if (key == name)
            return value;
    }
    return {};
}

std::string cookieValue(const std::string& header, const std::string& name)
{
    std::size_t start = 0;
    while (start < header.size()) {
        auto end = header.find(';', start);
        if (end == std::string::npos)
            end = header.size();
        std::string part = header.substr(start, end - start);
        const auto first = part.find_first_not_of(' ');
        part = first == std::string::npos ? std::string() : part.substr(first);
        if (part.size() > name.size() && part.compare(0, name.size(), name) == 0 &&
            part[name.size()] == '=')
            return part.substr(name.size() + 1);
        start = end + 1;
    }
    return {};
}

bool isLocalReturnPath(const std::string& path)
{
    // "//host" and "/\host" are other sites to a browser, which also drops tabs and line
    // breaks from an address: "/<tab>/host" is another site too.
    return path.size() >= 1 && path[0] == '/' &&
           (path.size() == 1 || (path[1] != '/' && path[1] != '\\')) &&
           std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace photosite
