#pragma once

// Text-shaped fuzz inputs: lines, with escapes so that a seed can spell the
// bytes a line cannot hold ("\n", "\r", "\t", "\0", "\\", "\xHH").

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::fuzz {

inline int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline std::string unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[++i];
    switch (next) {
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case '0':
        out.push_back('\0');
        break;
      case 'x':
        if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
          out.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
          i += 2;
        } else {
          out.push_back('x');
        }
        break;
      default:
        out.push_back(next);
    }
  }
  return out;
}

inline std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Splits bytes at every occurrence of separator.
inline std::vector<std::string_view> splitAt(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const auto at = text.find(separator);
    pieces.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + separator.size());
  }
}

// A stored value spelled in a line: "#i:" a whole number, "#f:" a fraction,
// "#b:" data, "#j:" JSON (a value that does not parse is the text), anything
// else the text itself.
inline Value storedValue(const std::string& text) {
  const auto rest = [&] { return text.substr(3); };
  if (text.starts_with("#i:")) {
    std::uint64_t number = 0;  // wraps: any 64 bits will do
    const std::string digits = rest();
    for (std::size_t i = digits.starts_with('-') ? 1 : 0; i < digits.size(); ++i) {
      number = number * 10 + (digits[i] & 0x0f);
    }
    return Value(static_cast<std::int64_t>(digits.starts_with('-') ? 0 - number : number));
  }
  if (text.starts_with("#f:")) return Value(std::strtod(rest().c_str(), nullptr));
  if (text.starts_with("#b:")) {
    const std::string bytes = rest();
    return Value::binary(Data(bytes.begin(), bytes.end()));
  }
  if (text.starts_with("#j:") && rest().size() < 4096) {
    Value parsed = Value::parse(rest(), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_discarded()) return parsed;
  }
  return Value(text);
}

}  // namespace tavrino::fuzz
