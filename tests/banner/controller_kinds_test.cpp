// Every banner kind: what it lays over the host, or why it lays nothing.

#include <gtest/gtest.h>

#include "banner/controller_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::testing {
namespace {

using platform::LinuxWebPage;
using platform::WebContent;

WebContent contentOf(const std::shared_ptr<ui::WebView>& web) {
  return dynamic_cast<LinuxWebPage&>(web->page()).content();
}

void allowDomains(std::vector<std::string> domains) {
  processState().withConfig([&](SharedConfiguration& c) { c.allowedDomains = domains; });
}

class ControllerKindsTest : public ControllerTest {};

TEST_F(ControllerKindsTest, WebBannerShowsTheDocumentAtTheCentredFrameOverTheOverlay) {
  const Value params = {{"zbid", "7"}, {"w", "300px"}, {"h", "250px"}, {"cap", "<b>Hi</b>"}};
  auto banner = show(params, "lbcs");

  ASSERT_TRUE(attached(*banner));
  EXPECT_EQ(banner->parent(), host);
  const auto& overlay = banner->view();
  EXPECT_EQ(overlay->accessibilityIdentifier(), "qiv_banner");
  EXPECT_EQ(overlay->frame(), ui::Rect::make(0, 0, 390, 844));
  EXPECT_EQ(overlay->backgroundColor(), (ui::Color{0, 0, 0, 0.7}));
  EXPECT_EQ(banner->containerView->frame(), ui::Rect::make(45, 297, 300, 250));

  ASSERT_TRUE(banner->webView);
  EXPECT_EQ(banner->webView->frame(), ui::Rect::make(0, 0, 300, 250));
  EXPECT_EQ(banner->webView->navigationDelegate().get(),
            static_cast<ui::WebViewNavigationDelegate*>(banner.get()));
  const WebContent content = contentOf(banner->webView);
  EXPECT_EQ(content.kind, WebContent::Kind::html);
  EXPECT_EQ(content.html, banner::createHTMLContent(params));
  EXPECT_FALSE(content.baseURL.has_value());

  EXPECT_EQ(banner->actInd->superview(), banner->webView);
  EXPECT_EQ(banner->actInd->frame(), ui::Rect::make(130, 125, 40, 40));
  EXPECT_TRUE(banner->actInd->isAnimating());
}

TEST_F(ControllerKindsTest, WebPagesLoadTheirAddressAndFullScreenOnesFillTheScreen) {
  for (const char* function : {"svc", "ajx"}) {
    auto banner = show({{"c10", "https://shop.example/offer?x=1"}}, function);
    ASSERT_TRUE(banner->webView) << function;
    const WebContent content = contentOf(banner->webView);
    EXPECT_EQ(content.kind, WebContent::Kind::request) << function;
    EXPECT_EQ(content.request.url, "https://shop.example/offer?x=1") << function;
  }
  auto full = show({{"btype", "fs"}, {"bstatus", "1"}}, "lbcs");
  EXPECT_EQ(full->containerView->frame(), ui::Rect::make(0, 47, 390, 844 - 47));
  EXPECT_EQ(full->webView->frame(), ui::Rect::make(0, 0, 390, 844 - 47));
}

TEST_F(ControllerKindsTest, AllowedDomainsDecideWhatLoads) {
  allowDomains({"shop.example"});
  auto page = show({{"c10", "https://user@shop.example:8443/a"}}, "svc");
  EXPECT_EQ(contentOf(page->webView).kind, WebContent::Kind::request);

  auto other = show({{"c10", "https://elsewhere.example/a"}}, "svc");
  EXPECT_EQ(contentOf(other->webView).kind, WebContent::Kind::none);
  EXPECT_TRUE(log().contains("create banner domain not allowed : elsewhere.example"));

  // The campaign's own document counts as the empty domain.
  auto document = show({{"cap", "x"}}, "lbcs");
  EXPECT_TRUE(attached(*document)) << "the banner still shows, empty";
  EXPECT_EQ(contentOf(document->webView).kind, WebContent::Kind::none);

  allowDomains({"shop.example", ""});
  EXPECT_EQ(contentOf(show({{"cap", "x"}}, "lbcs")->webView).kind, WebContent::Kind::html);
}

TEST_F(ControllerKindsTest, ImageBannersAreClickButtonsCarryingTheCampaign) {
  const ui::Image image(600, 400, Data{1, 2, 3});
  const Value params = {{"zbid", "9"}, {"cap", "Title"}, {"btx", "Buy"}};
  auto banner = show(params, "img", image, {{"p", "Home"}});
  ASSERT_TRUE(attached(*banner));
  const auto buttons = find<ui::customButton>(banner->containerView);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0]->image(), image);
  EXPECT_EQ(buttons[0]->frame(), banner->containerView->bounds());
  EXPECT_EQ(buttons[0]->customArray, params);
  EXPECT_EQ(buttons[0]->view.lock(), host);
  EXPECT_EQ(buttons[0]->viewClassName, "HomeViewController");
  EXPECT_EQ(buttons[0]->client_map, (StringMap{{"p", "Home"}}));
  EXPECT_TRUE(buttons[0]->sendTouchUpInside());
  EXPECT_TRUE(log().contains("setClickCookie called."));
  EXPECT_TRUE(find<ui::TextView>(banner->containerView).empty()) << "no text on a plain image";

  auto withText = show(params, "imgtxt", image);
  EXPECT_EQ(find<ui::customButton>(withText->containerView).size(), 2u) << "image and OK";
  EXPECT_EQ(find<ui::TextView>(withText->containerView).size(), 1u);
  ASSERT_TRUE(button(withText->containerView, "Buy"));
}

