#pragma once

// Access to the SDK's key-value store, the "qiv_default" suite, whose entries
// the SDK calls cookies. Values are plain text, expiring values ("value expiry")
// or unique-cookie values ("m1,m2 expiry").

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

inline constexpr std::string_view kDefaultsSuiteName = "qiv_default";

// Returns the store handle: the "qiv_default" suite of the installed platform.
TAVRINO_EXPORT std::shared_ptr<platform::UserDefaultsSuite> qivDefaults();

TAVRINO_EXPORT void setCookieToQIVDefaults(std::string_view key, std::string_view value);
TAVRINO_EXPORT void setCategoryToQIVDefaults(std::string_view key, const Value& object);
// Returns the stored text, or defaultValue when there is none (no expiry
// handling, no splitting).
TAVRINO_EXPORT std::string getCookieToQIVDefaults(std::string_view key,
                                                  std::string_view defaultValue);
TAVRINO_EXPORT void removeCookieFromQIVDefaults(std::string_view key);
TAVRINO_EXPORT void removeCookieStartsWith(std::string_view prefix);
TAVRINO_EXPORT bool hasCookieWithPrefix(std::string_view prefix);
// Maps every key with the prefix whose value is a text containing a blank to
// the part of that value before the first blank.
TAVRINO_EXPORT StringMap _gcvp(std::string_view prefix);

// The general read-with-default: the stored text, or the empty text when the
// key is absent or not a text.
TAVRINO_EXPORT std::string readDefault(std::string_view key);

// Returns true iff the unique cookie of (zbid, clickid) holds type as one of
// its markers.
TAVRINO_EXPORT bool hasUniqueCookie(std::string_view zbid, std::string_view clickid,
                                    std::string_view type);
TAVRINO_EXPORT void addUniqueCookie(std::string_view zbid, std::string_view clickid,
                                    std::int64_t timeout, std::string_view value);
TAVRINO_EXPORT void addActionUniqueCookie(std::string_view lzbid, std::string_view aid);

}  // namespace tavrino::Util
