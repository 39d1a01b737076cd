// Text helpers of the site's web pages: escaping what a page shows, and reading forms,
// queries and cookies.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace photosite {

// Safe inside element text and inside double- or single-quoted attribute values.
std::string escapeHtml(const std::string& text);
// Percent-encodes everything but unreserved characters, for a query value.
std::string encodeUrlComponent(const std::string& text);
// "+" is a space; a broken "%" escape makes the whole value invalid.
std::optional<std::string> decodeUrlComponent(const std::string& text);

using FormFields = std::vector<std::pair<std::string, std::string>>;
// An application/x-www-form-urlencoded body or a query string; nullopt when malformed.
std::optional<FormFields> parseForm(const std::string& text);
// The first value of a field, empty when absent.
std::string formValue(const FormFields& fields, const std::string& name);

// The value of one cookie in a Cookie header, empty when absent.
std::string cookieValue(const std::string& header, const std::string& name);

// A local address to return to after signing in: a path on this site, never another site.
bool isLocalReturnPath(const std::string& path);

} // namespace photosite
