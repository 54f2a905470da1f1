#include "tavrino/platform/html_parser.hpp"

namespace tavrino::platform {

HTMLContentHandler::~HTMLContentHandler() = default;
HTMLParser::~HTMLParser() = default;

}  // namespace tavrino::platform
