#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "desktop_session/temp_dir.hpp"
#include "tavrino/platform/linux_fonts.hpp"

namespace tavrino::platform {
namespace {

using ui::Font;
using namespace std::string_view_literals;

// The real DejaVu faces of fonts-dejavu-core, measured by FreeType.
class LinuxFontsTest : public ::testing::Test {
 protected:
  double width(std::string_view text, const Font& font = {"Helvetica Neue", 16}) {
    return fonts.textWidth(text, font);
  }
  LinuxFonts fonts;
  const Font body{"Helvetica Neue", 16};
};

TEST_F(LinuxFontsTest, StandInFacesForTheNamedFamilies) {
  std::vector<std::string> files;
  for (std::string_view family :
       {Font::systemFamily, "HelveticaNeue-Bold"sv, "Times New Roman"sv, "Courier"sv})
    files.push_back(fonts.fileFor(family).filename());
  EXPECT_EQ(files, (std::vector<std::string>{"DejaVuSans.ttf", "DejaVuSans-Bold.ttf",
                                             "DejaVuSerif.ttf", "DejaVuSansMono.ttf"}));
  // A name that only begins like a known family is not that family.
  EXPECT_TRUE(fonts.hasFamily("helvetica neue") &&
              !fonts.hasFamily("Helvetica Neue Condensed Black Extra"));
  // An unknown family is set in the system face.
  EXPECT_DOUBLE_EQ(width("Fallback", Font{"Comic Papyrus", 16}), width("Fallback"));
}

TEST_F(LinuxFontsTest, WidthFollowsTheGlyphsAndTheSize) {
  EXPECT_GT(width("WWWW"), width("iiii"));
  EXPECT_EQ(width(""), 0);
  // The same text differs between faces: no per-character guess.
  EXPECT_NE(width("Hello world"), width("Hello world", Font{"Times New Roman", 16}));
  EXPECT_GT(width("Hello world", Font{"Helvetica Neue Bold", 16}), width("Hello world"));
  // Monospaced: every glyph advances alike.
  const Font mono{"Menlo", 10};
  EXPECT_DOUBLE_EQ(width("iiii", mono), width("WWWW", mono));
  // A multi-byte character is one glyph; a line break advances nothing.
  EXPECT_DOUBLE_EQ(width("\u00d7", mono), width("x", mono));
  EXPECT_DOUBLE_EQ(width("ab\ncd"), width("abcd"));
  // Stray continuation bytes, a truncated sequence: each counts as one
  // replacement glyph, and nothing is read past the end.
  EXPECT_DOUBLE_EQ(width("\x80"), width("\ufffd"));
  EXPECT_DOUBLE_EQ(width("\xe2\x82"), 2 * width("\ufffd"));
  // Width and metrics scale with the size; sizes that are none give nothing.
  EXPECT_NEAR(width("Summer sale", Font{"Helvetica Neue", 32}), 2 * width("Summer sale"), 1e-9);
  const auto m16 = fonts.metrics(body);
  const auto m32 = fonts.metrics(Font{"Helvetica Neue", 32});
  EXPECT_TRUE(m16.lineHeight > 16 && m16.lineHeight < 20);  // DejaVu Sans: about 1.16 em
  EXPECT_NEAR(m32.lineHeight, 2 * m16.lineHeight, 1e-9);
  EXPECT_NEAR(m16.ascender + m16.descender, m16.lineHeight, 1);
  for (double bad : {0.0, -3.0, std::nan(""), double(INFINITY)}) {
    const Font none{"Helvetica Neue", bad};
    EXPECT_EQ(std::pair(width("abc", none), fonts.metrics(none).lineHeight), std::pair(0.0, 0.0));
  }
}

TEST(LinuxFontsWithoutFilesTest, MissingOrCorruptFilesEstimateHalfTheSizePerCharacter) {
  testing::TempDir empty, corrupt;
  std::ofstream(corrupt.path() / "DejaVuSans.ttf") << "not a font";
  for (const auto* dir : {&empty, &corrupt}) {
    LinuxFonts fonts({dir->path()});
    const Font font{"Helvetica Neue", 10};
    EXPECT_EQ(std::tuple(fonts.hasFamily(font.family), fonts.textWidth("ab\u00e9", font),
                         fonts.metrics(font).lineHeight),
              std::tuple(true, 15.0, 12.0));
  }
}

}  // namespace
}  // namespace tavrino::platform
