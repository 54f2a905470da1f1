// Price arithmetic and formatting for banners and hosts.

#include <algorithm>
#include <cmath>
#include <string>

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tracking/decimal_format.hpp"
#include "tracking/tracking.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino {
namespace {

// More fraction digits than a double carries say nothing; the cap also keeps
// a hostile "decimal" from asking for a text of any length.
constexpr int kMaxFractionDigits = 20;

double operate(std::string_view operation, double price, std::string_view operand) {
  const auto y = tracking::decimalNumber(operand);
  if (operation == "*") return price * y.value_or(1);
  // A zero divisor counts like one that is not a number.
  if (operation == "/") return price / (y && *y != 0 ? *y : 1);
  if (operation == "-") return price - y.value_or(0);
  if (operation == "+") return price + y.value_or(0);
  if (operation == "%") {
    const double percent = static_cast<double>(tracking::wholeNumber(operand).value_or(0));
    return price * (100 - percent) / 100;
  }
  return 0;
}

int fractionDigits(std::string_view text) {
  const double digits = tracking::decimalNumber(text).value_or(1);
  return static_cast<int>(std::clamp(std::trunc(digits), 0.0, double{kMaxFractionDigits}));
}

}  // namespace

std::string tracking::numberFormat(const Value& format, std::string_view price) {
  const auto amount = tracking::decimalNumber(price);
  if (!amount) return "0";
  const std::string operation = Util::tryCatch(format, "o", "%");
  const std::string operand = Util::tryCatch(format, "y", "0");
  const std::string grouping = Util::tryCatch(format, "tseperator", ".");
  const std::string decimal = Util::tryCatch(format, "dseperator", ",");
  const int digits = fractionDigits(Util::tryCatch(format, "decimal", "2"));

  const double value = operate(operation, *amount, operand);
  QivUtil::addLog("group separator : " + grouping + "decimal separator : " + decimal);
  // Overflowing arithmetic has no price to show.
  const std::string formatted =
      std::isfinite(value) ? tracking::formatDecimal(value, digits, grouping, decimal) : "0";
  QivUtil::addLog("formatted price : " + formatted);
  return formatted;
}

}  // namespace tavrino
