#pragma once

// The stored form of values (user-defaults suites, keyed archives): CBOR, as
// the JSON library writes it. None of these functions throws.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino {

// Lists and maps may nest this deep and no deeper; both the encoder and the
// decoder of the JSON library recurse once per level.
inline constexpr std::size_t kMaxValueNesting = 256;

// Returns true iff value's lists and maps nest at most limit deep and it
// holds no discarded node. Walks with its own stack, so a deep value cannot
// exhaust the thread's.
bool nestsWithin(const Value& value, std::size_t limit);

// Returns true iff the arrays and objects of JSON text nest at most limit
// deep (text that is no JSON may still pass; the parser judges that).
// Checked before parsing, since copying or writing a value recurses per level.
bool jsonTextNestsWithin(std::string_view text, std::size_t limit);

// Returns the CBOR form of value, or nothing when it nests too deep or cannot
// be encoded.
std::optional<std::vector<std::uint8_t>> encodeValue(const Value& value);

// Returns the value that bytes encode, or nothing when they are not one
// well-formed CBOR item within the nesting limit.
std::optional<Value> decodeValue(std::span<const std::uint8_t> bytes);

}  // namespace tavrino
