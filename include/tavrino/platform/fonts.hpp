#pragma once

// Fonts: which font families exist and how wide text set in them is.
//
// Thread-safety: every method may be called from any thread.

#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/font.hpp"

namespace tavrino::platform {

// Vertical metrics of a font at its size, in points.
struct FontMetrics {
  double ascender = 0;   // above the baseline, positive
  double descender = 0;  // below the baseline, positive
  double lineHeight = 0;
};

class TAVRINO_EXPORT Fonts {
 public:
  virtual ~Fonts();

  // True when family names a font the platform can set text in; the system
  // family (ui::Font::systemFamily) always exists.
  virtual bool hasFamily(std::string_view family) = 0;
  // The advance width in points of one line of UTF-8 text set in font
  // (no wrapping; line breaks count as nothing). A family the platform does
  // not have is measured in the system font.
  virtual double textWidth(std::string_view text, const ui::Font& font) = 0;
  virtual FontMetrics metrics(const ui::Font& font) = 0;
};

}  // namespace tavrino::platform
