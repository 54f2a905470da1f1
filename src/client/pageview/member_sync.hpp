#pragma once

// The parts of a page view that concern the member, the company and push.

#include <cstdint>
#include <string>

#include "tavrino/value.hpp"

namespace tavrino::pageview {

// Re-sends the push state on the first page view of a visit, or when the
// page names a member other than the last one, when push is enabled.
void resendPushState(const StringMap& localmap, std::int64_t pageViewCount);

// Stores the page's member id as the last one ("_cuid", "cuid2").
void recordMember(const StringMap& localmap);

// A company id such as "abc-1234" that is not a number carries the id in its
// second "-"-piece; stores and returns it.
std::string normalizeCompanyId();

// Copies the visitor id, and the page's member id when it has one, into the
// app group's suite named group (none when empty) so the notification
// extension sees them. A copy that is already there costs no commit.
void copyVisitorToAppGroup(const std::string& group, const std::string& uid,
                           const StringMap& localmap);

}  // namespace tavrino::pageview
