#include <algorithm>
#include <cstdint>

#include "tavrino/banner/geometry.hpp"

namespace tavrino::Util {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads leading hex digits (after an optional "0x"), stopping at the first
// other character; saturates like a scanner rather than wrapping.
bool scanHex(std::string_view text, std::uint32_t* out) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      hexDigit(text[2]) >= 0) {
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  std::size_t digits = 0;
  for (char c : text) {
    const int digit = hexDigit(c);
    if (digit < 0) break;
    value = std::min<std::uint64_t>(value * 16 + static_cast<std::uint64_t>(digit), UINT32_MAX);
    ++digits;
  }
  *out = static_cast<std::uint32_t>(value);
  return digits > 0;
}

// Characters as a reader counts them, not bytes.
std::size_t codePoints(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

double component(std::uint32_t value, int shift) {
  return ((value >> shift) & 0xFF) / 255.0;
}

}  // namespace

ui::Color hexToUIColor(std::string_view hex) {
  while (!hex.empty() && isBlank(hex.front())) hex.remove_prefix(1);
  while (!hex.empty() && isBlank(hex.back())) hex.remove_suffix(1);
  std::string text;
  for (char c : hex) {
    if (c != '#') text.push_back(c);
  }
  std::uint32_t value = 0;
  if (!scanHex(text, &value)) return kDefaultColor;
  switch (codePoints(text)) {
    case 6:
      return {component(value, 16), component(value, 8), component(value, 0), 1.0};
    case 8:
      return {component(value, 24), component(value, 16), component(value, 8), component(value, 0)};
    default:
      return kDefaultColor;
  }
}

}  // namespace tavrino::Util