struct StripCase {
  const char* function;
  ui::Rect expected;  // height checked separately
};

TEST_F(ControllerKindsTest, NativeStripsSitAtTheirEightPositionsAndSlideIn) {
  const Value params = {{"bc", "nt"},  {"cap", "Sale"},  {"sub", "Today only"},
                        {"btx", "Go"}, {"xtx", "Later"}, {"bgc", "#112233"}};
  const double top = 47 + 10;  // the status bar and the gap
  for (const auto& c : {StripCase{"tl", ui::Rect::make(10, top, 216, 0)},
                        StripCase{"tr", ui::Rect::make(164, top, 216, 0)},
                        StripCase{"tc", ui::Rect::make(87, top, 216, 0)},
                        StripCase{"ts", ui::Rect::make(0, 47, 390, 0)},
                        StripCase{"bl", ui::Rect::make(10, -10, 216, 0)},
                        StripCase{"br", ui::Rect::make(164, -10, 216, 0)},
                        StripCase{"bc", ui::Rect::make(87, -10, 216, 0)},
                        StripCase{"bs", ui::Rect::make(0, 0, 390, 0)}}) {
    SCOPED_TRACE(c.function);
    ui::clearRecordedAnimations();
    auto banner = show(params, c.function);
    ASSERT_TRUE(attached(*banner));
    const ui::Rect frame = banner->view()->frame();
    EXPECT_EQ(frame.origin.x, c.expected.origin.x);
    EXPECT_EQ(frame.width(), c.expected.width());
    const bool atTop = c.function[0] == 't';
    EXPECT_EQ(frame.origin.y,
              atTop ? c.expected.origin.y : 844 + c.expected.origin.y - frame.height());
    EXPECT_EQ(banner->containerView->frame(), ui::Rect::make(0, 0, frame.width(), frame.height()));
    EXPECT_EQ(banner->containerView->backgroundColor(), Util::hexToUIColor("#112233"));

    // Title and subtitle 20 points narrower than the strip, each at least 30
    // tall, 10 apart; the buttons share the row below.
    const auto texts = find<ui::TextView>(banner->containerView);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->frame().origin, (ui::Point{10, 10}));
    EXPECT_EQ(texts[0]->frame().width(), frame.width() - 20);
    EXPECT_GE(texts[0]->frame().height(), 30);
    EXPECT_EQ(texts[1]->frame().origin.y, 10 + texts[0]->frame().height() + 10);
    const auto ok = button(banner->containerView, "Go");
    const auto later = button(banner->containerView, "Later");
    ASSERT_TRUE(ok && later);
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::customButton>(ok));
    EXPECT_FALSE(std::dynamic_pointer_cast<ui::customButton>(later));
    EXPECT_EQ(ok->frame().origin.y, texts[1]->frame().origin.y + texts[1]->frame().height() + 10);
    EXPECT_EQ(later->frame().origin.x, ok->frame().origin.x + ok->frame().width() + 10);
    EXPECT_EQ(frame.height(), ok->frame().origin.y + ok->frame().height() + 10);

    const auto animations = ui::recordedAnimations();
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(animations[0].duration, 0.4);
    EXPECT_EQ(animations[0].delay, 0);
    ASSERT_EQ(animations[0].views.size(), 1u);
    EXPECT_EQ(animations[0].views[0].endFrame, frame);
    EXPECT_EQ(animations[0].views[0].startFrame.origin.y, atTop ? -frame.height() : 844);
  }
}

