#include <gtest/gtest.h>

#include "support/sdk_test.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/font.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino {
namespace {

using ui::AttributedText;
using ui::Font;

TEST(AttributedTextTest, MarkupGivesItsTextAndFontOrTheHtmlDefault) {
  const std::string html =
      "<style>body{font-family:'Helvetica Neue' ; font-size:35px;}</style>Summer &amp; "
      "<b>sale</b>";
  const auto text = AttributedText::fromHTML(html);
  EXPECT_EQ(text.html, html);
  EXPECT_EQ(text.string, "Summer & sale");
  EXPECT_EQ(text.font, (Font{"Helvetica Neue", 35}));

  EXPECT_EQ(AttributedText::fromHTML("plain").font, AttributedText::defaultHTMLFont());
  // Only sizes in px or pt, and the first family of a list.
  EXPECT_EQ(AttributedText::fromHTML(
                "<style>p{font-size:2em} body{font-family: \"Georgia\", serif}</style>x")
                .font,
            (Font{"Georgia", 12}));
  EXPECT_EQ(AttributedText::fromHTML("<style>body{font-size:-4px}</style>x").font.size, 12);
}

TEST(AttributedTextTest, TextAsABrowserShowsIt) {
  EXPECT_EQ(AttributedText::fromHTML("  a \n\t b  ").string, "a b");
  EXPECT_EQ(AttributedText::fromHTML("one<br>two<br/>three").string, "one\ntwo\nthree");
  EXPECT_EQ(AttributedText::fromHTML("<p>first</p><p>second</p>").string, "first\nsecond");
  EXPECT_EQ(AttributedText::fromHTML("x<script>document.write('<b>y</b>')</script>z").string, "xz");
  EXPECT_EQ(AttributedText::fromHTML("a<!-- <b>hidden</b> -->b").string, "ab");
  EXPECT_EQ(AttributedText::fromHTML("&lt;3 &#215; &#xe9; &times; &bogus; &#0;").string,
            "<3 \u00d7 \u00e9 \u00d7 &bogus; \ufffd");
  EXPECT_EQ(AttributedText::fromHTML("<a href='x>y'>link</a> 1 < 2").string, "link 1 < 2");
  // Unterminated pieces end the text rather than running past it.
  EXPECT_EQ(AttributedText::fromHTML("a<style>body{").string, "a");
  EXPECT_EQ(AttributedText::fromHTML("a<b").string, "a");
}

class TextMeasureTest : public testing::SdkTest {};

TEST_F(TextMeasureTest, WrappedTextGrowsDownward) {
  const Font font{"Helvetica Neue", 15};
  const std::string sentence = "Fresh offers for you every single day of the week";
  const auto oneLine = ui::measureText(sentence, font);
  const auto wrapped = ui::measureText(sentence, font, oneLine.width / 2);
  EXPECT_GT(wrapped.height, oneLine.height);
  EXPECT_LE(wrapped.width, oneLine.width / 2);
  EXPECT_DOUBLE_EQ(ui::measureText("a\nb", font).height, 2 * ui::measureText("a", font).height);
  // A word wider than the limit stands alone rather than vanishing.
  const auto word = ui::measureText("Supercalifragilistic", font, 10);
  EXPECT_GT(word.width, 10);
  EXPECT_DOUBLE_EQ(word.height, oneLine.height);
}

TEST_F(TextMeasureTest, TextViewAndButtonFitTheirContent) {
  auto view = ui::TextView::make();
  view->setAttributedText(AttributedText::fromHTML(
      "<style>body{font-family:'Helvetica Neue' ; font-size:15px;}</style>Big news today"));
  const auto one = view->sizeThatFits({196, 0});
  const double line = ui::measureText("Big news today", Font{"Helvetica Neue", 15}).height;
  EXPECT_DOUBLE_EQ(one.height, line + ui::TextView::insetTop + ui::TextView::insetBottom);
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
