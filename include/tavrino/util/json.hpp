#pragma once

// Readers of answers, payloads and parameter maps.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// The text-value rule: the default when the key is absent, its value null, or
// params not a map; else the value's textual description, unless that is the
// empty text or a single blank, which also give the default.
TAVRINO_EXPORT std::string tryCatch(const Value& params, std::string_view key,
                                    std::string_view defaultValue);

}  // namespace tavrino::Util