TEST_F(ControllerKindsTest, StripsOfOtherClassesSitInsideTheOverlay) {
  auto banner = show({{"cap", "Sale"}}, "bl");
  EXPECT_EQ(banner->view()->frame(), ui::Rect::make(0, 0, 390, 844));
  const ui::Rect strip = banner->containerView->frame();
  EXPECT_EQ(strip.origin.x, 10);
  EXPECT_EQ(strip.origin.y + strip.height(), 844 - 10);
  EXPECT_EQ(ui::recordedAnimations().back().views[0].view.lock(), banner->containerView);
}

TEST_F(ControllerKindsTest, ImageHtmlAndCompactStrips) {
  const ui::Image image(600, 400, Data{7});
  auto pictured = show({{"bc", "ntimg"}}, "nitl", image);
  ASSERT_TRUE(attached(*pictured));
  EXPECT_EQ(pictured->view()->frame(), ui::Rect::make(10, 57, 370, 246));
  const auto pictures = find<ui::customButton>(pictured->containerView);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0]->image(), image);
  EXPECT_EQ(pictures[0]->frame(), ui::Rect::make(0, 0, 370, 246));

  auto html = show({{"bc", "nt"}, {"h", "120px"}, {"w", "300px"}, {"coc", "0"}}, "nhbs");
  ASSERT_TRUE(attached(*html));
  EXPECT_EQ(html->banner_category, "notification html");
  EXPECT_EQ(html->close_outside_click, "0");
  EXPECT_EQ(html->view()->frame(), ui::Rect::make(0, 844 - 120, 390, 120));
  ASSERT_TRUE(html->webView);
  EXPECT_EQ(contentOf(html->webView).kind, WebContent::Kind::html);

  auto compact = show({{"bc", "nts"}, {"cap", "Hello"}, {"btx", "Go"}}, "nsbr");
  ASSERT_TRUE(attached(*compact));
  EXPECT_EQ(compact->view()->frame().width(), 216);
  EXPECT_EQ(compact->view()->frame().origin.x, 164);
  EXPECT_FALSE(button(compact->containerView, "Go")) << "the whole strip is the button";
  const auto surface = find<ui::customButton>(compact->containerView);
  ASSERT_EQ(surface.size(), 1u);
  EXPECT_EQ(surface[0]->frame(), compact->containerView->bounds());
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
  EXPECT_EQ(web->restorationIdentifier(), "qivWebView_promo");
  EXPECT_EQ(web->frame(), ui::Rect::make(0, 0, 390, 90));
  EXPECT_FALSE(web->isScrollEnabled());
  EXPECT_FALSE(web->bounces());
  EXPECT_EQ(contentOf(web).kind, WebContent::Kind::html);

  auto second = show({{"slc", "promo"}}, "aich");
  EXPECT_EQ(slot->subviews().size(), 1u);
  EXPECT_EQ(second->parent(), nullptr) << "the frame keeps its first controller";
  EXPECT_EQ(web->navigationDelegate().get(),
            static_cast<ui::WebViewNavigationDelegate*>(first.get()));

  auto dynamic = std::make_shared<popUpController>();
  dynamic->createBanner(host, {}, {{"slc", "qivdyn@promo"}}, "aich", kReference, {});
  EXPECT_EQ(slot->subviews().size(), 2u);
  EXPECT_EQ(slot->subviews()[1]->restorationIdentifier(), "qivWebView_qivdyn@promo");

  log().clear();
  auto missing = show({{"slc", "nowhere"}}, "aich");
  EXPECT_TRUE(log().contains("create banner called. Inline frame did not found."));
  EXPECT_EQ(missing->parent(), nullptr);
}

