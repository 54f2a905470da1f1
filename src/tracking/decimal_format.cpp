#include "tracking/decimal_format.hpp"

#include <charconv>
#include <cmath>

namespace tavrino::tracking {
namespace {

// Adds one unit in the last place of a text of decimal digits; returns true
// iff it carried out of the first digit.
bool incrementDigits(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return false;
    }
    *it = '0';
  }
  return true;
}

std::string grouped(const std::string& whole, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += separator;
    out += whole[i];
  }
  return out;
}

}  // namespace

std::string formatDecimal(double value, int digits, std::string_view grouping,
                          std::string_view decimal) {
  if (digits < 0) digits = 0;
  // The largest double written in full is 309 digits long.
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
  const std::string shortest(buffer, result.ec == std::errc() ? result.ptr : buffer);
  const auto point = shortest.find('.');
  std::string whole = shortest.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : shortest.substr(point + 1);
  if (whole.empty()) whole = "0";

  const auto kept = static_cast<std::size_t>(digits);
  if (fraction.size() > kept) {
    const bool roundUp = fraction[kept] >= '5';
    fraction.resize(kept);
    if (roundUp) {
      std::string all = whole + fraction;
      if (incrementDigits(all)) all.insert(0, "1");
      whole = all.substr(0, all.size() - kept);
      fraction = all.substr(all.size() - kept);
    }
  }
  fraction.append(kept - fraction.size(), '0');

  const bool zero = whole.find_first_not_of('0') == std::string::npos &&
                    fraction.find_first_not_of('0') == std::string::npos;
  std::string out = value < 0 && !zero ? "-" : "";
  out += grouped(whole, grouping);
  if (kept > 0) out.append(decimal).append(fraction);
  return out;
}

}  // namespace tavrino::tracking
