#include "tavrino/value.hpp"

#include "core/value_cbor.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace tavrino {

std::string describe(const Value& value) {
  switch (value.type()) {
    case Value::value_t::null:
      return {};
    case Value::value_t::string:
      return value.get_ref<const std::string&>();
    case Value::value_t::boolean:
      return value.get<bool>() ? "1" : "0";
    case Value::value_t::number_integer:
      return std::to_string(value.get<std::int64_t>());
    case Value::value_t::number_unsigned:
      return std::to_string(value.get<std::uint64_t>());
    case Value::value_t::number_float: {
      const double d = value.get<double>();
      if (std::isnan(d)) return "nan";
      if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
      char buffer[64];
      // Shortest text that reads back the same; whole values carry no ".0".
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
      return std::string(buffer, result.ptr);
    }
    default:
      // Writing JSON recurses once per level: a hostile answer nested
      // deeper than any stored value could be has no description.
      if (!nestsWithin(value, kMaxValueNesting)) return {};
      return value.dump(-1, ' ', false, Value::error_handler_t::replace);
  }
}

bool parseNumber(std::string_view text, double* out) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  if (i != text.size()) return false;
  // from_chars rejects a leading '+'.
  std::string_view body = text[0] == '+' ? text.substr(1) : text;
  double value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return false;
  if (out) *out = value;
  return true;
}

bool parseInteger(std::string_view text, std::int64_t* out) {
  // from_chars takes a '-' but no '+'; after a '+' it must see digits only.
  std::string_view body = text;
  if (!body.empty() && body[0] == '+') {
    body.remove_prefix(1);
    if (!body.empty() && body[0] == '-') return false;
  }
  std::int64_t value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (body.empty() || result.ec != std::errc() || result.ptr != body.data() + body.size()) {
    return false;
  }
  if (out) *out = value;
  return true;
}

}  // namespace tavrino
