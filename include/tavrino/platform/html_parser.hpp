#pragma once

// HTMLParser: reads HTML as a browser does (character references decoded,
// implied and unclosed elements settled, comments dropped) and reports the
// elements and text it found, in document order. The SDK turns the HTML of
// banner and badge texts into attributed text through it.
//
// Thread-safety: parse() may be called from any thread.

#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino::platform {

// Receives one parse's reports, on the parsing thread.
class TAVRINO_EXPORT HTMLContentHandler {
 public:
  virtual ~HTMLContentHandler();
  // name in lower case.
  virtual void startElement(std::string_view name) = 0;
  virtual void endElement(std::string_view name) = 0;
  // UTF-8 text, character references decoded; the content of script and
  // style elements comes raw. One run of text may come in several pieces.
  virtual void characters(std::string_view text) = 0;
};

class TAVRINO_EXPORT HTMLParser {
 public:
  virtual ~HTMLParser();
  // Never throws; malformed markup is read as a browser recovers from it.
  virtual void parse(std::string_view html, HTMLContentHandler& handler) = 0;
};

}  // namespace tavrino::platform
