#include "ui/html_text.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <utility>

namespace tavrino::ui::detail {
namespace {

char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lower(text[at + i]) != prefix[i]) return false;
  }
  return true;
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (startsWithNoCase(text, i, needle)) return i;
  }
  return std::string_view::npos;
}

void appendUTF8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr std::array<std::pair<std::string_view, std::uint32_t>, 14> kEntities{{
    {"amp", '&'},
    {"lt", '<'},
    {"gt", '>'},
    {"quot", '"'},
    {"apos", '\''},
    {"nbsp", 0xA0},
    {"times", 0xD7},
    {"copy", 0xA9},
    {"reg", 0xAE},
    {"hellip", 0x2026},
    {"mdash", 0x2014},
    {"ndash", 0x2013},
    {"laquo", 0xAB},
    {"raquo", 0xBB},
}};

// Decodes the entity at html[at] == '&' into out; returns the index after it,
// or at + 1 having emitted a plain "&" when it is none.
std::size_t readEntity(std::string_view html, std::size_t at, std::string& out) {
  const auto semi = html.find(';', at);
  if (semi != std::string_view::npos && semi - at <= 10) {
    const auto name = html.substr(at + 1, semi - at - 1);
    if (name.size() > 1 && name[0] == '#') {
      std::uint32_t cp = 0;
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const auto digits = name.substr(hex ? 2 : 1);
      const auto [end, ec] =
          std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
        appendUTF8(out, cp);
        return semi + 1;
      }
    }
    for (const auto& [entity, cp] : kEntities) {
      if (name == entity) {
        appendUTF8(out, cp);
        return semi + 1;
      }
    }
  }
  out += '&';
  return at + 1;
}

bool isBlockEnd(std::string_view tag) {
  static constexpr std::array<std::string_view, 12> blocks{"p",  "div", "h1", "h2", "h3", "h4",
                                                           "h5", "h6",  "li", "tr", "ul", "ol"};
  return std::find(blocks.begin(), blocks.end(), tag) != blocks.end();
}

// The value of property in css (the last one given), without quotes.
std::string cssValue(std::string_view css, std::string_view property) {
  std::string value;
  for (auto at = findNoCase(css, property, 0); at != std::string_view::npos;
       at = findNoCase(css, property, at + 1)) {
    auto colon = at + property.size();
    while (colon < css.size() && std::isspace(static_cast<unsigned char>(css[colon]))) ++colon;
    if (colon >= css.size() || css[colon] != ':') continue;
    const auto end = css.find_first_of(";}", colon + 1);
    auto raw = css.substr(colon + 1, end == std::string_view::npos ? end : end - colon - 1);
    raw = raw.substr(0, raw.find(','));  // the first family of a list
    std::string cleaned;
    for (char c : raw) {
      if (c != '\'' && c != '"') cleaned += c;
    }
    const auto first = cleaned.find_first_not_of(" \t\r\n");
    const auto last = cleaned.find_last_not_of(" \t\r\n");
    value = first == std::string::npos ? "" : cleaned.substr(first, last - first + 1);
  }
  return value;
}

double cssSize(const std::string& value) {
  double size = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), size);
  if (ec != std::errc() || !(size > 0) || size > 10000) return 0;
  const std::string_view unit(end, value.data() + value.size() - end);
  return unit.empty() || unit == "px" || unit == "pt" ? size : 0;
}

class Reader {
 public:
  void text(std::string_view piece) {
    for (char c : piece) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
        pendingSpace_ = true;
      } else {
        flushSpace();
        out_ += c;
      }
    }
  }
  void decoded(const std::string& piece) {
    flushSpace();
    out_ += piece;
  }
  void lineBreak() {
    pendingSpace_ = false;
    out_ += '\n';
  }
  void blockEnd() {
    if (!out_.empty() && out_.back() != '\n') lineBreak();
    pendingSpace_ = false;
  }
  std::string finish() {
    while (!out_.empty() && out_.back() == '\n') out_.pop_back();
    return std::move(out_);
  }

 private:
  void flushSpace() {
    if (pendingSpace_ && !out_.empty() && out_.back() != '\n') out_ += ' ';
    pendingSpace_ = false;
  }
  std::string out_;
  bool pendingSpace_ = false;
};

// The index after the tag opened at html[at] == '<' (quotes respected).
std::size_t tagEnd(std::string_view html, std::size_t at) {
  char quote = 0;
  for (auto i = at + 1; i < html.size(); ++i) {
    const char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return html.size();
}

}  // namespace

HTMLText readHTML(std::string_view html) {
  HTMLText result;
  Reader reader;
  std::string css;
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '&') {
      std::string piece;
      i = readEntity(html, i, piece);
      reader.decoded(piece);
      continue;
    }
    if (c != '<') {
      const auto next = html.find_first_of("<&", i);
      reader.text(html.substr(i, next == std::string_view::npos ? next : next - i));
      i = next == std::string_view::npos ? html.size() : next;
      continue;
    }
    if (startsWithNoCase(html, i, "<!--")) {
      const auto end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    const bool closing = i + 1 < html.size() && html[i + 1] == '/';
    auto nameStart = i + (closing ? 2 : 1);
    auto nameEnd = nameStart;
    while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) {
      ++nameEnd;
    }
    if (nameEnd == nameStart) {  // a "<" that opens no tag is text
      reader.text("<");
      ++i;
      continue;
    }
    std::string name;
    for (auto k = nameStart; k < nameEnd; ++k) name += lower(html[k]);
    i = tagEnd(html, i);
    if (!closing && (name == "style" || name == "script")) {
      const auto end = findNoCase(html, "</" + name, i);
      const auto body = html.substr(i, end == std::string_view::npos ? end : end - i);
      if (name == "style") css.append(body).append(";");
      i = end == std::string_view::npos ? html.size() : tagEnd(html, end);
    } else if (name == "br") {
      reader.lineBreak();
    } else if (closing && isBlockEnd(name)) {
      reader.blockEnd();
    }
  }
  result.text = reader.finish();
  result.fontFamily = cssValue(css, "font-family");
  result.fontSize = cssSize(cssValue(css, "font-size"));
  return result;
}

}  // namespace tavrino::ui::detail
