#pragma once

// The reference platform's Fonts: FreeType over the DejaVu faces of Debian's
// fonts-dejavu-core. "Helvetica Neue", "Helvetica", "Arial" and the system
// family are set in DejaVu Sans, serif families ("Times New Roman", "Times",
// "Georgia") in DejaVu Serif, monospaced ones ("Courier", "Courier New",
// "Menlo") in DejaVu Sans Mono; "Bold" in a name picks the bold face. Any
// other family is not available and is measured in DejaVu Sans. Without any
// font file every code point counts half the font size wide.
//
// Thread-safety: every method may be called from any thread (one lock around
// the FreeType library).

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/fonts.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxFonts final : public Fonts {
 public:
  // Looks for the DejaVu files in directories, in order. Empty: the
  // directory named by $TAVRINO_FONT_DIR, then /usr/share/fonts/truetype/dejavu.
  explicit LinuxFonts(std::vector<std::filesystem::path> directories = {});
  ~LinuxFonts() override;

  bool hasFamily(std::string_view family) override;
  double textWidth(std::string_view text, const ui::Font& font) override;
  FontMetrics metrics(const ui::Font& font) override;

  // The font file family is set in, or empty when there is none.
  std::filesystem::path fileFor(std::string_view family);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrino::platform
