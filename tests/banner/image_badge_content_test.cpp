// Badge content: text badges (font, alignment, colours, frame from the
// insets and "h") and image badges, and the types that draw nothing.

#include "support/sdk_test.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino {
namespace {

class BadgeContentTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
  }

  std::shared_ptr<ui::View> badge = ui::View::make(ui::Rect::make(0, 0, 300, 120));

  std::shared_ptr<ui::TextView> text(const Value& style, std::string_view content = "<b>Sale</b>",
                                     std::string_view type = "bdgat") {
    auto added = popUpController::setBadgeContent(badge, type, content, style, std::nullopt);
    return std::dynamic_pointer_cast<ui::TextView>(added);
  }
};

TEST_F(BadgeContentTest, TextBadgeFollowsItsStyle) {
  auto view = text({{"bgc", "#FF0000"},
                    {"sfc", "#00FF00"},
                    {"sfs", "18px"},
                    {"sff", "Helvetica Neue"},
                    {"position", "right"}},
                   "<b>-20%</b>");
  ASSERT_TRUE(view);
  EXPECT_EQ(view->superview(), badge);
  EXPECT_EQ(view->textAlignment(), ui::TextAlignment::right);
  EXPECT_EQ(view->effectiveFont(), (ui::Font{"Helvetica Neue", 18}));
  EXPECT_EQ(view->text(), "-20%");
  EXPECT_NE(view->attributedText().html.find("font-family:'Helvetica Neue' ; font-size:18px;"),
            std::string::npos);
  EXPECT_EQ(view->textColor(), (ui::Color{0, 1, 0, 1}));
  EXPECT_EQ(view->backgroundColor(), (ui::Color{1, 0, 0, 1}));
  EXPECT_EQ(badge->backgroundColor(), view->backgroundColor());
  EXPECT_FALSE(view->isEditable());
  EXPECT_FALSE(view->isUserInteractionEnabled());
  EXPECT_TRUE(log().contains("tavrino_log : setBadgeContent added view to parent"));

  // Defaults: system font at 15, white on black, centred.
  auto plain = text(Value::object());
  EXPECT_EQ(plain->effectiveFont(), ui::Font::systemFont(15));
  EXPECT_EQ(plain->textAlignment(), ui::TextAlignment::center);
  EXPECT_EQ(plain->textColor(), (ui::Color{1, 1, 1, 1}));
  EXPECT_EQ(plain->backgroundColor(), (ui::Color{0, 0, 0, 1}));
  // A family the platform lacks falls back to the system font.
  EXPECT_EQ(text({{"sff", "Comic Papyrus"}, {"sfs", "12"}})->effectiveFont(),
            ui::Font::systemFont(12));
}

TEST_F(BadgeContentTest, AlignmentByPosition) {
  const std::pair<const char*, ui::TextAlignment> cases[] = {
      {"center", ui::TextAlignment::center},
      {"left", ui::TextAlignment::left},
      {"right", ui::TextAlignment::right},
      {"default", ui::TextAlignment::natural},
      {"justify", ui::TextAlignment::natural}};
  for (const auto& [position, alignment] : cases) {
    EXPECT_EQ(text({{"position", position}})->textAlignment(), alignment) << position;
  }
}

TEST_F(BadgeContentTest, TextFrameKeepsTheInsetsAndHeight) {
  struct Case {
    Value style;
    ui::Rect frame;
  };
  const Case cases[] = {
      // Defaults: 100 from the left, 50 tall.
      {Value::object(), ui::Rect::make(100, 0, 200, 50)},
      {{{"left", "10"}, {"right", "20px"}, {"top", 5}, {"h", "30"}},
       ui::Rect::make(10, 5, 270, 30)},
      // Never beyond the badge: "h" gives way to the bottom inset.
      {{{"left", "0"}, {"top", "100"}, {"bottom", "10"}, {"h", "50"}},
       ui::Rect::make(0, 100, 300, 10)},
      {{{"left", "400"}, {"top", "200"}}, ui::Rect::make(400, 200, 0, 0)},
      // Lengths that are no number of at least 0 keep their defaults.
      {{{"left", "-5"}, {"h", "tall"}, {"top", "nan"}}, ui::Rect::make(100, 0, 200, 50)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style.dump());
    EXPECT_EQ(text(c.style)->frame(), c.frame);
  }
  EXPECT_TRUE(log().contains("badge frame size : 200 x 50"));
}

TEST_F(BadgeContentTest, ImageBadgeIsAButtonAtTheBadgesWholeFrame) {
  badge->setFrame(ui::Rect::make(10.7, 5.2, 100.9, 50.5));
  const ui::Image image(40, 20, Data{1, 2, 3});
  auto added = popUpController::setBadgeContent(badge, "bdgdi", "", {}, image);
  auto button = std::dynamic_pointer_cast<ui::customButton>(added);
  ASSERT_TRUE(button);
  EXPECT_EQ(button->superview(), badge);
  EXPECT_EQ(button->image(), image);
  EXPECT_EQ(button->frame(), ui::Rect::make(10, 5, 100, 50));

  auto bare = std::dynamic_pointer_cast<ui::customButton>(
      popUpController::setBadgeContent(badge, "bdgai", "", {}, std::nullopt));
  ASSERT_TRUE(bare);
  EXPECT_TRUE(bare->image().isEmpty());
}

TEST_F(BadgeContentTest, OtherTypesDrawNothing) {
  for (const char* type : {"bdgah", "bdgdh", "img", ""}) {
    EXPECT_EQ(popUpController::setBadgeContent(badge, type, "x", {}, std::nullopt), nullptr)
        << type;
  }
  EXPECT_TRUE(badge->subviews().empty());
  EXPECT_EQ(popUpController::setBadgeContent(nullptr, "bdgat", "x", {}, std::nullopt), nullptr);
}

}  // namespace
}  // namespace tavrino
