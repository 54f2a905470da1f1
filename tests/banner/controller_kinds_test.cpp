// Every banner kind: what it lays over the host, or why it lays nothing.

#include <gtest/gtest.h>

#include "banner/click_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/client.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::testing {
namespace {

using platform::WebContent;

class ControllerKindsTest : public ControllerTest {
 protected:
  WebContent::Kind loads(const Value& params, std::string_view function) {
    return contentOf(*show(params, function)->webView).kind;
  }
};

TEST_F(ControllerKindsTest, WebBannersShowTheDocumentOrAddressAtTheirFrame) {
  const Value params = {{"zbid", "7"}, {"w", "300px"}, {"h", "250px"}, {"cap", "<b>Hi</b>"}};
  auto banner = show(params, "lbcs");
  ASSERT_TRUE(attached(*banner) && banner->webView);
  EXPECT_EQ((std::vector{banner->view()->frame(), banner->containerView->frame(),
                         banner->webView->frame(), banner->actInd->frame()}),
            (std::vector{ui::Rect::make(0, 0, 390, 844), ui::Rect::make(45, 297, 300, 250),
                         ui::Rect::make(0, 0, 300, 250), ui::Rect::make(130, 125, 40, 40)}));
  const WebContent content = contentOf(*banner->webView);
  EXPECT_EQ(std::pair(content.kind, content.html),
            std::pair(WebContent::Kind::html, banner::createHTMLContent(params)));
  EXPECT_TRUE(banner->actInd->isAnimating());
  for (const char* function : {"svc", "ajx"}) {
    auto page = show({{"c10", "https://shop.example/offer?x=1"}}, function);
    EXPECT_EQ(contentOf(*page->webView).request.url, "https://shop.example/offer?x=1") << function;
  }
  auto full = show({{"btype", "fs"}, {"bstatus", "1"}}, "lbcs");
  EXPECT_EQ(full->containerView->frame(), ui::Rect::make(0, 47, 390, 844 - 47));

  // Allowed domains decide what loads; the campaign's own document counts
  // as the empty domain, and its banner still shows, empty.
  allowDomains({"shop.example"});
  EXPECT_EQ(loads({{"c10", "https://shop.example:8443/a"}}, "svc"), WebContent::Kind::request);
  EXPECT_EQ(loads({{"c10", "https://elsewhere.example/a"}}, "svc"), WebContent::Kind::none);
  EXPECT_TRUE(log().contains("create banner domain not allowed : elsewhere.example"));
  EXPECT_TRUE(attached(*show({{"cap", "x"}}, "lbcs")));
  EXPECT_EQ(loads({{"cap", "x"}}, "lbcs"), WebContent::Kind::none);
  allowDomains({"shop.example", ""});
  EXPECT_EQ(loads({{"cap", "x"}}, "lbcs"), WebContent::Kind::html);
}

TEST_F(ControllerKindsTest, ImageBannersAreClickButtonsCarryingTheCampaign) {
  const ui::Image image(600, 400, Data{1, 2, 3});
  const Value params = {{"zbid", "9"}, {"cap", "Title"}, {"btx", "Buy"}};
  auto banner = show(params, "img", image, {{"p", "Home"}});
  ASSERT_TRUE(attached(*banner));
  const auto buttons = find<ui::customButton>(banner->containerView);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(std::tuple(buttons[0]->image(), buttons[0]->customArray, buttons[0]->client_map,
                       buttons[0]->frame()),
            std::tuple(image, params, StringMap{{"p", "Home"}}, banner->containerView->bounds()));
  EXPECT_TRUE(find<ui::TextView>(banner->containerView).empty()) << "no text on a plain image";
  auto withText = show(params, "imgtxt", image);
  EXPECT_EQ(std::pair(find<ui::customButton>(withText->containerView).size(),
                      find<ui::TextView>(withText->containerView).size()),
            std::pair(2ul, 1ul))
      << "image and OK, and the title";

  // Image and compact strips: the whole compact strip is the button.
  auto pictured = show({{"bc", "ntimg"}}, "nitl", ui::Image(600, 400, Data{7}));
  EXPECT_EQ(pictured->view()->frame(), ui::Rect::make(10, 57, 370, 246));
  EXPECT_EQ(find<ui::customButton>(pictured->containerView).size(), 1u);
  auto compact = show({{"bc", "nts"}, {"cap", "Hello"}, {"btx", "Go"}}, "nsbr");
  EXPECT_EQ(compact->view()->frame().origin.x, 164);
  EXPECT_FALSE(button(compact->containerView, "Go"));
  const auto surface = find<ui::customButton>(compact->containerView);
  ASSERT_EQ(surface.size(), 1u);
  EXPECT_EQ(surface[0]->frame(), compact->containerView->bounds());
}

TEST_F(ControllerKindsTest, NativeStripsSitAtTheirEightPositionsAndSlideIn) {
  const Value params = Value::parse(R"({"bc": "nt", "cap": "Sale", "sub": "Today only",
      "btx": "Go", "xtx": "Later", "bgc": "#112233"})");
  const double top = 47 + 10;  // the status bar and the gap
  struct Case {
    const char* function;
    double x, y, width;  // y of a bottom strip: gap below the screen's foot
  };
  for (const auto& c :
       {Case{"tl", 10, top, 216}, Case{"tr", 164, top, 216}, Case{"tc", 87, top, 216},
        Case{"ts", 0, 47, 390}, Case{"bl", 10, -10, 216}, Case{"br", 164, -10, 216},
        Case{"bc", 87, -10, 216}, Case{"bs", 0, 0, 390}}) {
    SCOPED_TRACE(c.function);
    ui::clearRecordedAnimations();
    auto banner = show(params, c.function);
    ASSERT_TRUE(attached(*banner));
    const ui::Rect frame = banner->view()->frame();
    const bool atTop = c.function[0] == 't';
    EXPECT_EQ(std::tuple(frame.origin, frame.width(), banner->containerView->backgroundColor()),
              std::tuple(ui::Point{c.x, atTop ? c.y : 844 + c.y - frame.height()}, c.width,
                         Util::hexToUIColor("#112233")));
    // Title and subtitle 20 points narrower than the strip, 10 apart; the
    // buttons share the row below.
    const auto texts = find<ui::TextView>(banner->containerView);
    ASSERT_EQ(texts.size(), 2u);
    const auto ok = button(banner->containerView, "Go")->frame();
    const auto later = button(banner->containerView, "Later")->frame();
    EXPECT_EQ((std::vector{texts[0]->frame().origin.x, texts[0]->frame().origin.y,
                           texts[0]->frame().width(), texts[1]->frame().origin.y, later.origin.x,
                           frame.height()}),
              (std::vector{10.0, 10.0, frame.width() - 20, 20 + texts[0]->frame().height(),
                           ok.origin.x + ok.width() + 10, ok.origin.y + ok.height() + 10}));
    const auto animations = ui::recordedAnimations();
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(
        std::pair(animations[0].views[0].endFrame, animations[0].views[0].startFrame.origin.y),
        std::pair(frame, atTop ? -frame.height() : 844));
  }

