#pragma once

// The HTML page of a web banner, written by the SDK from the banner's
// parameter map and handed to the banner's web view as a string.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::banner {

// Serves jQuery 1.12.4 minified at /ajax/libs/jquery/1.12.4/jquery.min.js.
inline constexpr std::string_view kDefaultJQueryCDNHost = "ajax.googleapis.com";

// The host (optionally with ":port") that banner pages load jQuery from over
// https. Process-wide; safe to call from any thread. A host holding anything
// but letters, digits, ".", "-", ":", "[" and "]" is refused with a log line
// and false, leaving the current one in place.
TAVRINO_EXPORT bool setJQueryCDNHost(std::string_view host);
TAVRINO_EXPORT std::string jQueryCDNHost();

// Returns the banner page for params: the preamble, a head loading jQuery,
// the "ccss" style and the "lf" files, a body starting with the "cap" markup,
// and a script that exposes the map (with "a" emptied) as banner_params and
// runs the "ev", "ev2", "ev3" and "cbf" fragments in that order. Campaign
// values go in raw, except that the map's JSON has "</" and "<!--" escaped so
// that no value can end the script element. Never throws; a params that is
// not a map counts as the empty map.
TAVRINO_EXPORT std::string createHTMLContent(const Value& params);

}  // namespace tavrino::banner
