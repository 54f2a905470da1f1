#pragma once

// The stored form of user-defaults values: CBOR, as the JSON library writes
// it. Neither function throws.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::platform {

// Lists and maps may nest this deep and no deeper; both the encoder and the
// decoder of the JSON library recurse once per level.
inline constexpr std::size_t kMaxValueNesting = 256;

// Returns the CBOR form of value, or nothing when it nests too deep or cannot
// be encoded.
std::optional<std::vector<std::uint8_t>> encodeValue(const Value& value);

// Returns the value that bytes encode, or nothing when they are not one
// well-formed CBOR item within the nesting limit.
std::optional<Value> decodeValue(std::span<const std::uint8_t> bytes);

}  // namespace tavrino::platform
