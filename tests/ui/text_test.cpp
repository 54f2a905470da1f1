#include "support/sdk_test.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/font.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino {
namespace {

using ui::AttributedText;
using ui::Font;

// The conversion reads markup through the platform's HTML parser.
class AttributedTextTest : public testing::SdkTest {};

TEST_F(AttributedTextTest, MarkupGivesItsTextAndFontOrTheHtmlDefault) {
  const std::string html =
      "<style>body{font-family:'Helvetica Neue' ; font-size:35px;}</style>Summer &amp; <b>sale</b>";
  EXPECT_EQ(AttributedText::fromHTML(html),
            (AttributedText{html, "Summer & sale", Font{"Helvetica Neue", 35}}));
  // Only sizes in px or pt, and the first family of a list.
  std::vector<Font> fonts;
  for (const char* markup :
       {"plain", "<style>p{font-size:2em} body{font-family: \"Georgia\", serif}</style>x",
        "<style>body{font-size:-4px}</style>x"})
    fonts.push_back(AttributedText::fromHTML(markup).font);
  const auto standard = AttributedText::defaultHTMLFont();
  EXPECT_EQ(fonts, (std::vector<Font>{standard, {"Georgia", 12}, {standard.family, 12}}));
}

TEST_F(AttributedTextTest, TextAsABrowserShowsIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"  a \n\t b  ", "a b"},
      {"one<br>two<br/>three", "one\ntwo\nthree"},
      {"<p>first</p><p>second</p>", "first\nsecond"},
      {"x<script>document.write('<b>y</b>')</script>z", "xz"},
      {"a<!-- <b>hidden</b> -->b", "ab"},
      {"<a href='x>y'>link</a> 1 < 2", "link 1 < 2"},
      // Named references (the HTML 4 set) and numeric ones, decimal and hex.
      {"50 &euro; &lt;3 &times; &hellip; &Omega; &sup2;&frac12;",
       "50 \u20ac <3 \u00d7 \u2026 \u03a9 \u00b2\u00bd"},
      {"a&nbsp;b &#215; &#xe9;&#X1F600; &#8364;", "a\u00a0b \u00d7 \u00e9\U0001F600 \u20ac"},
      // Malformed or unknown references stay as written; invalid code points
      // are dropped.
      {"&bogus; &NotEqualTilde; &#xZZ; &#; &euro", "&bogus; &NotEqualTilde; &#xZZ; &#; &euro"},
      {"x&#0;&#xD800;y", "xy"},
      // Unterminated pieces end the text rather than running past it.
      {"a<style>body{", "a"},
      {"a<b", "a"},
  };
  for (const auto& [html, shown] : cases)
    EXPECT_EQ(AttributedText::fromHTML(html).string, shown) << html;
}

// Wrapped text grows downward; views and buttons fit their content.
TEST_F(AttributedTextTest, MeasuredTextWrapsAndViewsFitIt) {
  const Font font{"Helvetica Neue", 15};
  const std::string sentence = "Fresh offers for you every single day of the week";
  const auto oneLine = ui::measureText(sentence, font);
  const auto wrapped = ui::measureText(sentence, font, oneLine.width / 2);
  EXPECT_TRUE(wrapped.height > oneLine.height && wrapped.width <= oneLine.width / 2);
  EXPECT_DOUBLE_EQ(ui::measureText("a\nb", font).height, 2 * oneLine.height);
  // A word wider than the limit stands alone rather than vanishing.
  const auto word = ui::measureText("Supercalifragilistic", font, 10);
  EXPECT_TRUE(word.width > 10 && word.height == oneLine.height);

  auto view = ui::TextView::make();
  view->setAttributedText(AttributedText::fromHTML(
      "<style>body{font-family:'Helvetica Neue' ; font-size:15px;}</style>Big news today"));
  const auto one = view->sizeThatFits({196, 0});
  EXPECT_DOUBLE_EQ(one.height, oneLine.height + ui::TextView::insetTop + ui::TextView::insetBottom);
  // A narrower view or a larger applied font needs more height.
  EXPECT_GT(view->sizeThatFits({60, 0}).height, one.height);
  view->setFont(Font{"Helvetica Neue", 30});
  EXPECT_GT(view->sizeThatFits({196, 0}).height, one.height);
  auto button = ui::Button::make();
  button->setTitle("Not now, thanks");
  button->setImage(ui::Image(30, 30, {}));
  EXPECT_EQ(button->sizeThatFits({}), (ui::Size{42, 36}));
}

}  // namespace
}  // namespace tavrino
