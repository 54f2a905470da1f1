#pragma once

// The inbox members of Util used by the SDK's message producers and click
// paths.
//
// Thread-safety: every function may be called from any thread.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// Returns true iff the SDK defaults hold "_enable_inbox" = "1".
TAVRINO_EXPORT bool isEnabledAppInbox();

// Marks the message read in the app group's inbox, when the inbox is enabled.
TAVRINO_EXPORT void markAsReadInboxMessage(std::string_view id);

// Decides what a producer does with an incoming message map: "write" (store
// it), "delete" (a lifetime below 1 minute withdrew it; already deleted) or
// "none" (no id or lifetime, or the message is already stored and is no
// update of a stored one).
TAVRINO_EXPORT std::string hasInboxMessage(const Value& object);

}  // namespace tavrino::Util
