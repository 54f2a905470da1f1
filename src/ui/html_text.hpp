#pragma once

#include <string>
#include <string_view>

#include "tavrino/ui/font.hpp"

namespace tavrino::ui::detail {

struct HTMLText {
  std::string text;
  std::string fontFamily;  // empty when no style names one
  double fontSize = 0;     // 0 when no style gives one
};

// Reads the text a browser would show for html (through the platform's HTML
// parser) and the body font its style elements give.
HTMLText readHTML(std::string_view html);

}  // namespace tavrino::ui::detail
