#pragma once

// Fonts and text measurement. A font is a family name and a point size; the
// platform (platform::Fonts) knows which families exist and sets the text.
//
// Thread-safety: the functions may be called from any thread.

#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::ui {

struct TAVRINO_EXPORT Font {
  // The family of the system font; every platform has it.
  static constexpr std::string_view systemFamily = ".SystemUI";

  std::string family{systemFamily};
  double size = 17;

  static Font systemFont(double size) { return Font{std::string(systemFamily), size}; }
  // The font of that family and size, or nothing when the platform has no
  // such family.
  static std::optional<Font> named(std::string family, double size);

  bool operator==(const Font&) const = default;
};

// The advance width of one line of text set in font.
TAVRINO_EXPORT double textWidth(std::string_view text, const Font& font);

// The size text takes set in font: lines break at "\n" and, when maxWidth is
// positive, between words so that no line is wider than maxWidth (a single
// word wider than that stands on its own line). Width is the widest line,
// height the number of lines times the line height. Empty text is one empty
// line tall and zero wide.
TAVRINO_EXPORT Size measureText(std::string_view text, const Font& font, double maxWidth = 0);

}  // namespace tavrino::ui
