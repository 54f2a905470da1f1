#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tavrino/export.hpp"

namespace tavrino {

// Any value the SDK handles: null, booleans, numbers, text, lists, maps, and
// binary for data. Maps keep their insertion order, as answers and payloads do.
using Value = nlohmann::ordered_json;

// A map from text to text: the host's local and client maps.
using StringMap = std::map<std::string, std::string>;

// Raw bytes.
using Data = std::vector<std::uint8_t>;

// Returns the textual description of a value: text as is; integers in
// decimal; floating point in the shortest form that reads back the same,
// without a trailing ".0"; booleans "1" and "0"; null as the empty text;
// lists, maps and data as compact JSON.
TAVRINO_EXPORT std::string describe(const Value& value);

// Parses text as a decimal number the way the SDK's readers do: an optional
// sign, digits with an optional fraction and exponent, nothing else (no
// blanks, no "inf" or "nan"). Returns true iff the text is such a number.
TAVRINO_EXPORT bool parseNumber(std::string_view text, double* out);

// Parses text as a decimal whole number (optional sign, digits only).
// Returns true iff the text is one that fits in 64 bits.
TAVRINO_EXPORT bool parseInteger(std::string_view text, std::int64_t* out);

}  // namespace tavrino
