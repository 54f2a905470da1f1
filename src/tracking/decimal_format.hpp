#pragma once

// A number formatter for prices that does not depend on the process locale.

#include <string>
#include <string_view>

namespace tavrino::tracking {

// Writes value with exactly `digits` fraction digits (0 or more), rounded
// half away from zero on its shortest decimal form (1.005 gives 1.01),
// the whole part grouped by threes with `grouping` and the fraction after
// `decimal`. A result of zero carries no sign.
// REQUIRES: value is finite.
std::string formatDecimal(double value, int digits, std::string_view grouping,
                          std::string_view decimal);

}  // namespace tavrino::tracking