  // Strips of other classes sit inside the overlay.
  auto other = show({{"cap", "Sale"}}, "bl");
  EXPECT_EQ(other->view()->frame(), ui::Rect::make(0, 0, 390, 844));
  const ui::Rect strip = other->containerView->frame();
  EXPECT_EQ(std::pair(strip.origin.x, strip.origin.y + strip.height()), std::pair(10.0, 834.0));
  EXPECT_EQ(ui::recordedAnimations().back().views[0].view.lock(), other->containerView);
}

TEST_F(ControllerKindsTest, InlineFramesGoIntoTheNamedHostViewOnce) {
  auto slot = ui::View::make(ui::Rect::make(0, 100, 390, 90));
  slot->setRestorationIdentifier("promo");
  auto wrapper = ui::View::make();
  wrapper->addSubview(slot);
  host->view()->addSubview(wrapper);

  auto first = show({{"slc", "promo"}, {"cap", "x"}}, "aich");
  EXPECT_FALSE(attached(*first)) << "no overlay for an inline frame";
  EXPECT_EQ(first->parent(), host);
  ASSERT_EQ(slot->subviews().size(), 1u);
  auto web = std::dynamic_pointer_cast<ui::WebView>(slot->subviews()[0]);
  ASSERT_TRUE(web);
  EXPECT_EQ(std::pair(web->restorationIdentifier(), web->frame()),
            std::pair(std::string("qivWebView_promo"), ui::Rect::make(0, 0, 390, 90)));
  // The frame keeps its first controller.
  EXPECT_EQ(show({{"slc", "promo"}}, "aich")->parent(), nullptr);
  EXPECT_EQ(slot->subviews().size(), 1u);
  EXPECT_EQ(web->navigationDelegate().get(),
            static_cast<ui::WebViewNavigationDelegate*>(first.get()));
  show({{"slc", "qivdyn@promo"}}, "aich");
  ASSERT_EQ(slot->subviews().size(), 2u);
  EXPECT_EQ(slot->subviews()[1]->restorationIdentifier(), "qivWebView_qivdyn@promo");
  EXPECT_EQ(show({{"slc", "nowhere"}}, "aich")->parent(), nullptr);
  EXPECT_TRUE(log().contains("create banner called. Inline frame did not found."));
}

