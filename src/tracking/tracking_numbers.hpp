#pragma once

// Reading the numbers that campaigns, clicks and the host hand over as text.
// Lifetimes and counters saturate instead of overflowing: a hostile or broken
// value can make a marker live long, never wrap it into the past.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrino::tracking {

// Whole seconds since 1970 on the platform clock.
std::int64_t nowSeconds();

// a + b, clamped to the 64-bit range.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b);
// minutes × 60, clamped to the 64-bit range.
std::int64_t saturatingMinutes(std::int64_t minutes);

// The text as a decimal whole number, or nothing.
std::optional<std::int64_t> wholeNumber(std::string_view text);
// The text as a decimal number, or nothing.
std::optional<double> decimalNumber(std::string_view text);

// A lifetime given in minutes: a decimal number that is not negative, as
// whole seconds (fractions of a second dropped, clamped to the 64-bit range).
// Nothing for anything else.
std::optional<std::int64_t> lifetimeSeconds(std::string_view minutes);

// A uniformly drawn whole number from 1 to 100, as decimal text.
std::string randomPercent();

}  // namespace tavrino::tracking
