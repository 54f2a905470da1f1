#include "tracking/tracking_numbers.hpp"

#include <cmath>
#include <limits>
#include <mutex>
#include <random>

#include "tavrino/platform/platform.hpp"
#include "tavrino/value.hpp"

namespace tavrino::tracking {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

}  // namespace

std::int64_t nowSeconds() {
  return platform::current().clock().epochSeconds();
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? kMax : kMin;
}

std::int64_t saturatingMinutes(std::int64_t minutes) {
  std::int64_t seconds = 0;
  if (!__builtin_mul_overflow(minutes, std::int64_t{60}, &seconds)) return seconds;
  return minutes > 0 ? kMax : kMin;
}

std::optional<std::int64_t> wholeNumber(std::string_view text) {
  std::int64_t value = 0;
  if (!parseInteger(text, &value)) return std::nullopt;
  return value;
}

std::optional<double> decimalNumber(std::string_view text) {
  double value = 0;
  if (!parseNumber(text, &value)) return std::nullopt;
  return value;
}

std::optional<std::int64_t> lifetimeSeconds(std::string_view minutes) {
  const auto value = decimalNumber(minutes);
  if (!value || *value < 0) return std::nullopt;
  const double seconds = std::trunc(*value * 60);
  // 2^63 is the first double past the range; anything from there saturates.
  if (!(seconds < 9223372036854775808.0)) return kMax;
  return static_cast<std::int64_t>(seconds);
}

std::string randomPercent() {
  static std::mutex mu;
  static std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> percent(1, 100);
  std::lock_guard lock(mu);
  return std::to_string(percent(engine));
}

}  // namespace tavrino::tracking