// Badge definitions are stored, never shown; cleaning up the custom actions
// forgets them.
TEST_F(ControllerKindsTest, BadgeDefinitionsAreStoredAndNothingIsShown) {
  const auto params = Value::parse(R"({"zbid": "42", "bc": "badge",
      "bo": "{\"bgc\":\"#ff0000\",\"h\":\"20\"}", "run": {"inline_function": "badged:"},
      "slc": "item_", "cap": "Only $$FORMATTED$$", "ids": "A1,B2"})");
  auto banner = show(params, "bdgat");
  EXPECT_TRUE(log().contains("badge banner called"));
  EXPECT_FALSE(attached(*banner));
  const auto definition = banner::BadgeDefinitions::shared().get("42");
  ASSERT_TRUE(definition);
  EXPECT_EQ((Value{(*definition)["style"], (*definition)["selector"], (*definition)["ids"]}),
            Value::parse(R"([{"bgc": "#ff0000", "h": "20"}, "item_", {"A1": "1", "B2": "1"}])"));

  // Ids as a list; a later definition of the campaign replaces the earlier.
  show({{"zbid", "42"}, {"bc", "badge"}, {"ids", {"C3", 4}}}, "bdgai");
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 1u);
  EXPECT_EQ((*banner::BadgeDefinitions::shared().get("42"))["ids"],
            (Value{{"C3", "1"}, {"4", "1"}}));
  Tavrino("https://127.0.0.1:9/", "1", "0").clearCustomActions();
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 0u);
}

TEST_F(ControllerKindsTest, ScriptKindsAndUnknownCodesAttachNothing) {
  for (const char* function : {"cs", "csjq"}) {
    EXPECT_FALSE(attached(*show({{"cap", "x"}}, function))) << function;
  }
  EXPECT_FALSE(log().contains("Unknown banner function"));
  // A badge code without the badge class is no kind at all.
  for (const char* function : {"", "nxtl", "tx", "nhtlx", "bdgdt"}) {
    EXPECT_FALSE(attached(*show({{"zbid", "43"}, {"cap", "x"}}, function))) << function;
    EXPECT_TRUE(log().contains(std::string("Unknown banner function : ") + function));
  }
  EXPECT_FALSE(banner::BadgeDefinitions::shared().get("43"));
}

}  // namespace
}  // namespace tavrino::testing
