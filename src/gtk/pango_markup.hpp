#pragma once

#include <string>
#include <string_view>

namespace tavrino::gtk {

// Pango markup for text that came from HTML: bold, italic, underline,
// strike-through, super- and subscript, headings (bold), line breaks and the
// ends of paragraphs and blocks. Other tags, styles and scripts are dropped,
// entities decoded, white space collapsed; the result is always well formed,
// whatever the HTML.
std::string pangoMarkupFromHTML(std::string_view html);

}  // namespace tavrino::gtk
