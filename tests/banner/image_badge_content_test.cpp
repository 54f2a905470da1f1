// Badge content: text badges (font, alignment, colours, frame from the
// insets and "h"), image badges, and the types that draw nothing.

#include "support/sdk_test.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino {
namespace {

class BadgeContentTest : public testing::SdkTest {
 protected:
  std::shared_ptr<ui::TextView> text(const Value& style, std::string_view content = "Sale") {
    return std::dynamic_pointer_cast<ui::TextView>(
        popUpController::setBadgeContent(badge, "bdgat", content, style, std::nullopt));
  }
  std::shared_ptr<ui::View> badge = ui::View::make(ui::Rect::make(0, 0, 300, 120));
};

TEST_F(BadgeContentTest, TextBadgeFollowsItsStyle) {
  auto view = text(Value::parse(R"({"bgc": "#FF0000", "sfc": "#00FF00", "sfs": "18px",
      "sff": "Helvetica Neue", "position": "right"})"),
                   "<b>-20%</b>");
  ASSERT_TRUE(view && view->superview() == badge);
  EXPECT_EQ(std::tuple(view->textAlignment(), view->effectiveFont(), view->text(),
                       view->textColor(), badge->backgroundColor()),
            std::tuple(ui::TextAlignment::right, ui::Font{"Helvetica Neue", 18}, "-20%",
                       ui::Color{0, 1, 0, 1}, ui::Color{1, 0, 0, 1}));
  EXPECT_FALSE(view->isEditable() || view->isUserInteractionEnabled());

  // Defaults: system font at 15, white on black, centred; a missing family
  // falls back to the system font; unknown positions are natural.
  auto plain = text({{"sff", "Comic Papyrus"}});
  EXPECT_EQ(std::tuple(plain->effectiveFont(), plain->textColor(), plain->backgroundColor(),
                       plain->textAlignment()),
            std::tuple(ui::Font::systemFont(15), ui::Color{1, 1, 1, 1}, ui::Color{0, 0, 0, 1},
                       ui::TextAlignment::center));
  EXPECT_EQ(text({{"position", "justify"}})->textAlignment(), ui::TextAlignment::natural);

  // The frame keeps the insets and height inside the badge: by default 100
  // from the left, 50 tall.
  const std::pair<Value, ui::Rect> frames[] = {
      {Value::object(), ui::Rect::make(100, 0, 200, 50)},
      {{{"left", "10"}, {"right", "20px"}, {"top", 5}, {"h", "30"}},
       ui::Rect::make(10, 5, 270, 30)},
      {{{"left", "0"}, {"top", "100"}, {"bottom", "10"}}, ui::Rect::make(0, 100, 300, 10)},
      {{{"left", "400"}, {"top", "200"}}, ui::Rect::make(400, 200, 0, 0)},
      {{{"left", "-5"}, {"h", "tall"}, {"top", "nan"}}, ui::Rect::make(100, 0, 200, 50)}};
  for (const auto& [style, frame] : frames) EXPECT_EQ(text(style)->frame(), frame) << style;
}

TEST_F(BadgeContentTest, ImageBadgeIsAButtonAtTheBadgesFrameAndOtherTypesDrawNothing) {
  badge->setFrame(ui::Rect::make(10.7, 5.2, 100.9, 50.5));
  const ui::Image image(40, 20, Data{1, 2, 3});
  auto button = std::dynamic_pointer_cast<ui::customButton>(
      popUpController::setBadgeContent(badge, "bdgdi", "", {}, image));
  ASSERT_TRUE(button);
  EXPECT_EQ(std::pair(button->image(), button->frame()),
            std::pair(image, ui::Rect::make(10, 5, 100, 50)));
  for (const char* type : {"bdgah", "bdgdh", "img"}) {
    EXPECT_EQ(popUpController::setBadgeContent(badge, type, "x", {}, std::nullopt), nullptr);
  }
  EXPECT_EQ(badge->subviews().size(), 1u);
}

}  // namespace
}  // namespace tavrino
