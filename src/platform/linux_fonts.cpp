#include "tavrino/platform/linux_fonts.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tavrino::platform {
namespace {

enum class Category { sans, serif, mono };

struct Face {
  Category category = Category::sans;
  bool bold = false;
};

// Known family names, with spaces and hyphens removed and in lower case;
// longer names first so that "helveticaneue" wins over "helvetica".
constexpr std::array<std::pair<std::string_view, Category>, 22> kFamilies{{
    {"dejavusansmono", Category::mono}, {"dejavuserif", Category::serif},
    {"dejavusans", Category::sans},     {"helveticaneue", Category::sans},
    {"helvetica", Category::sans},      {"arial", Category::sans},
    {".systemui", Category::sans},      {"systemui", Category::sans},
    {"applesystem", Category::sans},    {"sanfrancisco", Category::sans},
    {"sansserif", Category::sans},      {"timesnewroman", Category::serif},
    {"times", Category::serif},         {"georgia", Category::serif},
    {"serif", Category::serif},         {"couriernew", Category::mono},
    {"courier", Category::mono},        {"menlo", Category::mono},
    {"monaco", Category::mono},         {"monospace", Category::mono},
    {"sfpro", Category::sans},          {"verdana", Category::sans},
}};

// What may follow a family name: the weight and slant words of the names
// fonts are known by ("HelveticaNeue-Bold", "Arial BoldMT").
constexpr std::array<std::string_view, 16> kStyles{
    "",     "regular",    "medium",      "light", "thin", "ultralight", "italic",   "oblique",
    "bold", "bolditalic", "boldoblique", "mt",    "psmt", "boldmt",     "italicmt", "text"};

std::string squeeze(std::string_view family) {
  std::string out;
  for (char c : family) {
    if (c == ' ' || c == '-' || c == '_') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

std::optional<Face> resolve(std::string_view family) {
  const auto name = squeeze(family);
  std::optional<Face> best;
  std::size_t bestLength = 0;
  for (const auto& [known, category] : kFamilies) {
    if (name.compare(0, known.size(), known) != 0 || known.size() <= bestLength) continue;
    const auto rest = std::string_view(name).substr(known.size());
    if (std::find(kStyles.begin(), kStyles.end(), rest) == kStyles.end()) continue;
    best = Face{category, rest.find("bold") != std::string_view::npos};
    bestLength = known.size();
  }
  return best;
}

std::string fileName(const Face& face) {
  std::string base = face.category == Category::serif  ? "DejaVuSerif"
                     : face.category == Category::mono ? "DejaVuSansMono"
                                                       : "DejaVuSans";
  return base + (face.bold ? "-Bold.ttf" : ".ttf");
}

// Decodes UTF-8; a byte that starts no valid sequence stands for U+FFFD.
template <typename Fn>
void forEachCodePoint(std::string_view text, Fn&& fn) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
    std::uint32_t cp = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      valid = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      fn(0xFFFD);
      ++i;
      continue;
    }
    fn(cp);
    i += length;
  }
}

bool usableSize(double size) {
  return std::isfinite(size) && size > 0;
}

}  // namespace

struct LinuxFonts::Impl {
  std::vector<std::filesystem::path> directories;
  std::mutex mu;
  FT_Library library = nullptr;
  std::map<std::string, FT_Face> faces;  // by file name; null when it failed

  ~Impl() {
    for (auto& [name, face] : faces) {
      if (face) FT_Done_Face(face);
    }
    if (library) FT_Done_FreeType(library);
  }

  std::filesystem::path locate(const std::string& name) const {
    for (const auto& dir : directories) {
      std::error_code ec;
      if (std::filesystem::is_regular_file(dir / name, ec)) return dir / name;
    }
    return {};
  }

  // The face for family (DejaVu Sans for an unknown one), or null when no
  // file can be loaded. Called under mu.
  FT_Face faceFor(std::string_view family) {
    const auto name = fileName(resolve(family).value_or(Face{}));
    if (auto it = faces.find(name); it != faces.end()) return it->second;
    FT_Face face = nullptr;
    const auto path = locate(name);
    if (!path.empty() && library && FT_New_Face(library, path.c_str(), 0, &face) != 0) {
      face = nullptr;
    }
    if (face && face->units_per_EM == 0) {
      FT_Done_Face(face);
      face = nullptr;
    }
    faces[name] = face;
    return face;
  }
};

LinuxFonts::LinuxFonts(std::vector<std::filesystem::path> directories)
    : impl_(std::make_unique<Impl>()) {
  if (directories.empty()) {
    if (const char* dir = std::getenv("TAVRINO_FONT_DIR"); dir && *dir) {
      directories.emplace_back(dir);
    }
    directories.emplace_back("/usr/share/fonts/truetype/dejavu");
  }
  impl_->directories = std::move(directories);
  if (FT_Init_FreeType(&impl_->library) != 0) impl_->library = nullptr;
}

LinuxFonts::~LinuxFonts() = default;

bool LinuxFonts::hasFamily(std::string_view family) {
  return resolve(family).has_value();
}

std::filesystem::path LinuxFonts::fileFor(std::string_view family) {
  return impl_->locate(fileName(resolve(family).value_or(Face{})));
}

double LinuxFonts::textWidth(std::string_view text, const ui::Font& font) {
  if (!usableSize(font.size)) return 0;
  std::lock_guard lock(impl_->mu);
  FT_Face face = impl_->faceFor(font.family);
  if (!face) {
    std::size_t count = 0;
    forEachCodePoint(text, [&](std::uint32_t cp) { count += cp != '\n' && cp != '\r'; });
    return static_cast<double>(count) * font.size * 0.5;
  }
  // Unhinted advances in font units, so widths scale exactly with the size.
  const bool kerning = FT_HAS_KERNING(face);
  FT_UInt previous = 0;
  long units = 0;
  forEachCodePoint(text, [&](std::uint32_t cp) {
    if (cp == '\n' || cp == '\r') {
      previous = 0;
      return;
    }
    const FT_UInt glyph = FT_Get_Char_Index(face, cp);
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) == 0) units += advance;
    if (kerning && previous && glyph) {
      FT_Vector delta{};
      if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &delta) == 0) {
        units += delta.x;
      }
    }
    previous = glyph;
  });
  return static_cast<double>(units) * font.size / face->units_per_EM;
}

FontMetrics LinuxFonts::metrics(const ui::Font& font) {
  if (!usableSize(font.size)) return {};
  std::lock_guard lock(impl_->mu);
  FT_Face face = impl_->faceFor(font.family);
  if (!face) return {font.size * 0.8, font.size * 0.2, font.size * 1.2};
  const double scale = font.size / face->units_per_EM;
  return {face->ascender * scale, -face->descender * scale, face->height * scale};
}

}  // namespace tavrino::platform
