#pragma once

// JSON text from files and requests, parsed without letting its nesting reach
// code that recurses once per level (copying, writing, comparing a value).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "service/scenario.hpp"

namespace tavrino::service {

// Arrays and objects may nest this deep and no deeper.
inline constexpr std::size_t kMaxJsonNesting = 256;

// Returns the document text holds, or nothing with *error saying why (not
// JSON, or nested deeper than kMaxJsonNesting).
std::optional<Json> parseJson(std::string_view text, std::string* error);

}  // namespace tavrino::service