TEST_F(ControllerKindsTest, BadgeDefinitionsAreStoredAndNothingIsShown) {
  const Value params = {{"zbid", "42"},
                        {"bc", "badge"},
                        {"bo", R"({"bgc":"#ff0000","h":"20"})"},
                        {"run", {{"inline_function", "badged:"}}},
                        {"slc", "item_"},
                        {"cap", "Only $$FORMATTED$$"},
                        {"ids", "A1,B2"}};
  auto banner = show(params, "bdgat");
  EXPECT_TRUE(log().contains("badge banner called"));
  EXPECT_FALSE(attached(*banner));
  EXPECT_EQ(banner->parent(), nullptr);
  const auto definition = banner::BadgeDefinitions::shared().get("42");
  ASSERT_TRUE(definition);
  EXPECT_EQ((*definition)["style"], (Value{{"bgc", "#ff0000"}, {"h", "20"}}));
  EXPECT_EQ((*definition)["run"], params["run"]);
  EXPECT_EQ((*definition)["selector"], "item_");
  EXPECT_EQ((*definition)["function"], "bdgat");
  EXPECT_EQ((*definition)["campaign_message"], "Only $$FORMATTED$$");
  EXPECT_EQ((*definition)["ids"], (Value{{"A1", "1"}, {"B2", "1"}}));

  // Ids as a list; a later definition of the campaign replaces the earlier.
  show({{"zbid", "42"}, {"bc", "badge"}, {"ids", {"C3", 4}}}, "bdgai");
  EXPECT_EQ(banner::BadgeDefinitions::shared().size(), 1u);
  EXPECT_EQ((*banner::BadgeDefinitions::shared().get("42"))["ids"],
            (Value{{"C3", "1"}, {"4", "1"}}));

  // A badge code without the badge class is no kind at all.
  log().clear();
  auto stray = show({{"zbid", "43"}}, "bdgdt");
  EXPECT_FALSE(attached(*stray));
  EXPECT_FALSE(banner::BadgeDefinitions::shared().get("43"));
  EXPECT_TRUE(log().contains("Unknown banner function : bdgdt"));
}

TEST_F(ControllerKindsTest, ScriptKindsAndUnknownCodesAttachNothing) {
  for (const char* function : {"cs", "csjq"}) {
    log().clear();
    auto banner = show({{"cap", "x"}}, function);
    EXPECT_FALSE(attached(*banner)) << function;
    EXPECT_EQ(banner->parent(), nullptr);
    EXPECT_FALSE(log().contains("Unknown banner function")) << function;
  }
  for (const char* function : {"", "nxtl", "tx", "nhtlx"}) {
    auto banner = show({{"cap", "x"}}, function);
    EXPECT_FALSE(attached(*banner)) << function;
    EXPECT_TRUE(log().contains(std::string("Unknown banner function : ") + function));
  }
}

class RecordingObserver final : public ui::TreeObserver {
 public:
  void viewAttached(const ui::View& view) override { attached.push_back(&view); }
  void viewDetached(const ui::View& view) override { detached.push_back(&view); }
  void viewChanged(const ui::View&, ui::ViewChange) override {}
  std::vector<const ui::View*> attached, detached;
};

TEST_F(ControllerKindsTest, TheHostsObserverSeesTheBannerComeAndGo) {
  auto observer = std::make_shared<RecordingObserver>();
  window->setTreeObserver(observer);
  observer->attached.clear();

  auto banner = show({{"cap", "x"}, {"xtx", "No"}}, "tc");
  ASSERT_FALSE(observer->attached.empty());
  EXPECT_EQ(observer->attached.back(), banner->view().get());
  EXPECT_EQ(banner->view()->window(), window);

  ASSERT_TRUE(button(banner->containerView, "No")->sendTouchUpInside());
  EXPECT_EQ(banner->closecounter, 1);
  ASSERT_EQ(observer->detached.size(), 1u);
  EXPECT_EQ(observer->detached[0], banner->view().get());
}

}  // namespace
}  // namespace tavrino::testing
