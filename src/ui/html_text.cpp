#include "ui/html_text.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

#include "tavrino/platform/platform.hpp"

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

// Gathers the shown text and the style sheets from the parser's reports.
class Collector final : public platform::HTMLContentHandler {
 public:
  void startElement(std::string_view name) override {
    if (name == "br") reader_.lineBreak();
    if (name == "script") raw_ = "script";
    if (name == "style") raw_ = "style";
  }
  void endElement(std::string_view name) override {
    if (name == raw_) {
      if (raw_ == "style") css_ += ';';
      raw_ = {};
    } else if (isBlockEnd(name)) {
      reader_.blockEnd();
    }
  }
  void characters(std::string_view text) override {
    if (raw_ == "style") {
      css_.append(text);
    } else if (raw_.empty()) {
      reader_.text(text);
    }
  }

  std::string text() { return reader_.finish(); }
  const std::string& css() const { return css_; }

 private:
  Reader reader_;
  std::string css_;
  std::string_view raw_;  // "script" or "style" while inside one
};

}  // namespace

HTMLText readHTML(std::string_view html) {
  Collector collector;
  platform::current().htmlParser().parse(html, collector);
  HTMLText result;
  result.text = collector.text();
  result.fontFamily = cssValue(collector.css(), "font-family");
  result.fontSize = cssSize(cssValue(collector.css(), "font-size"));
  return result;
}

}  // namespace tavrino::ui::detail
