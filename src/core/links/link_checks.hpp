#pragma once

// What campaign data and payloads may load in a web view or hand to the
// platform to open outside the application.

#include <optional>
#include <string>
#include <string_view>

namespace tavrino::links {

// The host a web engine loads for url, in lower case without one trailing
// dot, when url is an http or https address that every URL parser reads the
// same way. Nothing for other schemes and for what parsers read differently:
// control characters, blanks and backslashes anywhere, user information, a
// host of other characters than ASCII letters, digits, "-", "." and "_" (so
// no percent escapes and no names that need IDNA), an IPv6 literal of other
// characters than hex digits, ":" and ".", a port that is not a number.
std::optional<std::string> webHost(std::string_view url);

// A domain as web hosts compare: lower case, without one trailing dot.
std::string comparableDomain(std::string_view domain);

// Whether text forms a URL the platform may be asked to open: a scheme (a
// letter, then letters, digits, "+", "-" or "."), ":", something after it,
// only printable ASCII other than the blank and <>"{}|\^` with well-formed
// "%" escapes; and the scheme (any case) is none of javascript, vbscript,
// data, file, blob and about, which would run script or reach local content.
// Logs the refusal as what + " is not a URL : " or what + " scheme refused : ".
bool mayOpenOutside(std::string_view text, std::string_view what);

// Opens url outside the application when mayOpenOutside allows it.
void openOutside(std::string_view url, std::string_view what);

}  // namespace tavrino::links
