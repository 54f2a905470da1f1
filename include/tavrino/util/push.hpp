#pragma once

// The push-click members of Util: what a tap on a notification, or on one of
// its action buttons, does.
//
// Thread-safety: every function may be called from any thread; the SDK calls
// them on the main thread.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// The action of a tap on the notification itself.
inline constexpr std::string_view kOrganicAction = "organic";

// Handles a tap: reports the click of a payload with "zbid" and records it,
// calls the push-click callback (unless "pushcb" is "0") and opens the
// payload's link (unless "_native_click" says the host opens it).
// actionIdentifier is kOrganicAction or the tapped button's "id".
TAVRINO_EXPORT void pushClicked(const Value& userInfo, std::string_view actionIdentifier);

// Reads val from infomap: the entry under val, or, when val holds "|", the
// path of keys it names through nested maps ("data|link"). Text as is,
// numbers in decimal; the empty text for anything absent or of another kind.
TAVRINO_EXPORT std::string findValueRecursive(const Value& infomap, std::string_view val);

// The push-click callback used when the host set none: does nothing.
TAVRINO_EXPORT void fakePCC(const Value& _userInfo);

}  // namespace tavrino::Util
