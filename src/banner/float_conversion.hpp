#pragma once

// Conversions to whole numbers that report what does not fit instead of
// leaving it undefined.

#include <cmath>
#include <cstdint>
#include <optional>

namespace tavrino::banner_detail {

// Truncates toward zero; nothing for NaN, infinities and values beyond 64 bits.
template <typename Real>
std::optional<std::int64_t> truncateToInt(Real value) {
  constexpr Real kLimit = static_cast<Real>(9223372036854775808.0);  // 2^63
  if (!std::isfinite(value) || value < -kLimit || value >= kLimit) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

// IEEE division spelt out, so a zero divisor gives the infinity or NaN the
// geometry expects without relying on the hardware's default.
inline float divide(float a, float b) {
  if (b != 0) return a / b;
  if (a == 0 || std::isnan(a)) return std::nanf("");
  return std::copysign(INFINITY, a) * std::copysign(1.0f, b);
}

}  // namespace tavrino::banner_detail
