#include "tavrino/platform/linux_html_parser.hpp"

#include <libxml/HTMLparser.h>

#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace tavrino::platform {
namespace {

// libxml2 hands each callback its parser context (the context's own user
// data), whose _private carries the handler. An exception must not cross
// libxml2's C frames: it stops the parse instead.
template <typename Report>
void report(void* context, Report&& report) {
  auto* parser = static_cast<htmlParserCtxtPtr>(context);
  try {
    report(*static_cast<HTMLContentHandler*>(parser->_private));
  } catch (...) {
    xmlStopParser(parser);
  }
}

std::string_view view(const xmlChar* text) {
  return reinterpret_cast<const char*>(text);
}

void onStart(void* context, const xmlChar* name, const xmlChar**) {
  report(context, [&](HTMLContentHandler& h) { h.startElement(view(name)); });
}

void onEnd(void* context, const xmlChar* name) {
  report(context, [&](HTMLContentHandler& h) { h.endElement(view(name)); });
}

void onText(void* context, const xmlChar* text, int length) {
  if (length <= 0) return;
  report(context, [&](HTMLContentHandler& h) {
    h.characters({reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)});
  });
}

bool isDigitOf(char c, bool hex) {
  return (c >= '0' && c <= '9') ||
         (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// libxml2 drops the "&#" or "&#x" of a numeric reference without digits
// ("&#;", "&#xZZ;"); a browser shows such text as written, so its "&" is
// escaped first.
std::string keepMalformedNumericReferences(std::string_view html) {
  std::string kept;
  std::size_t copied = 0;
  for (auto at = html.find("&#"); at != std::string_view::npos; at = html.find("&#", at + 2)) {
    const std::size_t digits = at + 2 + (at + 2 < html.size() && (html[at + 2] | 0x20) == 'x');
    const bool hex = digits > at + 2;
    if (digits < html.size() && isDigitOf(html[digits], hex)) continue;
    kept.append(html.substr(copied, at - copied)).append("&amp;");
    copied = at + 1;
  }
  return kept.append(html.substr(copied));
}

}  // namespace

LinuxHTMLParser::LinuxHTMLParser() {
  // Sets libxml2's global tables up once, before parses on several threads.
  xmlInitParser();
}

void LinuxHTMLParser::parse(std::string_view markup, HTMLContentHandler& handler) {
  const std::string html = keepMalformedNumericReferences(markup);
  if (html.empty() || html.size() > INT_MAX) return;
  htmlParserCtxtPtr context = htmlNewParserCtxt();
  if (!context) return;
  // Only these callbacks: no tree is built and no diagnostic is printed.
  htmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = 1;
  sax.startElement = onStart;
  sax.endElement = onEnd;
  sax.characters = onText;
  sax.ignorableWhitespace = onText;
  sax.cdataBlock = onText;
  std::memcpy(context->sax, &sax, sizeof sax);
  context->_private = &handler;
  htmlDocPtr document =
      htmlCtxtReadMemory(context, html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                         HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (document) xmlFreeDoc(document);
  htmlFreeParserCtxt(context);
}

}  // namespace tavrino::platform
