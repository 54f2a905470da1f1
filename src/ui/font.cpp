#include "tavrino/ui/font.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "tavrino/platform/platform.hpp"

namespace tavrino::ui {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return pieces;
    start = end + 1;
  }
}

// The lines one paragraph takes when wrapped between words at maxWidth.
std::vector<std::string> wrap(std::string_view paragraph, const Font& font, double maxWidth,
                              platform::Fonts& fonts) {
  std::vector<std::string> lines;
  std::string line;
  for (auto word : split(paragraph, ' ')) {
    if (word.empty()) continue;
    if (line.empty()) {
      line = word;
      continue;
    }
    std::string candidate = line + ' ' + std::string(word);
    if (fonts.textWidth(candidate, font) <= maxWidth) {
      line = std::move(candidate);
    } else {
      lines.push_back(std::move(line));
      line = word;
    }
  }
  lines.push_back(std::move(line));
  return lines;
}

}  // namespace

std::optional<Font> Font::named(std::string family, double size) {
  if (!platform::current().fonts().hasFamily(family)) return std::nullopt;
  return Font{std::move(family), size};
}

double textWidth(std::string_view text, const Font& font) {
  return platform::current().fonts().textWidth(text, font);
}

Size measureText(std::string_view text, const Font& font, double maxWidth) {
  auto& fonts = platform::current().fonts();
  double widest = 0;
  std::size_t lineCount = 0;
  for (auto paragraph : split(text, '\n')) {
    if (maxWidth > 0) {
      for (const auto& line : wrap(paragraph, font, maxWidth, fonts)) {
        widest = std::max(widest, fonts.textWidth(line, font));
        ++lineCount;
      }
    } else {
      widest = std::max(widest, fonts.textWidth(paragraph, font));
      ++lineCount;
    }
  }
  return {widest, static_cast<double>(lineCount) * fonts.metrics(font).lineHeight};
}

}  // namespace tavrino::ui
