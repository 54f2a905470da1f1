#pragma once

// The reference platform's HTMLParser: libxml2's HTML parser, which knows
// the named character references of HTML 4 and every numeric one. A name it
// does not know (HTML5 added about two thousand) stays as written, as a
// browser shows an unknown reference. The input is read as UTF-8.
//
// Thread-safety: parse() may be called from any thread; each call has a
// parser of its own.

#include "tavrino/export.hpp"
#include "tavrino/platform/html_parser.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxHTMLParser final : public HTMLParser {
 public:
  LinuxHTMLParser();
  void parse(std::string_view html, HTMLContentHandler& handler) override;
};

}  // namespace tavrino::platform
