#pragma once

// Visitor and visit bookkeeping of a page view: the visitor id, the visit and
// page-view counters, the first-time-user marker.

#include <cstdint>
#include <string>

namespace tavrino::pageview {

// Updates the visit and visitor keys for a page view at now and returns the
// page-view count of this visit (1 for the first page view of a visit).
// REQUIRES: inside a transaction of the store.
std::int64_t recordPageView(std::int64_t now, std::int64_t visitTimeoutSeconds,
                            const std::string& ls);

// A new random visitor id (UUID text, upper case).
std::string newVisitorId();

}  // namespace tavrino::pageview
