// Page names: the letters the server does not expect, replaced by plain ones.

#include <array>
#include <string>
#include <utility>

#include "tavrino/util/request.hpp"

namespace tavrino::Util {
namespace {

// UTF-8 spelling of each letter and its replacement.
constexpr std::array<std::pair<std::string_view, std::string_view>, 15> kPlainLetters = {{
    {"\u00C4", "A"},   // Ä
    {"\u00E4", "a"},   // ä
    {"\u00DF", "ss"},  // ß
    {"\u00E7", "c"},   // ç
    {"\u00C7", "C"},   // Ç
    {"\u011F", "g"},   // ğ
    {"\u011E", "G"},   // Ğ
    {"\u015F", "s"},   // ş
    {"\u015E", "S"},   // Ş
    {"\u00FC", "u"},   // ü
    {"\u00DC", "U"},   // Ü
    {"\u0131", "i"},   // ı
    {"\u0130", "I"},   // İ
    {"\u00F6", "o"},   // ö
    {"\u00D6", "O"},   // Ö
}};

}  // namespace

std::string sanitize(std::string_view pagename) {
  std::string out;
  out.reserve(pagename.size());
  std::size_t i = 0;
  while (i < pagename.size()) {
    bool replaced = false;
    for (const auto& [letter, plain] : kPlainLetters) {
      if (pagename.substr(i).starts_with(letter)) {
        out.append(plain);
        i += letter.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += pagename[i++];
  }
  return out;
}

}  // namespace tavrino::Util
