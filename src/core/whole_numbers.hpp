#pragma once

// Whole numbers read from texts the host, the service or an older version
// stored: anything that is not one falls back to a default, and arithmetic
// on them saturates instead of overflowing.

#include <cstdint>
#include <limits>
#include <string_view>

#include "tavrino/value.hpp"

namespace tavrino::pageview {

// Returns text as a whole number, or fallback when it is not one (a
// fraction, blanks, too large for 64 bits, empty).
inline std::int64_t wholeOr(std::string_view text, std::int64_t fallback) {
  std::int64_t value = 0;
  return parseInteger(text, &value) ? value : fallback;
}

// A stored counter: a whole number of at least 0, else 0.
inline std::int64_t counterValue(std::string_view text) {
  const std::int64_t value = wholeOr(text, 0);
  return value < 0 ? 0 : value;
}

inline std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<std::int64_t>::max()
               : std::numeric_limits<std::int64_t>::min();
}

inline std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) {
  std::int64_t product = 0;
  if (!__builtin_mul_overflow(a, b, &product)) return product;
  return (a < 0) != (b < 0) ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
}

}  // namespace tavrino::pageview
