#include "gtk/pango_markup.hpp"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <vector>

namespace tavrino::gtk {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The Pango element an HTML element maps to, if any.
std::string_view pangoElement(const std::string& name) {
  static const std::map<std::string, std::string_view, std::less<>> elements{
      {"b", "b"},  {"strong", "b"}, {"i", "i"},   {"em", "i"},    {"u", "u"},     {"ins", "u"},
      {"s", "s"},  {"strike", "s"}, {"del", "s"}, {"sup", "sup"}, {"sub", "sub"}, {"h1", "b"},
      {"h2", "b"}, {"h3", "b"},     {"h4", "b"},  {"h5", "b"},    {"h6", "b"}};
  const auto found = elements.find(name);
  return found == elements.end() ? std::string_view() : found->second;
}

bool endsBlock(const std::string& name) {
  static const std::vector<std::string> blocks{"p",  "div", "li", "tr", "h1",        "h2",
                                               "h3", "h4",  "h5", "h6", "blockquote"};
  return std::find(blocks.begin(), blocks.end(), name) != blocks.end();
}

// The character an entity stands for, as UTF-8; nothing for one it does not know.
std::string decodeEntity(std::string_view entity) {
  static const std::map<std::string, std::string, std::less<>> named{{"amp", "&"},
                                                                     {"lt", "<"},
                                                                     {"gt", ">"},
                                                                     {"quot", "\""},
                                                                     {"apos", "'"},
                                                                     {"nbsp", "\xC2\xA0"},
                                                                     {"euro", "\xE2\x82\xAC"}};
  if (const auto found = named.find(entity); found != named.end()) return found->second;
  if (entity.size() < 2 || entity[0] != '#') return {};
  const bool hex = entity[1] == 'x' || entity[1] == 'X';
  const std::string digits(entity.substr(hex ? 2 : 1));
  if (digits.empty() || digits.size() > 8) return {};
  char* end = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0' || code == 0 || !g_unichar_validate(static_cast<gunichar>(code))) return {};
  char utf8[8] = {};
  return std::string(
      utf8, static_cast<std::size_t>(g_unichar_to_utf8(static_cast<gunichar>(code), utf8)));
}

class Writer {
 public:
  void text(std::string_view raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (std::isspace(static_cast<unsigned char>(c))) {
        pendingSpace_ = true;
        continue;
      }
      std::string piece(1, c);
      if (c == '&') {
        const auto semicolon = raw.find(';', i);
        if (semicolon != std::string_view::npos && semicolon - i <= 10) {
          if (std::string decoded = decodeEntity(raw.substr(i + 1, semicolon - i - 1));
              !decoded.empty()) {
            piece = decoded;
            i = semicolon;
          }
        }
      }
      flushSpace();
      char* escaped = g_markup_escape_text(piece.c_str(), static_cast<gssize>(piece.size()));
      out_ += escaped;
      g_free(escaped);
    }
  }
  void lineBreak() {
    out_ += '\n';
    pendingSpace_ = false;
  }
  void open(std::string_view element) {
    flushSpace();
    out_ += "<" + std::string(element) + ">";
    open_.emplace_back(element);
  }
  // Closes element and whatever opened inside it; an end of nothing open is
  // ignored.
  void close(std::string_view element) {
    if (std::find(open_.begin(), open_.end(), element) == open_.end()) return;
    while (!open_.empty()) {
      const std::string last = open_.back();
      out_ += "</" + last + ">";
      open_.pop_back();
      if (last == element) break;
    }
  }
  std::string finish() {
    if (!open_.empty()) close(std::string(open_.front()));
    while (!out_.empty() && out_.back() == '\n') out_.pop_back();
    return out_;
  }

 private:
  // White space before text or a styled run; none at the start of a line.
  void flushSpace() {
    if (pendingSpace_ && !out_.empty() && out_.back() != '\n') out_ += ' ';
    pendingSpace_ = false;
  }

  std::string out_;
  std::vector<std::string> open_;
  bool pendingSpace_ = false;
};

}  // namespace

std::string pangoMarkupFromHTML(std::string_view html) {
  Writer writer;
  std::size_t at = 0;
  while (at < html.size()) {
    const auto tag = html.find('<', at);
    writer.text(html.substr(at, tag == std::string_view::npos ? std::string_view::npos : tag - at));
    if (tag == std::string_view::npos) break;
    if (html.substr(tag, 4) == "<!--") {
      const auto end = html.find("-->", tag);
      at = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    const auto end = html.find('>', tag);
    if (end == std::string_view::npos) {
      writer.text(html.substr(tag));
      break;
    }
    at = end + 1;
    std::string_view inside = html.substr(tag + 1, end - tag - 1);
    const bool closing = !inside.empty() && inside.front() == '/';
    if (closing) inside.remove_prefix(1);
    const auto nameEnd = inside.find_first_of(" \t\r\n/");
    const std::string name = lower(inside.substr(0, nameEnd));
    if (!closing && (name == "style" || name == "script")) {
      const auto close = lower(html.substr(at)).find("</" + name);
      at = close == std::string::npos ? html.size() : html.find('>', at + close);
      at = at == std::string_view::npos ? html.size() : at + 1;
      continue;
    }
    if (name == "br") {
      writer.lineBreak();
    } else if (const std::string_view element = pangoElement(name); !element.empty()) {
      closing ? writer.close(element) : writer.open(element);
    }
    if (closing && endsBlock(name)) writer.lineBreak();
  }
  return writer.finish();
}

}  // namespace tavrino::gtk
